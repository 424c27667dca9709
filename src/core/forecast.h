#pragma once
// When a limit window runs out: the readings of each refresh are kept for an hour per account
// and window, a straight line is fitted through them (least squares), and its rise per hour
// says when the window would reach 100 %. The line under a gauge compares that moment with the
// window's reset. Pure rules; "now" is passed in so that tests can replay made-up readings.

#include <QHash>
#include <QList>
#include <QString>
#include <optional>

namespace forecast {

struct Reading {
    double t = 0;   // epoch seconds
    double pct = 0; // use of the window, percent
};

// How far back readings count.
constexpr double kSpan = 3600;

// One reading of a window as the team server keeps it: when, how full, and the reset time the
// window had then (0 when unknown).
struct Point {
    double t = 0;
    double pct = 0;
    double reset = 0;
};
// Below this many minutes left the line takes the warning colour.
constexpr double kWarnSeconds = 3600;

// Percent per hour by least squares; none with fewer than three readings, readings that all
// share one time, or a fit that does not rise.
std::optional<double> ratePerHour(const QList<Reading> &readings);

// The moment the window reaches 100 % when use goes on rising from the last reading at the
// fitted rate; 0 when there is no rate, no reading, or the window is already spent.
double runOutAt(const QList<Reading> &readings);

// The readings of the window the newest point belongs to, over `span` before that point. Walking
// back from the newest, the window ends at a point of another reset time, at a point clearly
// above the next one (a fall: the provider reset the window early) and at a point not earlier
// than the next one (a clock that went back).
QList<Reading> currentWindow(const QList<Point> &points, double span = kSpan);

// The server's points of a window, oldest first, followed by the client's own readings taken
// after the newest of them under the reset time `liveReset`; then the current window of all.
QList<Reading> merge(const QList<Point> &server, const QList<Reading> &live, double liveReset,
                     double span = kSpan);

// The line under a gauge: nothing without a run-out moment; "хватит до сброса" when the moment
// lies after a known reset; otherwise "закончится через …" (warn when under an hour is left).
struct Line {
    QString text;
    bool warn = false;
};
Line line(double runOut, double reset, double now);

// The rate of use as the line under a gauge gives it: "темп 12%/ч"; tenths below 10 % an hour
// ("темп 2,5%/ч"), and "темп <0,1%/ч" for a rate that rounds to nothing.
QString pace(double perHour);

// The short form of the same for a table cell: "—", "до сброса" or the time left ("1ч 20м").
Line cell(double runOut, double reset, double now);

// Orders accounts by how soon they run out: the moment itself, or +infinity for a window that
// lasts until its reset or has no estimate.
double sortKey(double runOut, double reset);

// The readings of every account window over the last hour.
class History
{
public:
    // Records a reading. A new reset time, a clear drop in use or a reading dated before the last
    // one (the clock went back) starts the window afresh.
    void add(const QString &key, double t, double pct, double reset);
    QList<Reading> readings(const QString &key) const;
    double reset(const QString &key) const { return m_series.value(key).reset; }
    double runOutAt(const QString &key) const { return forecast::runOutAt(readings(key)); }
    void clear() { m_series.clear(); }

private:
    struct Series {
        QList<Reading> readings;
        double reset = 0;
    };
    QHash<QString, Series> m_series;
};

} // namespace forecast
