#include "store/teamaccountsmodel.h"

#include "core/acview.h"
#include "core/clock.h"
#include "core/forecast.h"
#include "core/format.h"
#include "store/forecasts.h"
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

namespace {

const char *const kRoleNames[] = {
    "acct", "accountId", "rev", "expanded", "isHeader",
    "provider", "provLabel", "authSymbol", "authText", "marker", "markerTone",
    "group", "owner", "email", "statusText", "statusTone",
    "fiveText", "fiveTone", "fiveBarTone", "fiveFrac", "sevenText", "sevenTone", "sevenBarTone", "sevenFrac",
    "topText", "topTone",
    "reset5Text", "reset5Tone", "etaText", "etaTone", "reset7Text", "reset7Tone", "reset7Date",
    "cost", "whoNone", "whoName", "whoDot", "whoMore", "presText", "presDot", "presTone",
    "cardDot", "providerTag", "hold", "cardCost", "modelName", "tokens", "pull",
    "projects", "activityMore", "seen", "fiveGaugeTone", "fiveCountdown",
    "sevenGaugeTone", "sevenCountdown", "scoped", "users", "usersMore",
    "forecastText", "forecastTone",
    "groupName", "groupCount", "groupSummary", "groupOnline",
};
static_assert(std::size(kRoleNames) == RoleEnd - AcctRole);

QVariant emptyOf(int role)
{
    switch (role) {
    case AcctRole:
        return QVariant::fromValue(TeamAcct());
    case RevRole:
        return qint64(0);
    case ExpandedRole: case IsHeaderRole: case WhoNoneRole: case PresDotRole: case GroupOnlineRole:
    case HoldRole: case PullRole:
        return false;
    case ProjectsRole:
        return QStringList();
    case ScopedRole: case UsersRole:
        return QVariantList();
    case FiveFracRole: case SevenFracRole:
        return 0.0;
    default:
        return QString();
    }
}

QVariantList scopedList(const TeamAcct &a)
{
    QVariantList out;
    for (const ScopedModel &m : a.weeklyScoped)
        out.append(QVariantMap{{QStringLiteral("name"), fmt::shortModel(m.model)},
                               {QStringLiteral("text"), acview::percent(m.pct)},
                               {QStringLiteral("tone"), acview::teamGaugeTone(m.pct)},
                               {QStringLiteral("frac"), acview::fraction(m.pct)}});
    return out;
}

QVariantList userList(const TeamAcct &a)
{
    QVariantList out;
    for (const AcctUser &u : acview::cardUsers(a).shown)
        out.append(QVariantMap{{QStringLiteral("name"), u.name},
                               {QStringLiteral("dotTone"), u.online ? QStringLiteral("ok") : QStringLiteral("textTertiary")}});
    return out;
}

// The run-out line: from the server's readings once they are in (Forecasts asks for them when the
// line is first read), until then from the server's own estimate.
forecast::Line runOutLine(const TeamAcct &a)
{
    if (const Forecasts *f = Forecasts::instance())
        return f->teamLine(a);
    return forecast::line(a.burnEta, a.fiveReset, Clock::now());
}

} // namespace

QVariant cell(const AcRow *row, int role)
{
    if (role < AcctRole || role >= RoleEnd || role == ExpandedRole)
        return {};
    if (!row || role >= GroupNameRole)
        return role == IsHeaderRole ? QVariant(!row) : emptyOf(role);
    const TeamAcct &a = row->a;
    switch (role) {
    case AcctRole: return QVariant::fromValue(a);
    case AccountIdRole: return row->id;
    case RevRole: return a.rev;
    case IsHeaderRole: return false;
    case ProviderRole: return a.provider;
    case ProvLabelRole: return acview::providerCell(a).label;
    case AuthSymbolRole: return acview::providerCell(a).authSymbol;
    case AuthTextRole: return acview::providerCell(a).authText;
    case MarkerRole: return acview::providerCell(a).marker;
    case MarkerToneRole: return acview::providerCell(a).markerTone;
    case GroupRole: return a.group;
    case OwnerRole: return a.owner;
    case EmailRole: return a.email;
    case StatusTextRole: return acview::statusPillText(a.status);
    case StatusToneRole: return acview::statusPillTone(a.status);
    case FiveTextRole: return acview::cellGaugeText(a.fivePct);
    case FiveToneRole: return acview::cellGaugeTone(a.fivePct);
    case FiveBarToneRole: return acview::cellBarTone(a.fivePct);
    case FiveFracRole: return acview::fraction(a.fivePct);
    case SevenTextRole: return acview::cellGaugeText(a.sevenPct);
    case SevenToneRole: return acview::cellGaugeTone(a.sevenPct);
    case SevenBarToneRole: return acview::cellBarTone(a.sevenPct);
    case SevenFracRole: return acview::fraction(a.sevenPct);
    case TopTextRole: return acview::topModelCell(a).text;
    case TopToneRole: return acview::topModelCell(a).tone;
    case Reset5TextRole: return acview::fiveResetCell(a.fiveReset).text;
    case Reset5ToneRole: return acview::fiveResetCell(a.fiveReset).tone;
    case EtaTextRole: return forecast::cell(a.burnEta, a.fiveReset, Clock::now()).text;
    case EtaToneRole:
        return a.burnEta <= 0 ? QStringLiteral("textTertiary")
            : forecast::cell(a.burnEta, a.fiveReset, Clock::now()).warn ? QStringLiteral("warn")
                                                                           : QStringLiteral("text");
    case Reset7TextRole: return acview::sevenResetCell(a.sevenReset).text;
    case Reset7ToneRole: return acview::sevenResetCell(a.sevenReset).tone;
    case Reset7DateRole: return acview::sevenResetCell(a.sevenReset).date;
    case CostRole: return acview::cost(a.cost);
    case WhoNoneRole: return acview::whoCell(a).none;
    case WhoNameRole: return acview::whoCell(a).name;
    case WhoDotRole: return acview::whoCell(a).dotTone;
    case WhoMoreRole: return acview::whoCell(a).more;
    case PresTextRole: return acview::presenceCell(a).text;
    case PresDotRole: return acview::presenceCell(a).dot;
    case PresToneRole: return acview::presenceCell(a).tone;
    case CardDotRole: return acview::cardDotTone(a);
    case ProviderTagRole: return acview::cardProviderTag(a);
    case HoldRole: return a.status == QLatin1String("hold");
    case CardCostRole: return acview::money(a.cost);
    case ModelNameRole: return acview::cardModel(a);
    case TokensRole: return acview::tokens(a);
    case PullRole: return acview::cardPull(a);
    case ProjectsRole: return acview::cardActivity(a).projects;
    case ActivityMoreRole: return acview::cardActivity(a).more;
    case SeenRole: return acview::cardActivity(a).seen;
    case FiveGaugeToneRole: return acview::teamGaugeTone(a.fivePct);
    case FiveCountdownRole: return acview::teamGaugeReset(a.fiveReset);
    case SevenGaugeToneRole: return acview::teamGaugeTone(a.sevenPct);
    case SevenCountdownRole: return acview::teamGaugeReset(a.sevenReset);
    case ScopedRole: return scopedList(a);
    case UsersRole: return userList(a);
    case UsersMoreRole: return acview::cardUsers(a).more;
    case ForecastTextRole: return runOutLine(a).text;
    case ForecastToneRole: return forecastTone(runOutLine(a));
    default: return {};
    }
}

QHash<int, QByteArray> roleNames()
{
    QHash<int, QByteArray> out;
    out.reserve(RoleEnd - AcctRole);
    for (int r = AcctRole; r < RoleEnd; ++r)
        out.insert(r, kRoleNames[r - AcctRole]);
    return out;
}

QList<int> timeRoles()
{
    return {Reset5TextRole, Reset5ToneRole, EtaTextRole, EtaToneRole, Reset7TextRole, Reset7ToneRole,
            Reset7DateRole, PresTextRole, SeenRole, FiveCountdownRole, SevenCountdownRole, ForecastTextRole,
            ForecastToneRole};
}

} // namespace acrows

TeamAccountsModel::TeamAccountsModel(QObject *parent)
    : OrderedKeyedModel(parent)
{
    refreshOnTick(acrows::timeRoles());
    // New readings move the run-out lines on.
    if (const Forecasts *f = Forecasts::instance())
        refreshOn(f, &Forecasts::revisionChanged, {acrows::ForecastTextRole, acrows::ForecastToneRole});
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
    return role == Qt::DisplayRole ? QVariant(r.id) : acrows::cell(&r, role);
}

QHash<int, QByteArray> TeamAccountsModel::roleNames() const
{
    return acrows::roleNames();
}

QVariant TeamAccountsModel::get(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    return QVariant::fromValue(m_rows.at(row)->a);
}
