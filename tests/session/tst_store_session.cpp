// Store against a scripted HTTP server: start-up, the request layer's credential rule, the
// refresh loop, home/alerts/team loading, sign-in, password change and sign-out.
#include "kit.h"

#include "net/endpoint.h"

#include <QJsonArray>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
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
        fake = std::make_unique<FakeServer>();
        // The built-in URL is read once per process: point it at the fake server first.
        qputenv("BRINDLE_SERVER_URL", fake->url().toUtf8());
        QCOMPARE(endpoint::serverUrl(), fake->url());
        fake->on(u"/raw/install.sh"_s, Reply::raw(200, "echo statusline quick-cmds telemetry agent\n", "text/plain"));
    }
    void init()
    {
        fake->seen.clear();
        fake->on(u"/api/my/status"_s, Reply::json({}));
        fake->on(u"/api/events"_s, Reply::json({}));
        fake->on(u"/api/accounts"_s, Reply::json(teamAnswer(0)));
        fake->on(u"/api/me"_s, Reply::json({}));
    }

    // Start-up restores a saved session only with a token and the set-up marker. The secret store
    // is asked without waiting (bootstrap returns before any answer, the window runs meanwhile);
    // one that never answers leaves the sign-in screen once the bound has passed, sending nothing.
    void bootstrap_data()
    {
        QTest::addColumn<int>("delayMs"); // per answer of the store; -1: never
        QTest::addColumn<bool>("config");
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("restored");
        QTest::newRow("no saved token") << 0 << true << QString() << false;
        QTest::newRow("token, no set-up marker") << 0 << false << u"T9"_s << false;
        QTest::newRow("slow store") << 40 << true << u"T9"_s << true;
        QTest::newRow("store never answers") << -1 << true << u"T9"_s << false;
    }
    void bootstrap()
    {
        QFETCH(int, delayMs);
        QFETCH(bool, config);
        QFETCH(QString, token);
        QFETCH(bool, restored);
        SlowSecrets slow(delayMs);
        if (!token.isEmpty())
            slow.inner.set(u"token"_s, token);
        slow.inner.set(u"login"_s, u"ivan"_s);
        slow.inner.set(u"url"_s, endpoint::retiredUrl());
        StoreFixture f({.secrets = &slow, .secretsBoundMs = 600});
        if (config)
            f.writeConfig();
        f->bootstrap();
        QCOMPARE(slow.log.size(), 6);   // all six asked for, none answered yet
        QVERIFY(f->restoring() && f->phase() == Store::Phase::Auth);
        f->bootstrap();                 // shown again meanwhile: nothing is asked twice
        QCOMPARE(slow.log.size(), 6);
        QTRY_VERIFY(!f->restoring());
        if (!restored) {
            QCOMPARE(f->phase(), Store::Phase::Auth);
            QCOMPARE(f->login(), QString());
            QVERIFY(!f->refreshLoopActive());
            f->setServerUrl(fake->url());
            f->refreshHome(); // a marker behind anything bootstrap would have sent
            QVERIFY(fake->waitFor(u"/api/my/status"_s));
            QCOMPARE(fake->seen.size(), 1);
            return;
        }
        QCOMPARE(f->phase(), Store::Phase::Platform);
        QCOMPARE(f->name(), u"ivan"_s);          // no saved name: the login
        QCOMPARE(f->role(), u"viewer"_s);        // no saved role
        QCOMPARE(f->serverUrl(), fake->url());   // the retired endpoint is replaced...
        QTRY_COMPARE(slow.inner.get(u"url"_s).value_or(QString()), fake->url()); // ...and saved again
        QVERIFY(f->refreshLoopActive());
        QTRY_COMPARE(fake->count(u"/api/my/status"_s), 1);
        QTRY_COMPARE(fake->count(u"/api/me"_s), 1);
        QCOMPARE(fake->count(u"/api/accounts"_s), 0);  // a viewer loads no team data
        QCOMPARE(fake->last(u"/api/my/status"_s).auth, QByteArray("Bearer T9"));
    }

    // A URL that differs from the retired one only by case or a trailing slash stays.
    void nearlyRetiredUrlStays()
    {
        StoreFixture g;
        g.writeConfig();
        g.saveSession({{"token", "T"}, {"url", endpoint::retiredUrl().toUpper() + u"/"_s}});
        g->bootstrap();
        QTRY_COMPARE(g->serverUrl(), endpoint::retiredUrl().toUpper() + u"/"_s);
    }

    void bearerPrefersSession()
    {
        StoreFixture f;
        f.signedIn(fake->url(), u"admin"_s, u"S7"_s, u"T7"_s);
        f.store->loadTeam();
        QTRY_COMPARE(fake->count(u"/api/accounts"_s), 1);
        QCOMPARE(fake->last(u"/api/accounts"_s).auth, QByteArray("Bearer S7"));
        f.store->setSession(QString());
        f.store->loadTeam();
        QTRY_COMPARE(fake->count(u"/api/accounts"_s), 2);
        QCOMPARE(fake->last(u"/api/accounts"_s).auth, QByteArray("Bearer T7"));
    }

    void homeRefresh()
    {
        StoreFixture f;
        f.signedIn(fake->url(), u"admin"_s);
        fake->on(u"/api/my/status"_s, Reply::raw(200, R"({"accounts":[{"account_email":"a@x","five_hour_pct":42.5,"limits_ok":1},
            {"account_email":"b@x","five_hour_pct":"42.5"}],"telemetry":{"push_ok":true,"last_seen":1700000000},
            "member":{"name":"Иван","role":"viewer"}})", "application/json"));
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
        fake->on(u"/api/my/status"_s, Reply::raw(200, R"({"accounts":[{"account_email":"a@x"}]})", "application/json"));
        loading.clear();
        f.store->refreshHome();
        QVERIFY(!f.store->loadingHome());
        QTRY_COMPARE(fake->count(u"/api/my/status"_s), 2);
        QTRY_COMPARE(f.store->accounts().size(), 1);
        QVERIFY(f.store->telemetryOk());
        QCOMPARE(f.store->lastSeen(), 1700000000.0);

        // An HTML error page empties the list and keeps telemetry, name and role.
        fake->on(u"/api/my/status"_s, Reply::raw(500, "<html>oops</html>", "text/html"));
        f.store->refreshHome();
        QTRY_VERIFY(f.store->accounts().isEmpty());
        QVERIFY(f.store->telemetryOk());
        QCOMPARE(f.store->name(), u"Иван"_s);

        // A transport failure changes nothing but the spinner.
        f.store->setAccounts({Acct{}});
        f.store->setServerUrl(QString::fromLatin1(kDeadUrl));
        loading.clear();
        f.store->refreshHome();
        QVERIFY(loading.wait()); // the failure's handler ends by clearing the spinner
        QCOMPARE(f.store->accounts().size(), 1);
    }

    void alerts()
    {
        StoreFixture f;
        f.signedIn(fake->url(), u"viewer"_s);
        f.store->loadAlerts();
        f.store->refreshHome(); // sent, as a marker behind the one that is not
        QVERIFY(fake->waitFor(u"/api/my/status"_s));
        QCOMPARE(fake->count(u"/api/events"_s), 0);

        f.store->setRole(u"admin"_s);
        fake->on(u"/api/events"_s, Reply::raw(200, R"({"events":[{"id":5,"title":"Лимит"}],"unread":"3"})", "application/json"));
        f.store->loadAlerts();
        QTRY_COMPARE(f.store->alerts().size(), 1);
        QCOMPARE(fake->last(u"/api/events"_s).target, QByteArray("/api/events?limit=100"));
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
        fake->on(u"/api/accounts"_s, Reply::json(teamAnswer(3)));
        f.store->loadTeam();
        QVERIFY(f.store->loadingTeam());
        QTRY_COMPARE(f.store->teamAccounts().size(), 3);
        QVERIFY(!f.store->loadingTeam());
        QCOMPARE(f.store->teamAccounts()[0].sevenPct, 20.0);   // highest first

        // 401: the session is marked expired, the list stays, the banner shows.
        fake->on(u"/api/accounts"_s, Reply::raw(401, R"({"ok":false})", "application/json"));
        f.store->loadTeam();
        QVERIFY(!f.store->loadingTeam());   // reloads happen behind the current list
        QTRY_VERIFY(f.store->authExpired());
        QCOMPARE(f.store->teamAccounts().size(), 3);
        QVERIFY(f.store->needsRelogin());

        // Any other status clears it; an error object without "accounts" empties the list.
        fake->on(u"/api/accounts"_s, Reply::raw(500, R"({"error":"x"})", "application/json"));
        f.store->loadTeam();
        QTRY_VERIFY(!f.store->authExpired());
        QVERIFY(f.store->teamAccounts().isEmpty());
        QVERIFY(!f.store->needsRelogin());

        // A viewer sends nothing, and neither does a refresh.
        const int before = fake->seen.size();
        f.store->setRole(u"viewer"_s);
        f.store->loadTeam();
        f.store->refreshLimits();
        f.store->refreshHome();
        QVERIFY(fake->waitFor(u"/api/my/status"_s));
        QCOMPARE(fake->seen.size(), before + 1);
    }

    // getData hands back a body only for a 2xx answer that has one.
    void getDataNeedsABody_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QByteArray>("expected"); // null: nothing
        QTest::newRow("200 with bytes") << Reply::raw(200, "PNGDATA", "image/png") << QByteArray("PNGDATA");
        QTest::newRow("empty 200") << Reply::raw(200, "", "image/png") << QByteArray();
        QTest::newRow("204") << Reply::empty(204) << QByteArray();
        QTest::newRow("404 with a body") << Reply::raw(404, R"({"error":"not found"})") << QByteArray();
    }
    void getDataNeedsABody()
    {
        QFETCH(Reply, reply);
        QFETCH(QByteArray, expected);
        StoreFixture f;
        f.signedIn(fake->url(), u"viewer"_s);
        fake->on(u"/api/avatar"_s, reply);
        std::optional<std::optional<QByteArray>> got;
        f->getData(u"/api/avatar?member_id=anna"_s, [&](const std::optional<QByteArray> &d) { got = d; });
        QTRY_VERIFY(got.has_value());
        QCOMPARE(got->has_value(), !expected.isNull());
        QCOMPARE(got->value_or(QByteArray()), expected);
        QCOMPARE(fake->last(u"/api/avatar"_s).auth, QByteArray("Bearer S1"));
    }

    // The tray panel's refresh: the own limits for everyone, the team's accounts for an
    // administrator only, nothing at all outside the platform.
    void panelRefreshByRole()
    {
        StoreFixture f;
        f.signedIn(fake->url(), u"viewer"_s);
        f->reload();
        QVERIFY(fake->waitFor(u"/api/my/status"_s));
        f->setRole(u"admin"_s);
        f->reload();
        QVERIFY(fake->waitFor(u"/api/accounts"_s));
        QVERIFY(fake->waitFor(u"/api/my/status"_s, 2));
        f->setPhase(Store::Phase::Auth);
        f->reload();
        QVERIFY(!fake->waitFor(u"/api/my/status"_s, 3, 300));
        QStringList paths;
        for (const Request &r : fake->seen)
            paths << r.path;
        QCOMPARE(paths.count(u"/api/my/status"_s), 2);
        QCOMPARE(paths.count(u"/api/accounts"_s), 1);
        QCOMPARE(paths.size(), 3); // no alerts, no profile
    }

    // Set-up through the Store with the server's script: a failing script leaves its message and
    // the set-up screen; one that ends well without saying a word still ticks all four steps.
    void setUpOutcome_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("error");
        QTest::newRow("exit 1") << QByteArray("echo statusline\nexit 1\n") << u"Установка завершилась с ошибкой (код 1)."_s;
        QTest::newRow("silent success") << QByteArray("exit 0\n") << QString();
    }
    void setUpOutcome()
    {
        QFETCH(QByteArray, script);
        QFETCH(QString, error);
        StoreFixture f;
        f.signedIn(fake->url(), u"viewer"_s);
        fake->on(u"/raw/install.sh"_s, Reply::raw(200, script));
        f->startOnboarding();
        QCOMPARE(f->phase(), Store::Phase::Onboarding);
        if (!error.isEmpty()) {
            QTRY_COMPARE_WITH_TIMEOUT(f->error(), error, 15000);
            QVERIFY(!f->installDone());
            QCOMPARE(f->phase(), Store::Phase::Onboarding);
            QVERIFY(f->steps()[0].done);      // what the script said before failing
            QVERIFY(!f->steps()[1].done);
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(f->installDone(), 15000);
        for (const SetupStep &st : f->steps())
            QVERIFY2(st.done, qPrintable(st.label));
        QTRY_COMPARE(f->phase(), Store::Phase::Platform);
        QVERIFY(f->error().isEmpty());
        QVERIFY(f->refreshLoopActive());
    }

    void refreshLimitsOnceInFlight()
    {
        StoreFixture f;
        f.signedIn(fake->url(), u"admin"_s);
        fake->on(u"/api/refresh-limits"_s, Reply::json({{"ok", true}}));
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
        StoreFixture f({.refreshMs = 120});
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
        passes.clear();
        QVERIFY(!passes.wait(500)); // four intervals without a pass
    }

    // A toast clears itself after its time, unless a newer text replaced it meanwhile: then the
    // newer one gets its full time.
    void toastLifetime()
    {
        StoreFixture f({.toastMs = 600});
        QElapsedTimer t;
        qint64 clearedAt = -1;
        connect(f.store.get(), &Store::toastChanged, this, [&] {
            if (f->toast().isEmpty())
                clearedAt = t.elapsed();
        });
        t.start();
        f->flash(u"A"_s);
        QTimer::singleShot(300, f.store.get(), [&] { f->flash(u"B"_s); });
        QTRY_VERIFY(clearedAt >= 0);
        QVERIFY2(clearedAt >= 900, qPrintable(QString::number(clearedAt))); // B's own 600 ms, not A's timer
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
        // A credential that could never be sent as a header is not taken (nor saved).
        QTest::newRow("line break in token") << QByteArray(R"({"ok":true,"token":"T\nX-Admin: 1"})") << u"Сервер отклонил вход."_s;
        QTest::newRow("control in session") << QByteArray(R"({"ok":true,"token":"T","session":"S\u0000"})") << u"Сервер отклонил вход."_s;
    }
    void signInMessages()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, message);
        StoreFixture f;
        f.store->setServerUrl(fake->url());
        fake->on(u"/api/provision"_s, Reply::raw(401, answer, "application/json"));
        f.store->signIn(u"  ivan  "_s, u" pw "_s);
        QVERIFY(f.store->busy());
        QTRY_VERIFY(!f.store->busy());
        QCOMPARE(f.store->error(), message);
        QCOMPARE(f.store->phase(), Store::Phase::Auth);
        QVERIFY(f.store->token().isEmpty());
        for (const QString &k : Keychain::items())
            QVERIFY2(!f.secrets.get(k).has_value(), qPrintable(k));
        const QJsonObject sent = QJsonDocument::fromJson(fake->last(u"/api/provision"_s).body).object();
        QCOMPARE(sent.value("login").toString(), u"ivan"_s);     // trimmed
        QCOMPARE(sent.value("password").toString(), u" pw "_s);  // exactly as typed
        QVERIFY(fake->last(u"/api/provision"_s).auth.isEmpty());
    }

    void signInLocalChecksAndTransport()
    {
        StoreFixture f;
        f.store->setServerUrl(fake->url());
        f.store->signIn(u" \t "_s, u"pw"_s);
        QCOMPARE(f.store->error(), u"Введи логин и пароль."_s);
        QVERIFY(!f.store->busy()); // refused before anything was sent

        f.store->setServerUrl(QString::fromLatin1(kDeadUrl));
        f.store->signIn(u"ivan"_s, u"pw"_s);
        QCOMPARE(f.store->error(), QString());   // cleared by a submit that passes the check
        QTRY_VERIFY(!f.store->busy());
        QCOMPARE(f.store->error(), u"Сервер недоступен."_s);
        QCOMPARE(f.store->phase(), Store::Phase::Auth);
    }

    void signInMustChangeThenPassword()
    {
        StoreFixture f;
        f.store->setServerUrl(fake->url());
        fake->on(u"/api/provision"_s, Reply::raw(200, R"({"ok":true,"token":"TK","must_change":true})", "application/json"));
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

        fake->on(u"/api/member/change-password"_s, Reply::json({{"ok", false}}));
        f.store->changePassword(u"новый-пароль"_s, u"новый-пароль"_s);
        QTRY_VERIFY(!f.store->busy());
        QCOMPARE(f.store->error(), u"Не удалось сменить пароль."_s);
        QCOMPARE(f.store->phase(), Store::Phase::ChangePassword);
        QJsonObject sent = QJsonDocument::fromJson(fake->last(u"/api/member/change-password"_s).body).object();
        QCOMPARE(sent.value("current_password").toString(), u"first-pass"_s);

        fake->on(u"/api/member/change-password"_s, Reply::json({{"ok", true}}));
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
        fake->on(u"/api/provision"_s, Reply::raw(200, R"({"ok":true,"token":"TA","role":"admin","session":"SA","name":"Админ"})"));
        fake->on(u"/api/accounts"_s, Reply::json(teamAnswer(2)));
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

        fake->on(u"/api/provision"_s, Reply::raw(200, R"({"ok":true,"token":"TV","role":"viewer"})", "application/json"));
        f.store->signIn(u"anna"_s, u"pw"_s);
        QTRY_COMPARE(f.store->token(), u"TV"_s);
        QVERIFY(f.store->teamAccounts().isEmpty());
        QVERIFY(f.store->alerts().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstStoreSession)
#include "tst_store_session.moc"
