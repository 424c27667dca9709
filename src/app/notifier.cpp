#include "notifier.h"

#include "app/dbusnotify.h"
#include "core/clock.h"
#include "store/forecasts.h"
#include "store/store.h"

#include <QJSEngine>
#include <QQmlEngine>
#include <QSettings>

static Notifier *g_notifier = nullptr;
static const QString kGroup = QStringLiteral("notifications/");

Notifier::Notifier(Store *store, Forecasts *forecasts, NotificationSink *sink, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_forecasts(forecasts)
    , m_sink(sink)
{
    const QString file = store ? store->deps().settingsFile : QString();
    m_settings = file.isEmpty() ? new QSettings(this) : new QSettings(file, QSettings::IniFormat, this);
    m_on.thresholds = m_settings->value(kGroup + QStringLiteral("thresholds"), true).toBool();
    m_on.runOut = m_settings->value(kGroup + QStringLiteral("runOut"), true).toBool();
    m_on.reset = m_settings->value(kGroup + QStringLiteral("reset"), true).toBool();
    m_on.team = m_settings->value(kGroup + QStringLiteral("team"), false).toBool();
    const QStringList told = m_settings->value(kGroup + QStringLiteral("told")).toStringList();
    m_told = QSet<QString>(told.begin(), told.end());

    // The forecasts have taken the new readings by the time they announce a revision.
    if (forecasts)
        connect(forecasts, &Forecasts::revisionChanged, this, &Notifier::check);
    if (store)
        connect(store, &Store::teamAccountsChanged, this, &Notifier::check);
}

Notifier::~Notifier()
{
    if (g_notifier == this)
        g_notifier = nullptr;
}

void Notifier::setInstance(Notifier *n) { g_notifier = n; }
Notifier *Notifier::instance() { return g_notifier; }

Notifier *Notifier::create(QQmlEngine *engine, QJSEngine *)
{
    if (Notifier *n = g_notifier) {
        QJSEngine::setObjectOwnership(n, QJSEngine::CppOwnership);
        return n;
    }
    return new Notifier(Store::instance(), nullptr, nullptr, engine);
}

void Notifier::setSwitch(bool &field, bool v, const char *key)
{
    if (field == v)
        return;
    field = v;
    m_settings->setValue(kGroup + QLatin1String(key), v);
    Q_EMIT switchesChanged();
}

QList<notifyrules::Window> Notifier::windows() const
{
    QList<notifyrules::Window> out;
    for (const Acct &a : m_store->home()->accounts()) {
        const double five = m_forecasts ? m_forecasts->runOutAt(a, QStringLiteral("five")) : 0;
        const double seven = m_forecasts ? m_forecasts->runOutAt(a, QStringLiteral("seven")) : 0;
        out.append({a.email, QStringLiteral("five"), a.fivePct, a.fiveReset, five, false});
        out.append({a.email, QStringLiteral("seven"), a.sevenPct, a.sevenReset, seven, false});
    }
    // The team's critical accounts (seven-day use of 90 % or more), for administrators.
    if (m_on.team && m_store->isAdmin()) {
        for (const TeamAcct &a : m_store->teamAccounts()) {
            if (!(a.sevenPct >= 90))
                continue;
            out.append({a.email, QStringLiteral("five"), a.fivePct, a.fiveReset, a.burnEta, true});
            out.append({a.email, QStringLiteral("seven"), a.sevenPct, a.sevenReset, 0, true});
        }
    }
    return out;
}

void Notifier::check()
{
    if (!m_store || m_store->phase() != Store::Phase::Platform)
        return;
    const QSet<QString> before = m_told;
    const QList<notifyrules::Note> notes = notifyrules::decide(windows(), m_told, m_on, Clock::now());
    if (m_told != before) {
        const QStringList list(m_told.begin(), m_told.end());
        m_settings->setValue(kGroup + QStringLiteral("told"), list);
        m_settings->sync();
    }
    if (m_sink) {
        for (const notifyrules::Note &n : notes)
            m_sink->show(n.title, n.body);
    }
}
