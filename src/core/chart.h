#pragma once
// Where the marks of the usage charts go: a window's readings mapped into the plot rectangle,
// each reset marked, the current window's projection to its run-out or its reset, the reading
// under a pointer, and the team's cost per day stacked by provider. Pure geometry and texts: the
// QML items only draw what is decided here.

#include "core/forecast.h"

#include <QDate>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

namespace chart {

using forecast::Point;

// A chart's time span, the rectangle it is drawn in, and the percent at its top edge.
struct Frame {
    double from = 0, to = 0;
    QRectF plot;
    double top = 100;
};

// 100, or the highest reading rounded up to a multiple of 10 when a window went past its limit.
double topFor(const QList<QList<Point>> &series);
QPointF map(const Frame &f, double t, double pct);
double timeAt(const Frame &f, double x);

// The points in plot coordinates, at most about two per pixel column (the lowest and the
// highest of each, in time order), so that a week of readings stays a light path.
QList<QPointF> line(const Frame &f, const QList<Point> &points);

// When each new window began: the earlier window's reset time when it falls between the two
// readings, else the first reading of the new window. Only those inside the frame.
QList<double> resets(const Frame &f, const QList<Point> &points);

// The newest window's course at its current rate: from its newest reading to 100 % when it gets
// there before its reset, else to the reset; cut at the frame's right edge.
struct Projection {
    bool shown = false;
    QPointF from, to;
    bool runsOut = false; // ends at 100 % rather than at the reset
    double endT = 0;      // the moment it ends (before any cut)
};
Projection projection(const Frame &f, const QList<Point> &points);

// The reading nearest to the pointer's x across the series, and each series' value at that time
// (its last reading at or before it; NaN before its first).
struct Probe {
    bool hit = false;
    double t = 0, x = 0;
    QList<double> values;
    QString text; // "7 дек 14:30 · 5 ч 42% · 7 д 61%"
};
Probe probe(const Frame &f, const QList<QList<Point>> &series, const QStringList &labels, double x);
// The time of the next (dir > 0) or previous reading of any series from `t`; `t` when none.
double step(const QList<QList<Point>> &series, double t, int dir);

// Local midnights inside the frame, for the day marks under a chart of several days.
QList<double> dayStarts(const Frame &f);

// The team's cost per day stacked by provider.
struct CostRow {
    QDate day;
    QString provider;
    double cost = 0;
    double tokensIn = 0, tokensOut = 0;
};
struct Segment {
    QString provider;
    double y = 0, h = 0, cost = 0;
};
struct Bar {
    QDate day;
    double x = 0, w = 0, total = 0;
    QList<Segment> segs; // bottom first, providers in a fixed order
};
struct CostChart {
    QList<Bar> bars;        // one per day from `last - days + 1` to `last`, days without use too
    QStringList providers;  // those with any cost, by their total, largest first
    double top = 0;         // the cost at the top edge
    double week = 0;        // the last seven days
};
CostChart costChart(const QList<CostRow> &rows, const QDate &last, int days, const QRectF &plot);
// "5 дек · $12.30 · claude $10.00, codex $2.30"
QString barText(const Bar &b);

} // namespace chart
