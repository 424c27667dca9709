#pragma once
// Screenshot mode: `corvane-team --screen NAME --screenshot FILE.png [--login L --password P]`
// (the password may come from CORVANE_PASSWORD instead). With a login the run keeps its session
// in memory and runs set-up in a scratch home: the user's own session and set-up stay untouched.
// Opens one screen (a phase, a section, the profile or the tray panel), waits until its data
// have loaded and the view has settled, saves the window's picture and quits: status 0, or 1
// with a message on stderr.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class CorvaneApp;
class QQuickWindow;

class ScreenshotRunner : public QObject
{
    Q_OBJECT

public:
    explicit ScreenshotRunner(CorvaneApp *app, QObject *parent = nullptr);

    // auth, changePassword, onboarding, dashboard, accounts, stats, activity, team, projects,
    // tasks, profile, panel; states of a screen: profile:security, team:new, team:member
    // (the first member's sheet), team:secret (the credential sheet with a made-up credential);
    // and the resources screens' states of shotvariant (accounts:flat, dashboard:expanded…).
    static bool knownScreen(const QString &name);
    static bool isPhaseScreen(const QString &name);

    // Total time allowed for sign-in, set-up and loading.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    void start();

Q_SIGNALS:
    void finished(int status);

private:
    void step();
    void enterPlatform();
    void openTarget();
    bool dataLoading() const;
    void grab();
    // Opens the state named after the colon on the shown screen; false when it cannot yet.
    bool applyState();
    void fail(const QString &message);
    void done(int status);

    CorvaneApp *m_app;
    QString m_screen;
    QString m_state;         // the part after "screen:", empty for none
    bool m_stateApplied = false;
    QTimer m_tick;
    QElapsedTimer m_clock;
    QElapsedTimer m_quiet;   // how long nothing has been loading
    int m_timeoutMs = 90000;
    bool m_signInSent = false;
    bool m_targetOpen = false;
    bool m_finished = false;
    bool m_variantApplied = false;
};
