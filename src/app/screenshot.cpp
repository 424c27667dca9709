#include "app/screenshot.h"

#include "app/app.h"
#include "app/screenshotvariants.h"
#include "store/store.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QQuickItem>
#include <QQuickWindow>
#include <cstdio>

namespace {
const QStringList kPhases{QStringLiteral("auth"), QStringLiteral("changePassword"), QStringLiteral("onboarding")};
const QStringList kSections{QStringLiteral("dashboard"), QStringLiteral("accounts"), QStringLiteral("stats"),
                            QStringLiteral("activity"), QStringLiteral("team"), QStringLiteral("projects"),
                            QStringLiteral("tasks")};
// Screen states, and the view (by object name) that opens them through its showState().
const QHash<QString, QString> kStates{{QStringLiteral("profile:security"), QStringLiteral("profileView")},
                                     {QStringLiteral("profile:notifications"), QStringLiteral("profileView")},
                                     {QStringLiteral("team:new"), QStringLiteral("teamView")},
                                     {QStringLiteral("team:member"), QStringLiteral("teamView")},
                                     {QStringLiteral("team:secret"), QStringLiteral("teamView")}};
constexpr int kTickMs = 100;

QQuickItem *findItem(QQuickItem *item, const QString &name)
{
    if (!item)
        return nullptr;
    if (item->objectName() == name)
        return item;
    for (QQuickItem *child : item->childItems())
        if (QQuickItem *found = findItem(child, name))
            return found;
    return nullptr;
}
// Nothing loading for this long counts as loaded: gives late-starting loads and the
// animations of the shown screen time to finish.
constexpr int kSettleMs = 900;
} // namespace

ScreenshotRunner::ScreenshotRunner(CorvaneApp *app, QObject *parent)
    : QObject(parent)
    , m_app(app)
    , m_screen(app->options().screen)
{
    if (kStates.contains(m_screen)) {
        m_state = m_screen.section(u':', 1);
        m_screen = m_screen.section(u':', 0, 0);
    }
    m_tick.setInterval(kTickMs);
    connect(&m_tick, &QTimer::timeout, this, &ScreenshotRunner::step);
}

bool ScreenshotRunner::knownScreen(const QString &name)
{
    return kPhases.contains(name) || kSections.contains(name) || name == QLatin1String("profile")
        || name == QLatin1String("panel") || kStates.contains(name) || shotvariant::known(name);
}

bool ScreenshotRunner::isPhaseScreen(const QString &name)
{
    return kPhases.contains(name);
}

void ScreenshotRunner::start()
{
    m_clock.start();
    m_tick.start();
}

bool ScreenshotRunner::dataLoading() const
{
    const Store *s = m_app->store();
    return s->busy() || s->home()->loading() || s->loadingTeam() || s->stats()->loading() || s->activity()->loading()
        || s->loadingMembers() || s->refreshingLimits();
}

void ScreenshotRunner::enterPlatform()
{
    Store *s = m_app->store();
    s->setError(QString());
    s->setPhase(Store::Phase::Platform);
    s->loadMe();
    s->startAutoRefresh();
}

void ScreenshotRunner::openTarget()
{
    Store *s = m_app->store();
    m_targetOpen = true;
    m_quiet.start();
    if (QQuickWindow *main = m_app->mainWindow(); main && m_app->options().windowSize.isValid())
        main->resize(m_app->options().windowSize);
    if (isPhaseScreen(m_screen)) {
        // The picture of a phase is taken by setting it; nothing runs behind it.
        if (m_screen == QLatin1String("changePassword"))
            s->setPhase(Store::Phase::ChangePassword);
        else if (m_screen == QLatin1String("onboarding"))
            s->setPhase(Store::Phase::Onboarding);
        else
            s->setPhase(Store::Phase::Auth);
        return;
    }
    if (m_screen == QLatin1String("profile")) {
        s->setShowProfile(true);
        s->loadMe();
        return;
    }
    if (shotvariant::baseScreen(m_screen) == QLatin1String("panel")) {
        s->reload();
        if (QQuickWindow *panel = m_app->panelWindow()) {
            panel->setPosition(40, 40);
            panel->show();
        }
        return;
    }
    s->setShowProfile(false);
    shotvariant::beforeLoad(s, m_screen);
    s->setNavByName(shotvariant::baseScreen(m_screen));
}

void ScreenshotRunner::step()
{
    if (m_finished)
        return;
    if (m_clock.elapsed() > m_timeoutMs) {
        fail(QStringLiteral("timed out before the screen had loaded (phase %1, error \"%2\")")
                 .arg(m_app->store()->phaseName(), m_app->store()->error()));
        return;
    }
    Store *s = m_app->store();
    if (!m_targetOpen) {
        const bool wantPhase = isPhaseScreen(m_screen);
        const bool signIn = !m_app->options().login.isEmpty();
        if (wantPhase && !signIn) {
            openTarget();
            return;
        }
        if (signIn && !m_signInSent) {
            // The application gave this run a session store of its own (empty), so nothing was
            // restored and there is nothing to sign out: the user's saved session stays as it is.
            m_signInSent = true;
            s->signIn(m_app->options().login, m_app->options().password);
            return;
        }
        // A sign-in in flight, or start-up still reading the saved session.
        if (s->busy() || s->restoring())
            return;
        if (s->phase() == Store::Phase::Auth) {
            if (signIn) {
                if (!s->error().isEmpty()) {
                    fail(QStringLiteral("sign-in failed: ") + s->error());
                    return;
                }
                if (s->token().isEmpty())
                    return;
            } else if (s->token().isEmpty()) {
                // The window's first show ran bootstrap; still auth means no saved session.
                if (m_screen == QLatin1String("panel")) {
                    openTarget();
                    return;
                }
                fail(QStringLiteral("no saved session: sign in with --login and --password"));
                return;
            }
        }
        if (wantPhase) {
            openTarget();
            return;
        }
        if (s->phase() == Store::Phase::ChangePassword) {
            enterPlatform();
            return;
        }
        if (s->phase() == Store::Phase::Onboarding) {
            // Let set-up run; a failed run still gives the picture of the section.
            if (!s->error().isEmpty() && !s->installDone()) {
                std::fprintf(stderr, "corvane-team: set-up failed (%s); showing the section anyway\n",
                             qPrintable(s->error()));
                enterPlatform();
            }
            return;
        }
        if (s->phase() == Store::Phase::Platform)
            openTarget();
        return;
    }
    if (dataLoading() || !shotvariant::settled(m_app->mainWindow()))
        m_quiet.restart();
    if (m_quiet.elapsed() < kSettleMs)
        return;
    if (!m_state.isEmpty() && !m_stateApplied) {
        if (applyState()) {
            m_stateApplied = true;
            m_quiet.restart(); // let the sheet open and its data load
        }
        return;
    }
    // A resources screen in a given state (a row open, the form shown) is put in it once its
    // data are in, then left to settle again.
    if (shotvariant::known(m_screen) && !m_variantApplied) {
        if (shotvariant::apply(s, m_app->mainWindow(), m_screen))
            m_variantApplied = true;
        m_quiet.restart();
        return;
    }
    grab();
}

bool ScreenshotRunner::applyState()
{
    QQuickWindow *window = m_app->mainWindow();
    QQuickItem *view = findItem(window ? window->contentItem() : nullptr,
                                kStates.value(m_screen + u':' + m_state));
    if (!view)
        return false;
    if (m_screen == QLatin1String("team") && m_state == QLatin1String("secret")) {
        // A credential comes only from the server; the picture shows a made-up one.
        Store::instance()->roster()->setSecret({{QStringLiteral("title"), QStringLiteral("Сотрудник создан")},
                                                {QStringLiteral("login"), QStringLiteral("ivan.petrov")},
                                                {QStringLiteral("password"), QStringLiteral("k7Qm-29xT-pL4w")},
                                                {QStringLiteral("created"), true}});
        return true;
    }
    QMetaObject::invokeMethod(view, "showState", Q_ARG(QVariant, QVariant(m_state)));
    return true;
}

void ScreenshotRunner::grab()
{
    QQuickWindow *window = shotvariant::baseScreen(m_screen) == QLatin1String("panel") ? m_app->panelWindow()
                                                                                      : m_app->mainWindow();
    if (!window || !window->isVisible()) {
        fail(QStringLiteral("the window to capture is not shown"));
        return;
    }
    const QImage image = window->grabWindow();
    if (image.isNull()) {
        fail(QStringLiteral("the window could not be captured"));
        return;
    }
    const QString file = m_app->options().screenshotFile;
    if (!image.save(file, "PNG")) {
        fail(QStringLiteral("could not write ") + QFileInfo(file).absoluteFilePath());
        return;
    }
    std::fprintf(stdout, "%s %dx%d\n", qPrintable(QFileInfo(file).absoluteFilePath()), image.width(), image.height());
    std::fflush(stdout);
    done(0);
}

void ScreenshotRunner::fail(const QString &message)
{
    std::fprintf(stderr, "corvane-team: screenshot of %s: %s\n", qPrintable(m_screen), qPrintable(message));
    done(1);
}

void ScreenshotRunner::done(int status)
{
    m_finished = true;
    m_tick.stop();
    Q_EMIT finished(status);
    QCoreApplication::exit(status);
}
