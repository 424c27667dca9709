// Administration loads and writes against a scripted server: what a viewer sends (nothing),
// what each failure leaves behind, which answers are dropped as stale, and that identifiers
// reach the server exactly as typed.
#include "core/clock.h"
#include "fakeserver.h"
#include "store/breakdownview.h"
#include "core/format.h"
#include "storekit.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

namespace {

const QString kSessionExpired = QStringLiteral("Сессия истекла — войди заново");

// A port nothing listens on.
QString refusedUrl()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

QJsonObject statsAnswer(const QString &who)
{
    return {{"members", QJsonArray{QJsonObject{{"member_id", who}, {"points", 5}}}},
            {"accounts", QJsonArray{QJsonObject{{"email", who + "@x"}, {"total_points", 5}}}},
            {"sources", QJsonArray{QJsonObject{{"source", "terminal"}, {"sessions", 3.9}}}}};
}

// One answer shape per path of the statistics screen, tagged so a test can tell loads apart.
Canned adminData(const Seen &s, const QString &tag)
{
    if (s.path == "/api/stats")
        return Canned::json(statsAnswer(tag + s.q("scope")));
    if (s.path == "/api/team/result")
        return Canned::json({{"members", QJsonArray{QJsonObject{{"name", tag}}}}});
    if (s.path == "/api/mirrors/limits")
        return Canned::json({{"mirrors", QJsonArray{QJsonObject{{"provider", "GLM"}, {"today_usd", 1}}}}});
    if (s.path == "/api/team/analytics")
        return Canned::json({{"people", QJsonArray{QJsonObject{{"name", tag + s.q("from")}}}}});
    if (s.path == "/api/members")
        return Canned::json({{"members", QJsonArray{QJsonObject{{"id", tag}}}}});
    if (s.path == "/api/accounts/breakdown")
        return Canned::json({{"members", QJsonArray{QJsonObject{{"name", tag + s.q("scope")}, {"pct_of_window", 40}}}},
                             {"residual_pct_of_window", 12}, {"observed_pct", 63.9}});
    return Canned::json({{"ok", true}});
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

// What a write left behind once it finished.
struct Outcome {
    std::optional<bool> result; // the Bool handed back, for writes that have one
    QString toast;
    bool authExpired = false;
    QVariantMap secret;
};

// The write families under test; each runs one call and says how to know it has finished.
enum class Write { Create, Update, Action, Reset, DeleteMember, UpdateMe, SaveAccount, DeleteAccount };

Outcome runWrite(Write w, const Canned &answer, bool refused = false)
{
    FakeServer server;
    server.answer = [answer](const Seen &s) {
        // The reloads that follow a write get a plain answer; only the write itself is scripted.
        if (s.method == "GET")
            return Canned::json({{"ok", true}});
        return answer;
    };
    StoreKit kit(400);
    Store &store = kit.signedIn(refused ? refusedUrl() : server.url());
    std::optional<bool> result;
    auto done = [&](bool ok) { result = ok; };
    switch (w) {
    case Write::Create: store.createMember("Анна", "anna", "viewer", {}, done); break;
    case Write::Update: store.updateMember("anna", {{"note", "x"}}, done); break;
    case Write::Action: store.memberAction("update", "anna", {{"active", false}}); break;
    case Write::Reset: store.memberAction("reset_password", "anna"); break;
    case Write::DeleteMember: store.deleteMember("anna"); break;
    case Write::UpdateMe: store.updateMe({{"note", "x"}}, done); break;
    case Write::SaveAccount: store.saveAccount({{"email", "a@x"}, {"provider", "claude"}}, done); break;
    case Write::DeleteAccount: store.deleteAccount("claude", "a@x"); break;
    }
    const bool hasResult = w == Write::Create || w == Write::Update || w == Write::UpdateMe || w == Write::SaveAccount;
    if (hasResult) {
        [&] { QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 5000); }();
    } else {
        [&] { QTRY_VERIFY_WITH_TIMEOUT(!store.toast().isEmpty() || store.authExpired()
                                           || !store.memberSecret().isEmpty(), 5000); }();
    }
    QTest::qWait(50); // anything else the write does lands now
    return {result, store.toast(), store.authExpired(), store.memberSecret()};
}

} // namespace

class TestAdminFailures : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Clock::reset(); }

    // A viewer's session: the administrator's loads send nothing and publish nothing.
    void viewerSendsNothing()
    {
        FakeServer server;
        server.answer = [](const Seen &s) { return adminData(s, "leak"); };
        StoreKit kit;
        Store &store = kit.signedIn(server.url(), "viewer");
        store.loadStats();
        store.setStatScopeAndLoad("month");
        store.loadActivity();
        store.setActRangeAndLoad(30);
        store.loadMembers();
        const Store::BreakdownResult b = fetchBreakdownNow(store, "claude", "a@x", "week");
        QTest::qWait(100);
        QVERIFY(server.seen.isEmpty());
        QVERIFY(b.rows.isEmpty());
        QVERIFY(store.statMembers().isEmpty() && store.resultMembers().isEmpty() && store.mirrors().isEmpty());
        QVERIFY(store.actPeople().isEmpty() && store.members().isEmpty());
        QVERIFY(!store.loadingStats() && !store.loadingActivity() && !store.loadingMembers());
    }

    // Loads in flight when the session passes to a viewer do not land in the viewer's screens,
    // and their spinners still end.
    void answersForAnAdministratorDoNotReachAViewer()
    {
        FakeServer server;
        server.answer = [](const Seen &s) { return adminData(s, "admin").later(300); };
        StoreKit kit;
        Store &store = kit.signedIn(server.url());
        store.loadStats();
        store.loadActivity();
        store.loadMembers();
        QVERIFY(store.loadingStats() && store.loadingActivity() && store.loadingMembers());
        QTRY_COMPARE(server.seen.size(), 5);
        store.setRole("viewer");
        QTest::qWait(500);
        QVERIFY(store.statMembers().isEmpty() && store.actPeople().isEmpty() && store.members().isEmpty());
        QVERIFY(!store.loadingStats() && !store.loadingActivity() && !store.loadingMembers());
    }

    // Every loader over a failed exchange: its lists are emptied (a failed load replaces what was
    // shown), no spinner stays on, and none of them marks the session expired.
    void loadersOnFailure_data()
    {
        QTest::addColumn<Canned>("answer");
        QTest::addColumn<bool>("refused");
        QTest::newRow("401") << Canned::json({{"error", "unauthorized"}}, 401) << false;
        QTest::newRow("500 html") << Canned::html500() << false;
        QTest::newRow("json array") << Canned::array() << false;
        QTest::newRow("empty body") << Canned::empty() << false;
        QTest::newRow("no answer") << Canned::silence() << false;
        QTest::newRow("refused") << Canned() << true;
    }
    void loadersOnFailure()
    {
        QFETCH(Canned, answer);
        QFETCH(bool, refused);
        FakeServer server;
        bool failing = false;
        server.answer = [&](const Seen &s) { return failing ? answer : adminData(s, "ok"); };
        StoreKit kit(400);
        Store &store = kit.signedIn(server.url());
        store.loadStats();
        store.loadActivity();
        store.loadMembers();
        QTRY_VERIFY(!store.statMembers().isEmpty() && !store.mirrors().isEmpty() && !store.actPeople().isEmpty()
                    && !store.members().isEmpty());

        failing = true;
        if (refused)
            store.setServerUrl(refusedUrl());
        QSignalSpy statsDone(&store, &Store::loadingStatsChanged);
        QSignalSpy actDone(&store, &Store::actPeopleChanged);
        QSignalSpy membersDone(&store, &Store::membersChanged);
        store.loadStats();
        store.loadActivity();
        store.loadMembers();
        QVERIFY(!store.loadingStats()); // a reload over shown data shows no spinner
        QTRY_VERIFY_WITH_TIMEOUT(statsDone.size() >= 1 && actDone.size() == 1 && membersDone.size() == 1, 5000);
        QTRY_VERIFY(store.statMembers().isEmpty());
        QVERIFY(store.statAccounts().isEmpty() && store.statSources().isEmpty());
        QVERIFY(store.resultMembers().isEmpty() && store.mirrors().isEmpty());
        QVERIFY(store.actPeople().isEmpty() && store.members().isEmpty());
        QVERIFY(!store.loadingStats() && !store.loadingActivity() && !store.loadingMembers());
        QVERIFY(!store.authExpired());

        const Store::BreakdownResult b = fetchBreakdownNow(store, "claude", "a@x", "week");
        QVERIFY(b.rows.isEmpty());
        QCOMPARE(b.residualPct, 0.0);
        QVERIFY(!store.authExpired());
    }

    // The first load over an empty screen shows its spinner until the exchange ends, even when
    // the server never answers.
    void spinnersEndWhenNothingComesBack()
    {
        FakeServer server;
        server.answer = [](const Seen &) { return Canned::silence(); };
        StoreKit kit(300);
        Store &store = kit.signedIn(server.url());
        store.loadStats();
        store.loadActivity();
        store.loadMembers();
        QVERIFY(store.loadingStats() && store.loadingActivity() && store.loadingMembers());
        QTRY_VERIFY_WITH_TIMEOUT(!store.loadingStats() && !store.loadingActivity() && !store.loadingMembers(), 5000);
    }

    // Writes: a write is reported done only when the server took it; each failure reads as its
    // own message, and 401 marks the session expired.
    void writeOutcomes_data()
    {
        QTest::addColumn<int>("write");
        QTest::addColumn<Canned>("answer");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<int>("result"); // -1 none, 0 false, 1 true
        QTest::addColumn<QString>("toast");
        QTest::addColumn<bool>("expired");

        const Canned u401 = Canned::json({{"error", "unauthorized"}}, 401);
        const Canned taken = Canned::json({{"ok", false}, {"error", "логин занят"}}, 409);
        const Canned numeric = Canned::json({{"ok", false}, {"error", 42}}, 422);
        const Canned html = Canned::html500();
        const Canned quiet = Canned::silence();
        auto row = [](const char *name, Write w, Canned c, bool refused, int result, QString toast, bool expired) {
            QTest::newRow(name) << int(w) << c << refused << result << toast << expired;
        };

        row("create 401", Write::Create, u401, false, 0, "", true);
        row("create refused text", Write::Create, taken, false, 0, "логин занят", false);
        row("create numeric error", Write::Create, numeric, false, 0, "Ошибка", false);
        row("create 500 html", Write::Create, html, false, 0, "Ошибка", false);
        row("create no answer", Write::Create, quiet, false, 0, "", false);
        row("create ok false but 200", Write::Create, Canned::json({{"ok", false}}), false, 1, "", false);
        row("create ok true but 500", Write::Create, Canned::json({{"ok", true}}, 500), false, 1, "", false);

        row("update 401", Write::Update, u401, false, 0, "", true);
        row("update refused text", Write::Update, taken, false, 0, "логин занят", false);
        row("update 500 html", Write::Update, html, false, 0, "Ошибка", false);
        row("update unreachable", Write::Update, Canned(), true, 0, "", false);
        row("update json array 200", Write::Update, Canned::array(), false, 1, "Сохранено ✓", false);

        row("action 401", Write::Action, u401, false, -1, kSessionExpired, true);
        row("action refused text", Write::Action, taken, false, -1, "логин занят", false);
        row("action 500 html", Write::Action, html, false, -1, "Ошибка", false);
        row("action no answer", Write::Action, quiet, false, -1, "Ошибка сети", false);
        row("action unreachable", Write::Action, Canned(), true, -1, "Ошибка сети", false);
        row("action done", Write::Action, Canned::json({{"ok", true}}), false, -1, "Готово", false);
        // A refused reset hands out no credential, whatever the body carries.
        row("reset 500 with password", Write::Reset, Canned::json({{"password", "p"}}, 500), false, -1, "Ошибка", false);
        row("reset without password", Write::Reset, Canned::json({{"ok", true}}), false, -1, "Готово", false);

        row("delete member 401", Write::DeleteMember, u401, false, -1, "Не удалось удалить", false);
        row("delete member 500", Write::DeleteMember, html, false, -1, "Не удалось удалить", false);
        row("delete member unreachable", Write::DeleteMember, Canned(), true, -1, "Не удалось удалить", false);
        row("delete member done", Write::DeleteMember, Canned::empty(204), false, -1, "Сотрудник удалён", false);

        row("update me 401", Write::UpdateMe, u401, false, 0, "", true);
        row("update me refused", Write::UpdateMe, numeric, false, 0, "Ошибка", false);
        row("update me no answer", Write::UpdateMe, quiet, false, 0, "", false);

        row("save 401", Write::SaveAccount, u401, false, 0, kSessionExpired, true);
        row("save 500 html", Write::SaveAccount, html, false, 0, "Ошибка сохранения (код 500)", false);
        row("save 409 text", Write::SaveAccount, taken, false, 0, "Ошибка сохранения (код 409): логин занят", false);
        row("save 422 numeric", Write::SaveAccount, numeric, false, 0, "Ошибка сохранения (код 422)", false);
        row("save no answer", Write::SaveAccount, quiet, false, 0, "Ошибка сети", false);
        row("save 201", Write::SaveAccount, Canned::json({}, 201), false, 1, "Сохранено ✓", false);
        row("save 400 ok true", Write::SaveAccount, Canned::json({{"ok", true}}, 400), false, 1, "Сохранено ✓", false);

        row("delete account 401", Write::DeleteAccount, u401, false, -1, "", true);
        row("delete account 500", Write::DeleteAccount, html, false, -1, "Не удалось удалить", false);
        row("delete account no answer", Write::DeleteAccount, quiet, false, -1, "Не удалось удалить", false);
        row("delete account done", Write::DeleteAccount, Canned::json({{"ok", true}}), false, -1, "Удалено", false);
    }
    void writeOutcomes()
    {
        QFETCH(int, write);
        QFETCH(Canned, answer);
        QFETCH(bool, refused);
        QFETCH(int, result);
        QFETCH(QString, toast);
        QFETCH(bool, expired);
        const Write w = Write(write);
        const Outcome o = runWrite(w, answer, refused);
        QCOMPARE(o.result.has_value(), result >= 0);
        if (o.result)
            QCOMPARE(*o.result, result == 1);
        if (w == Write::Create && result == 1) {
            // The credential shows what was sent when the answer names none.
            QCOMPARE(o.secret.value("login").toString(), QString("anna"));
            QCOMPARE(o.secret.value("password").toString(), QString());
            QCOMPARE(o.secret.value("created").toBool(), true);
        } else {
            QCOMPARE(o.toast, toast);
            QVERIFY(o.secret.isEmpty());
        }
        QCOMPARE(o.authExpired, expired);
    }

    // The Bool of a write reaches QML through its signal as well as the C++ callback.
    void doneSignalsCarryTheResult()
    {
        FakeServer server;
        server.answer = [](const Seen &s) {
            return s.path == "/api/registry" ? Canned::json({{"error", "no"}}, 400) : Canned::json({{"ok", true}});
        };
        StoreKit kit;
        Store &store = kit.signedIn(server.url());
        QSignalSpy saved(&store, &Store::saveAccountDone);
        QSignalSpy updated(&store, &Store::updateMemberDone);
        QSignalSpy password(&store, &Store::changeMyPasswordDone);
        store.saveAccount(QVariantMap{{"email", "a@x"}});
        store.updateMember("anna", QVariantMap{{"note", "n"}});
        store.changeMyPassword("", "short", "short");
        QTRY_VERIFY(saved.size() == 1 && updated.size() == 1 && password.size() == 1);
        QCOMPARE(saved.at(0).at(0).toBool(), false);
        QCOMPARE(updated.at(0).at(0).toBool(), true);
        QCOMPARE(password.at(0).at(0).toBool(), false);
    }

    // Own password: checked locally first, then a refusal of any kind reads the same.
    void changeMyPasswordRules()
    {
        FakeServer server;
        server.answer = [](const Seen &s) {
            return Canned::json({{"ok", s.body.value("current_password").toString() == "right"}}, 200);
        };
        StoreKit kit;
        Store &store = kit.signedIn(server.url());
        auto attempt = [&](const QString &cur, const QString &n, const QString &c) {
            std::optional<bool> r;
            store.changeMyPassword(cur, n, c, [&](bool ok) { r = ok; });
            [&] { QTRY_VERIFY(r.has_value()); }();
            return std::make_pair(*r, store.toast());
        };
        QCOMPARE(attempt("right", "abcdefgh", "abcdefgX"), std::make_pair(false, QString("Пароли не совпадают")));
        QCOMPARE(attempt("", "abcdefg", "abcdefg"), std::make_pair(false, QString("Новый пароль — минимум 8 символов")));
        QCOMPARE(attempt("", "abcdefgh", "abcdefgh"), std::make_pair(false, QString("Новый пароль — минимум 8 символов")));
        // Seven user-perceived characters, more than eight UTF-16 units.
        const QString flags = QString::fromUtf8("🇷🇺🇷🇺🇷🇺🇷🇺🇷🇺🇷🇺🇷🇺");
        QCOMPARE(attempt("right", flags, flags), std::make_pair(false, QString("Новый пароль — минимум 8 символов")));
        QCOMPARE(server.seen.size(), 0);
        QCOMPARE(attempt("wrong", "abcdefgh", "abcdefgh"),
                 std::make_pair(false, QString("Не удалось сменить пароль (проверь текущий)")));
        QCOMPARE(attempt("right", "abcdefgh", "abcdefgh"), std::make_pair(true, QString("Пароль изменён")));
        QCOMPARE(server.seen.size(), 2);
        const Seen &sent = server.seen.last();
        QCOMPARE(sent.path, QString("/api/member/change-password"));
        QVERIFY(sent.auth.isEmpty()); // the current password is the credential here
        QCOMPARE(sent.body.value("login").toString(), QString("tester"));
        QCOMPARE(sent.body.value("new_password").toString(), QString("abcdefgh"));
        store.setServerUrl(refusedUrl());
        QCOMPARE(attempt("right", "abcdefgh", "abcdefgh"),
                 std::make_pair(false, QString("Не удалось сменить пароль (проверь текущий)")));
    }

    // Identifiers and e-mails with spaces, "&", "=", "+" and Cyrillic arrive exactly as typed,
    // and add no parameters of their own.
    void identifiersReachTheServerIntact()
    {
        FakeServer server;
        server.answer = [](const Seen &) { return Canned::json({{"ok", true}}); };
        StoreKit kit;
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

        const Seen del = server.first("DELETE", "/api/members");
        QCOMPARE(del.query.size(), 1);
        QCOMPARE(del.q("id"), id);

        const Seen reg = server.first("DELETE", "/api/registry");
        QCOMPARE(reg.query.size(), 2);
        QCOMPARE(reg.q("provider"), provider);
        QCOMPARE(reg.q("email"), email);

        const QList<Seen> bd = server.requestsTo("/api/accounts/breakdown");
        QCOMPARE(bd.size(), 2);
        QCOMPARE(bd[0].q("provider"), QString("claude"));
        QCOMPARE(bd[0].q("email"), email);
        QCOMPARE(bd[0].q("scope"), QString("month"));
        QCOMPARE(bd[0].q("metric"), QString("seven_day")); // also for the monthly window
        QCOMPARE(bd[1].q("provider"), provider);
        QCOMPARE(bd[1].query.size(), 4);

        QTRY_VERIFY(!server.first("POST", "/api/members").path.isEmpty());
        const Seen action = server.first("POST", "/api/members");
        QCOMPARE(action.body.value("id").toString(), id);
        QCOMPARE(action.body.value("action").toString(), QString("update"));
        QCOMPARE(action.body.value("active").toBool(true), false);
        QCOMPARE(action.auth, QByteArray("Bearer test-session"));
    }

    // Write bodies: the fixed keys, then the caller's entries, which win on a clash.
    void writeBodies()
    {
        FakeServer server;
        server.answer = [](const Seen &) { return Canned::json({{"ok", true}}); };
        StoreKit kit;
        Store &store = kit.signedIn(server.url());
        store.createMember("Анна", "anna", "viewer", {{"department", "R&D"}, {"member_type", "contractor"}}, {});
        store.memberAction("reset_password", "anna", {{"id", "other"}});
        QVariantMap account{{"email", "a@x"}, {"price", QVariant::fromValue(nullptr)}, {"status", "hold"}};
        store.saveAccount(account, {});
        store.updateMe({{"note", "заметка"}}, {});
        QTRY_COMPARE(server.requestsTo("/api/registry").size(), 1);
        QTRY_COMPARE(server.requestsTo("/api/me").size() >= 1, true);
        // Requests may travel on parallel connections: find each by what it is.
        QHash<QString, QJsonObject> posts;
        for (const Seen &s : server.seen)
            if (s.method == "POST")
                posts.insert(s.path + "/" + s.body.value("action").toString(), s.body);
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
        server.answer = [](const Seen &s) { return adminData(s, "p"); };
        StoreKit kit;
        Store &store = kit.signedIn(server.url());
        Clock::setFixed(1700000000.75);
        Clock::setZone(zone);
        store.setActRangeAndLoad(range);
        QTRY_COMPARE(server.seen.size(), 1);
        const Seen &s = server.seen.first();
        QCOMPARE(s.q("to"), QString("1700000000"));
        QCOMPARE(s.q("from"), QString::number(1700000000LL - qint64(range > 0 ? range : 7) * 86400));
        QCOMPARE(s.q("tz"), QString::number(tz));
        QTRY_COMPARE(store.actPeople().size(), 1);
    }

    // An answer for a selection the user has already left is dropped; the newest one stays.
    void staleAnswersAreDropped()
    {
        FakeServer server;
        server.answer = [](const Seen &s) {
            const bool old = s.q("scope") == "week" || s.path == "/api/team/result" || s.path == "/api/mirrors/limits"
                || (s.path == "/api/team/analytics" && s.q("to").toLongLong() - s.q("from").toLongLong() == 7 * 86400);
            return old ? adminData(s, "old").later(400) : adminData(s, "new");
        };
        StoreKit kit;
        Store &store = kit.signedIn(server.url());
        Clock::setFixed(1700000000);
        store.loadStats();
        store.setStatScopeAndLoad("month");
        store.setStatScopeAndLoad("month"); // the same scope again asks nothing
        store.loadActivity();
        store.setActRangeAndLoad(30);
        QTRY_COMPARE(server.seen.size(), 8);
        QTest::qWait(700);
        QCOMPARE(store.statMembers().value(0).memberId, QString("newmonth"));
        QCOMPARE(store.actPeople().value(0).name, QString("new") + QString::number(1700000000 - 30 * 86400));
        QVERIFY(!store.loadingStats() && !store.loadingActivity());

        BreakdownView view;
        view.setStore(&store);
        view.setProvider("claude");
        view.setEmail("a@x");
        view.load();             // week, answered late
        view.selectScope("month");
        QVERIFY(!view.loaded());
        QTRY_VERIFY(view.loaded());
        QTest::qWait(600);
        QCOMPARE(view.scope(), QString("month"));
        QCOMPARE(view.rows().value(0).name, QString("newmonth"));
    }

    // The breakdown block: segments in colour order with the residual last, and the empty state.
    void breakdownViewSegments()
    {
        FakeServer server;
        QJsonArray nine;
        for (int i = 0; i < 9; ++i)
            nine.append(QJsonObject{{"name", QString("p%1").arg(i)}, {"pct_of_window", i}});
        QJsonObject answer{{"members", nine}, {"residual_pct_of_window", "12"}, {"observed_pct", 63.9},
                           {"window", QJsonObject{{"resets_at", 1700000000}}}};
        server.answer = [&](const Seen &s) {
            return s.q("email") == "none@x" ? Canned::json({}) : Canned::json(answer);
        };
        StoreKit kit;
        kit.signedIn(server.url());
        BreakdownView view; // finds the application's Store by itself
        view.setProvider("claude");
        view.setEmail("a@x");
        view.load();
        QTRY_VERIFY(view.loaded());
        const QVariantList segs = view.segs();
        QCOMPARE(segs.size(), 10);
        QCOMPARE(segs[0].toMap().value("color").toString(), QString("#8B7FE8"));
        QCOMPARE(segs[8].toMap().value("color").toString(), QString("#8B7FE8")); // the ninth repeats the first
        QCOMPARE(segs[9].toMap().value("name").toString(), QString("app / браузер"));
        QCOMPARE(segs[9].toMap().value("pct").toDouble(), 12.0);
        QCOMPARE(view.observed(), 63.9);
        QCOMPARE(view.resetsAt(), 1700000000.0);
        // The summary truncates the observed share and adds the reset date and what is left.
        Clock::setFixed(1700000000 - 90 * 60);
        QCOMPARE(view.summary(), QString("доля недельного лимита · 63% использовано · сброс ")
                                     + fmt::dateShort(1700000000) + " · 1ч 30м");
        Clock::reset();
        QVERIFY(view.showResidualNote());
        QCOMPARE(view.stateText(), QString());

        BreakdownView empty;
        empty.setProvider("claude");
        empty.setEmail("none@x");
        empty.load();
        QCOMPARE(empty.stateText(), QString("считаю…"));
        QTRY_VERIFY(empty.loaded());
        QVERIFY(empty.segs().isEmpty());
        QCOMPARE(empty.stateText(), QString("нет данных"));
        QVERIFY(!empty.showResidualNote());   // a residual of 0.05 or less is no segment either
        QCOMPARE(empty.summary(), QString("доля недельного лимита · 0% использовано")); // no reset part
        empty.selectScope("month");
        QVERIFY(empty.summary().startsWith("доля месячного лимита"));
    }

    void memberSecretMessageTexts()
    {
        const QString created = Store::memberSecretMessage(true, "anna", "pw1", "https://team.example");
        QVERIFY(created.startsWith("Доступ к Corvane Studio\n\n1. Скачай приложение:\n   https://team.example/\n"
                                   "2. Установи и открой.\n3. Войди:\n   логин: anna\n   пароль: pw1\n\n"));
        QVERIFY(created.endsWith("(статуслайн, лимиты, телеметрия)."));
        QCOMPARE(Store::memberSecretMessage(false, "anna", "pw2", "https://team.example"),
                 QString("Новый пароль для Corvane Studio\n\nЛогин: anna\nПароль: pw2\n\nОткрой приложение и войди заново."));
    }

    void toggleExpanded()
    {
        StoreKit kit;
        kit->toggleExpanded("a");
        kit->toggleExpanded("b");
        kit->toggleExpanded("a");
        QCOMPARE(kit->expandedAccounts(), QStringList{"b"});
    }
};

QTEST_MAIN(TestAdminFailures)
#include "tst_admin_failures.moc"
