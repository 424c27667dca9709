#include "teamacct.h"

#include "json.h"

#include <QHash>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Folds the fingerprinted fields, in order, into one 64-bit value. Each field becomes a 64-bit
// word (strings through Qt's seeded string hash, numbers by their bits), and every word passes
// through the SplitMix64 finaliser together with the running state, so the result depends on
// the order of the fields (a swap of two values is a change) and no field can cancel another.
class RevHasher
{
public:
    void add(const QString &s) { feed(qHash(QStringView(s), m_seed)); }
    void add(double d)
    {
        // By value: -0 and +0 are the same number and look the same on screen.
        if (d == 0)
            d = 0;
        else if (std::isnan(d))
            d = std::numeric_limits<double>::quiet_NaN();
        quint64 bits;
        std::memcpy(&bits, &d, sizeof bits);
        feed(bits);
    }
    void add(bool b) { feed(b ? 0xB1 : 0xB0); }
    // List lengths keep elements of neighbouring lists apart.
    void count(qsizetype n) { feed(0x4C00000000000000ull ^ quint64(n)); }
    qint64 result() const { return static_cast<qint64>(m_h); }

private:
    void feed(quint64 v)
    {
        quint64 x = (m_h ^ v) + 0x9E3779B97F4A7C15ull;
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
        m_h = x ^ (x >> 31);
    }
    size_t m_seed = QHashSeed::globalSeed();
    quint64 m_h = 0x243F6A8885A308D3ull;
};

bool isLive(const TeamAcct &a) { return a.hasTelemetry && a.online; }

// A NaN would break the sort's ordering; it ranks as the lowest use.
double sortPct(double d) { return std::isnan(d) ? -std::numeric_limits<double>::infinity() : d; }

} // namespace

QList<LiveSession> TeamAcct::activeSessions() const
{
    QList<LiveSession> out;
    for (const LiveSession &s : liveSessions) {
        if (s.active)
            out.append(s);
    }
    return out;
}

qint64 TeamAcct::computeRev() const
{
    // Left out on purpose: memberId, currency, payMethod, renewDate, ccProvider, baseUrl and the
    // devices' version and brRev — no table row shows them.
    RevHasher h;
    h.add(id());
    h.add(owner);
    h.add(group);
    h.add(status);
    h.add(authType);
    h.add(hasKey);
    h.add(hasMonitor);
    h.add(inRegistry);
    h.add(fivePct);
    h.add(fiveReset);
    h.add(sevenPct);
    h.add(sevenReset);
    h.add(cost);
    h.add(tokensIn);
    h.add(tokensOut);
    h.add(model);
    h.add(version);
    h.add(lastSeen);
    h.add(online);
    h.add(hasTelemetry);
    h.add(limitsSource);
    h.add(limitsFetchedAt);
    h.add(severity);
    h.add(extraUsagePct);
    h.add(plan);
    h.add(price);
    h.add(notes);
    h.add(burnEta);
    h.count(weeklyScoped.size());
    for (const ScopedModel &m : weeklyScoped) {
        h.add(m.model);
        h.add(m.pct);
    }
    h.count(liveSessions.size());
    for (const LiveSession &s : liveSessions) {
        h.add(s.project);
        h.add(s.person);
        h.add(s.model);
        h.add(s.active);
    }
    h.count(users.size());
    for (const AcctUser &u : users) {
        h.add(u.name);
        h.add(u.online);
    }
    h.count(devices.size());
    for (const Device &d : devices) {
        h.add(d.host);
        h.add(d.osUser);
        h.add(d.person);
        h.add(d.model);
        h.add(d.project);
        h.add(d.fivePct);
        h.add(d.sevenPct);
        h.add(d.cost);
        h.add(d.lastSeen);
        h.add(d.online);
    }
    return h.result();
}

TeamAcct parseTeamAcct(const QJsonObject &o)
{
    using json::flag;
    using json::number;
    using json::text;
    TeamAcct a;
    const QJsonValue email = o.value(QLatin1String("email"));
    a.email = email.isString() ? email.toString() : text(o.value(QLatin1String("account_email")));
    // Defaults apply before lower-casing.
    a.provider = text(o.value(QLatin1String("provider")), QStringLiteral("claude")).toLower();
    a.memberId = text(o.value(QLatin1String("member_id")));
    const QString memberName = text(o.value(QLatin1String("member_name")));
    a.owner = memberName.isEmpty() ? a.memberId : memberName;
    a.group = text(o.value(QLatin1String("group_name")));
    a.status = text(o.value(QLatin1String("status")), QStringLiteral("active")).toLower();
    a.authType = text(o.value(QLatin1String("auth_type"))).toLower();
    a.hasKey = flag(o.value(QLatin1String("has_key")));
    a.hasMonitor = flag(o.value(QLatin1String("has_monitor")));
    a.inRegistry = flag(o.value(QLatin1String("in_registry")));
    a.fivePct = number(o.value(QLatin1String("five_hour_pct")));
    a.fiveReset = number(o.value(QLatin1String("five_hour_resets_at")));
    a.sevenPct = number(o.value(QLatin1String("seven_day_pct")));
    a.sevenReset = number(o.value(QLatin1String("seven_day_resets_at")));
    a.cost = number(o.value(QLatin1String("cost_usd")));
    a.tokensIn = number(o.value(QLatin1String("total_input")));
    a.tokensOut = number(o.value(QLatin1String("total_output")));
    a.model = text(o.value(QLatin1String("model")));
    a.version = text(o.value(QLatin1String("version")));
    a.lastSeen = number(o.value(QLatin1String("last_seen")));
    a.online = flag(o.value(QLatin1String("online")));
    a.hasTelemetry = flag(o.value(QLatin1String("has_telemetry")));

    const QJsonObject limits = json::object(o.value(QLatin1String("limits")));
    a.limitsSource = text(limits.value(QLatin1String("source")));
    a.limitsFetchedAt = number(limits.value(QLatin1String("fetched_at")));
    a.severity = text(limits.value(QLatin1String("severity")));
    a.extraUsagePct = number(limits.value(QLatin1String("extra_usage_pct")), -1);
    const QList<QJsonObject> weeklyScopedObjs = json::objects(limits.value(QLatin1String("weekly_scoped")));
    a.weeklyScoped.reserve(weeklyScopedObjs.size());
    for (const QJsonObject &e : weeklyScopedObjs) {
        ScopedModel m;
        m.model = text(e.value(QLatin1String("model")));
        if (m.model.isEmpty())
            continue;
        m.pct = number(e.value(QLatin1String("pct")));
        a.weeklyScoped.append(m);
    }

    a.plan = text(o.value(QLatin1String("plan")));
    a.price = number(o.value(QLatin1String("price")));
    a.currency = text(o.value(QLatin1String("currency")));
    a.payMethod = text(o.value(QLatin1String("pay_method")));
    a.renewDate = text(o.value(QLatin1String("renew_date")));
    a.notes = text(o.value(QLatin1String("notes")));
    a.ccProvider = text(o.value(QLatin1String("cc_provider")));
    a.baseUrl = text(o.value(QLatin1String("base_url")));
    a.burnEta = number(json::object(o.value(QLatin1String("five_hour_burn"))).value(QLatin1String("eta")));

    const QList<QJsonObject> liveSessionsObjs = json::objects(o.value(QLatin1String("live_sessions")));
    a.liveSessions.reserve(liveSessionsObjs.size());
    for (const QJsonObject &e : liveSessionsObjs) {
        LiveSession s;
        s.project = text(e.value(QLatin1String("project")));
        s.person = text(e.value(QLatin1String("person")));
        s.model = text(e.value(QLatin1String("model")));
        s.active = flag(e.value(QLatin1String("active")));
        a.liveSessions.append(s);
    }
    const QList<QJsonObject> usersObjs = json::objects(o.value(QLatin1String("users")));
    a.users.reserve(usersObjs.size());
    for (const QJsonObject &e : usersObjs) {
        AcctUser u;
        u.name = text(e.value(QLatin1String("name")));
        if (u.name.isEmpty())
            continue;
        u.online = flag(e.value(QLatin1String("online")));
        a.users.append(u);
    }
    const QList<QJsonObject> devicesObjs = json::objects(o.value(QLatin1String("devices")));
    a.devices.reserve(devicesObjs.size());
    for (const QJsonObject &e : devicesObjs) {
        Device d;
        d.host = text(e.value(QLatin1String("device_host")));
        d.osUser = text(e.value(QLatin1String("os_user")));
        d.person = text(e.value(QLatin1String("person")));
        d.model = text(e.value(QLatin1String("model")));
        d.version = text(e.value(QLatin1String("version")));
        d.brRev = text(e.value(QLatin1String("br_rev")));
        d.project = text(e.value(QLatin1String("project")));
        d.fivePct = number(e.value(QLatin1String("five_hour_pct")));
        d.sevenPct = number(e.value(QLatin1String("seven_day_pct")));
        d.cost = number(e.value(QLatin1String("cost_usd")));
        d.lastSeen = number(e.value(QLatin1String("last_seen")));
        d.online = flag(e.value(QLatin1String("online")));
        a.devices.append(d);
    }
    a.rev = a.computeRev();
    return a;
}

void sortTeamAccounts(QList<TeamAcct> &list)
{
    std::stable_sort(list.begin(), list.end(), [](const TeamAcct &a, const TeamAcct &b) {
        const bool la = isLive(a), lb = isLive(b);
        if (la != lb)
            return la;
        const double pa = sortPct(a.sevenPct), pb = sortPct(b.sevenPct);
        if (pa != pb)
            return pa > pb;
        return a.hasTelemetry && !b.hasTelemetry;
    });
}

QList<TeamAcct> decodeTeamAccounts(const QJsonObject &answer)
{
    const QList<QJsonObject> objs = json::objects(answer.value(QLatin1String("accounts")));
    QList<TeamAcct> out;
    out.reserve(objs.size());
    for (const QJsonObject &o : objs)
        out.append(parseTeamAcct(o));
    sortTeamAccounts(out);
    return out;
}

TeamCounts teamCounts(const QList<TeamAcct> &list)
{
    TeamCounts c;
    for (const TeamAcct &a : list) {
        if (a.hasTelemetry) {
            ++c.withTelemetry;
            if (a.online)
                ++c.online;
        }
        if (a.sevenPct >= 90)
            ++c.hot;
        c.totalCost += a.cost;
    }
    return c;
}
