// Store against a scripted HTTP server: start-up, the request layer's credential rule, the
// refresh loop, home/alerts/team loading, sign-in, password change and sign-out.
#include "../common/fakeserver.h"
#include "../common/storefixture.h"

#include "net/endpoint.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
const QStringList kPaths{u"/api/my/status"_s, u"/api/events"_s, u"/api/accounts"_s,
                         u"/api/refresh-limits"_s, u"/api/me"_s, u"/api/provision"_s,
                         u"/api/member/change-password"_s, u"/raw/install.sh"_s, u"/api/avatar"_s};
const char kDeadUrl[] = "http://127.0.0.1:1";

QJsonObject teamAnswer(int n)
{
    QJsonArray a;
    for (int i = 0; i < n; ++i)
        a.append(QJsonObject{{"email", u"a%1@x"_s.arg(i)}, {"seven_day_pct", 10.0 * i}});
    return QJsonObject{{"accounts", a}};
}
} // namespace

class TstStoreSession : public QObject
{
    Q_OBJECT
    std::unique_ptr<FakeServer> fake;

private slots:
    void initTestCase()
    {
        fake = std::make_unique<FakeServer>(kPaths);
        // The built-in URL is read once per process: point it at the fake server first.
        qputenv("BRINDLE_SERVER_URL", fake->url().toUtf8());
        QCOMPARE(endpoint::serverUrl(), fake->url());
        fake->answer(u"/raw/install.sh"_s, 200, "echo statusline quick-cmds telemetry agent\n", "text/plain");
    }
    void init()
    {
        fake->seen.clear();
        fake->answerJson(u"/api/my/status"_s, {});
        fake->answerJson(u"/api/events"_s, {});
        fake->answerJson(u"/api/accounts"_s, teamAnswer(0));
        fake->answerJson(u"/api/me"_s, {});
    }

    void bootstrapWithoutSession()
    {
        // No saved token: sign-in screen, nothing sent.
        StoreFixture f;
        f.writeConfig();
        f.store->bootstrap();
        QCOMPARE(f.store->phase(), Store::Phase::Auth);
        QVERIFY(!f.store->refreshLoopActive());

        // A saved token without the config file: still sign-in, nothing restored.
        StoreFixture g;
        g.secrets.set(u"token"_s, u"T"_s);
        g.secrets.set(u"login"_s, u"ivan"_s);
        g.store->bootstrap();
        QCOMPARE(g.store->phase(), Store::Phase::Auth);
        QCOMPARE(g.store->login(), QString());
        QTest::qWait(50);
        QVERIFY(fake->seen.isEmpty());
    }

    void bootstrapRestoresAndMigrates()
    {
        StoreFixture f;
        f.writeConfig();
        f.secrets.set(u"token"_s, u"T9"_s);
        f.secrets.set(u"login"_s, u"ivan"_s);
        f.secrets.set(u"url"_s, endpoint::retiredUrl());
        f.store->bootstrap();
        QCOMPARE(f.store->phase(), Store::Phase::Platform);
        QCOMPARE(f.store->name(), u"ivan"_s);          // no saved name: the login
        QCOMPARE(f.store->role(), u"viewer"_s);        // no saved role
        QCOMPARE(f.store->serverUrl(), fake->url());   // the retired endpoint is replaced...
        QCOMPARE(f.secrets.get(u"url"_s).value_or(QString()), fake->url()); // ...and saved again
        QVERIFY(f.store->refreshLoopActive());
        QTRY_COMPARE(fake->count(u"/api/my/status"_s), 1);
        QTRY_COMPARE(fake->count(u"/api/me"_s), 1);
        QCOMPARE(fake->count(u"/api/accounts"_s), 0);  // a viewer loads no team data
        QCOMPARE(fake->last(u"/api/my/status"_s).authorization, QByteArray("Bearer T9"));

        // A URL that differs from the retired one only by case or a trailing slash stays.
        StoreFixture g;
        g.writeConfig();
        g.secrets.set(u"token"_s, u"T"_s);
        const QString near = endpoint::retiredUrl().toUpper() + u"/"_s;
        g.secrets.set(u"url"_s, near);
        g.store->bootstrap();
        QCOMPARE(g.store->serverUrl(), near);
    }

    void bearerPrefersSession()
    {
        StoreFixture f;
        f.signedIn(fake->url(), u"admin"_s, u"S7"_s, u"T7"_s);
        f.store->loadTeam();
        QTRY_COMPARE(fake->count(u"/api/accounts"_s), 1);
        QCOMPARE(fake->last(u"/api/accounts"_s).authorization, QByteArray("Bearer S7"));
        f.store->setSession(QString());
        f.store->loadTeam();
        QTRY_COMPARE(fake->count(u"/api/accounts"_s), 2);
        QCOMPARE(fake->last(u"/api/accounts"_s).authorization, QByteArray("Bearer T7"));
    }

    void homeRefresh()
    {
        StoreFixture f;
        f.signedIn(fake->url(), u"admin"_s);
        fake->answer(u"/api/my/status"_s, 200, R"({"accounts":[{"account_email":"a@x","five_hour_pct":42.5,"limits_ok":1},
            {"account_email":"b@x","five_hour_pct":"42.5"}],"telemetry":{"push_ok":true,"last_seen":1700000000},
            "member":{"name":"Иван","role":"viewer"}})");
        QSignalSpy loading(f.store.get(), &Store::loadingHomeChanged);
        f.store->refreshHome();
        QVERIFY(f.store->loadingHome());
        QTRY_VERIFY(!f.store->loadingHome());
        QCOMPARE(f.store->accounts().size(), 2);
        QCOMPARE(f.store->accounts()[0].fivePct, 42.5);
        QVERIFY(f.store->accounts()[0].ok);
        QCOMPARE(f.store->accounts()[1].fivePct, 0.0);   // a number sent as text is not a number here
        QVERIFY(f.store->telemetryOk());
        QCOMPARE(f.store->name(), u"Иван"_s);
        QCOMPARE(f.store->role(), u"viewer"_s);

        // No "telemetry": the previous state stays; a second load shows no spinner.
        fake->answer(u"/api/my/status"_s, 200, R"({"accounts":[{"account_email":"a@x"}]})");
        loading.clear();
        f.store->refreshHome();
        QVERIFY(!f.store->loadingHome());
        QTRY_COMPARE(fake->count(u"/api/my/status"_s), 2);
        QTRY_COMPARE(f.store->accounts().size(), 1);
        QVERIFY(f.store->telemetryOk());
        QCOMPARE(f.store->lastSeen(), 1700000000.0);

        // An HTML error page empties the list and keeps telemetry, name and role.
        fake->answer(u"/api/my/status"_s, 500, "<html>oops</html>", "text/html");
        f.store->refreshHome();
        QTRY_VERIFY(f.store->accounts().isEmpty());
        QVERIFY(f.store->telemetryOk());
        QCOMPARE(f.store->name(), u"Иван"_s);

        // A transport failure changes nothing but the spinner.
        f.store->setAccounts({Acct{}});
        f.store->setServerUrl(QString::fromLatin1(kDeadUrl));
        f.store->refreshHome();
        QTRY_VERIFY(!f.store->loadingHome());
        QTest::qWait(100);
        QCOMPARE(f.store->accounts().size(), 1);
    }

    void alerts()
    {
        StoreFixture f;
        f.signedIn(fake->url(), u"viewer"_s);
        f.store->loadAlerts();
        QTest::qWait(50);
        QCOMPARE(fake->count(u"/api/events"_s), 0);

        f.store->setRole(u"admin"_s);
        fake->answer(u"/api/events"_s, 200, R"({"events":[{"id":5,"title":"Лимит"}],"unread":"3"})");
        f.store->loadAlerts();
        QTRY_COMPARE(f.store->alerts().size(), 1);
        QCOMPARE(fake->last(u"/api/events"_s).query, u"limit=100"_s);
        QCOMPARE(f.store->alertsUnread(), 3);
        QCOMPARE(f.store->alerts()[0].severity, u"info"_s);

        // A failed load empties the alerts.
        f.store->setServerUrl(QString::fromLatin1(kDeadUrl));
        f.store->loadAlerts();
        QTRY_VERIFY(f.store->alerts().isEmpty());
        QCOMPARE(f.store->alertsUnread(), 0);
    }

    void teamLoadAndExpiry()
    {
        StoreFixture f;
        f.signedIn(fake->url(), u"admin"_s);
        fake->answerJson(u"/api/accounts"_s, teamAnswer(3));
        f.store->loadTeam();
        QVERIFY(f.store->loadingTeam());
        QTRY_COMPARE(f.store->teamAccounts().size(), 3);
        QVERIFY(!f.store->loadingTeam());
        QCOMPARE(f.store->teamAccounts()[0].sevenPct, 20.0);   // highest first

        // 401: the session is marked expired, the list stays, the banner shows.
        fake->answer(u"/api/accounts"_s, 401, R"({"ok":false})");
        f.store->loadTeam();
        QVERIFY(!f.store->loadingTeam());   // reloads happen behind the current list
        QTRY_VERIFY(f.store->authExpired());
        QCOMPARE(f.store->teamAccounts().size(), 3);
        QVERIFY(f.store->needsRelogin());

        // Any other status clears it; an error object without "accounts" empties the list.
        fake->answer(u"/api/accounts"_s, 500, R"({"error":"x"})");
        f.store->loadTeam();
        QTRY_VERIFY(!f.store->authExpired());
        QVERIFY(f.store->teamAccounts().isEmpty());
        QVERIFY(!f.store->needsRelogin());

        // A viewer sends nothing, and neither does a refresh.
        const int before = fake->seen.size();
        f.store->setRole(u"viewer"_s);
        f.store->loadTeam();
        f.store->refreshLimits();
        QTest::qWait(50);
        QCOMPARE(fake->seen.size(), before);
    }

    void refreshLimitsOnceInFlight()
    {
        StoreFixture f;
        f.signedIn(fake->url(), u"admin"_s);
        fake->answerJson(u"/api/refresh-limits"_s, {{"ok", true}});
        f.store->refreshLimits();
        f.store->refreshLimits();   // pressed again while the first is in flight
        QVERIFY(f.store->refreshingLimits());
        QTRY_VERIFY(!f.store->refreshingLimits());
        QTRY_COMPARE(fake->count(u"/api/accounts"_s), 1);   // the reload after it
        QCOMPARE(fake->count(u"/api/refresh-limits"_s), 1);
        QCOMPARE(fake->last(u"/api/refresh-limits"_s).body, QByteArray("{}"));
    }

    void needsReloginRule()
    {
        StoreFixture f;
        f.store->setRole(u"viewer"_s);
        QVERIFY(!f.store->needsRelogin());
        f.store->setRole(u"admin"_s);
        f.store->setSession(u"S"_s);
        QVERIFY(!f.store->needsRelogin());
        f.store->setSession(QString());
        QVERIFY(f.store->needsRelogin());
    }

    void refreshLoopTicksAndStops()
    {
        StoreFixture f(120);
        f.signedIn(fake->url(), u"admin"_s);
        QSignalSpy passes(f.store.get(), &Store::refreshPass);
        f.store->startAutoRefresh();
        QTRY_VERIFY_WITH_TIMEOUT(passes.size() >= 2, 3000);
        // The first load at start plus one per pass (a pass's requests may still be on their way).
        QTRY_VERIFY(fake->count(u"/api/my/status"_s) >= 3);
        QTRY_VERIFY(fake->count(u"/api/accounts"_s) >= 3);
        QTRY_VERIFY(fake->count(u"/api/events"_s) >= 3);

        // Sign-out ends the loop: no pass after it.
        f.store->logOut();
        QVERIFY(!f.store->refreshLoopActive());
        const qsizetype n = passes.size();
        QTest::qWait(400);
        QCOMPARE(passes.size(), n);
        const int sent = fake->count(u"/api/my/status"_s);
        QTest::qWait(300);
        QCOMPARE(fake->count(u"/api/my/status"_s), sent);
    }

    void toastLifetime()
    {
        // Timers of 1 s with checks midway between the events, so a loaded machine has slack.
        StoreFixture f(30000, 1000);
        f.store->flash(u"A"_s);
        QTest::qWait(300);
        f.store->flash(u"B"_s);
        QTest::qWait(850);   // A's timer (1000) has ended, B's (1300) has not
        QCOMPARE(f.store->toast(), u"B"_s);
        QTRY_COMPARE(f.store->toast(), QString());

        // The same text twice: the first timer clears it, not the second.
        f.store->flash(u"C"_s);
        QTest::qWait(300);
        f.store->flash(u"C"_s);
        QTest::qWait(850);   // past the first timer, before the second
        QCOMPARE(f.store->toast(), QString());
    }

    void sidebarPreferencePersists()
    {
        StoreFixture f;
        QVERIFY(!f.store->sidebarCollapsed());
        f.store->setSidebarCollapsed(true);
        Store again(nullptr, f.deps);
        QVERIFY(again.sidebarCollapsed());
    }

    void signInMessages_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("message");
        QTest::newRow("invalid") << QByteArray(R"({"ok":false,"error":"invalid_credentials"})") << u"Неверный логин или пароль."_s;
        QTest::newRow("other") << QByteArray(R"({"ok":false,"error":"disabled"})") << u"Сервер отклонил вход."_s;
        QTest::newRow("no token") << QByteArray(R"({"ok":true})") << u"Сервер отклонил вход."_s;
        QTest::newRow("html") << QByteArray("<html/>") << u"Сервер отклонил вход."_s;
    }
    void signInMessages()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, message);
        StoreFixture f;
        f.store->setServerUrl(fake->url());
        fake->answer(u"/api/provision"_s, 401, answer);
        f.store->signIn(u"  ivan  "_s, u" pw "_s);
        QVERIFY(f.store->busy());
        QTRY_VERIFY(!f.store->busy());
        QCOMPARE(f.store->error(), message);
        QCOMPARE(f.store->phase(), Store::Phase::Auth);
        const QJsonObject sent = QJsonDocument::fromJson(fake->last(u"/api/provision"_s).body).object();
        QCOMPARE(sent.value("login").toString(), u"ivan"_s);     // trimmed
        QCOMPARE(sent.value("password").toString(), u" pw "_s);  // exactly as typed
        QVERIFY(fake->last(u"/api/provision"_s).authorization.isEmpty());
    }

    void signInLocalChecksAndTransport()
    {
        StoreFixture f;
        f.store->setServerUrl(fake->url());
        f.store->signIn(u" \t "_s, u"pw"_s);
        QCOMPARE(f.store->error(), u"Введи логин и пароль."_s);
        QVERIFY(!f.store->busy());
        QTest::qWait(50);
        QCOMPARE(fake->count(u"/api/provision"_s), 0);

        f.store->setServerUrl(QString::fromLatin1(kDeadUrl));
        f.store->signIn(u"ivan"_s, u"pw"_s);
        QCOMPARE(f.store->error(), QString());   // cleared by a submit that passes the check
        QTRY_VERIFY(!f.store->busy());
        QVERIFY(!f.store->error().isEmpty());
        QCOMPARE(f.store->phase(), Store::Phase::Auth);
    }

    void signInMustChangeThenPassword()
    {
        StoreFixture f;
        f.store->setServerUrl(fake->url());
        fake->answer(u"/api/provision"_s, 200, R"({"ok":true,"token":"TK","must_change":true})");
        f.store->signIn(u"ivan"_s, u"first-pass"_s);
        QTRY_COMPARE(f.store->phase(), Store::Phase::ChangePassword);
        // Defaults of a minimal answer, and the credentials already saved.
        QCOMPARE(f.store->name(), u"ivan"_s);
        QCOMPARE(f.store->role(), u"viewer"_s);
        QCOMPARE(f.store->session(), QString());
        QCOMPARE(f.store->serverUrl(), endpoint::serverUrl());
        QCOMPARE(f.secrets.get(u"token"_s).value_or(QString()), u"TK"_s);
        QCOMPARE(f.secrets.get(u"session"_s).value_or(u"x"_s), QString());

        f.store->changePassword(u"1234567"_s, u"7654321"_s);
        QCOMPARE(f.store->error(), u"Минимум 8 символов."_s);
        f.store->changePassword(u"12345678"_s, u"12345679"_s);
        QCOMPARE(f.store->error(), u"Пароли не совпадают."_s);
        // Eight user-perceived characters, more UTF-16 units: long enough.
        const QString emoji = u"👍🏽"_s.repeated(7);
        f.store->changePassword(emoji, emoji);
        QCOMPARE(f.store->error(), u"Минимум 8 символов."_s);

        fake->answerJson(u"/api/member/change-password"_s, {{"ok", false}});
        f.store->changePassword(u"новый-пароль"_s, u"новый-пароль"_s);
        QTRY_VERIFY(!f.store->busy());
        QCOMPARE(f.store->error(), u"Не удалось сменить пароль."_s);
        QCOMPARE(f.store->phase(), Store::Phase::ChangePassword);
        QJsonObject sent = QJsonDocument::fromJson(fake->last(u"/api/member/change-password"_s).body).object();
        QCOMPARE(sent.value("current_password").toString(), u"first-pass"_s);

        fake->answerJson(u"/api/member/change-password"_s, {{"ok", true}});
        f.store->changePassword(u"новый-пароль"_s, u"новый-пароль"_s);
        QTRY_COMPARE(f.store->phase(), Store::Phase::Onboarding);
        QCOMPARE(f.store->pendingPassword(), u"новый-пароль"_s);
        QTRY_VERIFY_WITH_TIMEOUT(f.store->installDone(), 15000);
        QTRY_COMPARE(f.store->phase(), Store::Phase::Platform);
        QVERIFY(QFile::exists(f.dir.filePath(u".brindle/config"_s)));
    }

    void logOutForgetsAndViewerNeverSeesAdminData()
    {
        StoreFixture f;
        f.store->setServerUrl(fake->url());
        fake->answer(u"/api/provision"_s, 200,
                     R"({"ok":true,"token":"TA","role":"admin","session":"SA","name":"Админ"})");
        fake->answerJson(u"/api/accounts"_s, teamAnswer(2));
        f.store->signIn(u"boss"_s, u"pw"_s);
        QTRY_COMPARE_WITH_TIMEOUT(f.store->phase(), Store::Phase::Platform, 15000);
        QTRY_COMPARE(f.store->teamAccounts().size(), 2);
        for (const QString &k : Keychain::items())
            QVERIFY2(f.secrets.get(k).has_value(), qPrintable(k));

        f.store->logOut();
        QCOMPARE(f.store->phase(), Store::Phase::Auth);
        QCOMPARE(f.store->token(), QString());
        QVERIFY(f.store->accounts().isEmpty());
        for (const QString &k : Keychain::items())
            QVERIFY2(!f.secrets.get(k).has_value(), qPrintable(k));

        fake->answer(u"/api/provision"_s, 200, R"({"ok":true,"token":"TV","role":"viewer"})");
        f.store->signIn(u"anna"_s, u"pw"_s);
        QTRY_COMPARE(f.store->token(), u"TV"_s);
        QVERIFY(f.store->teamAccounts().isEmpty());
        QVERIFY(f.store->alerts().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstStoreSession)
#include "tst_store_session.moc"
