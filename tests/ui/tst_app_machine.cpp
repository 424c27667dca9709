// The client on a machine shared with others: one instance per user through a socket nobody else
// can take or reach, screenshots that leave the user's own session and set-up alone, and the
// small things the user sees: the drawn check mark of the finished set-up, the update dialog
// that belongs to the window, and a newer version announced once; with a tray, the panel and
// the window's life beside it. Runs under Xvfb; a tray host is started only for the last case.
#include "kit.h"
#include "app/app.h"
#include "app/appupdater.h"
#include "app/shell.h"
#include "app/singleinstance.h"
#include "app/tray.h"
#include "core/uirules.h"
#include "net/secretstore.h"
#include "update/updater.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <sys/stat.h>
#include <unistd.h>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

namespace {

int fileMode(const QString &path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

// Every file below `dir` with a digest of its content and its mode.
QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        QByteArray digest = QByteArray::number(fileMode(path), 8);
        if (it.fileInfo().isFile() && f.open(QIODevice::ReadOnly))
            digest += ' ' + QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
        files.insert(path.mid(dir.size()), digest);
    }
    return files;
}

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(content);
}

// The first item of that name below `root` in the visual tree (delegates of a Repeater have no
// QObject parent, so findChild() does not see them).
QQuickItem *findItem(QQuickItem *root, const QString &name)
{
    if (root->objectName() == name)
        return root;
    for (QQuickItem *child : root->childItems())
        if (QQuickItem *found = findItem(child, name))
            return found;
    return nullptr;
}

QQuickItem *item(QQuickWindow *w, const char *name)
{
    return findItem(w->contentItem(), QLatin1String(name));
}

} // namespace

class TestAppMachine : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    FakeServer m_feed;
    QString m_feedVersion = QStringLiteral("9.9.9");
    int m_scratch = 0;

    // A fresh empty folder with the given mode.
    QString freshDir(int mode = 0700)
    {
        const QString dir = m_dir.filePath(QStringLiteral("d%1").arg(++m_scratch));
        QDir().mkpath(dir);
        ::chmod(QFile::encodeName(dir).constData(), mode_t(mode));
        return dir;
    }

    AppOptions appOptions(MemorySecretStore *secrets)
    {
        AppOptions options;
        options.deps.secrets = secrets;
        options.deps.settingsFile = m_dir.filePath(QStringLiteral("prefs.ini"));
        options.deps.home = m_dir.path();
        options.startUpdaterSchedule = false;
        return options;
    }

    static QObject *updateDialog(CorvaneApp &app)
    {
        return app.mainWindow()->findChild<QObject *>(QStringLiteral("updateDialog"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("HOME", m_dir.path().toUtf8());
        qputenv("XDG_RUNTIME_DIR", freshDir().toUtf8());
        m_feed.answer = [this](const Request &) {
            const QByteArray xml =
                "<?xml version=\"1.0\"?><rss version=\"2.0\" "
                "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel><item>"
                "<title>Версия " + m_feedVersion.toUtf8() + "</title>"
                "<sparkle:version>100</sparkle:version><sparkle:shortVersionString>" + m_feedVersion.toUtf8()
                + "</sparkle:shortVersionString><link>https://example.com/releases</link>"
                  "<description>Исправления.</description></item></channel></rss>";
            return Reply::raw(200, xml, "application/rss+xml");
        };
        QVERIFY(m_feed.listening());
        qputenv("BRINDLE_APPCAST_URL", (m_feed.url() + "/appcast.xml").toUtf8());
        qputenv("BRINDLE_SERVER_URL", "http://127.0.0.1:9");
    }

    // ---- one instance per user ----

    void secondStartFindsTheFirstInTheRuntimeDir()
    {
        const QString runtime = freshDir();
        qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
        const QString path = SingleInstance::defaultPath();
        QCOMPARE(QFileInfo(path).absolutePath(), runtime);
        SingleInstance first(path), second(path);
        QVERIFY(!first.notifyRunning(200));
        QVERIFY(first.listen());
        QCOMPARE(fileMode(path) & 077, 0);
        QSignalSpy raise(&first, &SingleInstance::raiseRequested);
        QVERIFY(second.notifyRunning(2000));
        QTRY_COMPARE(raise.count(), 1);
    }

    void runtimeDirThatIsNotPrivateIsNotUsed_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("unset") << QStringLiteral("unset");
        QTest::newRow("relative") << QStringLiteral("relative");
        QTest::newRow("readable by others") << QStringLiteral("0755");
        QTest::newRow("writable by the group") << QStringLiteral("0770");
        QTest::newRow("symlink to a private folder") << QStringLiteral("symlink");
        QTest::newRow("another user's") << QStringLiteral("chown");
    }
    void runtimeDirThatIsNotPrivateIsNotUsed()
    {
        QFETCH(QString, kind);
        QString runtime;
        if (kind == QLatin1String("0755") || kind == QLatin1String("0770")) {
            runtime = freshDir(kind.toInt(nullptr, 8));
        } else if (kind == QLatin1String("symlink")) {
            runtime = m_dir.filePath(QStringLiteral("link%1").arg(++m_scratch));
            QVERIFY(QFile::link(freshDir(), runtime));
        } else if (kind == QLatin1String("chown")) {
            if (::getuid() != 0)
                QSKIP("only root can give a folder to another user");
            runtime = freshDir();
            QVERIFY(::chown(QFile::encodeName(runtime).constData(), 65534, 65534) == 0);
        } else if (kind == QLatin1String("relative")) {
            runtime = QStringLiteral("run");
        }
        if (kind == QLatin1String("unset"))
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
        // Instead a private folder of our own in the temporary directory.
        const QString tmp = freshDir();
        qputenv("TMPDIR", tmp.toUtf8());
        const QString dir = SingleInstance::privateRuntimeDir();
        qunsetenv("TMPDIR");
        QCOMPARE(dir, tmp + QStringLiteral("/corvane-team-%1").arg(::getuid()));
        QCOMPARE(fileMode(dir), 0700);
    }

    void fallbackTakenByAnotherUserGivesNoGuard()
    {
        qputenv("XDG_RUNTIME_DIR", freshDir(0755).toUtf8());
        const QString tmp = freshDir();
        const QString planted = tmp + QStringLiteral("/corvane-team-%1").arg(::getuid());
        QVERIFY(QDir().mkdir(planted));
        if (::getuid() == 0)
            QVERIFY(::chown(QFile::encodeName(planted).constData(), 65534, 65534) == 0);
        else
            QVERIFY(::chmod(QFile::encodeName(planted).constData(), 0777) == 0);
        qputenv("TMPDIR", tmp.toUtf8());
        const QString path = SingleInstance::defaultPath();
        qunsetenv("TMPDIR");
        QVERIFY(path.isEmpty());
        SingleInstance guard(path);
        QVERIFY(!guard.notifyRunning(200));
        QVERIFY(!guard.listen());
        QVERIFY(QDir(planted).isEmpty());
        qputenv("XDG_RUNTIME_DIR", freshDir().toUtf8());
    }

    // ---- screenshots leave the user's session and set-up alone ----

    void screenshotWithLoginKeepsTheSavedSession()
    {
        const QString bin = qEnvironmentVariable("CORVANE_APP_BIN");
        if (bin.isEmpty())
            QSKIP("CORVANE_APP_BIN not set");
        ReferenceServer server;
        QVERIFY(server.start());
        const ReferenceServer::Login admin = server.loginFor(QStringLiteral("admin"));
        QVERIFY(!admin.login.isEmpty());

        // The user's own machine: set up, with a saved session in the fallback file.
        const QString home = freshDir();
        writeFile(home + QStringLiteral("/.brindle/config"), "BRINDLE_URL=\"mine\"\nBRINDLE_TOKEN=\"mine\"\n");
        writeFile(home + QStringLiteral("/.brindle/bin/statusline.sh"), "echo mine\n");
        FileSecretStore saved(home + QStringLiteral("/.config/corvane-team/secrets.json"));
        saved.set(QStringLiteral("token"), QStringLiteral("saved-token"));
        saved.set(QStringLiteral("url"), server.url());
        const QMap<QString, QByteArray> before = snapshot(home);
        const QString tmp = freshDir();

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), freshDir());
        env.insert(QStringLiteral("TMPDIR"), tmp);
        env.insert(QStringLiteral("CORVANE_SECRET_STORE"), QStringLiteral("file"));
        env.insert(QStringLiteral("CORVANE_PASSWORD"), admin.password);
        env.insert(QStringLiteral("BRINDLE_SERVER_URL"), server.url());
        QProcess p;
        p.setProcessEnvironment(env);
        const QString png = m_dir.filePath(QStringLiteral("dashboard.png"));
        p.start(bin, {QStringLiteral("--screen"), QStringLiteral("dashboard"), QStringLiteral("--screenshot"), png,
                      QStringLiteral("--login"), admin.login});
        QVERIFY(p.waitForFinished(90000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        QVERIFY(QImage(png).width() > 0);
        // Signed in and set up elsewhere: the saved session, the config and the installed tools
        // are as they were, and the scratch home is gone.
        QMap<QString, QByteArray> after = snapshot(home);
        // Without a session bus, libdbus starts one for the display and notes it in ~/.dbus;
        // that is the desktop's doing, not ours.
        after.removeIf([](auto it) { return it.key().startsWith(QLatin1String("/.dbus")); });
        QCOMPARE(after, before);
        QCOMPARE(saved.get(QStringLiteral("token")), std::optional<QString>(QStringLiteral("saved-token")));
        QVERIFY(QDir(tmp).isEmpty());
    }

    // ---- small visible faults ----

    void markRuns_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("runs");   // "*" for a mark
        QTest::newRow("done") << QStringLiteral("Готово ✅ Открываю платформу…")
                              << QStringList{"Готово", "*", "Открываю платформу…"};
        QTest::newRow("no mark") << QStringLiteral(" Это займёт минуту. ") << QStringList{"Это займёт минуту."};
        QTest::newRow("two") << QStringLiteral("✅✅ a") << QStringList{"*", "*", "a"};
        QTest::newRow("other checks stay text") << QStringLiteral("Сохранено ✓") << QStringList{"Сохранено ✓"};
        QTest::newRow("empty") << QString() << QStringList{};
    }
    void markRuns()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, runs);
        QStringList got;
        for (const ui::TextRun &r : ui::markRuns(text))
            got << (r.mark ? QStringLiteral("*") : r.text);
        QCOMPARE(got, runs);
    }

    void finishedSetUpDrawsItsMark()
    {
        MemorySecretStore secrets;
        CorvaneApp app(appOptions(&secrets));
        QString error;
        QVERIFY2(app.start(&error), qPrintable(error));
        QQuickWindow *w = app.mainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        app.store()->setPhase(Store::Phase::Onboarding);
        app.store()->setInstallDone(true);
        QTRY_VERIFY(item(w, "onboardingView"));
        QQuickItem *mark = nullptr;
        QTRY_VERIFY((mark = item(w, "textMark")) && mark->isVisible() && mark->width() > 0);
        // The badge is on screen in the success colour, beside the words.
        const QImage shot = w->grabWindow();
        const QPointF corner = mark->mapToScene(QPointF(mark->width() / 2, 2));   // above the tick
        const qreal dpr = w->effectiveDevicePixelRatio();
        QCOMPARE(shot.pixelColor((corner * dpr).toPoint()).name(), QStringLiteral("#5fb574"));
    }

    void updateDialogOutlivesTheProfile()
    {
        MemorySecretStore secrets;
        CorvaneApp app(appOptions(&secrets));
        QString error;
        QVERIFY2(app.start(&error), qPrintable(error));
        QQuickWindow *w = app.mainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        app.store()->setPhase(Store::Phase::Platform);
        app.store()->setShowProfile(true);
        QTRY_VERIFY(item(w, "checkUpdatesButton"));
        QObject *dialog = updateDialog(app);
        QVERIFY(dialog);
        QVERIFY(!dialog->property("opened").toBool());

        QMetaObject::invokeMethod(item(w, "checkUpdatesButton"), "clicked");
        QVERIFY(AppUpdater::instance()->checking());
        app.store()->setShowProfile(false);   // the user moves on before the answer
        QTRY_VERIFY(!item(w, "profileView"));
        QTRY_VERIFY_WITH_TIMEOUT(dialog->property("opened").toBool(), 10000);
        auto *content = dialog->property("contentItem").value<QQuickItem *>();
        QVERIFY(content);
        QObject *message = content->findChild<QObject *>(QStringLiteral("updateMessage"));
        QVERIFY(message);
        QCOMPARE(message->property("text").toString(), QStringLiteral("Доступна версия 9.9.9."));
        QMetaObject::invokeMethod(dialog, "close");
    }

    void scheduledCheckSaysSoOnce()
    {
        MemorySecretStore secrets;
        CorvaneApp app(appOptions(&secrets));
        QString error;
        QVERIFY2(app.start(&error), qPrintable(error));
        QVERIFY(!app.trayAvailable());
        QObject *dialog = updateDialog(app);
        Updater *updater = AppUpdater::instance()->updater();
        QSignalSpy announced(&app, &CorvaneApp::updateAnnounced);
        QSignalSpy ended(updater, &Updater::scheduledCheckFinished);
        const auto scheduledCheck = [&] {
            updater->startScheduled(3600 * 1000, 0);
            return ended.wait(10000);
        };
        const auto closeDialog = [&] {
            QMetaObject::invokeMethod(dialog, "close");
            QTRY_VERIFY(!dialog->property("opened").toBool());
        };

        // Without a tray the main window says it.
        m_feedVersion = QStringLiteral("9.9.9");
        QVERIFY(scheduledCheck());
        QCOMPARE(announced.count(), 1);
        QCOMPARE(announced.at(0).at(0).toBool(), false);
        QTRY_VERIFY(dialog->property("opened").toBool());
        closeDialog();
        // The same version again: nothing more.
        QVERIFY(scheduledCheck());
        QCOMPARE(announced.count(), 1);
        QVERIFY(!dialog->property("opened").toBool());
        // A still newer one is news again.
        m_feedVersion = QStringLiteral("9.9.10");
        QVERIFY(scheduledCheck());
        QCOMPARE(announced.count(), 2);
        closeDialog();
        // A version the user has seen through a manual check is not announced afterwards.
        m_feedVersion = QStringLiteral("9.9.11");
        QSignalSpy manual(updater, &Updater::checkFinished);
        updater->checkForUpdates();
        QVERIFY(manual.wait(10000));
        QTRY_VERIFY(dialog->property("opened").toBool());
        closeDialog();
        QVERIFY(scheduledCheck());
        QCOMPARE(announced.count(), 2);
        updater->stopScheduled();
    }

    // With a tray (a trayer host of its own): the icon opens and closes the panel, closing the
    // window keeps the application, and a scheduled check's news goes to a notification whose
    // click brings the window back with the details.
    void trayKeepsTheApplicationAndTellsOfUpdates()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server (run under xvfb-run)");
        const QString trayerBin = QStandardPaths::findExecutable(QStringLiteral("trayer"));
        if (trayerBin.isEmpty())
            QSKIP("trayer is not installed");
        QProcess trayer;
        trayer.start(trayerBin, {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "120",
                                 "--height", "24", "--transparent", "false"});
        QVERIFY(trayer.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);

        MemorySecretStore secrets;
        CorvaneApp app(appOptions(&secrets));
        QString error;
        QVERIFY2(app.start(&error), qPrintable(error));
        QVERIFY(app.trayAvailable());
        QVERIFY(app.tray()->icon()->isVisible());
        QVERIFY(!QGuiApplication::quitOnLastWindowClosed());
        QQuickWindow *main = app.mainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(main));
        // The icon's activation opens the panel; a second one closes it.
        QQuickWindow *panel = app.tray()->panel();
        QVERIFY(panel && !panel->isVisible());
        emit app.tray()->icon()->activated(QSystemTrayIcon::Trigger);
        QTRY_VERIFY(panel->isVisible());
        QCOMPARE(panel->width(), 264);
        QVERIFY(panel->findChild<QObject *>(QStringLiteral("panelText")));
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

        QVERIFY(QSystemTrayIcon::supportsMessages());
        QObject *dialog = updateDialog(app);
        QSignalSpy announced(&app, &CorvaneApp::updateAnnounced);
        m_feedVersion = QStringLiteral("9.9.12");
        AppUpdater::instance()->updater()->startScheduled(3600 * 1000, 0);
        QTRY_COMPARE_WITH_TIMEOUT(announced.count(), 1, 10000);
        QCOMPARE(announced.at(0).at(0).toBool(), true);
        QVERIFY(!dialog->property("opened").toBool());
        main->hide();
        Q_EMIT app.tray()->icon()->messageClicked();
        QTRY_VERIFY(main->isVisible());
        QTRY_VERIFY(dialog->property("opened").toBool());
        AppUpdater::instance()->updater()->stopScheduled();
        trayer.terminate();
        trayer.waitForFinished(3000);
    }
};

QTEST_MAIN(TestAppMachine)
#include "tst_app_machine.moc"
