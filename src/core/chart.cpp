#include "chart.h"

#include "acview.h"
#include "clock.h"
#include "format.h"
#include "providers.h"

#include <QDateTime>
#include <QLocale>
#include <QMap>

#include <algorithm>
#include <cmath>
#include <limits>

namespace chart {

namespace {
// The same rules as the forecast's: a reset time that moved by more than a few minutes, or a
// fall of more than a point, begins a new window.
constexpr double kResetTolerance = 300;
constexpr double kDrop = 1;

bool newWindow(const Point &a, const Point &b)
{
    return (a.reset > 0 && b.reset > 0 && std::abs(a.reset - b.reset) > kResetTolerance) || b.pct < a.pct - kDrop;
}

bool finite(const Point &p) { return std::isfinite(p.t) && std::isfinite(p.pct); }

// When a window began anew: the earlier window's reset time when it falls between the two
// readings, else the reading of the new window.
double resetTime(const Point &a, const Point &b) { return a.reset > a.t && a.reset <= b.t ? a.reset : b.t; }

// The readings with each reset drawn as it happened: the old window holds its last figure until
// its reset and falls to nothing there, rather than sliding down across the hours between.
QList<Point> withResets(const QList<Point> &points)
{
    QList<Point> out;
    out.reserve(points.size());
    for (qsizetype i = 0; i < points.size(); ++i) {
        if (i > 0 && finite(points[i - 1]) && finite(points[i]) && newWindow(points[i - 1], points[i])) {
            const Point &a = points[i - 1];
            const double t = resetTime(a, points[i]);
            out.append({t, a.pct, a.reset});
            if (t < points[i].t)
                out.append({t, 0, points[i].reset});
        }
        out.append(points[i]);
    }
    return out;
}
} // namespace

double topFor(const QList<QList<Point>> &series)
{
    double top = 100;
    for (const QList<Point> &s : series)
        for (const Point &p : s)
            if (finite(p) && p.pct > top)
                top = std::ceil(p.pct / 10) * 10;
    return top;
}

QPointF map(const Frame &f, double t, double pct)
{
    const double span = f.to - f.from;
    const double fx = span > 0 ? (t - f.from) / span : 0;
    const double fy = f.top > 0 ? std::clamp(pct, 0.0, f.top) / f.top : 0;
    return {f.plot.left() + fx * f.plot.width(), f.plot.bottom() - fy * f.plot.height()};
}

double timeAt(const Frame &f, double x)
{
    return f.plot.width() > 0 ? f.from + (x - f.plot.left()) / f.plot.width() * (f.to - f.from) : f.from;
}

QList<QPointF> line(const Frame &f, const QList<Point> &points)
{
    QList<QPointF> out;
    // Per pixel column: its first point, its lowest and highest, its last, in time order.
    QList<QPointF> column;
    long current = std::numeric_limits<long>::min();
    auto flush = [&] {
        if (column.isEmpty())
            return;
        if (column.size() <= 4) {
            out += column;
        } else {
            auto lo = std::max_element(column.begin(), column.end(), [](auto a, auto b) { return a.y() < b.y(); });
            auto hi = std::min_element(column.begin(), column.end(), [](auto a, auto b) { return a.y() < b.y(); });
            out.append(column.first());
            if (lo < hi) {
                out.append(*lo);
                out.append(*hi);
            } else {
                out.append(*hi);
                out.append(*lo);
            }
            out.append(column.last());
        }
        column.clear();
    };
    for (const Point &p : withResets(points)) {
        if (!finite(p) || p.t < f.from || p.t > f.to)
            continue;
        const QPointF q = map(f, p.t, p.pct);
        const long col = long(std::floor(q.x()));
        if (col != current) {
            flush();
            current = col;
        }
        column.append(q);
    }
    flush();
    return out;
}

QList<double> resets(const Frame &f, const QList<Point> &points)
{
    QList<double> out;
    for (qsizetype i = 1; i < points.size(); ++i) {
        const Point &a = points[i - 1], &b = points[i];
        if (!finite(a) || !finite(b) || !newWindow(a, b))
            continue;
        const double t = resetTime(a, b);
        if (t >= f.from && t <= f.to)
            out.append(t);
    }
    return out;
}

Projection projection(const Frame &f, const QList<Point> &points)
{
    Projection p;
    const QList<forecast::Reading> window = forecast::currentWindow(points);
    const std::optional<double> rate = forecast::ratePerHour(window);
    if (!rate || window.isEmpty())
        return p;
    const forecast::Reading last = window.last();
    const double reset = points.last().reset;
    const double runOut = forecast::runOutAt(window);
    if (runOut <= 0)
        return p;
    p.runsOut = reset <= 0 || runOut <= reset;
    p.endT = p.runsOut ? runOut : reset;
    if (p.endT <= last.t)
        return p;
    double endT = std::min(p.endT, f.to);
    if (endT <= last.t)
        return p;
    p.shown = true;
    p.from = map(f, last.t, last.pct);
    p.to = map(f, endT, last.pct + *rate * (endT - last.t) / 3600);
    return p;
}

Probe probe(const Frame &f, const QList<QList<Point>> &series, const QStringList &labels, double x)
{
    Probe r;
    const double t = timeAt(f, x);
    double best = std::numeric_limits<double>::infinity();
    for (const QList<Point> &s : series)
        for (const Point &p : s)
            if (finite(p) && p.t >= f.from && p.t <= f.to && std::abs(p.t - t) < best) {
                best = std::abs(p.t - t);
                r.t = p.t;
            }
    if (!std::isfinite(best))
        return r;
    r.hit = true;
    r.x = map(f, r.t, 0).x();
    r.text = fmt::resetText(r.t);
    for (qsizetype i = 0; i < series.size(); ++i) {
        double v = std::numeric_limits<double>::quiet_NaN();
        for (const Point &p : series[i]) {
            if (p.t > r.t)
                break;
            if (finite(p))
                v = p.pct;
        }
        r.values.append(v);
        if (std::isfinite(v))
            r.text += QStringLiteral(" · ") + labels.value(i) + u' ' + acview::percent(v);
    }
    return r;
}

double step(const QList<QList<Point>> &series, double t, int dir)
{
    double best = t;
    for (const QList<Point> &s : series)
        for (const Point &p : s) {
            if (!finite(p))
                continue;
            if (dir > 0 && p.t > t && (best == t || p.t < best))
                best = p.t;
            if (dir < 0 && p.t < t && (best == t || p.t > best))
                best = p.t;
        }
    return best;
}

QList<double> dayStarts(const Frame &f)
{
    QList<double> out;
    if (!(f.to > f.from) || f.to - f.from > 400 * 86400.0)
        return out;
    QDate d = QDateTime::fromSecsSinceEpoch(qint64(std::floor(f.from)), Clock::zone()).date();
    for (;; d = d.addDays(1)) {
        const double t = double(QDateTime(d, QTime(0, 0), Clock::zone()).toSecsSinceEpoch());
        if (t > f.to)
            break;
        if (t >= f.from)
            out.append(t);
    }
    return out;
}

CostChart costChart(const QList<CostRow> &rows, const QDate &last, int days, const QRectF &plot)
{
    CostChart c;
    if (days <= 0 || !last.isValid())
        return c;
    const QDate first = last.addDays(1 - days);
    QMap<QString, double> byProvider;
    QMap<QDate, QMap<QString, double>> byDay;
    for (const CostRow &r : rows) {
        if (!(r.cost > 0) || !std::isfinite(r.cost) || r.day < first || r.day > last)
            continue;
        byProvider[r.provider] += r.cost;
        byDay[r.day][r.provider] += r.cost;
        if (r.day > last.addDays(-7))
            c.week += r.cost;
    }
    c.providers = byProvider.keys();
    std::stable_sort(c.providers.begin(), c.providers.end(),
                     [&](const QString &a, const QString &b) { return byProvider[a] > byProvider[b]; });
    for (auto it = byDay.cbegin(); it != byDay.cend(); ++it) {
        double sum = 0;
        for (double v : it.value())
            sum += v;
        c.top = std::max(c.top, sum);
    }
    const double slot = plot.width() / days;
    const double scale = c.top > 0 ? plot.height() / c.top : 0;
    for (int i = 0; i < days; ++i) {
        Bar b;
        b.day = first.addDays(i);
        b.x = plot.left() + i * slot + slot * 0.15;
        b.w = slot * 0.7;
        double y = plot.bottom();
        const QMap<QString, double> day = byDay.value(b.day);
        for (const QString &prov : std::as_const(c.providers)) {
            const double v = day.value(prov);
            if (!(v > 0))
                continue;
            const double h = v * scale;
            y -= h;
            b.segs.append({prov, y, h, v});
            b.total += v;
        }
        c.bars.append(b);
    }
    return c;
}

QString barText(const Bar &b)
{
    QString s = QLocale(QLocale::Russian, QLocale::Russia).toString(b.day, QStringLiteral("d MMM"))
        + QStringLiteral(" · ") + acview::cost(b.total);
    QStringList parts;
    for (const Segment &g : b.segs)
        parts.append(providerMeta(g.provider).label + u' ' + acview::cost(g.cost));
    if (!parts.isEmpty())
        s += QStringLiteral(" · ") + parts.join(QStringLiteral(", "));
    return s;
}

} // namespace chart
