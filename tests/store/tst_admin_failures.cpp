// Administration loads and writes against a scripted server: what a viewer sends (nothing),
// what each failure leaves behind, which answers are dropped as late, and that identifiers
// reach the server exactly as typed.
#include "core/clock.h"
#include "kit.h"
#include "store/accountform.h"
#include "store/breakdownview.h"
#include "store/memberforms.h"
#include "core/format.h"

#include <QSignalSpy>
#include <QTest>
#include <vector>

namespace {

const QString kSessionExpired = QStringLiteral("Сессия истекла — войди заново");

QJsonObject statsAnswer(const QString &who)
{
    return {{"members", QJsonArray{QJsonObject{{"member_id", who}, {"points", 5}}}},
            {"accounts", QJsonArray{QJsonObject{{"email", who + "@x"}, {"total_points", 5}}}},
            {"sources", QJsonArray{QJsonObject{{"source", "terminal"}, {"sessions", 3.9}}}}};
}

// One answer shape per path of the statistics screen, tagged so a test can tell loads apart.
Reply adminData(const Request &s, const QString &tag)
{
    if (s.path == "/api/stats")
        return Reply::json(statsAnswer(tag + s.q("scope")));
    if (s.path == "/api/team/result")
        return Reply::json({{"members", QJsonArray{QJsonObject{{"name", tag}}}}});
    if (s.path == "/api/mirrors/limits")
        return Reply::json({{"mirrors", QJsonArray{QJsonObject{{"provider", "GLM"}, {"today_usd", 1}}}}});
    if (s.path == "/api/team/analytics")
        return Reply::json({{"people", QJsonArray{QJsonObject{{"name", tag + s.q("from")}}}}});
    if (s.path == "/api/members")
        return Reply::json({{"members", QJsonArray{QJsonObject{{"id", tag}}}}});
    if (s.path == "/api/my/status")
        return Reply::json({{"accounts", QJsonArray{QJsonObject{{"account_email", tag + "@x"}}}},
                            {"telemetry", QJsonObject{{"push_ok", true}}}, {"member", QJsonObject{{"name", tag}}}});
    if (s.path == "/api/accounts")
        return Reply::json({{"accounts", QJsonArray{QJsonObject{{"email", tag + "@x"}}}}});
    if (s.path == "/api/accounts/breakdown")
        return Reply::json({{"members", QJsonArray{QJsonObject{{"name", tag + s.q("scope")}, {"pct_of_window", 40}}}},
                             {"residual_pct_of_window", 12}, {"observed_pct", 63.9}});
    return Reply::json({{"ok", true}});
}

Store::BreakdownResult fetchBreakdownNow(Store &store, const QString &provider, const QString &email,
                                         const QString &scope)
{
    Store::BreakdownResult got;
    bool arrived = false;
    QObject ctx;
    store.fetchBreakdown(provider, email, scope, &ctx, [&](const Store::BreakdownResult &r) {
        got = r;
        arrived = true;
    });
    [&] { QTRY_VERIFY_WITH_TIMEOUT(arrived, 5000); }();
    return got;
}

// What the user starts, leaves behind, and what must show once the held answer has come late.
struct LateCase {
    const char *name;
    std::function<bool(const Request &, const FakeServer &)> held; // the request left behind
    Reply late;
    std::function<std::function<void()>(Store &, FakeServer &)> moveOn; // gives the final check
};

const std::vector<LateCase> &lateCases()
{
    const auto one = [](const QString &name) { return Reply::json({{"members", QJsonArray{QJsonObject{{"member_id", name}, {"name", name}}}}}); };
    const auto breakdown = [](const QString &scope, const QString &email) {
        return [=](const Request &r, const FakeServer &) { return r.path == "/api/accounts/breakdown" && (scope.isEmpty() || r.q("scope") == scope) && (email.isEmpty() || r.q("email") == email); };
    };
    const auto openBreakdown = [](const QString &email) {
        auto view = std::make_shared<BreakdownView>();
        view->setProvider("claude");
        view->setEmail(email);
        view->load();
        return view;
    };
    const auto isPost = [](const Request &r, const FakeServer &) { return r.method == "POST"; };
    const auto firstGet = [](const QString &path) {
        return [=](const Request &r, const FakeServer &server) { return r.method == "GET" && r.path == path && server.count(path) == 1; };
    };
    const auto twoOf = [](const char *key) {
        return Reply::json({{key, QJsonArray{QJsonObject{{"id", "x"}, {"email", "x@x"}}, QJsonObject{{"id", "y"}, {"email", "y@x"}}}}});
    };
    static const std::vector<LateCase> cases{
        {"statistics: the scope left answers last", [](const Request &r, const FakeServer &) { return r.path == "/api/stats" && r.q("scope") == "week"; },
         one("week"), [](Store &s, FakeServer &server) -> std::function<void()> {
             s.loadStats();
             s.setStatScopeAndLoad(Stat::Scope::Month);
             s.setStatScopeAndLoad(Stat::Scope::Month); // the same scope again asks nothing
             return [&] {
                 QCOMPARE(s.stats()->members().value(0).memberId, QString("month"));
                 QCOMPARE(server.count("/api/stats"), 2);
                 QVERIFY(!s.stats()->loading());
             };
         }},
        {"statistics: the scope left answers first", [](const Request &r, const FakeServer &) { return r.path == "/api/stats" && r.q("scope") == "month"; },
         one("month"), [](Store &s, FakeServer &) -> std::function<void()> {
             auto shown = std::make_shared<QSignalSpy>(s.stats(), &StatsState::membersChanged);
             s.loadStats();
             s.setStatScopeAndLoad(Stat::Scope::Month);
             return [&s, shown] {
                 QCOMPARE(s.stats()->members().value(0).memberId, QString("month"));
                 QCOMPARE(shown->count(), 1); // nothing of the week showed meanwhile
             };
         }},
        {"activity: the range left", [](const Request &r, const FakeServer &) { return r.path == "/api/team/analytics" && r.q("from") == QString::number(1700000000 - 7 * 86400); },
         Reply::json({{"people", QJsonArray{QJsonObject{{"name", "old"}}}}}), [](Store &s, FakeServer &) -> std::function<void()> {
             s.loadActivity();
             s.setActRangeAndLoad(30);
             return [&s] {
                 QCOMPARE(s.activity()->people().value(0).name, QString::number(1700000000 - 30 * 86400));
                 QVERIFY(!s.activity()->loading());
             };
         }},
        {"breakdown: the scope left", breakdown("week", {}), one("old"), [=](Store &, FakeServer &) -> std::function<void()> {
             auto view = openBreakdown("b@x");
             view->selectScope("month");
             return [view] {
                 QCOMPARE(view->rows().value(0).name, QString("month"));
                 QCOMPARE(view->scope(), QString("month"));
             };
         }},
        {"breakdown: the account left", breakdown({}, "a@x"), one("a@x"), [=](Store &, FakeServer &) -> std::function<void()> {
             auto view = openBreakdown("a@x");
             view->setEmail("b@x");
             return [view] { QCOMPARE(view->rows().value(0).name, QString("week")); };
         }},
        {"breakdown: the block closed", breakdown({}, {}), one("c"), [=](Store &, FakeServer &server) -> std::function<void()> {
             auto view = openBreakdown("c@x");
             [&] { QTRY_COMPARE(server.heldCount(), 1); }();
             view.reset(); // the answer that comes later finds nobody
             return [] {};
         }},
        {"create: the form closed and opened again", isPost, Reply::json({{"ok", true}, {"login", "late"}, {"password", "pw"}}),
         [](Store &s, FakeServer &server) -> std::function<void()> {
             s.roster()->setFormOpen(true);
             auto first = std::make_shared<NewMemberDraft>();
             first->setProperty("name", QStringLiteral("Первый"));
             first->submit();
             [&] { QTRY_COMPARE(server.heldCount(), 1); }();
             s.roster()->setFormOpen(false);
             auto second = std::make_shared<NewMemberDraft>();
             s.roster()->setFormOpen(true);
             return [&s, first, second] {
                 QVERIFY(first->isClosed() && !first->saving());
                 QVERIFY(s.roster()->formOpen() && !second->isClosed()); // the new form stays
                 QCOMPARE(s.roster()->secret().value("login").toString(), QString("late")); // the credential shows
             };
         }},
        {"save: the sheet closed and another opened", isPost, Reply::json({{"ok", true}}),
         [](Store &, FakeServer &) -> std::function<void()> {
             Member a, b;
             a.memberId = "a";
             b.memberId = "b";
             auto first = std::make_shared<MemberEditDraft>();
             first->setMember(a);
             auto firstDone = std::make_shared<QSignalSpy>(first.get(), &MemberEditDraft::finished);
             first->submit();
             first->close();
             auto second = std::make_shared<MemberEditDraft>();
             second->setMember(b);
             auto secondDone = std::make_shared<QSignalSpy>(second.get(), &MemberEditDraft::finished);
             return [=] {
                 QVERIFY(!first->saving());
                 QCOMPARE(firstDone->count() + secondDone->count(), 0);
             };
         }},
        {"account save: the form cancelled and another opened", [](const Request &r, const FakeServer &) { return r.path == "/api/registry"; },
         Reply::json({{"ok", true}}), [](Store &s, FakeServer &) -> std::function<void()> {
             s.resources()->setFormOpen(true);
             auto first = std::make_shared<AccountFormState>();
             first->open();
             first->setEmail("b@x");
             auto saved = std::make_shared<QSignalSpy>(first.get(), &AccountFormState::saved);
             first->save();
             first->cancel();
             s.resources()->setFormOpen(true);
             auto second = std::make_shared<AccountFormState>();
             second->open();
             return [&s, first, saved, second] {
                 QTRY_COMPARE(saved->count(), 1);
                 QVERIFY(saved->first().first().toBool());
                 QVERIFY(s.resources()->formOpen()); // the new form stays
             };
         }},
        {"team: an older load answers after the reload that followed a write", firstGet("/api/accounts"), twoOf("accounts"),
         [](Store &s, FakeServer &server) -> std::function<void()> {
             s.loadTeam();
             [&] { QTRY_COMPARE(server.heldCount(), 1); }();
             s.saveAccount({{"email", "a@x"}});
             [&] { QTRY_COMPARE(s.teamAccounts().size(), 1); }(); // the reload after the write
             return [&s] { QCOMPARE(s.teamAccounts().size(), 1); };
         }},
        {"roster: an older load answers after the reload that followed a write", firstGet("/api/members"), twoOf("members"),
         [](Store &s, FakeServer &server) -> std::function<void()> {
             s.loadMembers();
             [&] { QTRY_COMPARE(server.heldCount(), 1); }();
             s.updateMember("m0", {{"name", "Анна"}});
             [&] { QTRY_COMPARE(s.members().size(), 1); }();
             return [&s] {
                 QCOMPARE(s.members().size(), 1);
                 QVERIFY(!s.loadingMembers());
             };
         }},
    };
    return cases;
}
} // namespace

class TestAdminFailures : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Clock::reset(); }

    // A viewer's session: the administrator's loads and the limits refresh send nothing and
    // publish nothing.
    void viewerSendsNothing()
    {
        FakeServer server;
        server.answer = [](const Request &s) { return adminData(s, "leak"); };
        StoreFixture kit;
        Store &store = kit.signedIn(server.url(), "viewer");
        store.loadStats();
        store.setStatScopeAndLoad(Stat::Scope::Month);
        store.loadActivity();
        store.setActRangeAndLoad(30);
        store.loadMembers();
        store.loadAlerts();
        store.loadTeam();
        store.refreshLimits();
        const Store::BreakdownResult b = fetchBreakdownNow(store, "claude", "a@x", "week");
        store.refreshHome(); // a request that is sent, as a marker behind the ones that are not
        QVERIFY(server.waitFor("/api/my/status"));
        QCOMPARE(server.seen.size(), 1);
        QVERIFY(b.rows.isEmpty());
        QVERIFY(store.stats()->members().isEmpty() && store.stats()->results().isEmpty() && store.stats()->mirrors().isEmpty());
        QVERIFY(store.activity()->people().isEmpty() && store.members().isEmpty() && store.home()->alerts().isEmpty());
        QVERIFY(store.teamAccounts().isEmpty() && !store.refreshingLimits());
        QVERIFY(!store.stats()->loading() && !store.activity()->loading() && !store.loadingMembers());
    }

    // Loads in flight when the session passes to a viewer do not land in the viewer's screens,
    // and their spinners still end.
    void answersForAnAdministratorDoNotReachAViewer()
    {
        FakeServer server;
        server.answer = [](const Request &) { return Reply::held(); };
        StoreFixture kit;
        Store &store = kit.signedIn(server.url());
        store.loadStats();
        store.loadActivity();
        store.loadMembers();
        QVERIFY(store.stats()->loading() && store.activity()->loading() && store.loadingMembers());
        QTRY_COMPARE(server.heldCount(), 5);
        store.setRole("viewer");
        for (const Request &r : server.seen)
            server.release(r.path, adminData(r, "admin"));
        QTRY_VERIFY(!store.stats()->loading() && !store.activity()->loading() && !store.loadingMembers());
        QVERIFY(store.stats()->members().isEmpty() && store.activity()->people().isEmpty() && store.members().isEmpty());
    }

    // Every loader over a failed exchange keeps what it showed and when it was last good, and no
    // spinner stays on. No answer, a time-out, a 5xx or a page that is not the server's JSON marks
    // the server lost; a 401 asks for a new sign-in; a 403 drops what only an administrator sees.
    void loadersOnFailure_data()
    {
        QTest::addColumn<Reply>("answer");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("after");
        QTest::newRow("401") << Reply::json({{"error", "unauthorized"}}, 401) << false << "expired";
        QTest::newRow("403") << Reply::json({{"error", "forbidden"}}, 403) << false << "dropped";
        QTest::newRow("500 html") << Reply::html500() << false << "lost";
        QTest::newRow("200 proxy page") << Reply::raw(200, "<html>login</html>", "text/html") << false << "lost";
        QTest::newRow("refused") << Reply() << true << "lost";
    }
    void loadersOnFailure()
    {
        QFETCH(Reply, answer);
        QFETCH(bool, refused);
        QFETCH(QString, after);
        FakeServer server;
        bool failing = false;
        server.answer = [&](const Request &s) { return failing ? answer : adminData(s, "ok"); };
        StoreFixture kit({.httpTimeoutMs = 400});
        Store &store = kit.signedIn(server.url());
        Clock::setFixed(1700000000);
        auto loadAll = [&] {
            store.loadStats();
            store.loadActivity();
            store.loadMembers();
            store.loadAlerts();
            store.loadTeam();
            store.refreshHome();
        };
        loadAll();
        QTRY_VERIFY(!store.stats()->members().isEmpty() && !store.stats()->mirrors().isEmpty() && !store.activity()->people().isEmpty()
                    && !store.members().isEmpty() && !store.teamAccounts().isEmpty() && !store.home()->accounts().isEmpty());
        QTRY_COMPARE(store.http()->inFlight(), 0);
        QCOMPARE(store.dataAt(), 1700000000.0);
        const auto shown = [&] {
            return QList<qsizetype>{store.stats()->members().size(), store.stats()->mirrors().size(), store.activity()->people().size(),
                                    store.members().size(), store.teamAccounts().size(), store.home()->accounts().size(),
                                    store.home()->telemetryOk(), store.name().size()};
        };
        const QList<qsizetype> before = shown();

        failing = true;
        if (refused)
            store.setServerUrl(FakeServer::refusedUrl());
        Clock::setFixed(1700000600);
        loadAll();
        QVERIFY(!store.stats()->loading()); // a reload over shown data shows no spinner
        QTRY_VERIFY_WITH_TIMEOUT(store.http()->inFlight() == 0, 5000);
        QVERIFY(!store.stats()->loading() && !store.activity()->loading() && !store.loadingMembers() && !store.loadingTeam()
                && !store.home()->loading());
        QCOMPARE(store.serverLost(), after == "lost");
        QCOMPARE(store.needsRelogin(), after == "expired");
        if (after == "dropped") {
            QVERIFY(store.stats()->members().isEmpty() && store.activity()->people().isEmpty() && store.members().isEmpty()
                    && store.teamAccounts().isEmpty());
            QCOMPARE(shown().mid(5), before.mid(5)); // the own gauges stay: the status call learns the role
            return;
        }
        QCOMPARE(shown(), before);
        QCOMPARE(store.dataAt(), 1700000000.0); // the time of what is shown, not of the failure

        // The server answers again: the mark goes, the time moves on; a sign-out leaves nothing.
        failing = false;
        store.setServerUrl(server.url());
        store.loadMembers();
        QTRY_VERIFY(!store.serverLost() && !store.needsRelogin());
        QCOMPARE(store.dataAt(), 1700000600.0);
        store.logOut();
        QVERIFY(store.members().isEmpty() && store.stats()->members().isEmpty() && store.dataAt() == 0);
    }

    // A viewer's own status answered 401 asks for a new sign-in (an administrator's write: below).
    void anyUnauthorisedAnswerAsksForSignIn()
    {
        FakeServer server;
        server.answer = [](const Request &) { return Reply::json({{"error", "unauthorized"}}, 401); };
        StoreFixture kit;
        Store &viewer = kit.signedIn(server.url(), "viewer");
        viewer.refreshHome();
        QTRY_VERIFY(viewer.needsRelogin());
    }

    // The first load over an empty screen shows its spinner, and every read counts as running
    // (the refresh buttons), until the exchange ends, even when the server never answers and
    // when the session that asked is over.
    void spinnersEndWhenNothingComesBack()
    {
        FakeServer server;
        server.answer = [](const Request &) { return Reply::silence(); };
        StoreFixture kit({.httpTimeoutMs = 300});
        Store &store = kit.signedIn(server.url());
        store.loadStats();
        store.loadActivity();
        store.loadMembers();
        QVERIFY(store.stats()->loading() && store.activity()->loading() && store.loadingMembers());
        QVERIFY(store.loadsRunning() >= 5);
        QTRY_VERIFY_WITH_TIMEOUT(!store.stats()->loading() && !store.activity()->loading() && !store.loadingMembers(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(store.loadsRunning(), 0, 5000);
        store.loadMembers();
        store.logOut();
        QTRY_COMPARE_WITH_TIMEOUT(store.loadsRunning(), 0, 5000);
    }

    // The Store applies a write's outcome (the rule itself is tested as a table in tst_writes):
    // the credential after a create, the toast and reload after a delete, expiry on a 401.
    void writesApplyTheirOutcome()
    {
        FakeServer server;
        server.on("POST", "/api/members", Reply::json({}));          // no login, no password named
        server.on("DELETE", "/api/members", Reply::empty(204));
        server.on("POST", "/api/registry", Reply::json({{"error", "unauthorized"}}, 401));
        StoreFixture kit;
        Store &store = kit.signedIn(server.url());
        std::optional<bool> created, saved;
        store.createMember("Анна", "anna", "viewer", {}, [&](bool ok) { created = ok; });
        QTRY_VERIFY(created.has_value());
        QVERIFY(*created);
        QCOMPARE(store.roster()->secret(), (QVariantMap{{"title", "Сотрудник создан"}, {"login", "anna"},
                                                    {"password", ""}, {"created", true}}));
        QVERIFY(server.waitFor("/api/members", 2)); // the roster reloads
        store.deleteMember("anna");
        QTRY_COMPARE(store.toast(), QString("Сотрудник удалён"));
        store.saveAccount({{"email", "a@x"}}, [&](bool ok) { saved = ok; });
        QTRY_VERIFY(saved.has_value());
        QVERIFY(!*saved);
        QVERIFY(store.authExpired() && store.needsRelogin());
        QCOMPARE(store.toast(), kSessionExpired);
        QCOMPARE(server.count("/api/accounts"), 0); // a failed save reloads nothing
    }

    // Own password: checked locally first, nothing sent.
    void changeMyPasswordRules()
    {
        FakeServer server;
        server.answer = [](const Request &) { return Reply::json({{"ok", true}}); };
        StoreFixture kit;
        Store &store = kit.signedIn(server.url());
        auto attempt = [&](const QString &cur, const QString &n, const QString &c) {
            std::optional<bool> r;
            store.changeMyPassword(cur, n, c, [&](bool ok) { r = ok; });
            [&] { QTRY_VERIFY(r.has_value()); }();
            return std::make_pair(*r, store.toast());
        };
        const auto tooShort = std::make_pair(false, QString("Новый пароль — минимум 8 символов"));
        QCOMPARE(attempt("right", "abcdefgh", "abcdefgX"), std::make_pair(false, QString("Пароли не совпадают")));
        QCOMPARE(attempt("", "abcdefgh", "abcdefgh"), tooShort);
        // Seven user-perceived characters, more than eight UTF-16 units.
        const QString flags = QString::fromUtf8("🇷🇺🇷🇺🇷🇺🇷🇺🇷🇺🇷🇺🇷🇺");
        QCOMPARE(attempt("right", flags, flags), tooShort);
        QCOMPARE(server.seen.size(), 0); // what is sent, the real server takes (tst_team_e2e)
    }

    // Identifiers and e-mails with spaces, "&", "=", "+" and Cyrillic arrive exactly as typed,
    // and add no parameters of their own.
    void identifiersReachTheServerIntact()
    {
        FakeServer server;
        server.answer = [](const Request &) { return Reply::json({{"ok", true}}); };
        StoreFixture kit;
        Store &store = kit.signedIn(server.url());
        const QString id = QStringLiteral("иван петров&role=admin+1");
        const QString email = QStringLiteral("a b+c&d=e@почта.рф");
        const QString provider = QStringLiteral("other&email=x");

        store.deleteMember(id);
        store.deleteAccount(provider, email);
        fetchBreakdownNow(store, "claude", email, "month");
        fetchBreakdownNow(store, provider, email, "week");
        store.memberAction("update", id, {{"active", false}});
        QTRY_COMPARE(server.seen.size() >= 5, true);

        const Request del = server.first("DELETE", "/api/members");
        QCOMPARE(del.query.size(), 1);
        QCOMPARE(del.q("id"), id);
        // On the wire a "+" is "%2B": a bare "+" would be read as a space by many servers.
        QVERIFY2(del.target.endsWith("%26role%3Dadmin%2B1"), del.target.constData());
        QVERIFY(!del.target.contains('+'));

        const Request reg = server.first("DELETE", "/api/registry");
        QVERIFY2(!reg.target.contains('+') && reg.target.contains("%2Bc%26d%3De"), reg.target.constData());
        QCOMPARE(reg.query.size(), 2);
        QCOMPARE(reg.q("provider"), provider);
        QCOMPARE(reg.q("email"), email);

        const QList<Request> bd = server.to("/api/accounts/breakdown");
        QCOMPARE(bd.size(), 2);
        QCOMPARE(bd[0].q("provider"), QString("claude"));
        QCOMPARE(bd[0].q("email"), email);
        QCOMPARE(bd[0].q("scope"), QString("month"));
        QCOMPARE(bd[0].q("metric"), QString("seven_day")); // also for the monthly window
        QCOMPARE(bd[1].q("provider"), provider);
        QCOMPARE(bd[1].query.size(), 4);
        QVERIFY(!bd[1].target.contains('+'));

        QTRY_VERIFY(!server.first("POST", "/api/members").path.isEmpty());
        const Request action = server.first("POST", "/api/members");
        QCOMPARE(action.json.value("id").toString(), id);
        QCOMPARE(action.json.value("action").toString(), QString("update"));
        QCOMPARE(action.json.value("active").toBool(true), false);
        QCOMPARE(action.auth, QByteArray("Bearer S1"));
    }

    // Write bodies: the fixed keys, then the caller's entries, which win on a clash.
    void writeBodies()
    {
        FakeServer server;
        server.answer = [](const Request &) { return Reply::json({{"ok", true}}); };
        StoreFixture kit;
        Store &store = kit.signedIn(server.url());
        store.createMember("Анна", "anna", "viewer", {{"department", "R&D"}, {"member_type", "contractor"}}, {});
        store.memberAction("reset_password", "anna", {{"id", "other"}});
        QVariantMap account{{"email", "a@x"}, {"price", QVariant::fromValue(nullptr)}, {"status", "hold"}};
        store.saveAccount(account, {});
        store.updateMe({{"note", "заметка"}}, {});
        QTRY_COMPARE(server.to("/api/registry").size(), 1);
        QTRY_COMPARE(server.to("/api/me").size() >= 1, true);
        // Requests may travel on parallel connections: find each by what it is.
        QHash<QString, QJsonObject> posts;
        for (const Request &s : server.seen)
            if (s.method == "POST")
                posts.insert(s.path + "/" + s.json.value("action").toString(), s.json);
        QCOMPARE(posts.size(), 4);
        QCOMPARE(posts.value("/api/members/create"),
                 (QJsonObject{{"action", "create"}, {"name", "Анна"}, {"login", "anna"}, {"role", "viewer"},
                              {"department", "R&D"}, {"member_type", "contractor"}}));
        QCOMPARE(posts.value("/api/members/reset_password"), (QJsonObject{{"action", "reset_password"}, {"id", "other"}}));
        QCOMPARE(posts.value("/api/registry/"), (QJsonObject{{"email", "a@x"}, {"price", QJsonValue::Null}, {"status", "hold"}}));
        QCOMPARE(posts.value("/api/me/"), (QJsonObject{{"note", "заметка"}})); // no "action" on the own profile
    }

    // The activity query: whole seconds, the range in days, and the zone's offset in minutes
    // west of UTC.
    void activityQuery_data()
    {
        QTest::addColumn<int>("range");
        QTest::addColumn<QTimeZone>("zone");
        QTest::addColumn<int>("tz");
        QTest::newRow("14 days, UTC+3") << 14 << QTimeZone("Europe/Moscow") << -180;
        QTest::newRow("7 days, UTC-5") << 7 << QTimeZone(-5 * 3600) << 300;
        QTest::newRow("30 days, UTC+5:45") << 30 << QTimeZone(5 * 3600 + 45 * 60) << -345;
        QTest::newRow("0 days reads as 7") << 0 << QTimeZone(0) << 0;
    }
    void activityQuery()
    {
        QFETCH(int, range);
        QFETCH(QTimeZone, zone);
        QFETCH(int, tz);
        FakeServer server;
        server.answer = [](const Request &s) { return adminData(s, "p"); };
        StoreFixture kit;
        Store &store = kit.signedIn(server.url());
        Clock::setFixed(1700000000.75);
        Clock::setZone(zone);
        store.setActRangeAndLoad(range);
        QTRY_COMPARE(server.seen.size(), 1);
        const Request &s = server.seen.first();
        QCOMPARE(s.q("to"), QString("1700000000"));
        QCOMPARE(s.q("from"), QString::number(1700000000LL - qint64(range > 0 ? range : 7) * 86400));
        QCOMPARE(s.q("tz"), QString::number(tz));
        QTRY_COMPARE(store.activity()->people().size(), 1);
    }

    // An answer that arrives after the user moved on is dropped: a load for a selection left
    // behind (whichever of the two answers comes first), a breakdown for another scope or account
    // or for a block already closed, a write whose form was closed and opened again.
    void lateAnswersAreDropped_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(lateCases().size()); ++i)
            QTest::newRow(lateCases()[i].name) << i;
    }
    void lateAnswersAreDropped()
    {
        QFETCH(int, row);
        const LateCase &c = lateCases()[row];
        FakeServer server;
        server.answer = [&](const Request &r) { return c.held(r, server) ? Reply::held() : adminData(r, {}); };
        StoreFixture kit;
        Store &store = kit.signedIn(server.url());
        Clock::setFixed(1700000000);
        const std::function<void()> check = c.moveOn(store, server);
        // Everything but the held answer has landed, then the held one comes.
        QTRY_VERIFY(server.heldCount() > 0 && store.http()->inFlight() <= server.heldCount());
        server.releaseAll(c.late);
        QTRY_COMPARE(store.http()->inFlight(), 0);
        check();
    }

    // The breakdown block's own texts (its segments are decode::segments, tested with the
    // decoders): the summary, the states while loading and when empty.
    void breakdownViewTexts()
    {
        FakeServer server;
        const QJsonObject answer{{"members", QJsonArray{QJsonObject{{"name", "p"}, {"pct_of_window", 5}}}},
                                 {"residual_pct_of_window", "12"}, {"observed_pct", 63.9},
                                 {"window", QJsonObject{{"resets_at", 1700000000}}}};
        bool failing = false;
        server.answer = [&](const Request &s) {
            if (failing)
                return Reply::html500();
            return s.q("email") == "none@x" ? Reply::json({}) : Reply::json(answer);
        };
        StoreFixture kit;
        kit.signedIn(server.url());
        BreakdownView view; // finds the application's Store by itself
        view.setProvider("claude");
        view.setEmail("a@x");
        view.load();
        QCOMPARE(view.stateText(), QString("считаю…"));
        QTRY_VERIFY(view.loaded());
        QCOMPARE(view.segs().size(), 2);
        QVERIFY(view.showResidualNote());
        QCOMPARE(view.stateText(), QString());
        // The summary truncates the observed share and adds the reset date and what is left.
        Clock::setFixed(1700000000 - 90 * 60);
        QCOMPARE(view.summary(), QString("доля недельного лимита · 63% использовано · сброс ")
                                     + fmt::dateShort(1700000000) + " · 1ч 30м");

        view.setEmail("none@x");
        QTRY_VERIFY(view.loaded() && view.segs().isEmpty());
        QCOMPARE(view.stateText(), QString("нет данных"));
        QVERIFY(!view.showResidualNote());
        QCOMPARE(view.summary(), QString("доля недельного лимита · 0% использовано")); // no reset part
        view.selectScope("month");
        QVERIFY(view.summary().startsWith("доля месячного лимита"));

        // A failed reload keeps the figures under a line that says how old they are; a failure
        // with nothing kept of this account and scope says so instead of "нет данных".
        Clock::setFixed(1700000000);
        view.setEmail("a@x");
        QTRY_VERIFY(view.loaded() && !view.segs().isEmpty());
        failing = true;
        view.load();
        QTRY_VERIFY(view.failed());
        QCOMPARE(view.segs().size(), 2);
        QCOMPARE(view.stateText(), QString());
        QCOMPARE(view.staleText(), "Нет связи с сервером · данные от " + fmt::timeSeen(1700000000));
        view.selectScope("week");
        QTRY_VERIFY(view.loaded());
        QVERIFY(view.failed() && view.segs().isEmpty() && view.staleText().isEmpty());
        QCOMPARE(view.stateText(), QString("Нет связи с сервером"));
    }
};

QTEST_MAIN(TestAdminFailures)
#include "tst_admin_failures.moc"
