#pragma once
// The application: creates the update controller, then the one Store, loads the main window
// and sets up the tray item (or, on a desktop without a tray, lets the main window alone keep
// the application running). main() only parses nothing and calls CorvaneApp::run().

#include "store/store.h"

#include <QObject>
#include <QSize>
#include <QPointer>
#include <QString>
#include <memory>

class AppUpdater;
class DesktopServices;
class DialogFileChooser;
class JournalLog;
class QApplication;
class QQmlApplicationEngine;
#include <QQuickWindow>
class Shell;
class TrayController;
class Updater;

struct AppOptions {
    // Screenshot mode: --screen NAME --screenshot FILE [--login L --password P] [--size WxH].
    QString screen;
    QString screenshotFile;
    QString login;
    QString password;
    QSize windowSize; // the main window's size for the picture; invalid: its own default
    bool screenshotMode() const { return !screenshotFile.isEmpty(); }

    // Tests and benchmarks replace pieces of the Store's surroundings; a null chooser means
    // the desktop's file dialog.
    StoreDeps deps;
    bool startUpdaterSchedule = true;
    bool showTrayIcon = true;   // false: never a tray icon (screenshot mode, tests)
};

class CorvaneApp : public QObject
{
    Q_OBJECT

public:
    explicit CorvaneApp(const AppOptions &options, QObject *parent = nullptr);
    ~CorvaneApp() override;

    // Sets the allocator up for a long-running tray process. Called first thing in main(),
    // before any thread starts.
    static void tuneAllocator();
    // Parses the command line, guards against a second instance, starts and runs the event
    // loop. The QApplication exists already.
    static int run(QApplication &app);
    // Parses the command line into options; false with a message on a bad command line.
    static bool parseArguments(const QStringList &args, AppOptions *options, QString *error);

    // Loads the interface. False with a message when the QML does not load.
    bool start(QString *error);

    Store *store() const { return m_store; }
    QQmlApplicationEngine *engine() const { return m_engine.get(); }
    QQuickWindow *mainWindow() const { return m_main; }
    // The tray panel (also without a tray, for the screenshot of it); null until needed.
    QQuickWindow *panelWindow();
    TrayController *tray() const { return m_tray; }
    bool trayAvailable() const { return m_trayShown; }
    const AppOptions &options() const { return m_options; }

    // Raises and activates the main window (tray "Открыть", second start).
    void openMainWindow();
    // Says that a scheduled check found a newer version: in the tray's notification when the
    // desktop shows them (a click on it opens the window and the details), else in the main
    // window's update dialog.
    void announceUpdate();

    // The line written once on stderr when the desktop has no tray.
    static const char *noTrayMessage();

Q_SIGNALS:
    // The main window's first frame is on screen (benchmarks).
    void mainWindowPainted();
    // announceUpdate() has said it, in the tray or in the main window.
    void updateAnnounced(bool viaTray);

private:
    AppOptions m_options;
    std::unique_ptr<JournalLog> m_log;
    Updater *m_updater = nullptr;
    AppUpdater *m_appUpdater = nullptr;
    std::unique_ptr<DialogFileChooser> m_chooser;
    Store *m_store = nullptr;
    Shell *m_shell = nullptr;
    DesktopServices *m_desktop = nullptr;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QPointer<QQuickWindow> m_main;
    TrayController *m_tray = nullptr;
    bool m_trayShown = false;
};
