#include "clock.h"

#include <QDateTime>

namespace {
std::function<double()> g_now;
QTimeZone g_zone;
bool g_zoneSet = false;
} // namespace

namespace Clock {

double now()
{
    if (g_now)
        return g_now();
    return QDateTime::currentMSecsSinceEpoch() / 1000.0;
}

QTimeZone zone()
{
    return g_zoneSet ? g_zone : QTimeZone::systemTimeZone();
}

void setNow(std::function<double()> fn) { g_now = std::move(fn); }

void setFixed(double epochSeconds)
{
    g_now = [epochSeconds] { return epochSeconds; };
}

void setZone(const QTimeZone &tz)
{
    g_zone = tz;
    g_zoneSet = true;
}

void reset()
{
    g_now = nullptr;
    g_zoneSet = false;
}

} // namespace Clock
