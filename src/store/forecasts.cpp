#include "forecasts.h"

#include "core/clock.h"
#include "store/store.h"

#include <QJSEngine>
#include <QQmlEngine>

static Forecasts *g_forecasts = nullptr;

QVariantMap forecastLineMap(const forecast::Line &l)
{
    return {{QStringLiteral("text"), l.text},
            {QStringLiteral("tone"), l.warn ? QStringLiteral("warn") : QStringLiteral("textTertiary")}};
}

Forecasts::Forecasts(Store *store, QObject *parent)
    : QObject(parent)
    , m_store(store)
{
    if (!store)
        return;
    connect(store, &Store::accountsChanged, this, [this] {
        if (m_store)
            record(m_store->accounts(), Clock::now());
    });
    // Another member may sign in next: their windows start without this one's readings.
    connect(store, &Store::phaseChanged, this, [this] {
        if (m_store && m_store->phase() != Store::Phase::Platform) {
            m_history.clear();
            ++m_revision;
            Q_EMIT revisionChanged();
        }
    });
}

void Forecasts::setInstance(Forecasts *f) { g_forecasts = f; }
Forecasts *Forecasts::instance() { return g_forecasts; }

Forecasts *Forecasts::create(QQmlEngine *engine, QJSEngine *)
{
    if (Forecasts *f = g_forecasts) {
        QJSEngine::setObjectOwnership(f, QJSEngine::CppOwnership);
        return f;
    }
    return new Forecasts(Store::instance(), engine);
}

QString Forecasts::key(const Acct &a, const QString &window)
{
    return a.email + QLatin1Char('\n') + a.project + QLatin1Char('\n') + window;
}

void Forecasts::record(const QList<Acct> &accounts, double now)
{
    for (const Acct &a : accounts) {
        m_history.add(key(a, QStringLiteral("five")), now, a.fivePct, a.fiveReset);
        m_history.add(key(a, QStringLiteral("seven")), now, a.sevenPct, a.sevenReset);
    }
    ++m_revision;
    Q_EMIT revisionChanged();
}

double Forecasts::runOutAt(const Acct &a, const QString &window) const
{
    return m_history.runOutAt(key(a, window));
}

QVariantMap Forecasts::line(const QVariant &acct, const QString &window, int, int) const
{
    const Acct a = acct.value<Acct>();
    const double reset = window == QLatin1String("five") ? a.fiveReset : a.sevenReset;
    const QList<forecast::Reading> readings = m_history.readings(key(a, window));
    forecast::Line l = forecast::line(forecast::runOutAt(readings), reset, Clock::now());
    // The rate behind the estimate, so that a member sees how fast the window fills.
    if (const auto rate = forecast::ratePerHour(readings); rate && !l.text.isEmpty())
        l.text += QStringLiteral(" · ") + forecast::pace(*rate);
    return forecastLineMap(l);
}

QVariantMap Forecasts::teamLine(double burnEta, double fiveReset, int) const
{
    return forecastLineMap(forecast::line(burnEta, fiveReset, Clock::now()));
}
