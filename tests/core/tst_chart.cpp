// The usage charts' marks, computed without drawing: a window's readings in a 100 x 50 plot
// spanning ten hours (an hour is 10 px, a percent half a pixel).
#include "core/chart.h"
#include "testmain.h"

#include <QTest>
#include <cmath>

using namespace chart;
Q_DECLARE_METATYPE(chart::Point)

namespace {
constexpr double T0 = 1'800'000'000, H = 3600;
Frame frame() { return {T0, T0 + 10 * H, QRectF(0, 0, 100, 50), 100}; }
} // namespace

class TstChart : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void window_data()
    {
        QTest::addColumn<QList<Point>>("points");
        QTest::addColumn<QPointF>("first");       // the first point in the plot
        QTest::addColumn<int>("lineSize");        // a reset adds the fall at its time
        QTest::addColumn<QList<double>>("resetXs");
        QTest::addColumn<QPointF>("projectionEnd"); // (-1, -1): no projection
        QTest::addColumn<bool>("runsOut");
        QTest::addColumn<double>("valueAt10");    // the reading the pointer at x 10 picks; -1 none
        using P = QList<Point>;
        using X = QList<double>;
        QTest::newRow("rising to its run-out before the reset")
            << P{{T0, 20, T0 + 5 * H}, {T0 + H / 2, 30, T0 + 5 * H}, {T0 + H, 40, T0 + 5 * H}}
            << QPointF(0, 40) << 3 << X{} << QPointF(40, 0) << true << 40.0;
        QTest::newRow("slow enough to last until its reset")
            << P{{T0, 10, T0 + 3 * H}, {T0 + H / 2, 11, T0 + 3 * H}, {T0 + H, 12, T0 + 3 * H}}
            << QPointF(0, 45) << 3 << X{} << QPointF(30, 42) << false << 12.0;
        QTest::newRow("a reset between two readings is marked at the reset time")
            << P{{T0, 50, T0 + 2 * H}, {T0 + H, 90, T0 + 2 * H}, {T0 + 3 * H, 5, T0 + 7 * H},
                 {T0 + 3.5 * H, 10, T0 + 7 * H}, {T0 + 4 * H, 15, T0 + 7 * H}}
            << QPointF(0, 25) << 7 << X{20} << QPointF(70, 27.5) << false << 90.0;
        QTest::newRow("an early reset (a fall, same reset time) is marked at the new reading")
            << P{{T0, 60, T0 + 5 * H}, {T0 + H, 80, T0 + 5 * H}, {T0 + 2 * H, 10, T0 + 5 * H}}
            << QPointF(0, 20) << 4 << X{20} << QPointF(-1, -1) << false << 80.0;
        QTest::newRow("a projection past the right edge is cut there")
            << P{{T0 + H, 5, T0 + 24 * H}, {T0 + 1.5 * H, 7.5, T0 + 24 * H}, {T0 + 2 * H, 10, T0 + 24 * H}}
            << QPointF(10, 47.5) << 3 << X{} << QPointF(100, 25) << true << 5.0;
        QTest::newRow("past its limit: the top rises to 120, a spent window has no projection")
            << P{{T0, 100, 0}, {T0 + H, 115, 0}} << QPointF(0, 50 - 100.0 / 120 * 50) << 2 << X{}
            << QPointF(-1, -1) << false << 115.0;
        P minutes;
        for (int i = 0; i <= 600; ++i)
            minutes.append({T0 + i * 6, i / 6.0, 0});
        QTest::newRow("a reading every six seconds: at most four a pixel column")
            << minutes << QPointF(0, 50) << 41 << X{} << QPointF(-1, -1) << false << 100.0;
        QTest::newRow("no readings") << P{} << QPointF(-1, -1) << 0 << X{} << QPointF(-1, -1) << false << -1.0;
    }
    void window()
    {
        QFETCH(QList<Point>, points);
        QFETCH(QPointF, first);
        QFETCH(int, lineSize);
        QFETCH(QList<double>, resetXs);
        QFETCH(QPointF, projectionEnd);
        QFETCH(bool, runsOut);
        QFETCH(double, valueAt10);
        Frame f = frame();
        f.top = topFor({points});
        const QList<QPointF> l = line(f, points);
        QCOMPARE(l.isEmpty() ? QPointF(-1, -1) : l.first(), first);
        QCOMPARE(l.size(), lineSize);
        QList<double> xs;
        for (double t : resets(f, points))
            xs.append(map(f, t, 0).x());
        QCOMPARE(xs, resetXs);
        const Projection p = projection(f, points);
        QCOMPARE(p.shown ? p.to : QPointF(-1, -1), projectionEnd);
        QCOMPARE(p.shown && p.runsOut, runsOut);
        const Probe pr = probe(f, {points}, {QStringLiteral("5 ч")}, 10);
        QCOMPARE(pr.hit ? pr.values.value(0) : -1.0, valueAt10);
        if (pr.hit)
            QVERIFY(pr.text.endsWith(QStringLiteral("5 ч ") + QString::number(qRound(pr.values[0])) + u'%'));
    }

    // Thirty days stacked by provider: every day has a bar, the larger provider sits at the
    // bottom, the tallest day reaches the top, and the week is the last seven days.
    void cost()
    {
        const QDate last(2026, 12, 7);
        const QList<CostRow> rows{{last, QStringLiteral("codex"), 2},  {last, QStringLiteral("claude"), 8},
                                  {last.addDays(-6), QStringLiteral("claude"), 5}, {last.addDays(-7), QStringLiteral("claude"), 40},
                                  {last.addDays(-40), QStringLiteral("claude"), 99}, {last, QStringLiteral("codex"), -3}};
        const CostChart c = costChart(rows, last, 30, QRectF(0, 0, 300, 100));
        QCOMPARE(c.bars.size(), 30);
        QCOMPARE(c.providers, (QStringList{QStringLiteral("claude"), QStringLiteral("codex")}));
        QCOMPARE(c.top, 40.0);
        QCOMPARE(c.week, 15.0);
        const Bar &today = c.bars.last();
        QCOMPARE(today.total, 10.0);
        QCOMPARE(today.segs.size(), 2);
        QCOMPARE(today.segs[0].provider, QStringLiteral("claude"));
        QCOMPARE(today.segs[0].y + today.segs[0].h, 100.0);
        QCOMPARE(today.segs[1].y + today.segs[1].h, today.segs[0].y);
        QCOMPARE(c.bars[22].segs[0].h, 100.0);
        QVERIFY(c.bars[1].segs.isEmpty());
        QVERIFY(barText(today).endsWith(QStringLiteral("$10.00 · Claude $8.00, Codex $2.00")));
    }
};

CORVANE_TEST_CLASS(TstChart)
#include "tst_chart.moc"
