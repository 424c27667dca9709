// The whole session against the reference team server: an administrator's sign-in, machine
// set-up with the server's real install script, the refresh loop, a restart that restores the
// session, sign-out; then a viewer on the same client, who never sees the team's data.
// (The first-login password change is clicked through in tst_app_qml's first run.)
#include "kit.h"

#include <QSignalSpy>
#include <QtTest>

using namespace Qt::StringLiterals;

class TstSessionE2e : public QObject
{
    Q_OBJECT
    ReferenceServer server;

private slots:
    void initTestCase() { QVERIFY2(server.start(), "the reference server did not start"); }

    void adminThenViewer()
    {
        StoreFixture f({.refreshMs = 300});
        f->setServerUrl(server.url());
        const ReferenceServer::Login admin = server.loginFor(u"admin"_s);
        f->signIn(admin.login, admin.password);
        QTRY_COMPARE_WITH_TIMEOUT(f->phase(), Store::Phase::Onboarding, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(f->installDone(), 20000);
        for (const SetupStep &s : f->steps())
            QVERIFY2(s.done, qPrintable(s.label));
        QTRY_COMPARE_WITH_TIMEOUT(f->phase(), Store::Phase::Platform, 5000);
        QVERIFY(f->error().isEmpty());
        QVERIFY(f->configExists());
        QVERIFY(!f->needsRelogin());

        // The loop keeps the limits, the alerts and the team accounts current.
        QSignalSpy passes(f.store.get(), &Store::refreshPass);
        QTRY_VERIFY_WITH_TIMEOUT(passes.size() >= 2, 5000);
        QVERIFY(!f->teamAccounts().isEmpty());
        QVERIFY(!f->alerts().isEmpty());
        QVERIFY(f->teamWithTelemetry() > 0);
        QTRY_COMPARE(f->memberId(), admin.login); // own profile loaded

        // A restart restores the session straight into the platform.
        Store restored(nullptr, f.deps);
        restored.bootstrap();
        QTRY_COMPARE(restored.phase(), Store::Phase::Platform);
        QCOMPARE(restored.serverUrl(), f->serverUrl());
        QTRY_VERIFY(!restored.teamAccounts().isEmpty());

        f->logOut();
        for (const QString &k : Keychain::items())
            QVERIFY2(!f.secrets.get(k).has_value(), qPrintable(k));

        const ReferenceServer::Login viewer = server.loginFor(u"viewer"_s);
        f->signIn(viewer.login, viewer.password);
        QTRY_VERIFY_WITH_TIMEOUT(!f->token().isEmpty(), 10000);
        QCOMPARE(f->role(), u"viewer"_s);
        QVERIFY(f->teamAccounts().isEmpty() && f->alerts().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(f->phase(), Store::Phase::Platform, 20000);
        passes.clear();
        QTRY_VERIFY_WITH_TIMEOUT(passes.size() >= 2, 5000);
        QVERIFY(f->teamAccounts().isEmpty());
        QVERIFY(!f->needsRelogin());
    }
};

QTEST_GUILESS_MAIN(TstSessionE2e)
#include "tst_session_e2e.moc"
