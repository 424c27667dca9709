// The whole session against the reference team server: sign-in, first-login password change,
// machine set-up with the server's real install script, the refresh loop, and sign-out.
#include "../common/storefixture.h"
#include "../common/testserver.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
// One authorised JSON POST, waited for (test set-up only).
QJsonObject postJson(const QString &url, const QString &bearer, const QJsonObject &body)
{
    QNetworkAccessManager nam;
    QNetworkRequest req{QUrl(url)};
    req.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    req.setRawHeader("Authorization", "Bearer " + bearer.toUtf8());
    QNetworkReply *r = nam.post(req, QJsonDocument(body).toJson(QJsonDocument::Compact));
    QEventLoop loop;
    QObject::connect(r, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    r->deleteLater();
    return QJsonDocument::fromJson(r->readAll()).object();
}
} // namespace

class TstSessionE2e : public QObject
{
    Q_OBJECT
    TestServer server;

private slots:
    void initTestCase()
    {
        QVERIFY2(server.start(true), "the reference server did not start");
        QVERIFY(!server.loginFor(u"admin"_s).login.isEmpty());
    }

    void adminSignInSetUpAndRefresh()
    {
        StoreFixture f(300);
        f.store->setServerUrl(server.url());
        const TestServer::Login admin = server.loginFor(u"admin"_s);
        f.store->signIn(admin.login, admin.password);
        QTRY_COMPARE_WITH_TIMEOUT(f.store->phase(), Store::Phase::Onboarding, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(f.store->installDone(), 20000);
        for (const SetupStep &s : f.store->steps())
            QVERIFY2(s.done, qPrintable(s.label));
        QTRY_COMPARE_WITH_TIMEOUT(f.store->phase(), Store::Phase::Platform, 5000);
        QVERIFY(f.store->error().isEmpty());
        QVERIFY(f.store->configExists());
        QCOMPARE(f.store->role(), u"admin"_s);
        QVERIFY(!f.store->session().isEmpty());
        QVERIFY(!f.store->needsRelogin());

        // The loop keeps the limits, the alerts and the team accounts current.
        QSignalSpy passes(f.store.get(), &Store::refreshPass);
        QTRY_VERIFY_WITH_TIMEOUT(passes.size() >= 2, 5000);
        QVERIFY(!f.store->teamAccounts().isEmpty());
        QVERIFY(!f.store->alerts().isEmpty());
        QVERIFY(f.store->teamWithTelemetry() > 0);
        QTRY_VERIFY(!f.store->memberId().isEmpty());   // own profile loaded
        QCOMPARE(f.store->memberId(), admin.login);

        // A restart restores the session straight into the platform.
        StoreDeps again = f.deps;
        Store restored(nullptr, again);
        restored.bootstrap();
        QCOMPARE(restored.phase(), Store::Phase::Platform);
        QCOMPARE(restored.serverUrl(), f.store->serverUrl());
        QTRY_VERIFY(!restored.teamAccounts().isEmpty());

        f.store->logOut();
        for (const QString &k : Keychain::items())
            QVERIFY2(!f.secrets.get(k).has_value(), qPrintable(k));
    }

    void newMemberChangesPasswordFirst()
    {
        // An administrator creates a member; the server hands out a one-time password.
        StoreFixture adminSide;
        const TestServer::Login admin = server.loginFor(u"admin"_s);
        const QJsonObject prov = postJson(server.url() + u"/api/provision"_s, QString(),
                                          {{"login", admin.login}, {"password", admin.password}});
        const QString bearer = prov.value("session").toString();
        QVERIFY(!bearer.isEmpty());
        const QJsonObject created = postJson(server.url() + u"/api/members"_s, bearer,
                                             {{"action", "create"}, {"name", "Новый Сотрудник"},
                                              {"login", "newbie"}, {"role", "viewer"}});
        const QString oneTime = created.value("password").toString();
        QVERIFY2(!oneTime.isEmpty(), QJsonDocument(created).toJson().constData());

        StoreFixture f(300);
        f.store->setServerUrl(server.url());
        f.store->signIn(u"  newbie "_s, oneTime);
        QTRY_COMPARE_WITH_TIMEOUT(f.store->phase(), Store::Phase::ChangePassword, 10000);
        QCOMPARE(f.secrets.get(u"login"_s).value_or(QString()), u"newbie"_s);
        QCOMPARE(f.store->name(), u"Новый Сотрудник"_s);

        f.store->changePassword(u"свой-пароль-1"_s, u"свой-пароль-1"_s);
        QTRY_COMPARE_WITH_TIMEOUT(f.store->phase(), Store::Phase::Onboarding, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(f.store->phase(), Store::Phase::Platform, 20000);
        QTRY_VERIFY(!f.store->loadingHome());

        // The new password works, the one-time one no longer does.
        const QJsonObject again = postJson(server.url() + u"/api/provision"_s, QString(),
                                           {{"login", "newbie"}, {"password", "свой-пароль-1"}});
        QVERIFY(again.value("ok").toBool());
        QVERIFY(!again.value("must_change").toBool());
        const QJsonObject old = postJson(server.url() + u"/api/provision"_s, QString(),
                                         {{"login", "newbie"}, {"password", oneTime}});
        QVERIFY(!old.value("ok").toBool());
    }

    void viewerAfterAdminSeesNoTeamData()
    {
        StoreFixture f(300);
        f.store->setServerUrl(server.url());
        const TestServer::Login admin = server.loginFor(u"admin"_s);
        f.store->signIn(admin.login, admin.password);
        QTRY_COMPARE_WITH_TIMEOUT(f.store->phase(), Store::Phase::Platform, 20000);
        QTRY_VERIFY(!f.store->teamAccounts().isEmpty());
        QTRY_VERIFY(!f.store->alerts().isEmpty());
        f.store->logOut();

        const TestServer::Login viewer = server.loginFor(u"viewer"_s);
        f.store->signIn(viewer.login, viewer.password);
        QTRY_VERIFY_WITH_TIMEOUT(!f.store->token().isEmpty(), 10000);
        QCOMPARE(f.store->role(), u"viewer"_s);
        QVERIFY(f.store->teamAccounts().isEmpty());
        QVERIFY(f.store->alerts().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(f.store->phase(), Store::Phase::Platform, 20000);
        QTest::qWait(700);   // a couple of refresh passes
        QVERIFY(f.store->teamAccounts().isEmpty());
        QVERIFY(f.store->needsRelogin() == false);
    }

    void wrongPasswordIsRefused()
    {
        StoreFixture f;
        f.store->setServerUrl(server.url());
        f.store->signIn(server.loginFor(u"admin"_s).login, u"wrong-password"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!f.store->busy(), 10000);
        QCOMPARE(f.store->error(), u"Неверный логин или пароль."_s);
        QCOMPARE(f.store->phase(), Store::Phase::Auth);
    }
};

QTEST_GUILESS_MAIN(TstSessionE2e)
#include "tst_session_e2e.moc"
