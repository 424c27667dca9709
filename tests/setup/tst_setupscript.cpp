// Step words and the set-up script text: which values are accepted and how steps tick.
#include <QtTest>

#include "setup/setupscript.h"

using setup::buildScript;
using setup::matchSteps;

namespace {
const QString refusal = QStringLiteral(
    "Адрес сервера или ключ содержат недопустимые символы — настройка остановлена.");
QList<bool> flags(bool a, bool b, bool c, bool d) { return {a, b, c, d}; }
} // namespace

class TestSetupScript : public QObject
{
    Q_OBJECT
private slots:
    void stepWords_data()
    {
        QTest::addColumn<QString>("log");
        QTest::addColumn<QList<bool>>("expected");
        QTest::newRow("empty") << QString() << flags(false, false, false, false);
        QTest::newRow("statusline") << QStringLiteral("==> statusline installed") << flags(true, false, false, false);
        QTest::newRow("cyrillic capitals") << QStringLiteral("СТАТУСЛАЙН готов") << flags(true, false, false, false);
        QTest::newRow("quick-cmds") << QStringLiteral("quick-cmds: opus, sonnet") << flags(false, true, false, false);
        QTest::newRow("alias ru") << QStringLiteral("Алиасы добавлены") << flags(false, true, false, false);
        QTest::newRow("quick without dash") << QStringLiteral("quick cmds") << flags(false, false, false, false);
        QTest::newRow("telemetry caps") << QStringLiteral("TELEMETRY on") << flags(false, false, true, false);
        QTest::newRow("hooks") << QStringLiteral("hooks written") << flags(false, false, true, false);
        QTest::newRow("hook singular") << QStringLiteral("hook written") << flags(false, false, false, false);
        QTest::newRow("agent inside a word") << QStringLiteral("reagents") << flags(false, false, false, true);
        QTest::newRow("last before first") << QStringLiteral("agent\nstatusline") << flags(true, false, false, true);
    }
    void stepWords()
    {
        QFETCH(QString, log);
        QFETCH(QList<bool>, expected);
        QCOMPARE(matchSteps(log), expected);
    }

    void plainValuesAreAccepted_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("token");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("query and spaces") << QStringLiteral("http://h:8080/p?a=1&b=2 x") << QStringLiteral("a b;c|d");
        QTest::newRow("single quote") << QStringLiteral("http://h/a'b") << QStringLiteral("x'; touch M; '");
        QTest::newRow("non-ascii") << QStringLiteral("https://команда.рф") << QStringLiteral("ключ");
    }
    void plainValuesAreAccepted()
    {
        QFETCH(QString, url);
        QFETCH(QString, token);
        const setup::Script s = buildScript(QStringLiteral("/home/u"), url, token);
        QVERIFY2(s.error.isEmpty(), qPrintable(s.error));
        QVERIFY(s.text.startsWith(QLatin1String("set -e\n")));
        QVERIFY(s.text.endsWith(QLatin1Char('\n')));
        // The values reach the child unchanged, through its environment.
        QCOMPARE(s.environment.value(QStringLiteral("BRINDLE_URL")), url);
        QCOMPARE(s.environment.value(QStringLiteral("BRINDLE_TOKEN")), token);
    }

    void valuesThatBreakTheConfigAreRefused_data()
    {
        QTest::addColumn<QString>("bad");
        QTest::newRow("double quote") << QStringLiteral("\"; touch MARKER; \"");
        QTest::newRow("dollar") << QStringLiteral("$(touch MARKER)");
        QTest::newRow("backquote") << QStringLiteral("`touch MARKER`");
        QTest::newRow("backslash") << QStringLiteral("a\\");
        QTest::newRow("newline") << QStringLiteral("a\ntouch MARKER");
        QTest::newRow("tab") << QStringLiteral("a\tb");
        QTest::newRow("escape") << QStringLiteral("a\x1b[2Jb");
        QTest::newRow("C1 next line") << (QStringLiteral("a") + QChar(0x85));
    }
    void valuesThatBreakTheConfigAreRefused()
    {
        QFETCH(QString, bad);
        const QString home = QStringLiteral("/home/u");
        const QString good = QStringLiteral("https://team.example.com");
        for (const setup::Script &s : {buildScript(home, bad, QStringLiteral("tok")),
                                       buildScript(home, good, bad),
                                       buildScript(home, QStringLiteral("http://h/") + bad, bad)}) {
            QCOMPARE(s.error, refusal);
            QVERIFY(s.text.isEmpty());
        }
    }

    void homeIsQuotedNotRefused()
    {
        // The home path is not written to the config, so any path works; it is only quoted.
        const QString home = QStringLiteral("/tmp/a\"b$(x)`y`\\z'q");
        const setup::Script s = buildScript(home, QStringLiteral("http://h"), QStringLiteral("t"));
        QVERIFY(s.error.isEmpty());
        QVERIFY(s.text.contains(setup::shellQuote(home + QStringLiteral("/.brindle/config"))));
    }

    void shellQuoteEscapesSingleQuotes()
    {
        QCOMPARE(setup::shellQuote(QString()), QStringLiteral("''"));
        QCOMPARE(setup::shellQuote(QStringLiteral("a b")), QStringLiteral("'a b'"));
        QCOMPARE(setup::shellQuote(QStringLiteral("it's")), QStringLiteral("'it'\\''s'"));
    }
};

QTEST_GUILESS_MAIN(TestSetupScript)
#include "tst_setupscript.moc"
