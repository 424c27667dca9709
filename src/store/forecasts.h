#pragma once
// Run-out forecasts of the user's own accounts: every assignment of Store.accounts is one
// reading per account and window, kept for an hour (forecast::History). The gauges of the tray
// panel and of the own-account cards bind to line(); team accounts carry the server's own
// estimate (TeamAcct.burnEta), which teamLine() words the same way. QML singleton `Forecasts`.

#include "core/forecast.h"
#include "core/records.h"

#include <QObject>
#include <QPointer>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;
class QJSEngine;
class Store;

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

    int revision() const { return m_revision; }
    const forecast::History &history() const { return m_history; }
    // When the window would reach 100 % at the current rate; 0 when there is no estimate.
    double runOutAt(const Acct &a, const QString &window) const;

    // {text, tone} under the gauge of an own account's window; text "" for no line. `tick` and
    // `revision` only make bindings re-evaluate.
    Q_INVOKABLE QVariantMap line(const QVariant &acct, const QString &window, int revision = 0, int tick = 0) const;
    // The same for a team account's five-hour window from the server's estimate.
    Q_INVOKABLE QVariantMap teamLine(double burnEta, double fiveReset, int tick = 0) const;

    // Records the readings of `accounts` at `now` (Store.accounts assignments call it).
    void record(const QList<Acct> &accounts, double now);

Q_SIGNALS:
    void revisionChanged();

private:
    QPointer<Store> m_store;
    forecast::History m_history;
    int m_revision = 0;
};

// {text, tone} of a forecast line (tone: "warn" or "textTertiary").
QVariantMap forecastLineMap(const forecast::Line &l);
