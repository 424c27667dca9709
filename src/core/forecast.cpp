#include "forecast.h"

#include "clock.h"
#include "format.h"

#include <cmath>
#include <limits>

namespace forecast {

namespace {
// Reset times move by hours or days when a window turns over; a few minutes is the server's
// rounding, not a new window.
constexpr double kResetTolerance = 300;
// Use that falls by more than this between two readings means the window was reset.
constexpr double kDropTolerance = 1;
} // namespace

std::optional<double> ratePerHour(const QList<Reading> &readings)
{
    if (readings.size() < 3)
        return std::nullopt;
    // Times are centred on their mean: squares of raw epoch seconds would lose the fractions.
    double meanT = 0, meanP = 0;
    for (const Reading &r : readings) {
        meanT += r.t;
        meanP += r.pct;
    }
    meanT /= readings.size();
    meanP /= readings.size();
    double sxy = 0, sxx = 0;
    for (const Reading &r : readings) {
        const double dt = r.t - meanT;
        sxy += dt * (r.pct - meanP);
        sxx += dt * dt;
    }
    if (!(sxx > 0))
        return std::nullopt;
    const double perHour = sxy / sxx * 3600;
    if (!std::isfinite(perHour) || perHour <= 1e-6)
        return std::nullopt;
    return perHour;
}

double runOutAt(const QList<Reading> &readings)
{
    const std::optional<double> rate = ratePerHour(readings);
    if (!rate || readings.isEmpty())
        return 0;
    const Reading &last = readings.last();
    if (last.pct >= 100)
        return 0;
    return last.t + (100 - last.pct) / *rate * 3600;
}

static bool otherReset(double a, double b)
{
    return a > 0 && b > 0 && std::abs(a - b) > kResetTolerance;
}

QList<Reading> currentWindow(const QList<Point> &points, double span)
{
    QList<Reading> out;
    qsizetype first = points.size();
    while (first > 0) {
        const Point &p = points[first - 1];
        if (!std::isfinite(p.t) || !std::isfinite(p.pct))
            break;
        if (first < points.size()) {
            const Point &next = points[first];
            if (p.t >= next.t || otherReset(p.reset, next.reset) || p.pct > next.pct + kDropTolerance)
                break;
            if (p.t < points.last().t - span)
                break;
        }
        --first;
    }
    out.reserve(points.size() - first);
    for (qsizetype i = first; i < points.size(); ++i)
        out.append({points[i].t, points[i].pct});
    return out;
}

QList<Reading> merge(const QList<Point> &server, const QList<Reading> &live, double liveReset, double span)
{
    QList<Point> all = server;
    const double newest = server.isEmpty() ? -std::numeric_limits<double>::infinity() : server.last().t;
    for (const Reading &r : live)
        if (r.t > newest)
            all.append({r.t, r.pct, liveReset});
    return currentWindow(all, span);
}

static bool lastsToReset(double runOut, double reset)
{
    return runOut <= 0 || (reset > 0 && runOut > reset);
}

Line line(double runOut, double reset, double now)
{
    if (runOut <= 0)
        return {};
    if (reset > 0 && runOut > reset)
        return {QStringLiteral("хватит до сброса"), false};
    const double left = runOut - now;
    const QString when = left >= 1 ? fmt::countdown(runOut) : QStringLiteral("через 0м");
    return {QStringLiteral("закончится ") + when, left < kWarnSeconds};
}

QString pace(double perHour)
{
    const double tenths = std::round(perHour * 10);
    if (tenths < 1)
        return QStringLiteral("темп <0,1%/ч");
    const QString figure = tenths >= 100 ? QString::number(std::round(perHour))
                                         : QString::number(tenths / 10, 'f', 1).replace(u'.', u',');
    return QStringLiteral("темп ") + figure + QStringLiteral("%/ч");
}

Line cell(double runOut, double reset, double now)
{
    if (runOut <= 0)
        return {QStringLiteral("—"), false};
    if (reset > 0 && runOut > reset)
        return {QStringLiteral("до сброса"), false};
    const double left = runOut - now;
    return {left >= 1 ? fmt::remainShort(runOut) : QStringLiteral("0м"), left < kWarnSeconds};
}

double sortKey(double runOut, double reset)
{
    return lastsToReset(runOut, reset) ? std::numeric_limits<double>::infinity() : runOut;
}

void History::add(const QString &key, double t, double pct, double reset)
{
    if (!std::isfinite(t) || !std::isfinite(pct))
        return;
    Series &s = m_series[key];
    QList<Reading> &r = s.readings;
    const bool newWindow = (reset > 0 && s.reset > 0 && std::abs(reset - s.reset) > kResetTolerance)
        || (!r.isEmpty() && pct < r.last().pct - kDropTolerance);
    // A clock that went back leaves earlier readings dated in its future: none of them can be
    // placed on one time line with the new one.
    const bool clockBack = !r.isEmpty() && t < r.last().t;
    if (newWindow || clockBack)
        r.clear();
    s.reset = reset;
    if (!r.isEmpty() && r.last().t == t)
        r.removeLast(); // the same moment read twice (the panel's reload during the loop's pass)
    r.append({t, pct});
    while (!r.isEmpty() && r.first().t < t - kSpan)
        r.removeFirst();
}

QList<Reading> History::readings(const QString &key) const
{
    return m_series.value(key).readings;
}

} // namespace forecast
