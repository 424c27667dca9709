// Set-up on a machine shared with other users: the member token never shows on a command line,
// the config is replaced (never written through a planted symlink, never left with a looser
// mode), and the reference server's own install script runs with the values it needs.
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include "referenceserver.h"
#include "setup/installrunner.h"
#include "setup/outputdecoder.h"
#include "setup/setupscript.h"

namespace {

int fileMode(const QString &path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QByteArray configText(const QString &url, const QString &token)
{
    return "BRINDLE_URL=\"" + url.toUtf8() + "\"\nBRINDLE_TOKEN=\"" + token.toUtf8() + "\"\n";
}

// The /proc entries of every process this user can see.
QStringList processDirs()
{
    QStringList dirs;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool numeric = false;
        pid.toInt(&numeric);
        if (numeric)
            dirs << QStringLiteral("/proc/") + pid;
    }
    return dirs;
}

} // namespace

class TestSetupMachine : public QObject
{
    Q_OBJECT
    ReferenceServer m_server;
    QTemporaryDir m_scratch;
    QString m_home;

    QString config() const { return m_home + QStringLiteral("/.brindle/config"); }

    // Runs the whole set-up for `token` against the reference server; onOutput sees the log so far.
    int runSetup(const QString &token, const std::function<void(const QString &)> &onOutput = {})
    {
        const setup::Script script = setup::buildScript(m_home, m_server.url(), token);
        if (!script.error.isEmpty())
            return -1000;
        InstallRunner runner;
        QString log;
        connect(&runner, &InstallRunner::output, this, [&](const QString &text) {
            log += text;
            if (onOutput)
                onOutput(log);
        });
        QSignalSpy done(&runner, &InstallRunner::finished);
        runner.start(script.text, script.environment);
        if (!done.wait(30000))
            return -2000;
        m_lastLog = log;
        return done.first().first().toInt();
    }
    QString m_lastLog;
    int m_homes = 0;

private slots:
    void initTestCase()
    {
        QVERIFY(m_scratch.isValid());
        QVERIFY(m_server.start({}, ReferenceServer::Seed::FirstAdmin));
    }

    void init()
    {
        // A fresh home per case, so the login shell reads no profile and nothing carries over.
        m_home = m_scratch.filePath(QStringLiteral("home-%1").arg(++m_homes));
        QVERIFY(QDir().mkpath(m_home));
    }

    void valuesTravelInTheEnvironmentOnly_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("token");
        QTest::newRow("plain") << QStringLiteral("https://team.example.com") << QStringLiteral("tok_9f3a");
        QTest::newRow("shell metacharacters") << QStringLiteral("http://h:8080/p?a=1&b=2")
                                              << QStringLiteral("x'; touch M; '|&*#(){}<>~!");
    }
    void valuesTravelInTheEnvironmentOnly()
    {
        QFETCH(QString, url);
        QFETCH(QString, token);
        const setup::Script s = setup::buildScript(QStringLiteral("/home/u"), url, token);
        QVERIFY(s.error.isEmpty());
        QVERIFY(!s.text.contains(token));
        QVERIFY(!s.text.contains(url));
        QCOMPARE(s.environment.value(QStringLiteral("BRINDLE_URL")), url);
        QCOMPARE(s.environment.value(QStringLiteral("BRINDLE_TOKEN")), token);
        QCOMPARE(s.environment.value(QStringLiteral("HOME")), QStringLiteral("/home/u"));
        // Only an https server is held to https redirects.
        QCOMPARE(s.text.contains(QLatin1String("--proto-redir =https")), url.startsWith(QLatin1String("https:")));
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

    void referenceInstallScriptRuns()
    {
        // Shell metacharacters in the token reach the config and the install script unchanged.
        const QString token = QStringLiteral("t0k 'a;b|c&d*e#f(g)");
        QCOMPARE(runSetup(token), 0);
        QCOMPARE(readAll(config()), configText(m_server.url(), token));
        QCOMPARE(fileMode(config()), 0600);
        // The server's script worked in the same home and named every step.
        QVERIFY(QFileInfo::exists(m_home + QStringLiteral("/.brindle/bin/statusline.sh")));
        QCOMPARE(setup::matchSteps(m_lastLog), (QList<bool>{true, true, true, true}));
        // Nothing but the config is left in ~/.brindle by the set-up itself (no temporary file).
        const QStringList files = QDir(m_home + QStringLiteral("/.brindle")).entryList(QDir::Files);
        QCOMPARE(files, QStringList{QStringLiteral("config")});
    }

    void earlierConfigIsReplaced_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("file 0644") << QStringLiteral("file");
        QTest::newRow("symlink to a file") << QStringLiteral("symlink");
        QTest::newRow("dangling symlink") << QStringLiteral("dangling");
    }
    void earlierConfigIsReplaced()
    {
        QFETCH(QString, kind);
        QVERIFY(QDir().mkpath(m_home + QStringLiteral("/.brindle")));
        const QString victim = m_scratch.filePath(QStringLiteral("victim-") + QFileInfo(m_home).fileName());
        if (kind == QLatin1String("file")) {
            QFile old(config());
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("BRINDLE_URL=\"old\"\n");
            old.close();
            QVERIFY(::chmod(QFile::encodeName(config()).constData(), 0644) == 0);
        } else {
            if (kind == QLatin1String("symlink")) {
                QFile f(victim);
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write("somebody else's file\n");
                f.close();
                QVERIFY(::chmod(QFile::encodeName(victim).constData(), 0644) == 0);
            }
            QVERIFY(QFile::link(victim, config()));
        }

        QCOMPARE(runSetup(QStringLiteral("tok-2")), 0);
        QVERIFY(!QFileInfo(config()).isSymLink());
        QCOMPARE(readAll(config()), configText(m_server.url(), QStringLiteral("tok-2")));
        QCOMPARE(fileMode(config()), 0600);
        if (kind == QLatin1String("symlink")) {
            QCOMPARE(readAll(victim), QByteArray("somebody else's file\n"));
            QCOMPARE(fileMode(victim), 0644);
        } else if (kind == QLatin1String("dangling")) {
            QVERIFY(!QFileInfo::exists(victim));
        }
    }

    void tokenIsOnNoCommandLine()
    {
        // While the install script runs (the slowest part), no process shows the token in its
        // command line; the processes of the set-up hold it in their environment, which only
        // their owner can read.
        const QByteArray token = QByteArray("secret-") + QByteArray::number(QCoreApplication::applicationPid());
        int scans = 0, holders = 0;
        QStringList leaks;
        QCOMPARE(runSetup(QString::fromLatin1(token), [&](const QString &log) {
                     if (!log.contains(QLatin1String("statusline")) || scans > 0)
                         return;
                     ++scans;
                     for (const QString &dir : processDirs()) {
                         if (dir == QStringLiteral("/proc/%1").arg(QCoreApplication::applicationPid()))
                             continue;
                         if (readAll(dir + QStringLiteral("/cmdline")).contains(token))
                             leaks << dir;
                         if (readAll(dir + QStringLiteral("/environ")).contains(token)) {
                             ++holders;
                             if (fileMode(dir + QStringLiteral("/environ")) & 077)
                                 leaks << dir + QStringLiteral("/environ");
                         }
                     }
                 }),
                 0);
        QCOMPARE(scans, 1);
        QVERIFY2(leaks.isEmpty(), qPrintable(leaks.join(u' ')));
        QVERIFY(holders > 0);
    }
};

QTEST_GUILESS_MAIN(TestSetupMachine)
#include "tst_setup_machine.moc"
