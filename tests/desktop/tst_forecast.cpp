// Run-out forecasts from made-up readings, and the lines the gauges show for them.
#include "core/clock.h"
#include "core/forecast.h"
#include "testmain.h"

#include <QTest>

using namespace forecast;
Q_DECLARE_METATYPE(forecast::Point)

namespace {
constexpr double T0 = 1'800'000'000;
using Points = QList<QPair<double, double>>; // (minute, pct)

// The readings (minute, pct), with their window's reset times when given, fed through a History.
History feed(const Points &points, const QList<double> &resets = {})
{
    History h;
    for (qsizetype i = 0; i < points.size(); ++i)
        h.add("k", T0 + points[i].first * 60, points[i].second, resets.isEmpty() ? 0 : resets[i]);
    return h;
}
} // namespace

class TstForecast : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { Clock::setFixed(T0 + 10 * 60); }
    void cleanup() { Clock::reset(); }

    // Minutes from the last reading until 100 %, or -1 for no estimate.
    void runOut_data()
    {
        QTest::addColumn<Points>("points");
        QTest::addColumn<QList<double>>("resets");
        QTest::addColumn<double>("minutesLeft");
        using P = Points;
        QTest::newRow("steady 1 % a minute") << P{{0, 50}, {1, 51}, {2, 52}, {3, 53}} << QList<double>{} << 47.0;
        QTest::newRow("two readings are not enough") << P{{0, 50}, {1, 60}} << QList<double>{} << -1.0;
        QTest::newRow("flat") << P{{0, 40}, {5, 40}, {10, 40}} << QList<double>{} << -1.0;
        QTest::newRow("falling without a reset time is a new window")
            << P{{0, 40}, {1, 30}, {2, 20}} << QList<double>{} << -1.0;
        // Bursts: nothing for a while, then a jump; the fit spreads it over the hour.
        QTest::newRow("bursty") << P{{0, 10}, {10, 10}, {20, 40}, {30, 40}, {40, 70}} << QList<double>{} << 20.0;
        // The window resets at minute 3: only the readings after it count.
        QTest::newRow("reset in the middle")
            << P{{0, 80}, {1, 90}, {2, 95}, {3, 1}, {4, 2}, {5, 3}}
            << QList<double>{5000, 5000, 5000, 23000, 23000, 23000} << 97.0;
        // The clock goes back to minute 1: what was read before no longer lines up in time.
        QTest::newRow("clock going backwards")
            << P{{0, 10}, {1, 20}, {2, 30}, {3, 40}, {1, 41}, {2, 42}, {3, 43}} << QList<double>{} << 57.0;
        QTest::newRow("readings older than an hour are forgotten")
            << P{{0, 0}, {1, 50}, {62, 60}, {63, 61}, {64, 62}} << QList<double>{} << 38.0;
        QTest::newRow("spent already") << P{{0, 98}, {1, 99}, {2, 100}} << QList<double>{} << -1.0;
    }
    void runOut()
    {
        QFETCH(Points, points);
        QFETCH(QList<double>, resets);
        QFETCH(double, minutesLeft);
        const History h = feed(points, resets);
        const double eta = h.runOutAt("k");
        QCOMPARE(eta > 0 ? qRound((eta - h.readings("k").last().t) / 60) : -1, qRound(minutesLeft));
    }

    // The server's readings of a window (minute, pct, reset) followed by the client's later ones
    // (minute, pct, under the reset `liveReset`): minutes from the last reading until 100 %, or -1.
    void fromServer_data()
    {
        using Srv = QList<Point>;
        QTest::addColumn<Srv>("server");
        QTest::addColumn<Points>("live");
        QTest::addColumn<double>("liveReset");
        QTest::addColumn<double>("minutesLeft");
        const double r1 = T0 + 3 * 3600, r2 = T0 + 8 * 3600;
        auto m = [](double minute) { return T0 + minute * 60; };
        QTest::newRow("server readings alone, right after start")
            << Srv{{m(0), 50, r1}, {m(1), 51, r1}, {m(2), 52, r1}} << Points{} << 0.0 << 48.0;
        QTest::newRow("the client's later readings continue them")
            << Srv{{m(0), 50, r1}, {m(1), 51, r1}} << Points{{2, 52}, {3, 53}} << r1 << 47.0;
        QTest::newRow("client readings the server already holds are not counted twice")
            << Srv{{m(0), 50, r1}, {m(1), 51, r1}, {m(2), 52, r1}} << Points{{1, 90}, {2, 90}} << r1 << 48.0;
        QTest::newRow("a reset between: only the new window counts")
            << Srv{{m(0), 90, r1}, {m(1), 95, r1}, {m(2), 2, r2}, {m(3), 3, r2}, {m(4), 4, r2}} << Points{} << 0.0 << 96.0;
        QTest::newRow("the live reading starts a new window")
            << Srv{{m(0), 90, r1}, {m(1), 95, r1}, {m(2), 97, r1}} << Points{{3, 1}} << r2 << -1.0;
        QTest::newRow("a window that jumps down without a new reset time")
            << Srv{{m(0), 60, r1}, {m(1), 70, r1}, {m(2), 10, r1}, {m(3), 12, r1}, {m(4), 14, r1}} << Points{} << 0.0 << 43.0;
        QTest::newRow("a clock that went back ends the window")
            << Srv{{m(5), 80, r1}, {m(1), 20, r1}, {m(2), 22, r1}, {m(3), 24, r1}} << Points{} << 0.0 << 38.0;
        QTest::newRow("a gap: readings older than an hour before the newest do not count")
            << Srv{{m(0), 10, r1}, {m(1), 40, r1}, {m(90), 50, r1}, {m(91), 51, r1}, {m(92), 52, r1}} << Points{} << 0.0 << 48.0;
        QTest::newRow("standing still: no estimate")
            << Srv{{m(0), 40, r1}, {m(30), 40, r1}} << Points{{40, 40}} << r1 << -1.0;
        QTest::newRow("nothing from the server: the client's own")
            << Srv{} << Points{{0, 10}, {1, 11}, {2, 12}} << r1 << 88.0;
    }
    void fromServer()
    {
        QFETCH(QList<Point>, server);
        QFETCH(Points, live);
        QFETCH(double, liveReset);
        QFETCH(double, minutesLeft);
        QList<Reading> mine;
        for (const auto &p : live)
            mine.append({T0 + p.first * 60, p.second});
        const QList<Reading> r = merge(server, mine, liveReset);
        const double eta = runOutAt(r);
        QCOMPARE(eta > 0 ? qRound((eta - r.last().t) / 60) : -1, qRound(minutesLeft));
    }

    void lines_data()
    {
        QTest::addColumn<double>("runOut");
        QTest::addColumn<double>("reset");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("warn");
        QTest::addColumn<QString>("cellText");
        const double now = T0 + 10 * 60;
        QTest::newRow("no estimate") << 0.0 << now + 3600 << "" << false << "—";
        QTest::newRow("after the reset") << now + 7200 << now + 3600 << "хватит до сброса" << false << "до сброса";
        QTest::newRow("before the reset, two hours")
            << now + 7200 << now + 9000 << "закончится через 2ч 0м" << false << "2ч 0м";
        QTest::newRow("reset unknown") << now + 5400 << 0.0 << "закончится через 1ч 30м" << false << "1ч 30м";
        QTest::newRow("just under an hour warns") << now + 3599 << now + 9000 << "закончится через 59м" << true << "59м";
        QTest::newRow("an hour exactly does not") << now + 3600 << 0.0 << "закончится через 1ч 0м" << false << "1ч 0м";
        QTest::newRow("moment already passed") << now - 30 << 0.0 << "закончится через 0м" << true << "0м";
    }
    void lines()
    {
        QFETCH(double, runOut);
        QFETCH(double, reset);
        const double now = Clock::now();
        const Line l = line(runOut, reset, now);
        QTEST(l.text, "text");
        QTEST(l.warn, "warn");
        QTEST(cell(runOut, reset, now).text, "cellText");
    }

    void paces_data()
    {
        QTest::addColumn<double>("perHour");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole percent from ten") << 12.4 << "темп 12%/ч";
        QTest::newRow("tenths below ten") << 2.46 << "темп 2,5%/ч";
        QTest::newRow("rounds up to ten") << 9.97 << "темп 10%/ч";
        QTest::newRow("too slow to round") << 0.04 << "темп <0,1%/ч";
        QTest::newRow("past the limit in an hour") << 135.0 << "темп 135%/ч";
    }
    void paces()
    {
        QFETCH(double, perHour);
        QTEST(pace(perHour), "text");
    }
};

CORVANE_TEST_CLASS(TstForecast)
#include "tst_forecast.moc"
