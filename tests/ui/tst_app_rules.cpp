// The decisions of the application shell: what the sidebar lists for a role, the role label,
// the projects list, the tray panel's body and accounts, the team row, routing by phase and
// section, start-up restoring a session only from the sign-in screen, the toast's lifetime, the
// update dialog's wording, the photo provider, the panel placement, the second-start guard and
// the command line.
#include "app/app.h"
#include "app/appupdater.h"
#include "app/avatarprovider.h"
#include "app/screenshot.h"
#include "app/shell.h"
#include "app/tray.h"
#include "net/secretstore.h"
#include "store/store.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
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

QStringList keys(const QList<shell::NavItem> &items)
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

    QTemporaryDir m_home;
    MemorySecretStore m_secrets;

    StoreDeps deps()
    {
        StoreDeps d;
        d.secrets = &m_secrets;
        d.settingsFile = m_home.filePath(QStringLiteral("prefs.ini"));
        d.home = m_home.path();
        d.toastMs = 150;
        return d;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("HOME", m_home.path().toUtf8());
    }

    void sidebarByRole()
    {
        const QStringList all{"dashboard", "accounts", "stats", "activity", "team", "projects", "tasks"};
        QCOMPARE(keys(shell::sidebarItems(QStringLiteral("admin"))), all);
        const QStringList member{"dashboard", "accounts", "projects", "tasks"};
        for (const QString role : {"viewer", "", "Admin", "admin ", "member"})
            QCOMPARE(keys(shell::sidebarItems(role)), member);

        const auto items = shell::sidebarItems(QStringLiteral("admin"));
        QStringList titles;
        for (const auto &i : items)
            titles << i.title;
        QCOMPARE(titles, (QStringList{"Дашборд", "AI ресурсы", "Статистика", "Активность", "Команда", "Проекты", "Задачи"}));
        QCOMPARE(items[0].icon, QStringLiteral("square.grid.2x2"));
        QVERIFY(items[1].icon.isEmpty()); // the AI image, not a symbol
        QCOMPARE(items[5].icon, QStringLiteral("folder"));
        QCOMPARE(items[6].icon, QStringLiteral("checklist"));

        QCOMPARE(shell::roleLabel(QStringLiteral("admin")), QStringLiteral("администратор"));
        QCOMPARE(shell::roleLabel(QStringLiteral("viewer")), QStringLiteral("сотрудник"));
        QCOMPARE(shell::roleLabel(QString()), QStringLiteral("сотрудник"));
        QCOMPARE(shell::roleLabel(QStringLiteral("ADMIN")), QStringLiteral("сотрудник"));
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
        QVERIFY(shell::projects(true, {}, own).isEmpty());
        QVERIFY(shell::projects(false, team, {}).isEmpty());
        QVERIFY(shell::projects(false, {}, {mkAcct("a"), mkAcct("b")}).isEmpty());
    }

    void panelBody()
    {
        QCOMPARE(shell::panelCase(QStringLiteral("auth"), 3), QStringLiteral("signin"));
        QCOMPARE(shell::panelCase(QStringLiteral("onboarding"), 0), QStringLiteral("signin"));
        QCOMPARE(shell::panelCase(QStringLiteral("changePassword"), 2), QStringLiteral("signin"));
        QCOMPARE(shell::panelCase(QStringLiteral("platform"), 0), QStringLiteral("empty"));
        QCOMPARE(shell::panelCase(QStringLiteral("platform"), 1), QStringLiteral("accounts"));
        QCOMPARE(shell::panelText(QStringLiteral("signin"), true), QStringLiteral("Войди в приложение, чтобы видеть лимиты."));
        QCOMPARE(shell::panelText(QStringLiteral("empty"), true), QStringLiteral("Нет активных лимитов."));
        QCOMPARE(shell::panelText(QStringLiteral("empty"), false),
                 QStringLiteral("Телеметрия не активна — запусти Claude Code."));
        QVERIFY(shell::panelText(QStringLiteral("accounts"), false).isEmpty());

        QList<Acct> six;
        for (int i = 0; i < 6; ++i)
            six << mkAcct(QStringLiteral("a%1@x").arg(i));
        const QList<Acct> shown = shell::panelAccounts(six);
        QCOMPARE(shown.size(), 4);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(shown[i].email, six[i].email);
        QCOMPARE(shell::panelAccounts(six.mid(0, 2)).size(), 2);
        QVERIFY(shell::panelAccounts({}).isEmpty());

        QVERIFY(shell::showTeamRow(QStringLiteral("admin"), 5));
        QVERIFY(!shell::showTeamRow(QStringLiteral("admin"), 0));
        QVERIFY(!shell::showTeamRow(QStringLiteral("viewer"), 5));
        QCOMPARE(shell::teamRatio(3, 5), QStringLiteral("3/5"));
    }

    void routing()
    {
        QCOMPARE(shell::rootView(QStringLiteral("auth")), QStringLiteral("AuthView"));
        QCOMPARE(shell::rootView(QStringLiteral("changePassword")), QStringLiteral("ChangePasswordView"));
        QCOMPARE(shell::rootView(QStringLiteral("onboarding")), QStringLiteral("OnboardingView"));
        QCOMPARE(shell::rootView(QStringLiteral("platform")), QStringLiteral("PlatformView"));
        const QHash<QString, QString> views{{"dashboard", "DashboardView"}, {"accounts", "AccountsView"},
                                            {"stats", "StatsView"}, {"activity", "ActivityView"},
                                            {"team", "TeamView"}, {"projects", "ProjectsView"},
                                            {"tasks", "TasksView"}};
        for (auto it = views.cbegin(); it != views.cend(); ++it) {
            QCOMPARE(shell::sectionView(it.key(), false), it.value());
            QCOMPARE(shell::sectionView(it.key(), true), QStringLiteral("ProfileView"));
        }
    }

    // The Shell object follows the Store it watches.
    void shellFollowsStore()
    {
        Store store(nullptr, deps());
        Shell sh(&store, nullptr);
        QSignalSpy roleSpy(&sh, &Shell::roleChanged);
        QSignalSpy panelSpy(&sh, &Shell::panelChanged);
        QSignalSpy rootSpy(&sh, &Shell::rootViewChanged);
        QSignalSpy sectionSpy(&sh, &Shell::sectionViewChanged);

        QCOMPARE(sh.sidebarItems().size(), 4);   // initial role "viewer"
        QCOMPARE(sh.roleLabel(), QStringLiteral("сотрудник"));
        store.setRole(QStringLiteral("admin"));
        QVERIFY(roleSpy.count() >= 1);
        QCOMPARE(sh.sidebarItems().size(), 7);
        QCOMPARE(sh.sidebarItems().at(2).toMap().value("key").toString(), QStringLiteral("stats"));
        QCOMPARE(sh.roleLabel(), QStringLiteral("администратор"));

        QCOMPARE(sh.panelCase(), QStringLiteral("signin"));
        QCOMPARE(sh.rootView(), QStringLiteral("AuthView"));
        store.setPhase(Store::Phase::Platform);
        QVERIFY(rootSpy.count() >= 1);
        QCOMPARE(sh.rootView(), QStringLiteral("PlatformView"));
        QCOMPARE(sh.panelCase(), QStringLiteral("empty"));
        store.setTelemetryOk(true);
        QCOMPARE(sh.panelText(), QStringLiteral("Нет активных лимитов."));
        QList<Acct> five;
        for (int i = 0; i < 5; ++i)
            five << mkAcct(QStringLiteral("m%1@x").arg(i), QStringLiteral("p%1").arg(i % 2));
        store.setAccounts(five);
        QVERIFY(panelSpy.count() >= 3);
        QCOMPARE(sh.panelCase(), QStringLiteral("accounts"));
        const QVariantList listed = sh.panelAccounts();
        QCOMPARE(listed.size(), 4);
        QCOMPARE(listed.last().value<Acct>().email, QStringLiteral("m3@x"));
        // An administrator's projects come from the team, not from the own accounts.
        QVERIFY(sh.projects().isEmpty());
        store.setRole(QStringLiteral("viewer"));
        QCOMPARE(sh.projects(), (QStringList{"p0", "p1"}));

        // A section hidden from the role stays routed until another one is chosen.
        store.setNav(Store::Nav::Stats);
        QCOMPARE(sh.sectionView(), QStringLiteral("StatsView"));
        store.setShowProfile(true);
        QCOMPARE(sh.sectionView(), QStringLiteral("ProfileView"));
        sh.selectSection(QStringLiteral("tasks"));
        QVERIFY(!store.showProfile());
        QCOMPARE(store.nav(), Store::Nav::Tasks);
        QCOMPARE(sh.sectionView(), QStringLiteral("TasksView"));
        QVERIFY(sectionSpy.count() >= 3);
        sh.selectSection(QStringLiteral("nonsense"));
        QCOMPARE(store.nav(), Store::Nav::Tasks);
    }

    // The root view restores a saved session only while no token is held and the phase is auth.
    void rootShownBootstrapsOnlyFromSignIn()
    {
        QDir(m_home.path()).mkpath(QStringLiteral(".brindle"));
        QFile cfg(m_home.filePath(QStringLiteral(".brindle/config")));
        QVERIFY(cfg.open(QIODevice::WriteOnly));
        cfg.close();
        Keychain::set(m_secrets, QStringLiteral("token"), QStringLiteral("tok"));
        Keychain::set(m_secrets, QStringLiteral("login"), QStringLiteral("anna"));
        {
            StoreDeps d = deps();
            d.httpTimeoutMs = 500;
            Store store(nullptr, d);
            Shell sh(&store, nullptr);
            store.setPhase(Store::Phase::Onboarding);
            QVERIFY(!sh.rootShown());
            QVERIFY(store.token().isEmpty());
            store.setPhase(Store::Phase::Auth);
            QVERIFY(sh.rootShown());
            QCOMPARE(store.token(), QStringLiteral("tok"));
            QCOMPARE(store.phase(), Store::Phase::Platform);
            QCOMPARE(store.name(), QStringLiteral("anna"));
            // Shown again with a token held: nothing happens.
            store.setPhase(Store::Phase::Auth);
            QVERIFY(!sh.rootShown());
            store.logOut();
        }
        QVERIFY(!Keychain::get(m_secrets, QStringLiteral("token")));
        QFile::remove(m_home.filePath(QStringLiteral(".brindle/config")));
    }

    // flash: the toast shows the text and clears itself after the Store's delay, unless a newer
    // text replaced it.
    void toastLifetime()
    {
        Store store(nullptr, deps());
        QSignalSpy spy(&store, &Store::toastChanged);
        store.flash(QStringLiteral("Сохранено ✓"));
        QCOMPARE(store.toast(), QStringLiteral("Сохранено ✓"));
        QTRY_COMPARE_WITH_TIMEOUT(store.toast(), QString(), 3000);
        store.flash(QStringLiteral("A"));
        QTest::qWait(80);
        store.flash(QStringLiteral("B"));
        QTest::qWait(100);   // A's delay is over; B stays
        QCOMPARE(store.toast(), QStringLiteral("B"));
        QTRY_COMPARE_WITH_TIMEOUT(store.toast(), QString(), 3000);
    }

    void updateDialogWording()
    {
        QCOMPARE(AppUpdater::messageFor(QStringLiteral("none"), {}, {}), QStringLiteral("Установлена последняя версия"));
        QCOMPARE(AppUpdater::messageFor(QStringLiteral("found"), QStringLiteral("1.2.0"), {}),
                 QStringLiteral("Доступна версия 1.2.0."));
        QCOMPARE(AppUpdater::messageFor(QStringLiteral("error"), {}, QStringLiteral("сеть недоступна")),
                 QStringLiteral("сеть недоступна"));
        QVERIFY(!AppUpdater::messageFor(QStringLiteral("error"), {}, {}).isEmpty());
        QVERIFY(AppUpdater::messageFor(QString(), {}, {}).isEmpty());
        AppUpdater none(nullptr, nullptr);
        QVERIFY(!none.canOpenLink());
        QVERIFY(!none.openLink());
        none.checkForUpdates(); // without an updater: nothing, no crash
    }

    void photoProvider()
    {
        Store store(nullptr, deps());
        QVERIFY(AvatarImageProvider::lookup(&store, QStringLiteral("self/0")).isNull());
        QImage photo(40, 20, QImage::Format_ARGB32);
        photo.fill(Qt::red);
        store.setAvatar(photo);
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

        QImage mark(8, 8, QImage::Format_ARGB32);
        mark.fill(Qt::transparent);
        mark.setPixelColor(2, 2, QColor(0, 0, 0, 255));
        const QImage t = AvatarImageProvider::tinted(mark, QColor(Qt::white));
        QCOMPARE(t.pixelColor(2, 2), QColor(Qt::white));
        QCOMPARE(t.pixelColor(0, 0).alpha(), 0);
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
        AppOptions bad;
        QVERIFY(!CorvaneApp::parseArguments({"corvane-team", "--screen", "nope", "--screenshot", "a.png"}, &bad, &err));
        QVERIFY(!CorvaneApp::parseArguments({"corvane-team", "--screen", "auth"}, &bad, &err));
        QVERIFY(!CorvaneApp::parseArguments({"corvane-team", "--screen", "auth", "--screenshot", "a.png", "--login", "x"},
                                            &bad, &err));
        for (const QString s : {"auth", "changePassword", "onboarding", "dashboard", "accounts", "stats", "activity",
                                "team", "projects", "tasks", "profile", "panel"})
            QVERIFY(ScreenshotRunner::knownScreen(s));
        QVERIFY(!ScreenshotRunner::knownScreen(QStringLiteral("platform")));
    }
};

QTEST_MAIN(TestAppRules)
#include "tst_app_rules.moc"
