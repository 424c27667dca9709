#pragma once
// Limit notifications: after each reading of the user's own limits (and, for administrators who
// switched it on, of the team accounts) it asks notifyrules what is due and shows it through a
// NotificationSink. The switches and what was told live in the Store's settings file, so a
// notice is given once per window and period across restarts. QML singleton `Notifier`.

#include "core/notifyrules.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;
class QJSEngine;
class QSettings;
class Store;
class Forecasts;
class NotificationSink;

class Notifier : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool thresholds READ thresholds WRITE setThresholds NOTIFY switchesChanged)
    Q_PROPERTY(bool runOut READ runOut WRITE setRunOut NOTIFY switchesChanged)
    Q_PROPERTY(bool reset READ reset WRITE setReset NOTIFY switchesChanged)
    Q_PROPERTY(bool team READ team WRITE setTeam NOTIFY switchesChanged)

public:
    // `sink` is not owned; null: notices are decided and remembered but shown nowhere.
    Notifier(Store *store, Forecasts *forecasts, NotificationSink *sink, QObject *parent);
    ~Notifier() override;
    static void setInstance(Notifier *n);
    static Notifier *instance();
    static Notifier *create(QQmlEngine *, QJSEngine *);

    bool thresholds() const { return m_on.thresholds; }
    bool runOut() const { return m_on.runOut; }
    bool reset() const { return m_on.reset; }
    bool team() const { return m_on.team; }
    void setThresholds(bool v) { setSwitch(m_on.thresholds, v, "thresholds"); }
    void setRunOut(bool v) { setSwitch(m_on.runOut, v, "runOut"); }
    void setReset(bool v) { setSwitch(m_on.reset, v, "reset"); }
    void setTeam(bool v) { setSwitch(m_on.team, v, "team"); }

    // Decides and shows what is due now (called after every reading).
    void check();

Q_SIGNALS:
    void switchesChanged();

private:
    void setSwitch(bool &field, bool v, const char *key);
    QList<notifyrules::Window> windows() const;

    QPointer<Store> m_store;
    QPointer<Forecasts> m_forecasts;
    NotificationSink *m_sink = nullptr;
    QSettings *m_settings = nullptr;
    notifyrules::Switches m_on;
    QSet<QString> m_told;
};
