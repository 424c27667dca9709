// InstallRunner with plain scripts: the exit status, the output as one UTF-8 stream whatever the
// reads, nothing after the end, no waiting for input, and start-up failures.
#include "testmain.h"

#include <QtTest>

#include <csignal>

#include "setup/installrunner.h"

class TestInstallRunner : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;

private slots:
    void initTestCase()
    {
        // bash -l reads the profile of $HOME: point it at an empty directory of our own.
        QVERIFY(m_home.isValid());
        qputenv("HOME", QFile::encodeName(m_home.path()));
    }

    // The status reaches `finished` (death by a signal as 128 + the signal), and a character cut
    // off at the end is flushed (splits between reads are the output decoder's table).
    void runs_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("log");
        QTest::newRow("exit 42") << "echo one; exit 42" << 42 << "one\n";
        QTest::newRow("SIGSEGV") << "ulimit -c 0; echo agent; kill -SEGV $$" << 128 + SIGSEGV << "agent\n";
        QTest::newRow("cut off at exit") << "printf 'ok \\320'; exit 3" << 3 << QStringLiteral("ok ") + QChar(QChar::ReplacementCharacter);
        // Nobody can answer a question asked by the installer; it must not hang on one.
        QTest::newRow("no input") << "if read -r a; then echo got; else echo no-input; fi" << 0 << "no-input\n";
    }
    void runs()
    {
        QFETCH(QString, script);
        InstallRunner runner;
        QString log;
        connect(&runner, &InstallRunner::output, this, [&](const QString &t) { log += t; });
        QSignalSpy done(&runner, &InstallRunner::finished);
        runner.start(script);
        QVERIFY(runner.running());
        QVERIFY(done.wait(15000));
        QVERIFY(!runner.running());
        QTEST(done.first().first().toInt(), "status");
        QTEST(log, "log");
    }

    void nothingIsEmittedAfterFinished()
    {
        // A background process of the installer keeps the pipe open and writes once the test has
        // seen the exit; the runner stays alive to show that the late text is not delivered.
        const QString seenExit = m_home.filePath(QStringLiteral("seen-exit")), late = m_home.filePath(QStringLiteral("late"));
        InstallRunner runner;
        bool finished = false, lateOutput = false;
        QString log;
        connect(&runner, &InstallRunner::output, this, [&](const QString &t) { lateOutput = lateOutput || finished; log += t; });
        connect(&runner, &InstallRunner::finished, this, [&] {
            finished = true;
            QFile(seenExit).open(QIODevice::WriteOnly);
        });
        QSignalSpy done(&runner, &InstallRunner::finished);
        runner.start(QStringLiteral("echo statusline\n"
                                    "(trap '' PIPE; i=0; while [ ! -e \"$HOME/seen-exit\" ] && [ $i -lt 250 ]; do sleep 0.02; i=$((i+1)); done;"
                                    " echo late agent; touch \"$HOME/late\") &\n"
                                    "exit 0\n"));
        QVERIFY(done.wait(15000));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(late), 10000);
        QVERIFY(!QTest::qWaitFor([&] { return lateOutput; }, 300));
        QCOMPARE(log, QStringLiteral("statusline\n"));
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
        // Once finished, the runner can run again.
        runner.start(QStringLiteral("echo again; exit 5"));
        QVERIFY(done.wait(15000));
        QCOMPARE(done.count(), 2);
        QCOMPARE(done.last().first().toInt(), 5);
        QCOMPARE(log, QStringLiteral("first\nagain\n")); // the second start never ran
    }
};

CORVANE_TEST_CLASS(TestInstallRunner)
#include "tst_installrunner.moc"
