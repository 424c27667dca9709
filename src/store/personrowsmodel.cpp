#include "store/personrowsmodel.h"

#include "core/acview.h"

PersonRowsModel::PersonRowsModel(QObject *parent)
    : OrderedKeyedModel(parent)
{
    refreshOnTick(acrows::timeRoles());
}

void PersonRowsModel::setAccounts(AccountsFilter *f)
{
    if (m_accounts == f)
        return;
    for (const auto &c : std::as_const(m_conns))
        disconnect(c);
    m_conns.clear();
    m_accounts = f;
    if (f) {
        m_conns << connect(f, &AccountsFilter::rowsUpdated, this, &PersonRowsModel::rebuild);
        m_conns << connect(f, &QAbstractItemModel::dataChanged, this, &PersonRowsModel::forwardExpanded);
    }
    rebuild();
    Q_EMIT accountsChanged();
}

QString PersonRowsModel::firstId() const
{
    for (const Row &r : m_rows.list())
        if (r.acct)
            return r.acct->id;
    return QString();
}

void PersonRowsModel::rebuild()
{
    QList<Row> next;
    if (m_accounts) {
        const QList<AcRowPtr> &sorted = m_accounts->rows();
        QList<const TeamAcct *> accounts;
        accounts.reserve(sorted.size());
        for (const AcRowPtr &r : sorted)
            accounts.append(&r->a);
        const QList<acpanel::Group> groups = acpanel::byPerson(accounts);
        next.reserve(sorted.size() + groups.size());
        for (const acpanel::Group &g : groups) {
            Row h;
            h.key = QStringLiteral("p:") + g.name;
            h.name = g.name;
            h.countText = acview::groupCount(g);
            h.summary = acview::groupSummary(g);
            h.online = g.online;
            next.append(h);
            for (int pos : g.rows) {
                Row r;
                r.acct = sorted[pos];
                r.key = r.acct->rowKey;
                next.append(r);
            }
        }
    }
    const int before = count();
    const QString first = firstId();
    update(m_rows, next, [](const Row &r) -> const QString & { return r.key; }, [](const Row &x, const Row &y) {
        if (x.acct || y.acct)
            return x.acct && y.acct && acrows::same(x.acct, y.acct);
        return x.countText == y.countText && x.summary == y.summary && x.online == y.online;
    });
    if (count() != before || firstId() != first)
        Q_EMIT countChanged();
}

void PersonRowsModel::forwardExpanded(const QModelIndex &from, const QModelIndex &to, const QList<int> &roles)
{
    if (!roles.contains(acrows::ExpandedRole) || !m_accounts)
        return;
    for (int i = from.row(); i <= to.row(); ++i) {
        const QString &key = m_accounts->rows().value(i)->rowKey;
        for (int j = 0; j < m_rows.size(); ++j)
            if (m_rows.at(j).key == key)
                Q_EMIT dataChanged(index(j), index(j), {acrows::ExpandedRole});
    }
}

int PersonRowsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant PersonRowsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row &r = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return r.key;
    case acrows::GroupNameRole:
        return r.name;
    case acrows::GroupCountRole:
        return r.countText;
    case acrows::GroupSummaryRole:
        return r.summary;
    case acrows::GroupOnlineRole:
        return r.online;
    case acrows::ExpandedRole:
        return r.acct && m_accounts && m_accounts->isExpanded(r.acct->id);
    default:
        return acrows::cell(r.acct.get(), role);
    }
}

QHash<int, QByteArray> PersonRowsModel::roleNames() const
{
    return acrows::roleNames();
}
