// Store against the kit's fake server: start-up, the loads and what each kind of answer does to
// them, the refresh loop, sign-in, the first-login password change and set-up.
#include "kit.h"

#include "net/endpoint.h"

#include <QJsonArray>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
const QString kDeadUrl = u"http://127.0.0.1:1"_s;

Reply json(const char *body, int status = 200)
{
    return Reply::raw(status, body, "application/json");
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
        qputenv("BRINDLE_SERVER_URL", "https://changed.example");
        QCOMPARE(endpoint::serverUrl(), fake->url()); // a later change does not move the server
    }
    void init()
    {
        fake->seen.clear();
        for (const char *path : {"/api/my/status", "/api/events", "/api/accounts", "/api/me"})
            fake->on(QString::fromLatin1(path), Reply::json({}));
        fake->on(u"/raw/install.sh"_s, Reply::raw(200, "echo statusline quick-cmds telemetry agent\n"));
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
        QVERIFY(fake->waitFor(u"/api/me"_s) && fake->waitFor(u"/api/my/status"_s));
        QCOMPARE(fake->last(u"/api/my/status"_s).auth, QByteArray("Bearer T9"));
        QCOMPARE(fake->count(u"/api/accounts"_s), 0);  // a viewer loads no team data
    }

    // A URL that differs from the retired one only by case or a trailing slash stays.
    void nearlyRetiredUrlStays()
    {
        StoreFixture f;
        f.writeConfig();
        f.saveSession({{"token", "T"}, {"url", endpoint::retiredUrl().toUpper() + u"/"_s}});
        f->bootstrap();
        QTRY_COMPARE(f->serverUrl(), endpoint::retiredUrl().toUpper() + u"/"_s);
    }

    void homeRefresh()
    {
        StoreFixture f;
        f.signedIn(fake->url(), u"admin"_s);
        fake->on(u"/api/my/status"_s, json(R"({"accounts":[{"account_email":"a@x"},{"account_email":"b@x"}],
            "telemetry":{"push_ok":true,"last_seen":1700000000},"member":{"name":"Иван","role":"viewer"}})"));
        f->refreshHome();
        QVERIFY(f->home()->loading());
        QTRY_VERIFY(!f->home()->loading());
        QCOMPARE(f->home()->accounts().size(), 2);
        QVERIFY(f->home()->telemetryOk());
        QCOMPARE(f->name(), u"Иван"_s);
        QCOMPARE(f->role(), u"viewer"_s);

        // No "telemetry": the previous state stays; a reload shows no spinner.
        fake->on(u"/api/my/status"_s, json(R"({"accounts":[{"account_email":"a@x"}]})"));
        f->refreshHome();
        QVERIFY(!f->home()->loading());
        QTRY_COMPARE(f->home()->accounts().size(), 1);
        QVERIFY(f->home()->telemetryOk());
        QCOMPARE(f->home()->lastSeen(), 1700000000.0);
        // (A failed refresh keeps gauges, telemetry and name: the loaders' failure table.)
    }

    void alertsAndTeam()
    {
        StoreFixture f;
        f.signedIn(fake->url(), u"admin"_s);
        fake->on(u"/api/events"_s, json(R"({"events":[{"id":5,"title":"Лимит"}],"unread":"3"})"));
        fake->on(u"/api/accounts"_s, json(R"({"accounts":[{"email":"a"},{"email":"b","seven_day_pct":20}]})"));
        f->loadAlerts();
        f->loadTeam();
        QVERIFY(f->loadingTeam());
        QTRY_COMPARE(f->home()->alerts().size(), 1);
        QCOMPARE(fake->last(u"/api/events"_s).target, QByteArray("/api/events?limit=100"));
        QCOMPARE(f->home()->alertsUnread(), 3);
        QTRY_COMPARE(f->teamAccounts().size(), 2);
        QVERIFY(!f->loadingTeam());

        // An empty team is an empty list. (What a failed reload leaves: the loaders' failure table.)
        fake->on(u"/api/accounts"_s, json(R"({"accounts":[]})"));
        f->loadTeam();
        QTRY_VERIFY(f->teamAccounts().isEmpty());
        QVERIFY(!f->needsRelogin());
        // An administrator with no session must sign in again; a viewer never.
        f->setSession(QString());
        QVERIFY(f->needsRelogin());
        f->setRole(u"viewer"_s);
        QVERIFY(!f->needsRelogin());
    }

    // getData hands back a body only for a 2xx answer that has one (every status: the verdict table).
    void getDataNeedsABody_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QByteArray>("expected"); // null: nothing
        QTest::newRow("200 with bytes") << Reply::raw(200, "PNGDATA", "image/png") << QByteArray("PNGDATA");
        QTest::newRow("empty 200") << Reply::raw(200, "", "image/png") << QByteArray();
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
        QCOMPARE(fake->last(u"/api/avatar"_s).auth, QByteArray("Bearer S1")); // the session, not the token
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
        QCOMPARE(fake->seen.size(), 3); // no alerts, no profile
    }

    void refreshLimitsOnceInFlight()
    {
        StoreFixture f;
        f.signedIn(fake->url(), u"admin"_s);
        fake->on(u"/api/refresh-limits"_s, Reply::json({{"ok", true}}));
        f->refreshLimits();
        f->refreshLimits();   // pressed again while the first is in flight
        QVERIFY(f->refreshingLimits());
        QTRY_VERIFY(!f->refreshingLimits());
        QTRY_COMPARE(fake->count(u"/api/accounts"_s), 1);   // the reload after it
        QCOMPARE(fake->count(u"/api/refresh-limits"_s), 1);
        QCOMPARE(fake->last(u"/api/refresh-limits"_s).body, QByteArray("{}"));
    }

    void refreshLoopTicksAndStops()
    {
        StoreFixture f({.refreshMs = 120});
        f.signedIn(fake->url(), u"admin"_s);
        QSignalSpy passes(f.store.get(), &Store::refreshPass);
        f->startAutoRefresh();
        QTRY_VERIFY_WITH_TIMEOUT(passes.size() >= 2, 3000);
        // The first load at start plus one per pass (a pass's requests may still be on their way).
        for (const char *path : {"/api/my/status", "/api/accounts", "/api/events"})
            QTRY_VERIFY(fake->count(QString::fromLatin1(path)) >= 3);
        // Sign-out ends the loop: no pass after it.
        f->logOut();
        QVERIFY(!f->refreshLoopActive());
        passes.clear();
        QVERIFY(!passes.wait(500)); // four intervals without a pass
    }

    // A toast clears itself after its time, unless a newer text replaced it meanwhile: then the
    // newer one gets its full time. The sidebar's state outlives the Store.
    void toastLifetimeAndPreference()
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

        f->setSidebarCollapsed(true);
        QVERIFY(Store(nullptr, f.deps).sidebarCollapsed());
    }

    // A refused sign-in keeps nothing: no token, nothing saved. The login goes trimmed, the
    // password exactly as typed, with no credential; a blank login sends nothing at all.
    void signInRefused_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<QByteArray>("answer"); // the server's 401 body; empty: no server there
        QTest::addColumn<QString>("message");
        const QString rejected = u"Сервер отклонил вход."_s;
        QTest::newRow("no token") << u"  ivan  "_s << QByteArray(R"({"ok":true})") << rejected;
        // A credential that could never be sent as a header is not taken (nor saved).
        QTest::newRow("line break in token") << u"ivan"_s << QByteArray(R"({"ok":true,"token":"T\nX-Admin: 1"})") << rejected;
        QTest::newRow("control in session") << u"ivan"_s << QByteArray(R"({"ok":true,"token":"T","session":"S\u0000"})") << rejected;
        QTest::newRow("blank login") << u" \t "_s << QByteArray("{}") << u"Введи логин и пароль."_s;
        QTest::newRow("no server") << u"ivan"_s << QByteArray() << u"Сервер недоступен."_s;
    }
    void signInRefused()
    {
        QFETCH(QString, login);
        QFETCH(QByteArray, answer);
        StoreFixture f;
        f->setServerUrl(answer.isEmpty() ? kDeadUrl : fake->url());
        fake->on(u"/api/provision"_s, Reply::raw(401, answer, "application/json"));
        f->signIn(login, u" pw "_s);
        const bool sent = !login.trimmed().isEmpty();
        QCOMPARE(f->busy(), sent); // a blank login is refused before anything goes out
        QTRY_VERIFY(!f->busy());
        QTEST(f->error(), "message");
        QCOMPARE(f->phase(), Store::Phase::Auth);
        QVERIFY(f->token().isEmpty());
        for (const QString &k : Keychain::items())
            QVERIFY2(!f.secrets.get(k).has_value(), qPrintable(k));
        const Request req = fake->last(u"/api/provision"_s);
        if (!sent || answer.isEmpty()) {
            QVERIFY(req.path.isEmpty());
            return;
        }
        QCOMPARE(req.json, (QJsonObject{{"login", "ivan"}, {"password", " pw "}}));
        QVERIFY(req.auth.isEmpty());
    }

    void signInMustChangeThenPassword()
    {
        StoreFixture f;
        f->setServerUrl(fake->url());
        fake->on(u"/api/provision"_s, json(R"({"ok":true,"token":"TK","must_change":true})"));
        f->signIn(u"ivan"_s, u"first-pass"_s);
        QTRY_COMPARE(f->phase(), Store::Phase::ChangePassword);
        // Defaults of a minimal answer, and the credentials already saved.
        QCOMPARE(f->name(), u"ivan"_s);
        QCOMPARE(f->role(), u"viewer"_s);
        QCOMPARE(f->serverUrl(), endpoint::serverUrl());
        QCOMPARE(f.secrets.get(u"token"_s), std::optional<QString>(u"TK"_s));
        QCOMPARE(f.secrets.get(u"session"_s), std::optional<QString>(QString()));

        f->changePassword(u"1234567"_s, u"7654321"_s);
        QCOMPARE(f->error(), u"Минимум 8 символов."_s);
        fake->on(u"/api/member/change-password"_s, Reply::json({{"ok", false}}));
        f->changePassword(u"новый-пароль"_s, u"новый-пароль"_s);
        QTRY_VERIFY(!f->busy());
        QCOMPARE(f->error(), u"Не удалось сменить пароль."_s);
        QCOMPARE(f->phase(), Store::Phase::ChangePassword);
        QCOMPARE(fake->last(u"/api/member/change-password"_s).json,
                 (QJsonObject{{"login", "ivan"}, {"current_password", "first-pass"}, {"new_password", "новый-пароль"}}));

        // Success leads through set-up to the platform: the first run's Qt Quick test.
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
            QVERIFY(f->steps()[0].done && !f->steps()[1].done); // what the script said before failing
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(f->installDone(), 15000);
        for (const SetupStep &st : f->steps())
            QVERIFY2(st.done, qPrintable(st.label));
        QTRY_COMPARE(f->phase(), Store::Phase::Platform);
        QVERIFY(f->error().isEmpty());
        QVERIFY(f->refreshLoopActive());
    }
};

QTEST_GUILESS_MAIN(TstStoreSession)
#include "tst_store_session.moc"
