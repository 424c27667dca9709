// The CSV writer on awkward strings, read back by Python's csv module, and an export of the AI
// resources list as the screen shows it.
#include "app/csvexport.h"
#include "core/clock.h"
#include "core/csv.h"
#include "kit.h"
#include "testmain.h"

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
        f->setAcQuery("@x");
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

        f->setAcMode("accounts");
        f->setAcQuery("анна");
        exporter.exportAccounts();
        QCOMPARE(emailsOf(), QString("c@x a@x")); // by owner

        exporter.setChooser([&](const QString &, std::function<void(const QString &)> done) {
            done(f.dir.filePath("missing/dir/x.csv"));
        });
        exporter.exportAccounts();
        QCOMPARE(f->toast(), QString("Не удалось сохранить файл"));
    }
};

CORVANE_TEST_CLASS(TstCsv)
#include "tst_csv.moc"
