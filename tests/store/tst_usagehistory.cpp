// The usage history's loads against the kit's fake server: what a chart and a run-out line show
// after each kind of answer, and that a failed load keeps the last good history, saying how old.
#include "kit.h"
#include "testmain.h"
#include "core/clock.h"
#include "store/costchart.h"
#include "store/csvtables.h"
#include "store/forecasts.h"
#include "store/ownforecast.h"
#include "store/historychart.h"
#include "store/usagehistory.h"

#include <QScopeGuard>
#include <QTest>

namespace {
const QString kPath = QStringLiteral("/api/accounts/history");

// Five-hour readings rising 1 % a minute over the last ten minutes.
QJsonObject history(double now)
{
    QJsonArray five;
    for (int i = 10; i >= 0; --i)
        five.append(QJsonArray{now - i * 60, 60 - i, now + 3600});
    five.append(QJsonArray{"x", 1, 2}); // malformed: left out
    return {{"ok", true}, {"windows", QJsonObject{{"five_hour", QJsonObject{{"points", five}}},
                                                   {"seven_day", QJsonObject{{"points", QJsonArray{}}}}}}};
}
} // namespace

class TstUsageHistory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // First answer, then a second one after the history went stale: what the chart shows.
    void answers_data()
    {
        QTest::addColumn<Reply>("first");
        QTest::addColumn<Reply>("second");
        QTest::addColumn<int>("points");
        QTest::addColumn<QString>("placeholder");
        QTest::addColumn<bool>("stale");
        const double now = 1'800'000'000;
        const Reply good = Reply::json(history(now));
        QTest::newRow("history") << good << good << 11 << "" << false;
        QTest::newRow("then a 500: the last good history, marked") << good << Reply::html500() << 11 << "" << true;
        QTest::newRow("refused from the start") << Reply::json({{"error", "Недостаточно прав"}}, 403)
                                                << Reply::json({{"error", "Недостаточно прав"}}, 403) << 0
                                                << "история недоступна" << false;
        QTest::newRow("an account the server does not know is not an empty one")
            << Reply::json({{"error", "Аккаунт не найден"}}, 404) << good << 11 << "" << false;
        QTest::newRow("no readings kept") << Reply::json({{"ok", true}, {"windows", QJsonObject{}}}) << good << 11 << "" << false;
    }
    void answers()
    {
        QFETCH(Reply, first);
        QFETCH(Reply, second);
        Clock::setFixed(1'800'000'000);
        FakeServer server;
        StoreFixture f;
        f.signedIn(server.url(), "viewer");
        UsageHistory h(f.store.get(), nullptr);
        HistoryChart chart;
        chart.setSource(&h);
        chart.setProvider(QStringLiteral("claude"));
        chart.setEmail(QStringLiteral("a+b@x.io"));
        chart.setPlotWidth(700);
        chart.setPlotHeight(140);

        server.on(kPath, first);
        chart.update();
        QCOMPARE(chart.placeholder(), QStringLiteral("загружаю историю…"));
        QTRY_VERIFY(!chart.waiting() && !h.entry("claude", "a+b@x.io")->pending);
        QCOMPARE(QString::fromLatin1(server.last(kPath).target), kPath + "?provider=claude&email=a%2Bb%40x.io&days=7");
        // Later: the history is asked again once it is old, or after a pause when it failed.
        server.on(kPath, second);
        Clock::setFixed(1'800'000'000 + UsageHistory::kFresh + 1);
        chart.update();
        QTRY_COMPARE(server.count(kPath), 2);
        QTRY_VERIFY(!h.entry("claude", "a+b@x.io")->pending);
        chart.update();
        QTEST(int(h.entry("claude", "a+b@x.io")->five.size()), "points");
        QTEST(chart.placeholder(), "placeholder");
        QTEST(!chart.staleText().isEmpty(), "stale");
        QVERIFY(!chart.description().isEmpty());
        Clock::reset();
    }

    // Right after start an own account's run-out line rests on the server's readings, and the
    // shown line follows them when they arrive.
    void forecastRightAfterStart()
    {
        const double now = 1'800'000'000;
        Clock::setFixed(now);
        FakeServer server;
        server.on(kPath, Reply::json(history(now)));
        StoreFixture f;
        f.signedIn(server.url(), "viewer");
        Forecasts fc(f.store.get(), nullptr);
        Forecasts::setInstance(&fc);
        const auto unset = qScopeGuard([] { Forecasts::setInstance(nullptr); });
        OwnForecast line;
        Acct a;
        a.provider = QStringLiteral("claude");
        a.email = QStringLiteral("a+b@x.io");
        a.fivePct = 60;
        a.fiveReset = now + 3600;
        line.setAcct(QVariant::fromValue(a));
        QCOMPARE(line.text(), QString());
        QTRY_COMPARE(line.text(), QStringLiteral("закончится через 40м · темп 60%/ч"));
        Clock::reset();
    }

    // The team's cost per day: rows become bars; a failure before any answer says so.
    void cost()
    {
        Clock::setFixed(1'800'000'000);
        FakeServer server;
        server.on("/api/stats/cost", Reply::html500());
        StoreFixture f;
        f.signedIn(server.url(), "admin");
        UsageHistory h(f.store.get(), nullptr);
        CostChart chart;
        chart.setSource(&h);
        chart.setPlotWidth(300);
        chart.setPlotHeight(100);
        chart.update();
        QTRY_VERIFY(!chart.waiting());
        QCOMPARE(chart.placeholder(), QStringLiteral("история расходов недоступна"));
        QVERIFY(csvtables::costPerDay(h).isEmpty()); // nothing loaded is not an empty table
        server.on("/api/stats/cost", Reply::json({{"ok", true}, {"to", "2027-01-15"},
            {"rows", QJsonArray{QJsonObject{{"day", "2027-01-15"}, {"provider", "claude"}, {"cost_usd", 12.5}},
                                QJsonObject{{"day", "2027-01-02"}, {"provider", "codex"}, {"cost_usd", 3}}}}}));
        Clock::setFixed(1'800'000'000 + UsageHistory::kRetry + 1);
        chart.update();
        QTRY_COMPARE(h.cost().rows.size(), 2);
        chart.update();
        QCOMPARE(chart.placeholder(), QString());
        QCOMPARE(chart.weekText(), QStringLiteral("за неделю $12.50"));
        QCOMPARE(chart.bars().size(), CostChart::kDays);
        const QList<csv::Table> csv = csvtables::costPerDay(h);
        QCOMPARE(csv.size(), 1);
        QCOMPARE(csv[0].rows.value(1), (QStringList{"2027-01-02", "codex", "3.00", "0", "0"}));
        Clock::reset();
    }
};

CORVANE_TEST_CLASS(TstUsageHistory)
#include "tst_usagehistory.moc"
