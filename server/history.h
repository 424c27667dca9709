// Usage history: every reading of an account's limit windows over time, and each account's cost
// and tokens per member and day. Readings are kept in full for two days, then thinned to one point
// per quarter hour (each window's highest reading always stays) and dropped after thirty days;
// the daily cost rows go after ninety days. All of it is bounded by compact(), run every hour.
#pragma once

#include "db.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

namespace history {

constexpr double kRawSeconds = 48 * 3600.0;      // every reading kept this long
constexpr double kBucketSeconds = 15 * 60.0;      // then one point per this many seconds
constexpr double kKeepSeconds = 30 * 86400.0;     // and nothing older than this
constexpr int kCostDays = 90;
// Two readings belong to one window when their reset times lie this close: the next window of an
// account can only reset a whole window length later, while a provider's reset time may wobble by
// some seconds from reading to reading.
constexpr double kSameWindow = 600;
// Readings of one window closer than this to the row before the last replace the last row, so a
// client that reports every few seconds stores about one row a minute.
constexpr double kMinSpacing = 60;

// Kinds of stored points.
enum Kind { Raw = 0, Thinned = 1, Peak = 2 };

struct Point {
    double ts = 0;
    double pct = 0;
    double resetsAt = 0;
    int kind = Raw;
    QString source;  // where the reading came from ("pull", "push", "demo", ...)
};

// Stores one reading of a window ("five_hour" or "seven_day") inside the caller's transaction.
// A reading not later than the last one kept for the window (a clock that went back, a repeat)
// is dropped: returns false.
bool recordWindow(Db &db, const QString &provider, const QString &email, const QString &window, double percent,
                  double resetsAt, const QString &source, double ts);

// Adds cost and tokens to the account's row of the member and UTC day of `ts` (inside the
// caller's transaction). An empty member is use no person can be tied to.
void recordUsage(Db &db, const QString &provider, const QString &email, const QString &member, double ts,
                 double costUsd, double tokensIn, double tokensOut);

// Appends points as they are, many rows per statement (seeding and benches); no thinning.
void insertPoints(Db &db, const QString &provider, const QString &email, const QString &window,
                  const QList<Point> &points);

// The points of one window since `from`, oldest first.
QList<Point> points(Db &db, const QString &provider, const QString &email, const QString &window, double from);

// Which of a window's raw readings survive thinning: for every quarter hour of every window the
// last reading, and the highest reading of every window. `series` is in time order; the answer
// gives each reading's new kind, or -1 for a reading to drop.
QList<int> thin(const QList<Point> &series);

struct CompactResult {
    qint64 thinned = 0;  // raw readings looked at
    qint64 dropped = 0;  // rows deleted (thinned away or too old)
};
// Thins the raw readings older than two days and deletes what has aged out, in transactions of
// one series each, so that the writers of readings never wait long.
CompactResult compact(Db &db, double now);

// Runs compact() at start and every hour on the thread it lives on.
class Keeper : public QObject {
public:
    explicit Keeper(Db &db, QObject *parent = nullptr);

private:
    void run();
    Db &m_db;
    QTimer m_timer;
};

} // namespace history
