// The set-up script run for real: bash, curl and a local server that hands out the install script.
#include "kit.h"

#include <QtTest>

#include <csignal>

#include <sys/stat.h>

#include "setup/installrunner.h"
#include "setup/setupscript.h"

namespace {

struct Run {
    QStringList chunks;
    QString log;
    int status = -1000;
    bool finished = false;
    bool outputAfterFinish = false;
};

bool exists(const QString &path) { return QFileInfo::exists(path); }

int fileMode(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Waits in the install script until the test has seen `n` steps tick (see handshake below).
const char *waitForAck = "ack() { i=0; while [ ! -e \"$HOME/seen-$1\" ] && [ $i -lt 250 ]; do sleep 0.02; "
                         "i=$((i+1)); done; }\n";

} // namespace

class TestInstallRunner : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;
    FakeServer m_server; // hands out the install script
    QString m_url;

    QString configPath() const { return m_home.filePath(QStringLiteral(".brindle/config")); }
    QString marker() const { return m_home.filePath(QStringLiteral("MARKER")); }

    // Runs `script` to its end, collecting what the Store would: the chunks and the whole log.
    // onChunk lets a test react to output while the child runs.
    Run runScript(const QString &script, const std::function<void(const Run &)> &onChunk = {},
                  const QString &bash = QString(), const QHash<QString, QString> &env = {})
    {
        Run run;
        InstallRunner runner;
        if (!bash.isEmpty())
            runner.setBash(bash);
        connect(&runner, &InstallRunner::output, this, [&](const QString &text) {
            if (run.finished)
                run.outputAfterFinish = true;
            run.chunks << text;
            run.log += text;
            if (onChunk)
                onChunk(run);
        });
        connect(&runner, &InstallRunner::finished, this, [&](int status) {
            run.finished = true;
            run.status = status;
        });
        QSignalSpy done(&runner, &InstallRunner::finished);
        runner.start(script, env);
        [&] { QVERIFY(runner.running()); }();
        [&] { QVERIFY(done.wait(15000)); }();
        [&] { QVERIFY(!runner.running()); }();
        return run;
    }

    Run runSetup(const QByteArray &installScript, const QString &url, const QString &token,
                 const QString &home, const std::function<void(const Run &)> &onChunk = {})
    {
        m_server.on("/raw/install.sh", Reply::raw(200, installScript));
        const setup::Script s = setup::buildScript(home, url, token);
        [&] { QVERIFY2(s.error.isEmpty(), qPrintable(s.error)); }();
        return runScript(s.text, onChunk, QString(), s.environment);
    }
    Run runSetup(const QByteArray &installScript, const std::function<void(const Run &)> &onChunk = {})
    {
        return runSetup(installScript, m_url, QStringLiteral("tok-1"), m_home.path(), onChunk);
    }

    // A fake shell that writes `bytes` in the given pieces, pausing between them so that they
    // reach the client as separate reads.
    QString fakeBash(const QList<QByteArray> &pieces, int exitStatus = 0)
    {
        QByteArray text = "#!/bin/sh\n";
        for (const QByteArray &piece : pieces) {
            QByteArray octal;
            for (const char c : piece)
                octal += '\\' + QByteArray::number(uchar(c), 8).rightJustified(3, '0');
            text += "printf '" + octal + "'\nsleep 0.2\n";
        }
        text += "exit " + QByteArray::number(exitStatus) + "\n";
        const QString path = m_home.filePath(QStringLiteral("fake-bash"));
        QFile f(path);
        [&] { QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate)); }();
        f.write(text);
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        // bash -l reads the profile of $HOME: point it at an empty directory of our own.
        qputenv("HOME", QFile::encodeName(m_home.path()));
        QVERIFY(m_server.listening());
        m_url = m_server.url();
    }

    void init()
    {
        QDir(m_home.filePath(QStringLiteral(".brindle"))).removeRecursively();
        for (const QString &name : QDir(m_home.path()).entryList({QStringLiteral("seen-*")}, QDir::Files))
            QFile::remove(m_home.filePath(name));
        QFile::remove(marker());
    }

    // The config replaces a looser one from an earlier run; the script gets the values and can
    // source the file.
    void successWritesConfigAndPassesEnvironment()
    {
        QVERIFY(QDir(m_home.path()).mkpath(QStringLiteral(".brindle")));
        QFile old(configPath());
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("BRINDLE_URL=\"old\"\nEXTRA=1\n") > 0);
        old.close();
        QVERIFY(::chmod(QFile::encodeName(configPath()).constData(), 0644) == 0);
        const Run run = runSetup("echo \"url=$BRINDLE_URL token=$BRINDLE_TOKEN\"\n"
                                 ". \"$HOME/.brindle/config\"; echo \"sourced=$BRINDLE_TOKEN\"\n");
        QCOMPARE(run.status, 0);
        QVERIFY2(run.log.contains(QStringLiteral("url=%1 token=tok-1").arg(m_url)), qPrintable(run.log));
        QVERIFY(run.log.contains(QLatin1String("sourced=tok-1")));
        QCOMPARE(readAll(configPath()),
                 QByteArray("BRINDLE_URL=\"" + m_url.toUtf8() + "\"\nBRINDLE_TOKEN=\"tok-1\"\n"));
        QCOMPARE(fileMode(configPath()), 0600);
    }

    // The script's exit status reaches `finished`; death by a signal reads as 128 + the signal.
    void exitStatusReachesFinished_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<int>("status");
        QTest::newRow("silent success") << QByteArray("true\n") << 0;
        QTest::newRow("failing command under set -e") << QByteArray("set -e\nfalse\necho never\n") << 1;
        QTest::newRow("exit 42") << QByteArray("exit 42\n") << 42;
        QTest::newRow("SIGSEGV") << QByteArray("ulimit -c 0; echo agent; kill -SEGV $$\n") << 128 + SIGSEGV;
        QTest::newRow("SIGKILL") << QByteArray("kill -KILL $$\n") << 128 + SIGKILL;
    }
    void exitStatusReachesFinished()
    {
        QFETCH(QByteArray, script);
        QFETCH(int, status);
        const Run run = runSetup(script);
        QCOMPARE(run.status, status);
        QVERIFY(!run.log.contains(QLatin1String("never")));
    }

    void failedDownloadIsAFailure()
    {
        m_server.on("/raw/install.sh", Reply::raw(404, "touch \"$HOME/MARKER\"\n"));
        const setup::Script s = setup::buildScript(m_home.path(), m_url, QStringLiteral("tok-1"));
        const Run run = runScript(s.text, {}, QString(), s.environment);
        QCOMPARE(run.status, 22); // curl -f: HTTP error
        QVERIFY(!exists(marker()));
        // The config is written before the download, so the next start opens the platform.
        QCOMPARE(readAll(configPath()),
                 QByteArray("BRINDLE_URL=\"" + m_url.toUtf8() + "\"\nBRINDLE_TOKEN=\"tok-1\"\n"));
    }

    void unreachableServerIsAFailure()
    {
        const Run run = runSetup("exit 0\n", FakeServer::refusedUrl(), QStringLiteral("t"), m_home.path());
        QVERIFY(run.status != 0);
    }

    // The install script prints one step word, then waits until the test has seen that many
    // steps tick, so each word arrives on its own and every intermediate state is observed.
    void stepsTick_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QList<QList<bool>>>("states");
        QTest::newRow("out of order")
            << QStringList{"Presence Agent", "TELEMETRY", "Статуслайн", "алиасы"}
            << QList<QList<bool>>{{false, false, false, true}, {false, false, true, true},
                                  {true, false, true, true}, {true, true, true, true}};
    }
    void stepsTick()
    {
        QFETCH(QStringList, words);
        QFETCH(QList<QList<bool>>, states);
        QByteArray script = waitForAck;
        for (int i = 0; i < words.size(); ++i)
            script += "echo '" + words[i].toUtf8() + "'\nack " + QByteArray::number(i + 1) + "\n";

        QList<QList<bool>> seen;
        QList<bool> steps(4, false);
        const Run run = runSetup(script, [&](const Run &r) {
            const QList<bool> now = setup::matchSteps(r.log);
            for (int i = 0; i < 4; ++i)
                steps[i] = steps[i] || now[i];
            if (seen.isEmpty() || seen.last() != steps)
                seen << steps;
            QFile(m_home.filePath(QStringLiteral("seen-%1").arg(steps.count(true))))
                .open(QIODevice::WriteOnly);
        });
        QCOMPARE(run.status, 0);
        QCOMPARE(seen, states);
    }

    void characterSplitAcrossReadsIsKept()
    {
        const QByteArray bytes = QStringLiteral("Статуслайн готов ✓\n").toUtf8();
        // Cut inside the first letter, inside a later letter and inside the three-byte check mark.
        const QList<QByteArray> pieces = {bytes.left(1), bytes.mid(1, 6), bytes.mid(7, bytes.size() - 9),
                                          bytes.right(2)};
        const Run run = runScript(QStringLiteral("unused"), {}, fakeBash(pieces));
        QCOMPARE(run.status, 0);
        QCOMPARE(run.log, QStringLiteral("Статуслайн готов ✓\n"));
        QCOMPARE(setup::matchSteps(run.log), (QList<bool>{true, false, false, false}));
    }

    void cutOffCharacterAtExitIsFlushed()
    {
        const Run run = runScript(QStringLiteral("unused"), {}, fakeBash({"ok \xd0", "\xbf"}, 3));
        QCOMPARE(run.status, 3);
        QCOMPARE(run.log, QStringLiteral("ok п"));
        const Run cut = runScript(QStringLiteral("unused"), {}, fakeBash({"ok \xd0"}));
        QCOMPARE(cut.status, 0);
        QCOMPARE(cut.log, QStringLiteral("ok ") + QChar(QChar::ReplacementCharacter));
    }

    void hostileValuesRunNothing_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("reachable");
        const QString m = marker();
        QTest::newRow("token breaks single quotes") << QString() << QStringLiteral("x'; touch %1; '").arg(m) << true;
        QTest::newRow("token comment") << QString() << QStringLiteral("x' # ; touch %1").arg(m) << true;
        QTest::newRow("url breaks single quotes") << QStringLiteral("/x'; touch %1; '").arg(m) << QStringLiteral("t") << false;
    }
    void hostileValuesRunNothing()
    {
        QFETCH(QString, url);
        QFETCH(QString, token);
        QFETCH(bool, reachable);
        const QString fullUrl = m_url + url;
        const Run run = runSetup("echo \"token=[$BRINDLE_TOKEN] url=[$BRINDLE_URL]\"\n", fullUrl, token,
                                 m_home.path());
        QVERIFY2(!exists(marker()), qPrintable(run.log));
        QCOMPARE(readAll(configPath()), QByteArray("BRINDLE_URL=\"" + fullUrl.toUtf8() + "\"\nBRINDLE_TOKEN=\""
                                                   + token.toUtf8() + "\"\n"));
        QCOMPARE(fileMode(configPath()), 0600);
        if (reachable) {
            QCOMPARE(run.status, 0);
            QVERIFY(run.log.contains(QStringLiteral("token=[%1] url=[%2]").arg(token, fullUrl)));
        } else {
            QVERIFY(run.status != 0);
        }
    }

    void hostileHomeIsJustAPath()
    {
        const QString m = marker();
        const QString home = m_home.filePath(
            QStringLiteral("h'o; touch %1; 'me $(touch %1) `touch %1` \"q\" \\").arg(m));
        const Run run = runSetup("exit 0\n", m_url, QStringLiteral("t"), home);
        QCOMPARE(run.status, 0);
        QVERIFY(!exists(m));
        QCOMPARE(readAll(home + QStringLiteral("/.brindle/config")),
                 QByteArray("BRINDLE_URL=\"" + m_url.toUtf8() + "\"\nBRINDLE_TOKEN=\"t\"\n"));
        QVERIFY(QDir(home).removeRecursively());
    }

    void nothingIsEmittedAfterFinished()
    {
        // A background process of the installer keeps the pipe open and writes once the test
        // has seen the exit; the runner stays alive to show that the late text is not delivered.
        InstallRunner runner;
        bool finished = false, late = false;
        QString log;
        connect(&runner, &InstallRunner::output, this, [&](const QString &t) { late = late || finished; log += t; });
        connect(&runner, &InstallRunner::finished, this, [&] {
            finished = true;
            QFile(m_home.filePath(QStringLiteral("seen-exit"))).open(QIODevice::WriteOnly);
        });
        QSignalSpy done(&runner, &InstallRunner::finished);
        m_server.on("/raw/install.sh", Reply::raw(200, QByteArray(waitForAck)
            + "echo statusline\n"
              "(trap '' PIPE; ack exit; echo late agent; touch \"$HOME/seen-late\") &\n"
              "exit 0\n"));
        const setup::Script s = setup::buildScript(m_home.path(), m_url, QStringLiteral("t"));
        runner.start(s.text, s.environment);
        QVERIFY(done.wait(15000));
        QTRY_VERIFY_WITH_TIMEOUT(exists(m_home.filePath(QStringLiteral("seen-late"))), 10000);
        QVERIFY(!QTest::qWaitFor([&] { return late; }, 300));
        QVERIFY(log.contains(QLatin1String("statusline")));
        QVERIFY(!log.contains(QLatin1String("late")));
    }

    void installerGetsEndOfInputInsteadOfWaiting()
    {
        // Nobody can answer a question asked by the installer; it must not hang on one.
        const Run run = runSetup("if read -r answer; then echo got; else echo no-input; fi\n");
        QCOMPARE(run.status, 0);
        QVERIFY2(run.log.contains(QLatin1String("no-input")), qPrintable(run.log));
    }

    void launchFailureIsReportedAfterStartReturns()
    {
        InstallRunner runner;
        runner.setBash(QStringLiteral("/nonexistent/bash"));
        QSignalSpy failed(&runner, &InstallRunner::failedToStart);
        QSignalSpy done(&runner, &InstallRunner::finished);
        runner.start(QStringLiteral("exit 0"));
        QCOMPARE(failed.count(), 0);
        QVERIFY(failed.wait(5000));
        QCOMPARE(failed.count(), 1);
        QVERIFY(!runner.running());
        QCOMPARE(done.count(), 0);
    }

    void secondStartWhileRunningIsIgnored()
    {
        InstallRunner runner;
        QSignalSpy done(&runner, &InstallRunner::finished);
        QString log;
        connect(&runner, &InstallRunner::output, this, [&](const QString &t) { log += t; });
        runner.start(QStringLiteral("sleep 0.2; echo first"));
        runner.start(QStringLiteral("echo second"));
        QVERIFY(done.wait(15000));
        QVERIFY(!done.wait(300)); // the second start never runs
        QCOMPARE(log, QStringLiteral("first\n"));
        // Once finished, the runner can run again.
        runner.start(QStringLiteral("echo again; exit 5"));
        QVERIFY(done.wait(15000));
        QCOMPARE(done.last().first().toInt(), 5);
        QCOMPARE(log, QStringLiteral("first\nagain\n"));
    }
};

QTEST_GUILESS_MAIN(TestInstallRunner)
#include "tst_installrunner.moc"
