#include "store/membersmodel.h"

#include "store/choicetypes.h"

#include <QVariantMap>

namespace {

bool sameMember(const Member &a, const Member &b)
{
    return a.memberId == b.memberId && a.name == b.name && a.role == b.role && a.active == b.active
        && a.hasToken == b.hasToken && a.online == b.online && a.nAccounts == b.nAccounts && a.lastSeen == b.lastSeen
        && a.specialization == b.specialization && a.department == b.department && a.memberType == b.memberType
        && a.email == b.email && a.telegram == b.telegram && a.timezone == b.timezone && a.note == b.note
        && a.joinedAt == b.joinedAt && a.hasAvatar == b.hasAvatar && a.avatarUpdatedAt == b.avatarUpdatedAt;
}

Member memberOf(const QVariant &v)
{
    return v.canConvert<Member>() ? v.value<Member>() : Member();
}

bool isMember(const QVariant &v) { return v.isValid() && v.canConvert<Member>() && !v.value<Member>().memberId.isEmpty(); }

} // namespace

// ---- MembersModel

MembersModel::MembersModel(QObject *parent)
    : KeyedListModel(parent)
{
    refreshOnTick({PresenceRole});
}

void MembersModel::setMembers(const QList<Member> &members)
{
    QList<roster::Row> next;
    next.reserve(members.size());
    for (const Member &m : members) {
        next.append(roster::row(m));
        // An id is what every request about a member carries, so the server always sends one;
        // should it not, the row still shows, keyed by its place in the list.
        next.last().key = m.memberId.isEmpty() ? u'\x01' + QString::number(next.size()) : m.memberId;
    }
    reconcile(m_rows, next, [](const roster::Row &r) { return r.key; },
              [](const roster::Row &a, const roster::Row &b) { return sameMember(a.m, b.m); });
}

int MembersModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant MembersModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Member &m = m_rows[index.row()].m;
    switch (role) {
    case MemberRole: return QVariant::fromValue(m);
    case MemberIdRole: return m.memberId;
    case TitleRole: return roster::cardTitle(m);
    case IsAdminRole: return m.role == QLatin1String("admin");
    case ContractorRole: return m.memberType == QLatin1String("contractor");
    case ActiveRole: return m.active;
    case SpecRole: return m.specialization;
    case DeptRole: return m.department;
    case LoginLineRole: return roster::loginLine(m);
    case OnlineRole: return m.online;
    case PresenceRole: return roster::presenceText(m);
    case AccountsRole: return roster::accountsText(m);
    case InitialsRole: return m.initials();
    case HasAvatarRole: return m.hasAvatar;
    default: return {};
    }
}

QHash<int, QByteArray> MembersModel::roleNames() const
{
    return {{MemberRole, "member"},     {MemberIdRole, "memberId"},     {TitleRole, "title"},
            {IsAdminRole, "isAdmin"},   {ContractorRole, "contractor"}, {ActiveRole, "active"},
            {SpecRole, "spec"},         {DeptRole, "dept"},             {LoginLineRole, "loginLine"},
            {OnlineRole, "online"},     {PresenceRole, "presence"},     {AccountsRole, "accountsText"},
            {InitialsRole, "initials"}, {HasAvatarRole, "hasAvatar"}};
}

// ---- MemberFilter

MemberFilter::MemberFilter(MembersModel *source, QObject *parent)
    : QSortFilterProxyModel(parent)
    , m_source(source)
{
    setSourceModel(source);
    // Only a whole-row change re-sorts; the presence tick (one role) does not.
    setSortRole(MembersModel::SortRole);
    setDynamicSortFilter(true);
    sort(0, Qt::AscendingOrder);
    for (auto sig : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(this, sig, this, &MemberFilter::countChanged);
    connect(this, &QAbstractItemModel::modelReset, this, &MemberFilter::countChanged);
    connect(this, &QAbstractItemModel::layoutChanged, this, &MemberFilter::countChanged);
}

void MemberFilter::setCriteria(Tm::Type type, const QString &dept, const QString &query, Tm::Sort sortKey,
                               bool asc)
{
    const QString q = roster::normQuery(query);
    const bool filterSame = type == m_type && dept == m_dept && q == m_query;
    const bool sortSame = sortKey == m_sortKey && asc == m_asc;
    if (filterSame && sortSame)
        return;
    m_type = type;
    m_dept = dept;
    m_query = q;
    m_sortKey = sortKey;
    m_asc = asc;
    if (sortSame)
        invalidateFilter();
    else
        invalidate();
    Q_EMIT countChanged();
}

const Member &MemberFilter::memberAt(int row) const
{
    return m_source->rowAt(mapToSource(index(row, 0)).row()).m;
}

bool MemberFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    return roster::accepts(m_source->rowAt(sourceRow), m_type, m_dept, m_query);
}

bool MemberFilter::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    // The direction is applied by the comparison itself and the proxy always sorts ascending,
    // so ties fall back to roster order in both directions.
    const int c = roster::compare(m_source->rowAt(left.row()), m_source->rowAt(right.row()), m_sortKey, m_asc);
    return c != 0 ? c < 0 : left.row() < right.row();
}

// ---- RosterView

RosterView::RosterView(QObject *parent)
    : QObject(parent)
    , m_model(new MembersModel(this))
    , m_filter(new MemberFilter(m_model, this))
{
    connect(m_filter, &MemberFilter::countChanged, this, &RosterView::contentChanged);
    setStore(Store::instance());
}

void RosterView::setStore(Store *store)
{
    for (const auto &c : std::as_const(m_links))
        disconnect(c);
    m_links.clear();
    m_store = store;
    if (store) {
        m_links << connect(store, &Store::membersChanged, this, &RosterView::syncMembers)
                << connect(store, &Store::loadingMembersChanged, this, &RosterView::contentChanged);
        RosterState *state = store->roster();
        for (auto sig : {&RosterState::typeChanged, &RosterState::deptChanged, &RosterState::queryChanged,
                         &RosterState::sortKeyChanged, &RosterState::sortAscChanged})
            m_links << connect(state, sig, this, &RosterView::applyCriteria);
        m_links << connect(state, &RosterState::secretChanged, this,
                           [this] {
                               // Another credential (or none): nothing of the last one's copy holds.
                               m_secretCopied = m_secretLeaving = false;
                               Q_EMIT secretChanged();
                           })
                << connect(store, &Store::serverUrlChanged, this, &RosterView::secretChanged)
                << connect(state, &RosterState::deptChanged, this, &RosterView::deptChipsChanged)
                << connect(state, &RosterState::sortKeyChanged, this, &RosterView::sortChanged)
                << connect(state, &RosterState::sortAscChanged, this, &RosterView::sortChanged);
    }
    applyCriteria();
    syncMembers();
    Q_EMIT secretChanged();
}

void RosterView::syncMembers()
{
    const QList<Member> members = m_store ? m_store->members() : QList<Member>();
    m_model->setMembers(members);
    m_depts = roster::departments(members);
    Q_EMIT membersChanged();
    Q_EMIT deptChipsChanged();
    Q_EMIT contentChanged();
}

void RosterView::applyCriteria()
{
    if (!m_store)
        return;
    const RosterState *s = m_store->roster();
    m_filter->setCriteria(s->type(), s->dept(), s->query(), s->sortKey(), s->sortAsc());
}

int RosterView::memberCount() const { return m_store ? int(m_store->members().size()) : 0; }

QVariantList RosterView::deptChips() const
{
    const QString current = m_store ? m_store->roster()->dept() : QString();
    auto chip = [](const QString &key, const QString &title, int count, bool active) {
        return QVariantMap{{QStringLiteral("key"), key},
                           {QStringLiteral("title"), title},
                           {QStringLiteral("count"), count},
                           {QStringLiteral("active"), active}};
    };
    QVariantList out{chip(QString(), QStringLiteral("Все отделы"), memberCount(), current.isEmpty())};
    bool currentListed = current.isEmpty();
    for (const roster::Dept &d : m_depts) {
        out << chip(d.name, d.name, d.count, d.name == current);
        currentListed = currentListed || d.name == current;
    }
    if (!currentListed)
        out << chip(current, current, 0, true);
    return out;
}

bool RosterView::deptChipsVisible() const
{
    return !m_depts.isEmpty() || (m_store && !m_store->roster()->dept().isEmpty());
}

QVariantList RosterView::typeOptions()
{
    return {choiceItem(Tm::Type::All, QStringLiteral("Все")), choiceItem(Tm::Type::Member, QStringLiteral("Команда")),
            choiceItem(Tm::Type::Contractor, QStringLiteral("Подрядчики"))};
}

QVariantList RosterView::sortOptions() const
{
    using S = Tm::Sort;
    static const std::pair<S, const char *> entries[] = {
        {S::Online, "Онлайн"}, {S::Name, "Имя"}, {S::Spec, "Специализация"},
        {S::Dept, "Отдел"},    {S::Accounts, "Аккаунты"}, {S::Seen, "Активность"},
    };
    const RosterState *s = m_store ? m_store->roster() : nullptr;
    QVariantList out;
    for (const auto &[k, label] : entries) {
        QVariantMap item = choiceItem(k, QString::fromUtf8(label));
        const bool current = s && k == s->sortKey();
        item.insert(QStringLiteral("icon"),
                    current ? (s->sortAsc() ? QStringLiteral("arrow.up") : QStringLiteral("arrow.down")) : QString());
        out << item;
    }
    return out;
}

QString RosterView::contentCase() const
{
    if (!m_store || m_store->members().isEmpty())
        return m_store && m_store->loadingMembers() ? QStringLiteral("loading") : QStringLiteral("empty");
    return m_filter->count() == 0 ? QStringLiteral("nomatch") : QStringLiteral("list");
}

void RosterView::setPendingDelete(const QVariant &member)
{
    m_pendingDelete = isMember(member) ? member : QVariant();
    Q_EMIT pendingDeleteChanged();
}

QString RosterView::deleteButtonText() const
{
    return QStringLiteral("Удалить ") + memberOf(m_pendingDelete).name;
}

void RosterView::setEditing(const QVariant &member)
{
    m_editing = isMember(member) ? member : QVariant();
    Q_EMIT editingChanged();
}

void RosterView::shown() { reload(); }

void RosterView::reload()
{
    if (m_store)
        m_store->loadMembers();
}

void RosterView::addMember()
{
    if (m_store)
        m_store->roster()->setFormOpen(true);
}

void RosterView::chooseType(Tm::Type type)
{
    if (m_store)
        m_store->roster()->setType(type);
}

void RosterView::chooseDept(const QString &name)
{
    if (m_store)
        m_store->roster()->setDept(name);
}

void RosterView::chooseSort(Tm::Sort key)
{
    if (!m_store)
        return;
    RosterState *s = m_store->roster();
    const roster::SortState next = roster::chooseSort({s->sortKey(), s->sortAsc()}, key);
    s->setSortAsc(next.asc);
    s->setSortKey(next.key);
}

QVariant RosterView::memberAt(int row) const
{
    if (row < 0 || row >= m_filter->rowCount())
        return {};
    return QVariant::fromValue(m_filter->memberAt(row));
}

void RosterView::open(const QVariant &member) { setEditing(member); }

QString RosterView::resetTitle() const
{
    return QStringLiteral("Сбросить пароль ") + memberOf(m_pendingReset).name + QStringLiteral("?");
}

void RosterView::askReset(const QVariant &member)
{
    m_pendingReset = isMember(member) ? member : QVariant();
    Q_EMIT pendingResetChanged();
}

void RosterView::confirmReset()
{
    if (m_store && isMember(m_pendingReset))
        m_store->memberAction(QStringLiteral("reset_password"), memberOf(m_pendingReset).memberId, {});
    cancelReset();
}

void RosterView::cancelReset()
{
    m_pendingReset = QVariant();
    Q_EMIT pendingResetChanged();
}

void RosterView::toggleActive(const QVariant &member)
{
    if (!m_store || !isMember(member))
        return;
    const Member m = memberOf(member);
    m_store->memberAction(QStringLiteral("update"), m.memberId, {{QStringLiteral("active"), !m.active}});
}

void RosterView::askDelete(const QVariant &member) { setPendingDelete(member); }

void RosterView::confirmDelete()
{
    if (!isMember(m_pendingDelete))
        return;
    const QString id = memberOf(m_pendingDelete).memberId;
    if (m_store)
        m_store->deleteMember(id);
    if (isMember(m_editing) && memberOf(m_editing).memberId == id)
        setEditing({});
    setPendingDelete({});
}

void RosterView::cancelDelete() { setPendingDelete({}); }

bool RosterView::secretOpen() const { return m_store && !m_store->roster()->secret().isEmpty(); }

QString RosterView::secretTitle() const
{
    return m_store ? m_store->roster()->secret().value(QStringLiteral("title")).toString() : QString();
}

QString RosterView::secretText() const
{
    if (!secretOpen())
        return QString();
    const QVariantMap &s = m_store->roster()->secret();
    return Store::memberSecretMessage(s.value(QStringLiteral("created")).toBool(),
                                      s.value(QStringLiteral("login")).toString(),
                                      s.value(QStringLiteral("password")).toString(), m_store->serverUrl());
}

void RosterView::clearSecret()
{
    if (m_store)
        m_store->roster()->clearSecret();
}

void RosterView::secretCopied() { m_secretCopied = true; }

void RosterView::dismissSecret()
{
    if (!secretOpen())
        return;
    if (m_secretCopied) {
        clearSecret();
        return;
    }
    m_secretLeaving = true;
    Q_EMIT secretChanged();
}

void RosterView::keepSecret()
{
    if (!m_secretLeaving)
        return;
    m_secretLeaving = false;
    Q_EMIT secretChanged();
}
