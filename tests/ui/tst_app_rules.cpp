// The decisions of the application shell: the sidebar by role, the projects list, the tray
// panel's body, routing, start-up restoring a session only from the sign-in screen, the photo
// provider, the panel placement, the second-start guard and the command line.
#include "app/app.h"
#include "app/appupdater.h"
#include "app/avatarprovider.h"
#include "app/screenshot.h"
#include "app/shell.h"
#include "app/tray.h"
#include "kit.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

Acct mkAcct(const QString &email, const QString &project = {})
{
    Acct a;
    a.email = email;
    a.project = project;
    return a;
}

TeamAcct teamAcct(const QStringList &sessionProjects, const QStringList &deviceProjects)
{
    TeamAcct t;
    for (const QString &p : sessionProjects) {
        LiveSession s;
        s.project = p;
        t.liveSessions.append(s);
    }
    for (const QString &p : deviceProjects) {
        Device d;
        d.project = p;
        t.devices.append(d);
    }
    return t;
}

QStringList navKeys(const QList<shell::NavItem> &items)
{
    QStringList out;
    for (const auto &i : items)
        out << i.key;
    return out;
}

} // namespace

class TestAppRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Who sees which sections; the role is compared exactly.
    void sidebarByRole()
    {
        QCOMPARE(navKeys(shell::sidebarItems(QStringLiteral("admin"))),
                 (QStringList{"dashboard", "accounts", "stats", "activity", "team", "projects", "tasks"}));
        for (const QString role : {"viewer", "", "Admin", "admin "}) {
            QCOMPARE(navKeys(shell::sidebarItems(role)), (QStringList{"dashboard", "accounts", "projects", "tasks"}));
            QCOMPARE(shell::roleLabel(role), QStringLiteral("сотрудник"));
        }
    }

    void projectsList()
    {
        const QList<TeamAcct> team{teamAcct({"zeta", "alpha", ""}, {"alpha", "Beta"}),
                                   teamAcct({"beta"}, {"zeta", "Ёлка", "яблоко"})};
        const QList<Acct> own{mkAcct("a@x", "own-b"), mkAcct("b@x", "own-a"), mkAcct("c@x", "own-b"), mkAcct("d@x")};
        // Administrators: sessions and devices of the team, unique, no empty name, plain order
        // (upper case before lower case, Cyrillic after Latin).
        QCOMPARE(shell::projects(true, team, own),
                 (QStringList{"Beta", "alpha", "beta", "zeta", "Ёлка", "яблоко"}));
        // Anyone else: the own accounts only, whatever the team list holds.
        QCOMPARE(shell::projects(false, team, own), (QStringList{"own-a", "own-b"}));
        QVERIFY(shell::projects(false, {}, {mkAcct("a"), mkAcct("b")}).isEmpty());
    }

    void panelBody()
    {
        QCOMPARE(shell::panelCase(Store::Phase::Onboarding, 3), QStringLiteral("signin"));
        QCOMPARE(shell::panelCase(Store::Phase::Platform, 0), QStringLiteral("empty"));
        QCOMPARE(shell::panelCase(Store::Phase::Platform, 1), QStringLiteral("accounts"));
        QVERIFY(shell::showTeamRow(QStringLiteral("admin"), 5));
        QVERIFY(!shell::showTeamRow(QStringLiteral("admin"), 0));
        QVERIFY(!shell::showTeamRow(QStringLiteral("viewer"), 5));
        // The empty panel says why: no telemetry yet, or no server, is not "no limits".
        const QString none = shell::panelText(QStringLiteral("empty"), true);
        QVERIFY(shell::panelText(QStringLiteral("empty"), false) != none);
        QVERIFY(shell::panelText(QStringLiteral("empty"), true, true) != none);
        QVERIFY(shell::panelText(QStringLiteral("accounts"), true).isEmpty());
    }

    // The Shell object follows the Store it watches (its rules are the tables above).
    void shellFollowsStore()
    {
        StoreFixture f;
        Store &store = *f;
        Shell sh(&store, nullptr);
        store.setRole(QStringLiteral("admin"));
        QCOMPARE(sh.sidebarItems().size(), 7);
        QCOMPARE(sh.rootView(), QStringLiteral("session/AuthView"));
        store.setPhase(Store::Phase::Platform);
        QCOMPARE(sh.rootView(), QStringLiteral("PlatformView"));
        store.home()->setTelemetryOk(true);
        store.home()->setAccounts({mkAcct("m0@x", "p1"), mkAcct("m1@x", "p0")});
        QCOMPARE(sh.panelCase(), QStringLiteral("accounts"));
        QCOMPARE(sh.panelAccounts().size(), 2);
        // An administrator's projects come from the team, not from the own accounts.
        QVERIFY(sh.projects().isEmpty());
        store.setRole(QStringLiteral("viewer"));
        QCOMPARE(sh.projects(), (QStringList{"p0", "p1"}));

        // A section hidden from the role stays routed until another one is chosen.
        store.setNav(Store::Nav::Stats);
        QCOMPARE(sh.sectionView(), QStringLiteral("stats/StatsView"));
        store.setShowProfile(true);
        QCOMPARE(sh.sectionView(), QStringLiteral("profile/ProfileView"));
        sh.selectSection(QStringLiteral("tasks"));
        QVERIFY(!store.showProfile());
        QCOMPARE(sh.sectionView(), QStringLiteral("shell/TasksView"));
        sh.selectSection(QStringLiteral("nonsense"));
        QCOMPARE(store.nav(), Store::Nav::Tasks);
    }

    // The root view restores a saved session only while no token is held and the phase is auth.
    void rootShownBootstrapsOnlyFromSignIn()
    {
        StoreFixture f({.httpTimeoutMs = 500});
        f.saveSession({{"token", "tok"}, {"login", "anna"}});
        f.writeConfig();
        Shell sh(f.store.get(), nullptr);
        f->setPhase(Store::Phase::Onboarding);
        QVERIFY(!sh.rootShown());
        QVERIFY(f->token().isEmpty());
        f->setPhase(Store::Phase::Auth);
        QVERIFY(sh.rootShown());
        QTRY_COMPARE(f->token(), QStringLiteral("tok"));
        QCOMPARE(f->phase(), Store::Phase::Platform);
        QCOMPARE(f->name(), QStringLiteral("anna"));
        f->setPhase(Store::Phase::Auth); // shown again with a token held: nothing happens
        QVERIFY(!sh.rootShown());
    }

    void photoProvider()
    {
        StoreFixture f;
        Store &store = *f;
        QVERIFY(AvatarImageProvider::lookup(&store, QStringLiteral("self/0")).isNull());
        QImage photo(40, 20, QImage::Format_ARGB32);
        photo.fill(Qt::red);
        store.profile()->setAvatar(photo);
        QCOMPARE(AvatarImageProvider::lookup(&store, QStringLiteral("self/1")).size(), QSize(40, 20));
        QVERIFY(AvatarImageProvider::lookup(&store, QStringLiteral("member/x%2Fy/3")).isNull());
        QVERIFY(AvatarImageProvider::lookup(nullptr, QStringLiteral("self/1")).isNull());

        AvatarImageProvider provider(&store);
        QSize size;
        const QImage round = provider.requestImage(QStringLiteral("round/self/1"), &size, QSize(32, 32));
        QCOMPARE(size, QSize(32, 32));
        QCOMPARE(round.pixelColor(16, 16), QColor(Qt::red));
        QCOMPARE(round.pixelColor(0, 0).alpha(), 0);   // outside the circle
        // A missing photo is a transparent pixel, not a failure.
        const QImage none = provider.requestImage(QStringLiteral("member/nobody/1"), &size, QSize());
        QCOMPARE(none.size(), QSize(1, 1));
        // Only bundled images: no file outside the resource folder, no other scheme.
        QVERIFY(AvatarImageProvider::bundledImage(QStringLiteral("file:///etc/passwd")).isNull());
        QVERIFY(AvatarImageProvider::bundledImage(QStringLiteral("https://example.com/a.png")).isNull());
        QVERIFY(AvatarImageProvider::bundledImage(QStringLiteral("qrc:/Corvane/ui/resources/../Main.qml")).isNull());
    }

    void panelPlacement()
    {
        const QRect screen(0, 0, 1920, 1080);
        const QSize size(264, 300);
        // Under an icon at the top right: below it, kept on screen.
        QRect r = TrayController::placePanel(QRect(1880, 0, 24, 24), {}, size, screen);
        QCOMPARE(r.size(), size);
        QCOMPARE(r.right(), screen.right());
        QVERIFY(r.top() >= 24);
        // An icon at the bottom: above it.
        r = TrayController::placePanel(QRect(900, 1056, 24, 24), {}, size, screen);
        QVERIFY(r.bottom() < 1056);
        QVERIFY(qAbs(r.center().x() - 912) <= 2);   // centred under the icon
        // No icon geometry: by the pointer, inside the screen.
        r = TrayController::placePanel(QRect(), QPoint(5, 1075), size, screen);
        QVERIFY(screen.contains(r));
        QVERIFY(!TrayController::makeIcon().isNull());
    }

    void commandLine()
    {
        AppOptions o;
        QString err;
        QVERIFY(CorvaneApp::parseArguments({"corvane-team"}, &o, &err));
        QVERIFY(!o.screenshotMode());
        QVERIFY(CorvaneApp::parseArguments({"corvane-team", "--screen", "team", "--screenshot", "/tmp/x.png",
                                            "--login", "anna", "--password", "p w"}, &o, &err));
        QVERIFY(o.screenshotMode());
        QCOMPARE(o.screen, QStringLiteral("team"));
        QCOMPARE(o.password, QStringLiteral("p w"));
        const auto parses = [&](const QStringList &args) {
            AppOptions fresh;
            return CorvaneApp::parseArguments(args, &fresh, &err);
        };
        QVERIFY(!parses({"corvane-team", "--screen", "nope", "--screenshot", "a.png"}));
        QVERIFY(!parses({"corvane-team", "--screen", "auth"}));
        QVERIFY(!parses({"corvane-team", "--login", "anna"})); // no screenshot to sign in for
        // The password may come from the environment instead (never seen on a command line); one
        // given on the command line wins. A login without any password is refused, and the reverse.
        const QStringList shot{"corvane-team", "--screen", "team", "--screenshot", "/tmp/x.png"};
        QVERIFY(!parses(shot + QStringList{"--login", "anna"}));
        QVERIFY(!parses(shot + QStringList{"--password", "p"}));
        for (const char *bad : {"1000", "1000x", "x640", "0x640", "-5x640", "1000x640x2", "99999x640"})
            QVERIFY2(!parses(shot + QStringList{"--size", bad}), bad);
        QVERIFY(!parses({"corvane-team", "--size", "1000x640"})); // no picture to size
        AppOptions sized;
        QVERIFY(CorvaneApp::parseArguments(shot + QStringList{"--size", "1000x640"}, &sized, &err));
        QCOMPARE(sized.windowSize, QSize(1000, 640));
        qputenv("CORVANE_PASSWORD", "from env");
        AppOptions fromEnv, given;
        QVERIFY2(CorvaneApp::parseArguments(shot + QStringList{"--login", "anna"}, &fromEnv, &err), qPrintable(err));
        QCOMPARE(fromEnv.password, QStringLiteral("from env"));
        QVERIFY(CorvaneApp::parseArguments(shot + QStringList{"--login", "anna", "--password", "p"}, &given, &err));
        QCOMPARE(given.password, QStringLiteral("p"));
        qunsetenv("CORVANE_PASSWORD");
        QVERIFY(ScreenshotRunner::knownScreen(QStringLiteral("panel")));
        QVERIFY(!ScreenshotRunner::knownScreen(QStringLiteral("platform")));
    }
};

CORVANE_TEST_CLASS(TestAppRules)
#include "tst_app_rules.moc"
