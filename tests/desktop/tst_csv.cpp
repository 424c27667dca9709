// The CSV writer on awkward strings, read back by Python's csv module, and exports of the AI
// resources list as the screen shows it, with the history of each account whose detail is open.
#include "app/csvexport.h"
#include "core/clock.h"
#include "core/csv.h"
#include "kit.h"
#include "store/forecasts.h"
#include "store/usagehistory.h"
#include "testmain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
// Rows of the file as Python's csv module reads it (UTF-8 with the BOM stripped).
QList<QStringList> readBack(const QString &path)
{
    QProcess py;
    py.start("python3", {"-c", "import csv, json, sys\n"
                               "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
                               "    print(json.dumps(list(csv.reader(f))))",
                         path});
    if (!py.waitForFinished(20000) || py.exitCode() != 0)
        return {};
    QList<QStringList> rows;
    for (const QVariant &row : QJsonDocument::fromJson(py.readAllStandardOutput()).toVariant().toList())
        rows << row.toStringList();
    return rows;
}

TeamAcct acct(const QString &email, const QString &owner, double seven)
{
    TeamAcct a;
    a.email = email;
    a.owner = owner;
    a.sevenPct = seven;
    a.fiveReset = seven > 90 ? 1'800'000'000 : 0;
    a.cost = seven / 4;
    return a;
}
} // namespace

class TstCsv : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { Clock::setZone(QTimeZone("Europe/Moscow")); }
    void cleanup() { Clock::reset(); }

    void awkwardTextReadsBack_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("read");
        QTest::newRow("quotes") << "say \"hi\"" << "say \"hi\"";
        QTest::newRow("comma") << "a, b" << "a, b";
        QTest::newRow("line breaks") << "one\r\ntwo\nthree" << "one\r\ntwo\nthree";
        QTest::newRow("Cyrillic") << "Сброс 5ч · Иван" << "Сброс 5ч · Иван";
        QTest::newRow("emoji") << "🚀 team 👩‍💻" << "🚀 team 👩‍💻";
        QTest::newRow("formula =") << "=HYPERLINK(\"http://x\",\"y\")" << "'=HYPERLINK(\"http://x\",\"y\")";
        QTest::newRow("formula +") << "+1+1" << "'+1+1";
        QTest::newRow("formula -") << "-2+3" << "'-2+3";
        QTest::newRow("formula @") << "@SUM(A1)" << "'@SUM(A1)";
        QTest::newRow("tab first") << "\t=1" << "'\t=1";
        QTest::newRow("empty") << "" << "";
    }
    void awkwardTextReadsBack()
    {
        QFETCH(QString, cell);
        QTemporaryDir dir;
        const QString path = dir.filePath("t.csv");
        const QByteArray doc = csv::document({{{}, {"Ячейка", "n"}, {{csv::text(cell), csv::number(-1.5)}}}});
        QVERIFY(doc.startsWith("\xEF\xBB\xBF"));
        QVERIFY(CsvExport::writeFile(path, doc));
        const QList<QStringList> rows = readBack(path);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0], QStringList({"Ячейка", "n"}));
        QFETCH(QString, read);
        QCOMPARE(rows[1], QStringList({read, "-1.5"})); // a number is never taken for a formula
    }

    // The list as filtered, sorted and grouped on screen, through the save dialog's stand-in.
    void accountsExportFollowsTheScreen()
    {
        StoreFixture f;
        f->setTeamAccounts({acct("a@x", "Анна", 10), acct("b@x", "Борис", 95), acct("c@x", "Анна", 50),
                            acct("=cmd@x", "Борис", 20)});
        f->resources()->setQuery("@x");
        CsvExport exporter(f.store.get(), nullptr);
        QString offered;
        const QString path = f.dir.filePath("out.csv");
        exporter.setChooser([&](const QString &name, std::function<void(const QString &)> done) {
            offered = name;
            done(path);
        });
        QSignalSpy spy(&exporter, &CsvExport::exported);
        const auto emailsOf = [&] {
            QStringList out;
            const QList<QStringList> rows = readBack(path);
            for (qsizetype i = 1; i < rows.size(); ++i)
                out << rows[i][3];
            return out.join(' ');
        };

        exporter.exportAccounts(); // "people": Борис's group holds the highest use
        QCOMPARE(spy.count(), 1);
        QVERIFY(offered.startsWith("ai-resursy-") && offered.endsWith(".csv"));
        QCOMPARE(emailsOf(), QString("b@x '=cmd@x c@x a@x"));
        QCOMPARE(f->toast(), QString("Сохранено: out.csv"));
        const QStringList b = readBack(path)[1];
        QCOMPARE(b[9], QString("2027-01-15T11:00:00+03:00")); // "Сброс 5ч" with the local offset
        QCOMPARE(b[12], QString("23.75"));                     // "Расход, $" in the C locale
        QCOMPARE(b[10], QString());                            // unknown time: empty

        f->resources()->setMode(Ac::Mode::Accounts);
        f->resources()->setQuery("анна");
        exporter.exportAccounts();
        QCOMPARE(emailsOf(), QString("c@x a@x")); // by owner

        exporter.setChooser([&](const QString &, std::function<void(const QString &)> done) {
            done(f.dir.filePath("missing/dir/x.csv"));
        });
        exporter.exportAccounts();
        QCOMPARE(f->toast(), QString("Не удалось сохранить файл"));
    }

    // The readings of an open account follow the list, as its detail draws them; a closed
    // detail or a history that did not load adds nothing rather than an empty table.
    void openAccountHistory_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QStringList>("history");
        const double t = 1'800'000'000; // 11:00 in Moscow
        const QJsonObject windows{
            {"five_hour", QJsonObject{{"points", QJsonArray{QJsonArray{t - 600, 12.54, t + 3600}, QJsonArray{t - 60, 14, t + 3600}}}}},
            {"seven_day", QJsonObject{{"points", QJsonArray{QJsonArray{t - 60, 40, 0}}}}}};
        const QStringList head{"История лимитов · claude =a@x", "Время|Окно|%|Сброс"};
        QTest::newRow("open: both windows, local times")
            << true << Reply::json({{"ok", true}, {"windows", windows}})
            << head + QStringList{"2027-01-15T10:50:00+03:00|5 часов|12.5|2027-01-15T12:00:00+03:00",
                                  "2027-01-15T10:59:00+03:00|5 часов|14.0|2027-01-15T12:00:00+03:00",
                                  "2027-01-15T10:59:00+03:00|7 дней|40.0|"};
        QTest::newRow("open, no readings kept: the header alone")
            << true << Reply::json({{"ok", true}, {"windows", QJsonObject{}}}) << head;
        QTest::newRow("closed") << false << Reply::json({{"ok", true}, {"windows", windows}}) << QStringList();
        QTest::newRow("open, refused") << true << Reply::json({{"error", "Недостаточно прав"}}, 403) << QStringList();
    }
    void openAccountHistory()
    {
        QFETCH(bool, open);
        QFETCH(Reply, reply);
        Clock::setFixed(1'800'000'000);
        FakeServer server;
        server.on("/api/accounts/history", reply);
        StoreFixture f;
        f.signedIn(server.url(), "admin");
        Forecasts forecasts(f.store.get(), nullptr);
        Forecasts::setInstance(&forecasts);
        TeamAcct a = acct("=a@x", "Анна", 10);
        a.provider = "claude";
        f->setTeamAccounts({a, acct("b@x", "Борис", 20)});
        if (open)
            f->resources()->setExpanded({a.id()});
        UsageHistory *h = forecasts.usage();
        h->want(a.provider, a.email, 7);
        QTRY_VERIFY(!h->entry(a.provider, a.email)->pending);

        CsvExport exporter(f.store.get(), nullptr);
        const QString path = f.dir.filePath("out.csv");
        exporter.setChooser([&](const QString &, std::function<void(const QString &)> done) { done(path); });
        exporter.exportAccounts();
        Forecasts::setInstance(nullptr);
        const QList<QStringList> rows = readBack(path);
        QVERIFY(rows.size() >= 3); // the list comes first whatever the history
        QStringList history;
        for (qsizetype i = 0; i < rows.size(); ++i)
            if (!history.isEmpty() || rows[i].value(0).startsWith("История лимитов"))
                history << rows[i].join('|');
        QTEST(history, "history");
    }
};

CORVANE_TEST_CLASS(TstCsv)
#include "tst_csv.moc"
