#include "teamacct.h"

#include "json.h"
#include "teamacct_decode.h"

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

namespace {

// Reads a QJsonObject for decodeTeamAcct.
class QtReader
{
public:
    explicit QtReader(const QJsonObject &o) : m_o(o) {}
    bool isString(const char *k) const { return v(k).isString(); }
    QString text(const char *k, const QString &def = QString()) const { return json::text(v(k), def); }
    double number(const char *k, double def = 0) const { return json::number(v(k), def); }
    bool flag(const char *k) const { return json::flag(v(k)); }
    QtReader object(const char *k) const { return QtReader(json::object(v(k))); }
    template<class F>
    void eachObject(const char *k, F f) const
    {
        for (const QJsonObject &e : json::objects(v(k)))
            f(QtReader(e));
    }

private:
    QJsonValue v(const char *k) const { return m_o.value(QLatin1String(k)); }
    QJsonObject m_o;
};

} // namespace

TeamAcct parseTeamAcct(const QJsonObject &o)
{
    return decodeTeamAcct(QtReader(o));
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
