// The set-up script's text and the installer's output, without running anything: which values
// are accepted and how they travel, how steps tick, and how output read in pieces decodes.
#include "testmain.h"

#include <QtTest>

#include "net/endpoint.h"
#include "setup/outputdecoder.h"
#include "setup/setupscript.h"

using setup::buildScript;

class TestSetupScript : public QObject
{
    Q_OBJECT
private slots:
    void stepWords_data()
    {
        QTest::addColumn<QString>("log");
        QTest::addColumn<QList<bool>>("expected");
        auto row = [](const char *name, const char *log, QList<bool> flags) { QTest::newRow(name) << QString::fromUtf8(log) << flags; };
        row("cyrillic capitals", "СТАТУСЛАЙН готов", {true, false, false, false});
        row("quick-cmds", "quick-cmds: opus, sonnet", {false, true, false, false});
        row("alias ru", "Алиасы добавлены", {false, true, false, false});
        row("quick without dash", "quick cmds", {false, false, false, false});
        row("telemetry caps", "TELEMETRY on", {false, false, true, false});
        row("hooks", "hooks written", {false, false, true, false});
        row("hook singular", "hook written", {false, false, false, false});
        row("agent inside a word", "reagents", {false, false, false, true});
        row("last before first", "agent\nstatusline", {true, false, false, true});
    }
    void stepWords()
    {
        QFETCH(QString, log);
        QTEST(setup::matchSteps(log), "expected");
    }

    // The values reach the child unchanged through its environment, never in the script text (a
    // command line every local user can read); only an https server is held to https redirects.
    void acceptedValuesTravelInTheEnvironment_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("token");
        QTest::newRow("https") << QStringLiteral("https://team.example.com") << QStringLiteral("tok_9f3a");
        QTest::newRow("shell metacharacters") << QStringLiteral("http://h:8080/p?a=1&b=2 x")
                                              << QStringLiteral("x'; touch M; '|&*#(){}<>~!");
        QTest::newRow("non-ascii") << QStringLiteral("https://команда.рф") << QStringLiteral("ключ");
    }
    void acceptedValuesTravelInTheEnvironment()
    {
        QFETCH(QString, url);
        QFETCH(QString, token);
        const setup::Script s = buildScript(QStringLiteral("/home/u"), url, token);
        QVERIFY2(s.error.isEmpty(), qPrintable(s.error));
        QVERIFY(s.text.startsWith(QLatin1String("set -e\n")) && s.text.endsWith(u'\n'));
        QVERIFY(!s.text.contains(token) && !s.text.contains(url));
        QCOMPARE(s.environment, (QHash<QString, QString>{{"HOME", "/home/u"}, {"BRINDLE_URL", url}, {"BRINDLE_TOKEN", token}}));
        QCOMPARE(s.text.contains(QLatin1String("--proto-redir =https")), url.startsWith(QLatin1String("https:")));
    }

    // The config holds NAME="value" lines that other tools source: what would change their meaning
    // there is refused, in the URL and in the token.
    void valuesThatBreakTheConfigAreRefused_data()
    {
        QTest::addColumn<QString>("bad");
        QTest::newRow("double quote") << QStringLiteral("\"; touch MARKER; \"");
        QTest::newRow("dollar") << QStringLiteral("$(touch MARKER)");
        QTest::newRow("backquote") << QStringLiteral("`touch MARKER`");
        QTest::newRow("backslash") << QStringLiteral("a\\");
        QTest::newRow("newline") << QStringLiteral("a\ntouch MARKER");
        QTest::newRow("C1 next line") << (QStringLiteral("a") + QChar(0x85));
    }
    void valuesThatBreakTheConfigAreRefused()
    {
        QFETCH(QString, bad);
        const QString home = QStringLiteral("/home/u");
        for (const setup::Script &s : {buildScript(home, QStringLiteral("http://h/") + bad, QStringLiteral("tok")),
                                       buildScript(home, QStringLiteral("https://team.example.com"), bad)}) {
            QCOMPARE(s.error, QStringLiteral("Адрес сервера или ключ содержат недопустимые символы — настройка остановлена."));
            QVERIFY(s.text.isEmpty());
        }
    }

    // The installer's output read in pieces decodes as it would in one go, wherever the pipe cuts.
    void outputDecodesTheSameInPieces_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QString>("text");
        const QString bad(QChar::ReplacementCharacter);
        QTest::newRow("letter split") << QList<QByteArray>{"\xd0", "\xbf"} << QStringLiteral("п");
        QTest::newRow("emoji in three") << QList<QByteArray>{"\xf0\x9f", "\x98", "\x80!"} << QStringLiteral("😀!");
        QTest::newRow("malformed split") << QList<QByteArray>{"\xd0", "\n"} << bad + QStringLiteral("\n");
        QTest::newRow("cut off at the end") << QList<QByteArray>{"ok ", "\xd0"} << QStringLiteral("ok ") + bad;
        QTest::newRow("stray continuation") << QList<QByteArray>{"a\x80", "b"} << QStringLiteral("a") + bad + u'b';
    }
    void outputDecodesTheSameInPieces()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QString, text);
        setup::OutputDecoder decoder;
        QString got;
        for (const QByteArray &p : pieces)
            got += decoder.feed(p);
        got += decoder.finish();
        QCOMPARE(got, text);
        QCOMPARE(got, QString::fromUtf8(pieces.join()));
    }

    // Set-up is done when anything at all sits at ~/.brindle/config; the client never reads it.
    void configExistsForAnythingAtThePath()
    {
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        const QString path = home.filePath(QStringLiteral(".brindle/config"));
        QCOMPARE(endpoint::configPath(), path);
        QVERIFY(QDir(home.path()).mkdir(QStringLiteral(".brindle")));
        QVERIFY(!endpoint::configExists()); // the folder alone is not enough
        QVERIFY(QDir().mkdir(path));
        QVERIFY(endpoint::configExists()); // a directory in its place
        QVERIFY(QDir().rmdir(path) && QFile::link(home.filePath(QStringLiteral("nowhere")), path));
        QVERIFY(endpoint::configExists()); // a dangling symbolic link
        qputenv("HOME", oldHome);
    }
};

CORVANE_TEST_CLASS(TestSetupScript)
#include "tst_setupscript.moc"
