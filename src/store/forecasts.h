#pragma once
// Run-out forecasts: the team server's readings of each account's current window (UsageHistory,
// asked for as soon as a line is shown) continued by the readings every refresh brings (kept for
// an hour, forecast::History). The gauges of the tray panel and of the own-account cards bind to
// line(), the team account cards to teamLine(); until the server's readings arrive a team card
// words the server's own estimate (TeamAcct.burnEta). QML singleton `Forecasts`.

#include "core/forecast.h"
#include "core/records.h"
#include "core/teamacct.h"

#include <QObject>
#include <QPointer>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;
class QJSEngine;
class Store;
class UsageHistory;

class Forecasts : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // Advances with every reading, so that bindings passing it along follow new figures.
    Q_PROPERTY(int revision READ revision NOTIFY revisionChanged)

public:
    Forecasts(Store *store, QObject *parent);
    static void setInstance(Forecasts *f);
    static Forecasts *instance();
    static Forecasts *create(QQmlEngine *, QJSEngine *);

    // The key of one account window in the history ("five" or "seven").
    static QString key(const Acct &a, const QString &window);
    static QString teamKey(const TeamAcct &a);

    UsageHistory *usage() const { return m_usage; }
    // The readings a forecast of the window rests on: the server's, then this client's later ones.
    QList<forecast::Reading> readings(const Acct &a, const QString &window) const;
    QList<forecast::Reading> teamReadings(const TeamAcct &a) const;

    int revision() const { return m_revision; }
    const forecast::History &history() const { return m_history; }
    // When the window would reach 100 % at the current rate; 0 when there is no estimate.
    double runOutAt(const Acct &a, const QString &window) const;

    // {text, tone} under the gauge of an own account's window; text "" for no line. `tick` and
    // `revision` only make bindings re-evaluate.
    Q_INVOKABLE QVariantMap line(const QVariant &acct, const QString &window, int revision = 0, int tick = 0) const;
    // The same for a team account's five-hour window.
    Q_INVOKABLE QVariantMap teamLine(const QVariant &acct, int revision = 0, int tick = 0) const;

    // Records the readings of `accounts` at `now` (Store.home.accounts assignments call it).
    void record(const QList<Acct> &accounts, double now);
    void recordTeam(const QList<TeamAcct> &accounts, double now);

Q_SIGNALS:
    void revisionChanged();

private:
    void bump();

    QPointer<Store> m_store;
    UsageHistory *m_usage = nullptr;
    forecast::History m_history;
    int m_revision = 0;
};

// {text, tone} of a forecast line (tone: "warn" or "textTertiary").
QVariantMap forecastLineMap(const forecast::Line &l);
// The run-out line of these readings with the rate behind it: "закончится через 2ч 5м · темп 12%/ч".
forecast::Line forecastLine(const QList<forecast::Reading> &readings, double reset, double now);
