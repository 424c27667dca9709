#include "forecasts.h"

#include "core/clock.h"
#include "store/store.h"
#include "store/usagehistory.h"

static Forecasts *g_forecasts = nullptr;

forecast::Line forecastLine(const QList<forecast::Reading> &readings, double reset, double now)
{
    forecast::Line l = forecast::line(forecast::runOutAt(readings), reset, now);
    // The rate behind the estimate, so that a member sees how fast the window fills.
    if (const auto rate = forecast::ratePerHour(readings); rate && !l.text.isEmpty())
        l.text += QStringLiteral(" · ") + forecast::pace(*rate);
    return l;
}

Forecasts::Forecasts(Store *store, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_usage(new UsageHistory(store, this))
{
    connect(m_usage, &UsageHistory::changed, this, &Forecasts::bump);
    if (!store)
        return;
    connect(store->home(), &HomeState::accountsChanged, this, [this] {
        if (m_store)
            record(m_store->home()->accounts(), Clock::now());
    });
    connect(store, &Store::teamAccountsChanged, this, [this] {
        if (m_store)
            recordTeam(m_store->teamAccounts(), Clock::now());
    });
    // Another member may sign in next: their windows start without this one's readings.
    connect(store, &Store::phaseChanged, this, [this] {
        if (m_store && m_store->phase() != Store::Phase::Platform) {
            m_history.clear();
            bump();
        }
    });
}

void Forecasts::setInstance(Forecasts *f) { g_forecasts = f; }
Forecasts *Forecasts::instance() { return g_forecasts; }

QString Forecasts::key(const Acct &a, const QString &window)
{
    return a.email + QLatin1Char('\n') + a.project + QLatin1Char('\n') + window;
}

QString Forecasts::teamKey(const TeamAcct &a)
{
    return QStringLiteral("team\n") + UsageHistory::key(a.provider, a.email);
}

void Forecasts::bump()
{
    Q_EMIT revisionChanged();
}

void Forecasts::record(const QList<Acct> &accounts, double now)
{
    for (const Acct &a : accounts) {
        m_history.add(key(a, QStringLiteral("five")), now, a.fivePct, a.fiveReset);
        m_history.add(key(a, QStringLiteral("seven")), now, a.sevenPct, a.sevenReset);
    }
    bump();
}

void Forecasts::recordTeam(const QList<TeamAcct> &accounts, double now)
{
    // A team account says when its figures were read; the same reading seen again is one reading.
    // Only the accounts whose line has been shown are followed: a large team's others cost nothing.
    for (const TeamAcct &a : accounts)
        if (m_usage->entry(a.provider, a.email))
            m_history.add(teamKey(a), a.limitsFetchedAt > 0 ? std::min(a.limitsFetchedAt, now) : now, a.fivePct, a.fiveReset);
    bump();
}

QList<forecast::Reading> Forecasts::readings(const Acct &a, const QString &window) const
{
    const QString k = key(a, window);
    m_usage->want(a.provider, a.email, 1);
    const UsageHistory::Entry *e = m_usage->entry(a.provider, a.email);
    if (!e || e->at <= 0)
        return m_history.readings(k);
    return forecast::merge(window == QLatin1String("five") ? e->five : e->seven, m_history.readings(k),
                           m_history.reset(k));
}

QList<forecast::Reading> Forecasts::teamReadings(const TeamAcct &a) const
{
    const QString k = teamKey(a);
    m_usage->want(a.provider, a.email, 1);
    const UsageHistory::Entry *e = m_usage->entry(a.provider, a.email);
    if (!e || e->at <= 0)
        return {};
    return forecast::merge(e->five, m_history.readings(k), m_history.reset(k));
}

double Forecasts::runOutAt(const Acct &a, const QString &window) const
{
    return forecast::runOutAt(readings(a, window));
}

forecast::Line Forecasts::line(const Acct &a, const QString &window) const
{
    const double reset = window == QLatin1String("five") ? a.fiveReset : a.sevenReset;
    return forecastLine(readings(a, window), reset, Clock::now());
}

forecast::Line Forecasts::teamLine(const TeamAcct &a) const
{
    const QList<forecast::Reading> r = teamReadings(a);
    const UsageHistory::Entry *e = m_usage->entry(a.provider, a.email);
    // Until the server's readings arrive, its own estimate from the last two.
    if (!e || e->at <= 0)
        return forecast::line(a.burnEta, a.fiveReset, Clock::now());
    return forecastLine(r, a.fiveReset, Clock::now());
}
