#include "store/teamaccountsmodel.h"

#include "store/store.h"

namespace acrows {

bool sameAccount(const TeamAcct &a, const TeamAcct &b)
{
    if (a.rev != b.rev || a.memberId != b.memberId || a.currency != b.currency || a.payMethod != b.payMethod
        || a.renewDate != b.renewDate || a.ccProvider != b.ccProvider || a.baseUrl != b.baseUrl
        || a.devices.size() != b.devices.size())
        return false;
    for (qsizetype i = 0; i < a.devices.size(); ++i)
        if (a.devices[i].version != b.devices[i].version || a.devices[i].brRev != b.devices[i].brRev)
            return false;
    return true;
}

} // namespace acrows

TeamAccountsModel::TeamAccountsModel(QObject *parent)
    : OrderedKeyedModel(parent)
{
    follow();
}

Store *TeamAccountsModel::store() const
{
    return m_store.get();
}

void TeamAccountsModel::setStore(Store *s)
{
    if (!m_store.set(s))
        return;
    follow();
    Q_EMIT storeChanged();
}

void TeamAccountsModel::setLimit(int n)
{
    if (m_limit == n)
        return;
    m_limit = n;
    reload();
    Q_EMIT limitChanged();
}

void TeamAccountsModel::follow()
{
    disconnect(m_conn);
    if (Store *s = store())
        m_conn = connect(s, &Store::teamAccountsChanged, this, &TeamAccountsModel::reload);
    reload();
}

void TeamAccountsModel::reload()
{
    Store *s = store();
    setAccounts(s ? s->teamAccounts() : QList<TeamAcct>());
}

void TeamAccountsModel::setAccounts(const QList<TeamAcct> &accounts)
{
    QHash<QString, AcRowPtr> old;
    old.reserve(m_rows.size());
    for (const AcRowPtr &r : m_rows.list())
        old.insert(r->id, r);
    const qsizetype n = m_limit < 0 ? accounts.size() : std::min<qsizetype>(m_limit, accounts.size());
    QList<AcRowPtr> next;
    next.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        const TeamAcct &a = accounts[i];
        const AcRowPtr was = old.value(a.id());
        // A row that shows exactly the same stays the very same row (the list models after this
        // one then see it unchanged at a glance); one whose fingerprint is unchanged keeps its
        // sort keys, which depend on fingerprinted fields only.
        if (was && acrows::sameAccount(was->a, a))
            next.append(was);
        else
            next.append(was && was->a.rev == a.rev ? std::make_shared<const AcRow>(a, was->keys)
                                                   : std::make_shared<const AcRow>(a));
    }
    const int before = count();
    update(m_rows, next, acrows::key, acrows::same);
    if (count() != before)
        Q_EMIT countChanged();
    Q_EMIT reloaded();
}

int TeamAccountsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant TeamAccountsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const AcRow &r = *m_rows.at(index.row());
    const TeamAcct &a = r.a;
    switch (role) {
    case AcctRole:
        return QVariant::fromValue(a);
    case AccountIdRole:
    case Qt::DisplayRole:
        return r.id;
    case RevRole:
        return a.rev;
    default:
        return {};
    }
}

QHash<int, QByteArray> TeamAccountsModel::roleNames() const
{
    return {{AcctRole, "acct"}, {AccountIdRole, "accountId"}, {RevRole, "rev"}};
}

QVariant TeamAccountsModel::get(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    return QVariant::fromValue(m_rows.at(row)->a);
}
