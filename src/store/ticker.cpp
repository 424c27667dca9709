#include "store/ticker.h"

namespace {
// Countdowns show minutes; half a minute keeps them at most that late.
constexpr int kTickMs = 30000;
} // namespace

Ticker::Ticker()
{
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &Ticker::tickNow);
    m_timer.start();
}

Ticker *Ticker::instance()
{
    static Ticker *t = new Ticker; // lives as long as the event loop that drives it
    return t;
}

void Ticker::tickNow()
{
    Q_EMIT ticked();
}
