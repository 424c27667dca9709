#pragma once
// The one clock tick of the views: texts that count time ("через 2ч 10м", "5 мин назад",
// "онлайн") move on with it between reloads. The list models answer it with `dataChanged` on
// just their time roles; one timer serves the whole application.

#include <QObject>
#include <QTimer>

class Ticker : public QObject
{
    Q_OBJECT
public:
    static Ticker *instance();
    // Ticks at once (tests, and a wake from sleep that should not wait for the next tick).
    void tickNow();

Q_SIGNALS:
    void ticked();

private:
    Ticker();
    QTimer m_timer;
};
