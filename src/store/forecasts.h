#pragma once
// Run-out forecasts: the team server's readings of each account's current window (UsageHistory,
// asked for as soon as a line is shown) continued by the readings every refresh brings (kept for
// an hour, forecast::History). The gauges of the tray panel and of the own-account cards show
// line() through an OwnForecast, the team account cards teamLine() as a role of their list; until
// the server's readings arrive a team card words the server's own estimate (TeamAcct.burnEta).

#include "core/forecast.h"
#include "core/records.h"
#include "core/teamacct.h"

#include <QObject>
#include <QPointer>

class Store;
class UsageHistory;

class Forecasts : public QObject
{
    Q_OBJECT

public:
    Forecasts(Store *store, QObject *parent);
    static void setInstance(Forecasts *f);
    static Forecasts *instance();

    // The key of one account window in the history ("five" or "seven").
    static QString key(const Acct &a, const QString &window);
    static QString teamKey(const TeamAcct &a);

    UsageHistory *usage() const { return m_usage; }
    // The readings a forecast of the window rests on: the server's, then this client's later ones.
    QList<forecast::Reading> readings(const Acct &a, const QString &window) const;
    QList<forecast::Reading> teamReadings(const TeamAcct &a) const;

    const forecast::History &history() const { return m_history; }
    // When the window would reach 100 % at the current rate; 0 when there is no estimate.
    double runOutAt(const Acct &a, const QString &window) const;

    // The line under the gauge of an own account's window ("five" or "seven"), now; text "" for
    // no line.
    forecast::Line line(const Acct &a, const QString &window) const;
    // The same for a team account's five-hour window.
    forecast::Line teamLine(const TeamAcct &a) const;

    // Records the readings of `accounts` at `now` (Store.home.accounts assignments call it).
    void record(const QList<Acct> &accounts, double now);
    void recordTeam(const QList<TeamAcct> &accounts, double now);

Q_SIGNALS:
    // Every new reading: the lines shown follow it.
    void revisionChanged();

private:
    void bump();

    QPointer<Store> m_store;
    UsageHistory *m_usage = nullptr;
    forecast::History m_history;
};

// The colour role a line is drawn in: "warn" when the limit is near, else "textTertiary".
inline QString forecastTone(const forecast::Line &l)
{
    return l.warn ? QStringLiteral("warn") : QStringLiteral("textTertiary");
}

// The run-out line of these readings with the rate behind it: "закончится через 2ч 5м · темп 12%/ч".
forecast::Line forecastLine(const QList<forecast::Reading> &readings, double reset, double now);
