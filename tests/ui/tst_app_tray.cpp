// The application with a system tray (Xvfb and a trayer host): the icon shows, the panel opens
// from it at 264 px with the sign-in hint, closing the main window keeps the application
// running, and "Открыть" brings the window back.
#include "app/app.h"
#include "app/shell.h"
#include "app/tray.h"
#include "kit.h"

#include <QApplication>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

class TestAppTray : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;
    QProcess m_trayer;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("HOME", m_home.path().toUtf8());
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server (run under xvfb-run)");
        const QString trayer = QStandardPaths::findExecutable(QStringLiteral("trayer"));
        if (trayer.isEmpty())
            QSKIP("trayer is not installed");
        m_trayer.start(trayer, {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "120",
                                "--height", "24", "--transparent", "false"});
        QVERIFY(m_trayer.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
    }

    void cleanupTestCase()
    {
        if (m_trayer.state() == QProcess::Running) {
            m_trayer.terminate();
            m_trayer.waitForFinished(3000);
        }
    }

    void trayKeepsTheApplication()
    {
        StoreFixture f;
        AppOptions options;
        options.deps = f.deps;
        options.startUpdaterSchedule = false;
        CorvaneApp app(options);
        QString error;
        QVERIFY2(app.start(&error), qPrintable(error));
        QVERIFY(app.trayAvailable());
        QVERIFY(app.tray()->icon()->isVisible());
        QVERIFY(!QGuiApplication::quitOnLastWindowClosed());
        QQuickWindow *main = app.mainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(main));

        // The icon's activation opens the panel; a second one closes it.
        QQuickWindow *panel = app.tray()->panel();
        QVERIFY(panel);
        QVERIFY(!panel->isVisible());
        emit app.tray()->icon()->activated(QSystemTrayIcon::Trigger);
        QTRY_VERIFY(panel->isVisible());
        QCOMPARE(panel->width(), 264);
        QVERIFY(panel->height() > 100);
        QVERIFY(panel->findChild<QObject *>(QStringLiteral("panelText")));
        QVERIFY(!panel->grabWindow().isNull());
        app.tray()->togglePanel();
        QVERIFY(!panel->isVisible());

        // Closing the window leaves the tray; "Открыть" raises the window again.
        main->close();
        QTRY_VERIFY(!main->isVisible());
        QVERIFY(app.tray()->icon()->isVisible());
        app.tray()->showPanel(QPoint(200, 200));
        QTRY_VERIFY(panel->isVisible());
        QMetaObject::invokeMethod(Shell::instance(), "openMainWindow");
        QTRY_VERIFY(main->isVisible());
        QTRY_VERIFY(!panel->isVisible());
    }
};

QTEST_MAIN(TestAppTray)
#include "tst_app_tray.moc"
