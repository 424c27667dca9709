// The usage history's rules on a scratch database: which readings are stored, which survive
// thinning, and how far the cleanup goes.
#include "history.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <cmath>

using history::Point;

namespace {

constexpr double kT0 = 900.0 * 2000000;  // on a quarter hour
constexpr double kR1 = kT0 + 5 * 3600, kR2 = kR1 + 5 * 3600;

// "10@0/R1" readings: percent @ seconds after kT0 / reset (R1 or R2, plus seconds of wobble).
QList<Point> parse(const QString &text) {
    QList<Point> out;
    for (const QString &item : text.split(u' ', Qt::SkipEmptyParts)) {
        const QStringList f = item.split(QRegularExpression("[@/]"));
        const double reset = (f[2].startsWith("R1") ? kR1 : kR2) + f[2].mid(2).toDouble();
        out.append({kT0 + f[1].toDouble(), f[0].toDouble(), reset, history::Raw, {}});
    }
    return out;
}

} // namespace

class HistoryTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    Db db;
    int n = 0;

    // Every case writes to an account of its own.
    QString account() { return QStringLiteral("case-%1@corvane.dev").arg(++n); }

private slots:
    void initTestCase() {
        QString error;
        QVERIFY2(db.open(dir.filePath("h.sqlite"), &error), qPrintable(error));
    }

    void thinning_data() {
        QTest::addColumn<QString>("series");
        QTest::addColumn<QString>("kept");  // per reading: - dropped, T thinned point, P peak
        QTest::newRow("one quarter hour keeps its last") << "10@0/R1 20@60/R1 30@120/R1" << "--P";
        QTest::newRow("quarter hours") << "1@0/R1 2@900/R1 3@1000/R1 4@1800/R1" << "T-TP";
        QTest::newRow("across a reset") << "10@0/R1 40@60/R1 2@120/R2 5@180/R2" << "-P-P";
        QTest::newRow("a gap") << "10@0/R1 20@60/R1 30@10800/R1 40@10860/R1" << "-T-P";
        QTest::newRow("jumps down without a new reset") << "10@0/R1 80@60/R1 20@120/R1 30@180/R1" << "-P-P";
        QTest::newRow("reset time wobbles") << "10@0/R1 20@60/R1+30 30@120/R1-20" << "--P";
        QTest::newRow("one reading") << "7@0/R1" << "P";
    }
    void thinning() {
        QFETCH(QString, series);
        QFETCH(QString, kept);
        const QList<int> kinds = history::thin(parse(series));
        QString got;
        for (const int k : kinds) got += k < 0 ? u'-' : k == history::Peak ? u'P' : u'T';
        QCOMPARE(got, kept);
    }

    void recording_data() {
        QTest::addColumn<QString>("readings");
        QTest::addColumn<QString>("taken");   // per reading: + stored, x dropped
        QTest::addColumn<QString>("stored");  // seconds after kT0 of the rows left
        QTest::newRow("clock goes back") << "10@0/R1 20@100/R1 30@50/R1" << "++x" << "0 100";
        QTest::newRow("same moment twice") << "10@0/R1 11@0/R1" << "+x" << "0";
        QTest::newRow("quick readings fold to a row a minute")
            << "10@0/R1 11@70/R1 12@80/R1 13@90/R1 14@100/R1 15@140/R1" << "++++++" << "0 70 100 140";
        QTest::newRow("a flat stretch keeps its ends") << "10@0/R1 10@100/R1 10@200/R1 10@300/R1 20@400/R1"
                                                       << "+++++" << "0 300 400";
        QTest::newRow("a fall is a row of its own") << "10@0/R1 50@70/R1 40@80/R1" << "+++" << "0 70 80";
        QTest::newRow("a reset is a row of its own") << "10@0/R1 50@70/R1 1@80/R2" << "+++" << "0 70 80";
    }
    void recording() {
        QFETCH(QString, readings);
        QFETCH(QString, taken);
        QFETCH(QString, stored);
        const QString email = account();
        QString got;
        {
            Tx tx(db);
            for (const Point &p : parse(readings))
                got += history::recordWindow(db, "claude", email, "five_hour", p.pct, p.resetsAt, "push", p.ts) ? u'+' : u'x';
            tx.commit();
        }
        QCOMPARE(got, taken);
        QStringList times;
        for (const Point &p : history::points(db, "claude", email, "five_hour", 0)) times << QString::number(p.ts - kT0);
        QCOMPARE(times.join(u' '), stored);
    }

    void cleanupBounds() {
        // Forty days of a reading every five minutes, windows of five hours back to back, one
        // spike in an old window; a hundred days of cost.
        const double now = kT0 + 40 * 86400.0;
        const QString email = account();
        QList<Point> series;
        const double spikeAt = now - 10 * 86400.0 + 600;
        for (double t = kT0; t < now; t += 300) {
            const double start = kT0 + std::floor((t - kT0) / 18000) * 18000;
            const double pct = t == spikeAt ? 99 : (t - start) / 18000 * 60;
            series.append({t, pct, start + 18000, history::Raw, "pull"});
        }
        {
            Tx tx(db);
            history::insertPoints(db, "claude", email, "five_hour", series);
            for (int d = 0; d < 100; ++d)
                history::recordUsage(db, "claude", email, "anna", now - d * 86400.0, 1.5, 100, 10);
            tx.commit();
        }
        const history::CompactResult first = history::compact(db, now);
        QVERIFY(first.dropped > 0);
        const QList<Point> kept = history::points(db, "claude", email, "five_hour", 0);
        QVERIFY(!kept.isEmpty());
        QVERIFY(kept.first().ts >= now - history::kKeepSeconds);
        int recent = 0, older = 0;
        bool spike = false;
        for (const Point &p : kept) {
            if (p.ts >= now - history::kRawSeconds) {
                ++recent;
                QCOMPARE(p.kind, int(history::Raw));
            } else {
                ++older;
                QVERIFY(p.kind != history::Raw);
                spike = spike || (p.ts == spikeAt && p.pct == 99);
            }
        }
        QCOMPARE(recent, int(history::kRawSeconds / 300));
        // One point a quarter hour, and the fall after the spike and each window's end.
        QVERIFY(older <= 28 * 96 + 28 * 5 + 2);
        QVERIFY(older >= 28 * 96);
        QVERIFY(spike);
        QCOMPARE(db.scalar("SELECT MIN(day) FROM usage_daily WHERE email = ?", {email}).toString(),
                 QDateTime::fromSecsSinceEpoch(qint64(now - 89 * 86400.0), QTimeZone::utc()).date().toString(Qt::ISODate));
        // A second run finds nothing left to do.
        const history::CompactResult again = history::compact(db, now);
        QCOMPARE(again.dropped, 0);
        QCOMPARE(history::points(db, "claude", email, "five_hour", 0).size(), kept.size());
    }
};

QTEST_GUILESS_MAIN(HistoryTest)
#include "tst_history.moc"
