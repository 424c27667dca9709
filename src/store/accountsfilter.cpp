#include "store/accountsfilter.h"

#include "core/providers.h"
#include "store/store.h"

#include <QVariantMap>

AccountsFilter::AccountsFilter(QObject *parent)
    : OrderedKeyedModel(parent)
    , m_collator(acpanel::textCollator())
{
    refreshOnTick(acrows::timeRoles());
    followStore();
}

Store *AccountsFilter::store() const
{
    return m_store.get();
}

void AccountsFilter::setStore(Store *s)
{
    if (!m_store.set(s))
        return;
    followStore();
    Q_EMIT storeChanged();
}

void AccountsFilter::setSource(TeamAccountsModel *m)
{
    if (m_source == m)
        return;
    disconnect(m_sourceConn);
    m_source = m;
    if (m)
        m_sourceConn = connect(m, &TeamAccountsModel::reloaded, this, &AccountsFilter::sourceReloaded);
    sourceReloaded();
    Q_EMIT sourceChanged();
}

void AccountsFilter::followStore()
{
    for (const auto &c : std::as_const(m_storeConns))
        disconnect(c);
    m_storeConns.clear();
    Store *s = store();
    if (s) {
        ResourcesState *r = s->resources();
        for (auto sig : {&ResourcesState::provChanged, &ResourcesState::statusChanged, &ResourcesState::queryChanged,
                         &ResourcesState::sortKeyChanged, &ResourcesState::sortAscChanged})
            m_storeConns << connect(r, sig, this, &AccountsFilter::readStore);
        m_storeConns << connect(r, &ResourcesState::expandedChanged, this, &AccountsFilter::expandedChanged);
    }
    readStore();
    expandedChanged();
}

void AccountsFilter::readStore()
{
    Store *s = store();
    if (!s || m_writingSort)
        return;
    const ResourcesState *r = s->resources();
    const acpanel::SortState sort{r->sortKey(), r->sortAsc()};
    if (sort.key != m_sort.key || sort.asc != m_sort.asc) {
        m_filter = {r->prov(), r->status(), r->query()};
        setSort(sort);
    } else {
        setFilter({r->prov(), r->status(), r->query()});
    }
}

void AccountsFilter::setFilter(const acpanel::Filter &f)
{
    if (f.prov == m_filter.prov && f.status == m_filter.status && f.query == m_filter.query)
        return;
    m_filter = f;
    refilter();
}

void AccountsFilter::setSort(const acpanel::SortState &s)
{
    m_sort = s;
    resort();
    refilter();
}

void AccountsFilter::sourceReloaded()
{
    m_all = m_source ? m_source->rows() : QList<AcRowPtr>();
    resort();
    refilter(true);
}

void AccountsFilter::resort()
{
    QList<const TeamAcct *> accounts;
    QList<const acpanel::RowKeys *> keys;
    accounts.reserve(m_all.size());
    keys.reserve(m_all.size());
    m_sorted.resize(m_all.size());
    for (int i = 0; i < m_all.size(); ++i) {
        accounts.append(&m_all[i]->a);
        keys.append(&m_all[i]->keys);
        m_sorted[i] = i;
    }
    acpanel::sortOrder(m_sorted, accounts, keys, m_sort, m_collator);
}

void AccountsFilter::refilter(bool reloaded)
{
    // Filtering the sorted list gives the same order as sorting the filtered one: a stable
    // sort places two rows by their keys and load order alone.
    const QString folded = m_filter.query.toCaseFolded();
    QList<AcRowPtr> next;
    next.reserve(m_sorted.size());
    for (int pos : std::as_const(m_sorted)) {
        const AcRowPtr &r = m_all[pos];
        if (acpanel::passes(r->a, r->keys, m_filter, folded))
            next.append(r);
    }
    const int before = count();
    const QString first = firstId();
    update(m_rows, next, acrows::key, acrows::same);
    // A reload can change the total and the chip counts while the filtered rows stay the
    // same (an account added under another provider than the chosen one).
    if (reloaded || count() != before || firstId() != first)
        Q_EMIT countChanged();
    Q_EMIT rowsUpdated();
}

void AccountsFilter::expandedChanged()
{
    Store *s = store();
    const QStringList ids = s ? s->resources()->expanded() : QStringList();
    const QSet<QString> now(ids.cbegin(), ids.cend());
    if (now == m_expanded)
        return;
    QSet<QString> changed = now;
    changed.unite(m_expanded);
    changed.subtract(QSet<QString>(now).intersect(m_expanded));
    m_expanded = now;
    for (int i = 0; i < m_rows.size(); ++i)
        if (changed.contains(m_rows.at(i)->id))
            Q_EMIT dataChanged(index(i), index(i), {acrows::ExpandedRole});
}

int AccountsFilter::total() const
{
    return int(m_all.size());
}

QVariantList AccountsFilter::providerCounts() const
{
    QList<const TeamAcct *> accounts;
    accounts.reserve(m_all.size());
    for (const AcRowPtr &r : m_all)
        accounts.append(&r->a);
    QVariantList out;
    for (const auto &[key, n] : acpanel::providerCounts(accounts))
        out.append(QVariantMap{{QStringLiteral("key"), key},
                               {QStringLiteral("label"), providerMeta(key).label},
                               {QStringLiteral("count"), n}});
    return out;
}

QVariantList AccountsFilter::chips() const
{
    QVariantList out{QVariantMap{{QStringLiteral("key"), QString()},
                                 {QStringLiteral("label"), QStringLiteral("Все")},
                                 {QStringLiteral("count"), total()}}};
    out.append(providerCounts());
    return out;
}

int AccountsFilter::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant AccountsFilter::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const AcRow &r = *m_rows.at(index.row());
    if (role == acrows::ExpandedRole)
        return m_expanded.contains(r.id);
    return role == Qt::DisplayRole ? QVariant(r.id) : acrows::cell(&r, role);
}

QHash<int, QByteArray> AccountsFilter::roleNames() const
{
    return acrows::roleNames();
}

void AccountsFilter::onSort(Ac::Sort key)
{
    Store *s = store();
    const acpanel::SortState next = acpanel::onSort(m_sort, key);
    if (!s) {
        setSort(next);
        return;
    }
    // Both fields are written before the new state is read back: one sort, not two.
    m_writingSort = true;
    s->resources()->setSortKey(next.key);
    s->resources()->setSortAsc(next.asc);
    m_writingSort = false;
    readStore();
}

QVariant AccountsFilter::get(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    return QVariant::fromValue(m_rows.at(row)->a);
}

int AccountsFilter::indexOfId(const QString &id) const
{
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows.at(i)->id == id)
            return i;
    return -1;
}
