// Starting the application on a desktop without a system tray (offscreen has none): the main
// window opens, the fact is said once on stderr, and closing the window quits. The
// built executable is also started twice to see the second start hand over to the first.
#include "app/app.h"
#include "app/shell.h"
#include "kit.h"

#include <QApplication>
#include <QProcess>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

class TestAppStart : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;

    QProcessEnvironment childEnv() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path() + QStringLiteral("/.config"));
        env.insert(QStringLiteral("CORVANE_SECRET_STORE"), QStringLiteral("memory"));
        env.insert(QStringLiteral("USER"), QStringLiteral("tst-app-start-%1").arg(QCoreApplication::applicationPid()));
        env.insert(QStringLiteral("BRINDLE_SERVER_URL"), QStringLiteral("http://127.0.0.1:9"));
        env.insert(QStringLiteral("BRINDLE_APPCAST_URL"), QStringLiteral("http://127.0.0.1:9/appcast.xml"));
        return env;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("HOME", m_home.path().toUtf8());
    }

    void noTrayInProcess()
    {
        StoreFixture f;
        AppOptions options;
        options.deps = f.deps;
        options.startUpdaterSchedule = false;
        CorvaneApp app(options);
        QString error;
        QVERIFY2(app.start(&error), qPrintable(error));
        QVERIFY(!app.trayAvailable());
        QVERIFY(!app.tray());
        QQuickWindow *w = app.mainWindow();
        QVERIFY(w);
        QVERIFY(w->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(w));
        // Shown with no saved session: bootstrap ran and left the sign-in screen.
        QTRY_VERIFY(!app.store()->restoring());
        QCOMPARE(app.store()->phase(), Store::Phase::Auth);
        QVERIFY(w->findChild<QObject *>(QStringLiteral("authView")));
        // "Открыть" raises it (the second-start path uses the same call).
        Shell::instance()->openMainWindow();
        QVERIFY(w->isVisible());
        // Without a tray, the window is the application: closing it ends the event loop.
        QVERIFY(QGuiApplication::quitOnLastWindowClosed());
        QSignalSpy last(qApp, &QGuiApplication::lastWindowClosed);
        QTimer::singleShot(100, w, [w] { w->close(); });
        QTimer watchdog;   // not quitting; gone with this test
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
        watchdog.start(10000);
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(last.count(), 1);
        QVERIFY(!w->isVisible());
    }

    void executableSaysSoOnceAndIsSingle()
    {
        const QString bin = qEnvironmentVariable("CORVANE_APP_BIN");
        if (bin.isEmpty())
            QSKIP("CORVANE_APP_BIN not set");
        QProcess first;
        first.setProcessEnvironment(childEnv());
        first.start(bin, {});
        QVERIFY(first.waitForStarted(5000));
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += first.readAllStandardError()).contains(CorvaneApp::noTrayMessage()), 15000);
        // A second start finds the first, asks it to raise its window and ends at once.
        QProcess second;
        second.setProcessEnvironment(childEnv());
        second.start(bin, {});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(!second.readAllStandardError().contains(CorvaneApp::noTrayMessage()));
        QVERIFY(!QTest::qWaitFor([&] {
            err += first.readAllStandardError();
            return err.count(CorvaneApp::noTrayMessage()) > 1;
        }, 300));
        QCOMPARE(first.state(), QProcess::Running);
        first.terminate();
        QVERIFY(first.waitForFinished(5000));
    }

};

QTEST_MAIN(TestAppStart)
#include "tst_app_start.moc"
