#include "history.h"

#include <QDateTime>
#include <QHash>
#include <QTimeZone>

#include <cmath>

namespace history {

namespace {

bool sameWindow(double a, double b) { return std::abs(a - b) <= kSameWindow; }

// A series is one window of one account; its readings refer to it by number, which keeps a row
// of the biggest table small.
QVariant seriesId(Db &db, const QString &provider, const QString &email, const QString &window, bool create) {
    const QVariantList key{provider, email, window};
    const QString find = QStringLiteral("SELECT id FROM history_series WHERE provider = ? AND email = ? AND win = ?");
    QVariant id = db.scalar(find, key);
    if (id.isValid() || !create) return id;
    db.exec(QStringLiteral("INSERT INTO history_series(provider, email, win) VALUES(?,?,?) ON CONFLICT DO NOTHING"), key);
    return db.scalar(find, key);
}

void insertSeries(Db &db, const QVariant &series, const QList<Point> &points) {
    constexpr int kPerStatement = 400;
    for (qsizetype at = 0; at < points.size(); at += kPerStatement) {
        const qsizetype n = std::min<qsizetype>(kPerStatement, points.size() - at);
        QString sql = QStringLiteral("INSERT INTO window_readings(series, ts, pct, resets_at, source, kind) VALUES");
        QVariantList args;
        args.reserve(n * 6);
        for (qsizetype i = 0; i < n; ++i) {
            const Point &p = points[at + i];
            sql += i ? QStringLiteral(",(?,?,?,?,?,?)") : QStringLiteral("(?,?,?,?,?,?)");
            args << series << p.ts << p.pct << p.resetsAt << p.source << p.kind;
        }
        db.exec(sql, args);
    }
}

QString dayOf(double ts) {
    return QDateTime::fromSecsSinceEpoch(qint64(std::floor(ts)), QTimeZone::utc()).date().toString(Qt::ISODate);
}

} // namespace

bool recordWindow(Db &db, const QString &provider, const QString &email, const QString &window, double percent,
                  double resetsAt, const QString &source, double ts) {
    const QVariant series = seriesId(db, provider, email, window, true);
    struct Row { double ts, pct, resetsAt; int kind; };
    QList<Row> last;  // newest first, at most two
    for (QSqlQuery q = db.exec(QStringLiteral("SELECT ts, pct, resets_at, kind FROM window_readings WHERE series = ? "
                                              "ORDER BY ts DESC LIMIT 2"), {series});
         q.next();)
        last.append({q.value(0).toDouble(), q.value(1).toDouble(), q.value(2).toDouble(), q.value(3).toInt()});
    if (!last.isEmpty() && ts <= last[0].ts) return false;
    if (last.size() == 2 && last[0].kind == Raw && last[1].kind == Raw && sameWindow(resetsAt, last[0].resetsAt)
        && sameWindow(resetsAt, last[1].resetsAt) && percent >= last[0].pct) {
        // The last row is replaced while it says nothing the new one does not: it lies within a
        // minute of the row before it, or the window has stood still since that row (a flat
        // stretch keeps its two ends). A fall is always a row of its own.
        const bool flat = percent == last[0].pct && last[0].pct == last[1].pct;
        if (flat || ts - last[1].ts < kMinSpacing) {
            db.exec(QStringLiteral("UPDATE window_readings SET ts = ?, pct = ?, resets_at = ?, source = ? "
                                   "WHERE series = ? AND ts = ?"),
                    {ts, percent, resetsAt, source, series, last[0].ts});
            return true;
        }
    }
    db.exec(QStringLiteral("INSERT INTO window_readings(series, ts, pct, resets_at, source, kind) VALUES(?,?,?,?,?,0)"),
            {series, ts, percent, resetsAt, source});
    return true;
}

void recordUsage(Db &db, const QString &provider, const QString &email, const QString &member, double ts,
                 double costUsd, double tokensIn, double tokensOut) {
    db.exec(QStringLiteral("INSERT INTO usage_daily(day, provider, email, member_id, cost_usd, tokens_in, tokens_out) "
                           "VALUES(?,?,?,?,?,?,?) ON CONFLICT(day, provider, email, member_id) DO UPDATE SET "
                           "cost_usd = usage_daily.cost_usd + excluded.cost_usd, "
                           "tokens_in = usage_daily.tokens_in + excluded.tokens_in, "
                           "tokens_out = usage_daily.tokens_out + excluded.tokens_out"),
            {dayOf(ts), provider, email, member, costUsd, tokensIn, tokensOut});
}

void insertPoints(Db &db, const QString &provider, const QString &email, const QString &window,
                  const QList<Point> &points) {
    if (!points.isEmpty()) insertSeries(db, seriesId(db, provider, email, window, true), points);
}

QList<Point> points(Db &db, const QString &provider, const QString &email, const QString &window, double from) {
    QList<Point> out;
    const QVariant series = seriesId(db, provider, email, window, false);
    if (!series.isValid()) return out;
    for (QSqlQuery q = db.exec(QStringLiteral("SELECT ts, pct, resets_at, kind FROM window_readings "
                                              "WHERE series = ? AND ts >= ? ORDER BY ts"), {series, from});
         q.next();)
        out.append({q.value(0).toDouble(), q.value(1).toDouble(), q.value(2).toDouble(), q.value(3).toInt(), {}});
    return out;
}

QList<int> thin(const QList<Point> &series) {
    QList<int> kinds(series.size(), -1);
    // Windows as the readings show them: a new reset time starts one, and so does a fall (a
    // provider that resets early, or corrects a figure, without moving the reset time).
    qsizetype start = 0;
    auto close = [&](qsizetype end) {  // [start, end) is one window
        if (start >= end) return;
        qsizetype peak = start;
        for (qsizetype i = start; i < end; ++i) {
            if (series[i].pct > series[peak].pct) peak = i;
            const bool lastOfBucket = i + 1 == end || std::floor(series[i + 1].ts / kBucketSeconds)
                                                          != std::floor(series[i].ts / kBucketSeconds);
            if (lastOfBucket) kinds[i] = Thinned;
        }
        kinds[peak] = Peak;
    };
    for (qsizetype i = 1; i < series.size(); ++i)
        if (!sameWindow(series[i].resetsAt, series[i - 1].resetsAt) || series[i].pct < series[i - 1].pct) {
            close(i);
            start = i;
        }
    close(series.size());
    return kinds;
}

CompactResult compact(Db &db, double now) {
    CompactResult result;
    const double rawBefore = now - kRawSeconds, keepFrom = now - kKeepSeconds;
    QList<qint64> all;
    for (QSqlQuery q = db.exec(QStringLiteral("SELECT id FROM history_series ORDER BY id")); q.next();)
        all.append(q.value(0).toLongLong());
    for (const qint64 series : all) {
        Tx tx(db);
        QList<Point> raw;
        for (QSqlQuery q = db.exec(QStringLiteral("SELECT ts, pct, resets_at, source FROM window_readings WHERE series = ? "
                                                  "AND kind = 0 AND ts < ? ORDER BY ts"), {series, rawBefore});
             q.next();)
            raw.append({q.value(0).toDouble(), q.value(1).toDouble(), q.value(2).toDouble(), Raw, q.value(3).toString()});
        const QList<int> kinds = thin(raw);
        result.thinned += raw.size();
        // The looked-at readings go in one statement and the survivors come back in a few.
        QList<Point> kept;
        for (qsizetype i = 0; i < raw.size(); ++i)
            if (kinds[i] >= 0) {
                kept.append(raw[i]);
                kept.back().kind = kinds[i];
            }
        if (!raw.isEmpty()) {
            db.exec(QStringLiteral("DELETE FROM window_readings WHERE series = ? AND kind = 0 AND ts < ?"),
                    {series, rawBefore});
            insertSeries(db, series, kept);
            result.dropped += raw.size() - kept.size();
        }
        QSqlQuery gone = db.exec(QStringLiteral("DELETE FROM window_readings WHERE series = ? AND ts < ?"),
                                 {series, keepFrom});
        result.dropped += std::max(0, gone.numRowsAffected());
        tx.commit();
    }
    Tx tx(db);
    db.exec(QStringLiteral("DELETE FROM history_series WHERE NOT EXISTS(SELECT 1 FROM window_readings r "
                           "WHERE r.series = history_series.id)"));
    db.exec(QStringLiteral("DELETE FROM usage_daily WHERE day < ?"), {dayOf(now - (kCostDays - 1) * 86400.0)});
    db.exec(QStringLiteral("DELETE FROM usage_model_daily WHERE usage_day < ?"), {dayOf(now - (kCostDays - 1) * 86400.0)});
    tx.commit();
    return result;
}

Keeper::Keeper(Db &db, QObject *parent) : QObject(parent), m_db(db) {
    m_timer.setInterval(3600 * 1000);
    connect(&m_timer, &QTimer::timeout, this, &Keeper::run);
    m_timer.start();
    QTimer::singleShot(0, this, &Keeper::run);
}

void Keeper::run() {
    try {
        compact(m_db, QDateTime::currentMSecsSinceEpoch() / 1000.0);
    } catch (const DbError &e) {
        qWarning("history cleanup failed: %s", e.what());
    }
}

} // namespace history
