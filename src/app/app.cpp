#include "app/app.h"

#include "app/appupdater.h"
#include "app/avatarprovider.h"
#include "app/desktop.h"
#include "app/filechooser.h"
#include "app/screenshot.h"
#include "app/shell.h"
#include "app/singleinstance.h"
#include "app/tray.h"
#include "net/secretstore.h"
#include "ui/uibridge.h"
#include "update/updatelog.h"
#include "update/updater.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTranslator>
#include <cstdio>
#ifdef __GLIBC__
#include <malloc.h>
#endif

CorvaneApp::CorvaneApp(const AppOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
{
    // The update controller first, then the Store.
    m_log = std::make_unique<JournalLog>();
    m_updater = new Updater(m_log.get(), this);
    m_appUpdater = new AppUpdater(m_updater, this);
    AppUpdater::setInstance(m_appUpdater);
    connect(m_appUpdater, &AppUpdater::newVersionFound, this, &CorvaneApp::announceUpdate);
    if (m_options.startUpdaterSchedule && !m_options.screenshotMode())
        m_updater->startScheduled();

    StoreDeps deps = m_options.deps;
    if (!deps.chooser) {
        m_chooser = std::make_unique<DialogFileChooser>();
        deps.chooser = m_chooser.get();
    }
    m_store = new Store(this, deps);
    Store::setInstance(m_store);
    m_shell = new Shell(m_store, this);
    Shell::setInstance(m_shell);
    m_desktop = new DesktopServices(m_store, !m_options.screenshotMode(), this);
    connect(m_shell, &Shell::openMainWindowRequested, this, &CorvaneApp::openMainWindow);
    connect(m_shell, &Shell::quitRequested, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

CorvaneApp::~CorvaneApp()
{
    // The windows go before the Store and the singletons they bind to.
    delete m_tray;
    m_tray = nullptr;
    m_engine.reset();
    delete m_desktop;
    m_desktop = nullptr;
    if (Shell::instance() == m_shell)
        Shell::setInstance(nullptr);
    if (AppUpdater::instance() == m_appUpdater)
        AppUpdater::setInstance(nullptr);
    if (Store::instance() == m_store)
        Store::setInstance(nullptr);
}

void CorvaneApp::tuneAllocator()
{
#ifdef __GLIBC__
    // glibc gives every thread that allocates an arena of its own, up to eight per core, and
    // each keeps what was freed in it for that thread. Our threads (the scene graph's renderer,
    // the network's requests, the QML and image loaders) allocate little and seldom at the
    // same moment: two arenas serve them without waiting on each other, and a process that
    // lives all day in the tray keeps less memory resident. MALLOC_ARENA_MAX in the
    // environment would have to be set before the program starts.
    mallopt(M_ARENA_MAX, 2);
#endif
}

const char *CorvaneApp::noTrayMessage()
{
    return "corvane-team: no system tray on this desktop; the main window stays open and closing it quits";
}

bool CorvaneApp::start(QString *error)
{
    loadBundledFonts();
    QQuickStyle::setStyle(QStringLiteral("Basic"));

    m_engine = std::make_unique<QQmlApplicationEngine>();
    m_engine->addImportPath(QStringLiteral("qrc:/"));
    m_engine->addImageProvider(QLatin1String(AvatarImageProvider::kId), new AvatarImageProvider(m_store));
    m_engine->load(QUrl(QStringLiteral("qrc:/Corvane/ui/Main.qml")));
    const QList<QObject *> roots = m_engine->rootObjects();
    m_main = roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(roots.first());
    if (!m_main) {
        if (error)
            *error = QStringLiteral("the main window did not load");
        return false;
    }
    connect(m_main, &QQuickWindow::frameSwapped, this, &CorvaneApp::mainWindowPainted,
            Qt::SingleShotConnection);

    const bool wantTray = m_options.showTrayIcon && !m_options.screenshotMode();
    if (wantTray && QSystemTrayIcon::isSystemTrayAvailable()) {
        m_tray = new TrayController(m_engine.get(), this);
        m_trayShown = m_tray->showIcon();
        if (m_trayShown) {
            m_desktop->setTrayIcon(m_tray->icon());
            connect(m_tray->icon(), &QSystemTrayIcon::messageClicked, this, [this] {
                openMainWindow();
                if (!m_desktop->trayShowsNotice())
                    m_appUpdater->showDialog();
            });
        }
    }
    if (m_trayShown) {
        // The tray keeps the application running with the window closed.
        QGuiApplication::setQuitOnLastWindowClosed(false);
    } else {
        if (wantTray)
            std::fprintf(stderr, "%s\n", noTrayMessage());
        QGuiApplication::setQuitOnLastWindowClosed(true);
    }
    m_main->show();
    return true;
}

QQuickWindow *CorvaneApp::panelWindow()
{
    if (!m_tray && m_engine)
        m_tray = new TrayController(m_engine.get(), this);
    return m_tray ? m_tray->panel() : nullptr;
}

void CorvaneApp::openMainWindow()
{
    if (m_tray)
        m_tray->hidePanel();
    if (!m_main)
        return;
    if (m_main->windowState() & Qt::WindowMinimized)
        m_main->showNormal();
    else
        m_main->show();
    m_main->raise();
    m_main->requestActivate();
}

void CorvaneApp::announceUpdate()
{
    QSystemTrayIcon *icon = m_tray ? m_tray->icon() : nullptr;
    if (m_trayShown && icon && icon->isVisible() && QSystemTrayIcon::supportsMessages()) {
        icon->showMessage(m_appUpdater->title(), m_appUpdater->message(), QSystemTrayIcon::Information, 15000);
        m_desktop->clearTrayNotice();
        Q_EMIT updateAnnounced(true);
        return;
    }
    m_appUpdater->showDialog();
    Q_EMIT updateAnnounced(false);
}

bool CorvaneApp::parseArguments(const QStringList &args, AppOptions *options, QString *error)
{
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Corvane Team desktop client"));
    p.addHelpOption();
    const QCommandLineOption screen(QStringLiteral("screen"), QStringLiteral("screen to show"), QStringLiteral("NAME"));
    const QCommandLineOption shot(QStringLiteral("screenshot"), QStringLiteral("save a picture and quit"), QStringLiteral("FILE"));
    const QCommandLineOption login(QStringLiteral("login"), QStringLiteral("sign in first"), QStringLiteral("LOGIN"));
    const QCommandLineOption password(QStringLiteral("password"), QStringLiteral("password"), QStringLiteral("PASSWORD"));
    const QCommandLineOption size(QStringLiteral("size"), QStringLiteral("main window size for the picture"), QStringLiteral("WxH"));
    p.addOptions({screen, shot, login, password, size});
    if (!p.parse(args)) {
        *error = p.errorText();
        return false;
    }
    options->screen = p.value(screen);
    options->screenshotFile = p.value(shot);
    options->login = p.value(login);
    options->password = p.value(password);
    if (p.isSet(size)) {
        // Any size is taken as asked: the window's own minimum still holds.
        const QStringList wh = p.value(size).split(u'x');
        bool okW = false, okH = false;
        const int w = wh.value(0).toInt(&okW), h = wh.value(1).toInt(&okH);
        if (wh.size() != 2 || !okW || !okH || w < 1 || h < 1 || w > 10000 || h > 10000) {
            *error = QStringLiteral("--size takes WIDTHxHEIGHT, for example 1000x640");
            return false;
        }
        options->windowSize = QSize(w, h);
    }
    if (options->screenshotFile.isEmpty() != options->screen.isEmpty()) {
        *error = QStringLiteral("--screen and --screenshot go together");
        return false;
    }
    if (options->screenshotMode() && !ScreenshotRunner::knownScreen(options->screen)) {
        *error = QStringLiteral("unknown screen: ") + options->screen;
        return false;
    }
    // The password may come from the environment, so that it shows on no command line.
    if (!options->login.isEmpty() && options->password.isEmpty())
        options->password = qEnvironmentVariable("CORVANE_PASSWORD");
    if (options->login.isEmpty() != options->password.isEmpty()) {
        *error = options->login.isEmpty() ? QStringLiteral("--password needs --login")
                                          : QStringLiteral("--login needs --password or CORVANE_PASSWORD");
        return false;
    }
    if ((!options->login.isEmpty() || options->windowSize.isValid()) && !options->screenshotMode()) {
        *error = QStringLiteral("--login, --password and --size are for --screenshot only");
        return false;
    }
    return true;
}

int CorvaneApp::run(QApplication &app)
{
    QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));
    QCoreApplication::setApplicationName(QStringLiteral("corvane-team"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Corvane Studio"));
    // Ties the windows to the installed menu entry (task bars, Wayland) and gives them its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.corvane.team"));
    QGuiApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("com.corvane.team"), QIcon(QStringLiteral(":/Corvane/ui/resources/logo.png"))));

    // The interface is Russian whatever the system's language, and so are the texts Qt draws
    // itself: the file dialogs of the photo picker and the CSV export, standard buttons.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);

    AppOptions options;
    QString error;
    if (!parseArguments(app.arguments(), &options, &error)) {
        std::fprintf(stderr, "corvane-team: %s\n", qPrintable(error));
        return 2;
    }

    // Screenshots run beside a normal instance; everything else is one per user.
    SingleInstance guard;
    if (!options.screenshotMode()) {
        if (guard.notifyRunning())
            return 0;
        if (!guard.listen())
            std::fprintf(stderr, "corvane-team: no private runtime folder for the single-instance socket; "
                                 "a second start will open a second window\n");
    }

    // A screenshot that signs in works on a session of its own: the saved one stays in the
    // secret store untouched, and set-up writes into a scratch home that goes away afterwards.
    MemorySecretStore screenshotSecrets;
    QTemporaryDir screenshotHome;
    if (options.screenshotMode() && !options.login.isEmpty()) {
        options.deps.secrets = &screenshotSecrets;
        if (!screenshotHome.isValid()) {
            std::fprintf(stderr, "corvane-team: no scratch folder for the screenshot's set-up\n");
            return 1;
        }
        options.deps.home = screenshotHome.path();
    }

    CorvaneApp corvane(options);
    if (!corvane.start(&error)) {
        std::fprintf(stderr, "corvane-team: %s\n", qPrintable(error));
        return 1;
    }
    QObject::connect(&guard, &SingleInstance::raiseRequested, &corvane, &CorvaneApp::openMainWindow);

    std::unique_ptr<ScreenshotRunner> runner;
    if (options.screenshotMode()) {
        runner = std::make_unique<ScreenshotRunner>(&corvane);
        runner->start();
    }
    return app.exec();
}
