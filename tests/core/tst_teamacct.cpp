#include "core/teamacct.h"
#include "testjson.h"

#include <QMetaProperty>
#include <QSet>
#include <QTest>
#include <functional>

namespace {

// (No "//" inside the raw JSON below: moc would read it as a comment.)
// An account with every field set to something non-default, nested lists included.
const char *FULL = R"({
  "email": "a@x.io", "provider": "Claude", "member_name": "Анна", "member_id": "m1",
  "group_name": "core", "status": "HOLD", "auth_type": "OAuth", "has_key": true,
  "has_monitor": true, "in_registry": true, "five_hour_pct": 41.5, "five_hour_resets_at": 1700000000,
  "seven_day_pct": 77, "seven_day_resets_at": 1700500000, "cost_usd": 12.25, "total_input": 1000,
  "total_output": 2000, "model": "claude-opus-4", "version": "2.0.150", "last_seen": 1699999999,
  "online": true, "has_telemetry": true,
  "limits": {"source": "oauth", "fetched_at": 1699990000, "severity": "warn", "extra_usage_pct": 12,
             "weekly_scoped": [{"model": "opus", "pct": 33}, {"pct": 5}, {"model": "sonnet", "pct": 10}]},
  "plan": "Max", "price": 200, "currency": "USD", "pay_method": "card", "renew_date": "2026-12-05",
  "notes": "n", "cc_provider": "zai", "base_url": "https:\/\/b", "five_hour_burn": {"eta": 1700001000},
  "live_sessions": [{"project": "p1", "person": "Анна", "model": "opus", "active": true}, {},
                    {"project": "p2", "active": true}],
  "users": [{"name": "Анна", "online": true}, {"online": true}, {"name": ""}, {"name": "Bob"}],
  "devices": [{"device_host": "h1", "os_user": "u", "person": "Анна", "model": "m", "version": "2.0.1",
               "br_rev": "r1", "project": "p", "five_hour_pct": 1, "seven_day_pct": 2, "cost_usd": 3,
               "last_seen": 4, "online": true}, {}]
})";

TeamAcct full() { return parseTeamAcct(obj(FULL)); }

TeamAcct acct(const QString &email, bool tel, bool online, double seven)
{
    TeamAcct a;
    a.email = email;
    a.hasTelemetry = tel;
    a.online = online;
    a.sevenPct = seven;
    return a;
}

QStringList emails(const QList<TeamAcct> &l)
{
    QStringList out;
    for (const TeamAcct &a : l)
        out << a.email;
    return out;
}

} // namespace

using Mutator = std::function<void(TeamAcct &)>;
Q_DECLARE_METATYPE(Mutator)

class TstTeamAcct : public QObject
{
    Q_OBJECT
private slots:
    void emptyObjectDefaults();
    void fullObjectDecodes();
    void textKindsAndFallbacks();
    void numbersAreStrict();
    void flagsAreStrict();
    void limitsObject();
    void nestedArraysAllOrNothing();
    void nestedIdsFreshTeamIdStable();
    void activeSessionsKeepOrder();
    void loadOrder();
    void loadOrderIsStable();
    void decodeAnswerShapes();
    void counts();
    void revStableAcrossLoads();
    void revCoversShownFields();
    void revFollowsListsNotIds_data();
    void revFollowsListsNotIds();
    void revIsByValueAndPositional();
    void gadgetPropertiesForQml();
};

void TstTeamAcct::emptyObjectDefaults()
{
    const TeamAcct a = parseTeamAcct(QJsonObject());
    QCOMPARE(a.provider, QStringLiteral("claude"));
    QCOMPARE(a.status, QStringLiteral("active"));
    QCOMPARE(a.id(), QStringLiteral("claude:"));
    for (const QString *s : {&a.email, &a.owner, &a.memberId, &a.group, &a.authType, &a.model, &a.version,
                             &a.limitsSource, &a.severity, &a.plan, &a.currency, &a.payMethod, &a.renewDate,
                             &a.notes, &a.ccProvider, &a.baseUrl})
        QVERIFY(s->isEmpty());
    for (double d : {a.fivePct, a.fiveReset, a.sevenPct, a.sevenReset, a.cost, a.tokensIn, a.tokensOut,
                     a.lastSeen, a.limitsFetchedAt, a.price, a.burnEta})
        QCOMPARE(d, 0.0);
    QCOMPARE(a.extraUsagePct, -1.0);
    QVERIFY(!a.hasKey && !a.hasMonitor && !a.inRegistry && !a.online && !a.hasTelemetry);
    QVERIFY(a.weeklyScoped.isEmpty() && a.liveSessions.isEmpty() && a.users.isEmpty() && a.devices.isEmpty());
    QCOMPARE(a.rev, a.computeRev());
}

void TstTeamAcct::fullObjectDecodes()
{
    const TeamAcct a = full();
    QCOMPARE(a.id(), QStringLiteral("claude:a@x.io"));
    QCOMPARE(a.owner, QStringLiteral("Анна"));
    QCOMPARE(a.status, QStringLiteral("hold"));
    QCOMPARE(a.authType, QStringLiteral("oauth"));
    QCOMPARE(a.sevenPct, 77.0);
    QCOMPARE(a.burnEta, 1700001000.0);
    QCOMPARE(a.limitsSource, QStringLiteral("oauth"));
    QCOMPARE(a.severity, QStringLiteral("warn"));
    QCOMPARE(a.extraUsagePct, 12.0);
    // A weekly entry without "model" and users without a name are dropped; sessions and devices never.
    QCOMPARE(a.weeklyScoped.size(), 2);
    QCOMPARE(a.weeklyScoped[1].model, QStringLiteral("sonnet"));
    QCOMPARE(a.users.size(), 2);
    QCOMPARE(a.users[1].name, QStringLiteral("Bob"));
    QVERIFY(!a.users[1].online);
    QCOMPARE(a.liveSessions.size(), 3);
    QVERIFY(a.liveSessions[1].project.isEmpty() && !a.liveSessions[1].active);
    QCOMPARE(a.devices.size(), 2);
    QCOMPARE(a.devices[0].host, QStringLiteral("h1"));
    QVERIFY(a.devices[0].online);
    QVERIFY(a.devices[1].host.isEmpty() && !a.devices[1].online);
}

void TstTeamAcct::textKindsAndFallbacks()
{
    QCOMPARE(parseTeamAcct(obj(R"({"member_name": "", "member_id": "m1"})")).owner, QStringLiteral("m1"));
    QCOMPARE(parseTeamAcct(obj(R"({"member_name": 5, "member_id": "m2"})")).owner, QStringLiteral("m2"));
    QCOMPARE(parseTeamAcct(obj(R"({"member_name": "", "member_id": 7})")).owner, QString());
    QCOMPARE(parseTeamAcct(obj(R"({"email": 5, "account_email": "b@x"})")).email, QStringLiteral("b@x"));
    QCOMPARE(parseTeamAcct(obj(R"({"account_email": "b@x"})")).email, QStringLiteral("b@x"));
    QCOMPARE(parseTeamAcct(obj(R"({"email": "", "account_email": "b@x"})")).email, QString());
    QCOMPARE(parseTeamAcct(obj(R"({"provider": "Claude", "status": "HOLD"})")).id(), QStringLiteral("claude:"));
    QCOMPARE(parseTeamAcct(obj(R"({"provider": 5, "status": null})")).provider, QStringLiteral("claude"));
    QCOMPARE(parseTeamAcct(obj(R"({"provider": 5, "status": null})")).status, QStringLiteral("active"));
    QCOMPARE(parseTeamAcct(obj(R"({"provider": "DeepSeek", "auth_type": "API_KEY"})")).provider,
             QStringLiteral("deepseek"));
    QCOMPARE(parseTeamAcct(obj(R"({"model": 4, "plan": ["x"]})")).model, QString());
}

void TstTeamAcct::numbersAreStrict()
{
    QCOMPARE(parseTeamAcct(obj(R"({"seven_day_pct": "80"})")).sevenPct, 0.0);
    QCOMPARE(parseTeamAcct(obj(R"({"seven_day_pct": true})")).sevenPct, 1.0);
    QCOMPARE(parseTeamAcct(obj(R"({"price": "200"})")).price, 0.0);
    QCOMPARE(parseTeamAcct(obj(R"({"cost_usd": null})")).cost, 0.0);
    QCOMPARE(parseTeamAcct(obj(R"({"five_hour_burn": {"eta": "5"}})")).burnEta, 0.0);
    QCOMPARE(parseTeamAcct(obj(R"({"five_hour_burn": 5})")).burnEta, 0.0);
    QCOMPARE(parseTeamAcct(obj(R"({"devices": [{"cost_usd": "3"}]})")).devices[0].cost, 0.0);
    QCOMPARE(parseTeamAcct(obj(R"({"limits": {"weekly_scoped": [{"model": "o", "pct": "9"}]}})"))
                 .weeklyScoped[0].pct, 0.0);
}

void TstTeamAcct::flagsAreStrict()
{
    const TeamAcct a = parseTeamAcct(obj(R"({"online": 1, "has_telemetry": "true", "has_key": 1,
        "live_sessions": [{"active": 1}], "users": [{"name": "x", "online": 1}]})"));
    QVERIFY(!a.online && !a.hasTelemetry && !a.hasKey);
    QVERIFY(!a.liveSessions[0].active);
    QVERIFY(!a.users[0].online);
}

void TstTeamAcct::limitsObject()
{
    QCOMPARE(parseTeamAcct(obj(R"({"limits": {"weekly_scoped": [{"model": "o"}]}})")).extraUsagePct, -1.0);
    QCOMPARE(parseTeamAcct(obj(R"({"limits": "x"})")).extraUsagePct, -1.0);
    QCOMPARE(parseTeamAcct(obj(R"({"limits": {"extra_usage_pct": "5"}})")).extraUsagePct, -1.0);
    QCOMPARE(parseTeamAcct(obj(R"({"limits": {"extra_usage_pct": 0}})")).extraUsagePct, 0.0);
    QCOMPARE(parseTeamAcct(obj(R"({"limits": [1]})")).weeklyScoped.size(), 0);
    // Keys of the limits object are not read from the top level.
    QCOMPARE(parseTeamAcct(obj(R"({"severity": "hot", "extra_usage_pct": 3})")).severity, QString());
}

void TstTeamAcct::nestedArraysAllOrNothing()
{
    const TeamAcct a = parseTeamAcct(obj(R"({"devices": [{"device_host": "h"}, 5],
        "live_sessions": [{}, null], "users": {"name": "x"},
        "limits": {"weekly_scoped": [{"model": "o"}, "x"]}})"));
    QVERIFY(a.devices.isEmpty());
    QVERIFY(a.liveSessions.isEmpty());
    QVERIFY(a.users.isEmpty());
    QVERIFY(a.weeklyScoped.isEmpty());
}

void TstTeamAcct::nestedIdsFreshTeamIdStable()
{
    const TeamAcct a = full(), b = full();
    QCOMPARE(a.id(), b.id());
    QVERIFY(a.devices[0].id != b.devices[0].id);
    QSet<QUuid> ids;
    for (const auto &x : a.devices) ids.insert(x.id);
    for (const auto &x : a.users) ids.insert(x.id);
    for (const auto &x : a.liveSessions) ids.insert(x.id);
    for (const auto &x : a.weeklyScoped) ids.insert(x.id);
    QCOMPARE(ids.size(), 2 + 2 + 3 + 2);
}

void TstTeamAcct::activeSessionsKeepOrder()
{
    const QList<LiveSession> act = full().activeSessions();
    QCOMPARE(act.size(), 2);
    QCOMPARE(act[0].project, QStringLiteral("p1"));
    QCOMPARE(act[1].project, QStringLiteral("p2"));
}

void TstTeamAcct::loadOrder()
{
    // D, C, B, A as sent; A live at 50, B not live at 95, C telemetry but offline at 70, D no telemetry at 70.
    QList<TeamAcct> l{acct("D", false, true, 70), acct("C", true, false, 70), acct("B", false, false, 95),
                      acct("A", true, true, 50)};
    sortTeamAccounts(l);
    QCOMPARE(emails(l), (QStringList{"A", "B", "C", "D"}));

    QList<TeamAcct> live{acct("x", true, true, 10), acct("y", true, true, 80)};
    sortTeamAccounts(live);
    QCOMPARE(emails(live), (QStringList{"y", "x"}));
}

void TstTeamAcct::loadOrderIsStable()
{
    QList<TeamAcct> l;
    for (int i = 0; i < 40; ++i)
        l << acct(QString::number(i), i % 2, false, i % 3 ? 50 : 60);
    sortTeamAccounts(l);
    // 60 % first, then within each percentage telemetry before none, else server order.
    QStringList expect;
    for (double pct : {60.0, 50.0})
        for (bool tel : {true, false})
            for (int i = 0; i < 40; ++i)
                if ((i % 3 ? 50.0 : 60.0) == pct && bool(i % 2) == tel)
                    expect << QString::number(i);
    QCOMPARE(emails(l), expect);
}

void TstTeamAcct::decodeAnswerShapes()
{
    QVERIFY(decodeTeamAccounts(obj(R"({"accounts": []})")).isEmpty());
    QVERIFY(decodeTeamAccounts(obj(R"({"error": "boom"})")).isEmpty());
    QVERIFY(decodeTeamAccounts(obj(R"({"accounts": {"email": "a"}})")).isEmpty());
    QVERIFY(decodeTeamAccounts(obj(R"({"accounts": [{"email": "a"}, 1]})")).isEmpty());
    const QList<TeamAcct> l = decodeTeamAccounts(obj(R"({"accounts": [
        {"email": "low", "seven_day_pct": 10}, {"email": "live", "online": true, "has_telemetry": true},
        {"email": "high", "seven_day_pct": 99}], "other": 1})"));
    QCOMPARE(emails(l), (QStringList{"live", "high", "low"}));
    for (const TeamAcct &a : l)
        QCOMPARE(a.rev, a.computeRev());
}

void TstTeamAcct::counts()
{
    QList<TeamAcct> l{acct("a", true, true, 90.0), acct("b", true, false, 89.99), acct("c", false, true, 150),
                      acct("d", false, false, 0)};
    l[0].cost = 1.5;
    l[2].cost = 2.25;
    const TeamCounts c = teamCounts(l);
    QCOMPARE(c.online, 1); // online without telemetry does not count
    QCOMPARE(c.withTelemetry, 2);
    QCOMPARE(c.hot, 2);    // 90 exactly and 150
    QCOMPARE(c.totalCost, 3.75);
    const TeamCounts z = teamCounts({});
    QCOMPARE(z.online + z.withTelemetry + z.hot, 0);
    QCOMPARE(z.totalCost, 0.0);
}

void TstTeamAcct::revStableAcrossLoads()
{
    // Nested records get fresh ids on every load; the fingerprint must not see them.
    QCOMPARE(full().rev, full().rev);
    QVERIFY(full().rev != parseTeamAcct(QJsonObject()).rev);
}

// Changes one property of a record: text grows, a flag flips, a number moves. False for what it
// does not change (ids, lists, read-only values).
static bool nudge(void *gadget, const QMetaProperty &p)
{
    QVariant v = p.readOnGadget(gadget);
    switch (v.typeId()) {
    case QMetaType::QString: v = v.toString() + u'x'; break;
    case QMetaType::Bool: v = !v.toBool(); break;
    case QMetaType::Double: v = v.toDouble() + 1; break;
    default: return false;
    }
    return p.writeOnGadget(gadget, v);
}

// Every shown field of the account and of its nested records is in the fingerprint, so a list
// row redraws when it changes; the fields the rows do not show are not, so it does not.
template <typename R>
static void checkFields(const QMetaObject &mo, R *(*pick)(TeamAcct &), const QSet<QByteArray> &notShown)
{
    const TeamAcct base = full();
    int nudged = 0;
    for (int i = mo.propertyOffset(); i < mo.propertyCount(); ++i) {
        TeamAcct a = base;
        const QByteArray name = mo.property(i).name();
        if (name == "rev" || !nudge(pick(a), mo.property(i)))
            continue;
        ++nudged;
        QVERIFY2((a.computeRev() == base.rev) == notShown.contains(name), name.constData());
    }
    QVERIFY(nudged >= 2);
}

void TstTeamAcct::revCoversShownFields()
{
    checkFields<TeamAcct>(TeamAcct::staticMetaObject, [](TeamAcct &a) { return &a; },
                          {"memberId", "currency", "payMethod", "renewDate", "ccProvider", "baseUrl"});
    checkFields<Device>(Device::staticMetaObject, [](TeamAcct &a) { return &a.devices[0]; }, {"version", "brRev"});
    checkFields<LiveSession>(LiveSession::staticMetaObject, [](TeamAcct &a) { return &a.liveSessions[1]; }, {});
    checkFields<AcctUser>(AcctUser::staticMetaObject, [](TeamAcct &a) { return &a.users[0]; }, {});
    checkFields<ScopedModel>(ScopedModel::staticMetaObject, [](TeamAcct &a) { return &a.weeklyScoped[1]; }, {});
}

void TstTeamAcct::revFollowsListsNotIds_data()
{
    QTest::addColumn<Mutator>("change");
    QTest::addColumn<bool>("changed");
    auto row = [](const char *name, Mutator m, bool changed) { QTest::newRow(name) << m << changed; };
    row("weekly removed", [](TeamAcct &a) { a.weeklyScoped.removeLast(); }, true);
    row("session added", [](TeamAcct &a) { a.liveSessions.append(LiveSession()); }, true);
    row("user removed", [](TeamAcct &a) { a.users.removeFirst(); }, true);
    row("devices reordered", [](TeamAcct &a) { a.devices.swapItemsAt(0, 1); }, true);
    row("empty session moved to users",
        [](TeamAcct &a) { a.liveSessions.clear(); a.users.clear(); a.users.append(AcctUser()); }, true);
    row("nested ids", [](TeamAcct &a) { a.devices[0].id = QUuid::createUuid(); a.users[0].id = QUuid::createUuid(); }, false);
    row("stale rev", [](TeamAcct &a) { a.rev = 42; }, false);
}

void TstTeamAcct::revFollowsListsNotIds()
{
    QFETCH(Mutator, change);
    QFETCH(bool, changed);
    const TeamAcct base = full();
    TeamAcct a = base;
    change(a);
    QCOMPARE(a.computeRev() != base.rev, changed);
}

void TstTeamAcct::revIsByValueAndPositional()
{
    TeamAcct a = full(), b = a;
    a.cost = 0.0;
    b.cost = -0.0;
    QCOMPARE(a.computeRev(), b.computeRev());
    // Text moving from one field into its neighbour is a change.
    a = full();
    b = a;
    a.owner = QStringLiteral("ab");
    a.group = QStringLiteral("c");
    b.owner = QStringLiteral("a");
    b.group = QStringLiteral("bc");
    QVERIFY(a.computeRev() != b.computeRev());
    // Swapping two values between fields is a change (a sum would not notice).
    a = full();
    b = a;
    a.fivePct = 10;
    a.sevenPct = 20;
    b.fivePct = 20;
    b.sevenPct = 10;
    QVERIFY(a.computeRev() != b.computeRev());
    // Many near-identical accounts all get different fingerprints.
    QSet<qint64> revs;
    TeamAcct c = full();
    for (int i = 0; i < 5000; ++i) {
        c.sevenPct = i;
        revs.insert(c.computeRev());
        c.tokensIn = i + 1;
        revs.insert(c.computeRev());
    }
    QCOMPARE(revs.size(), 10000);
}

void TstTeamAcct::gadgetPropertiesForQml()
{
    const TeamAcct a = full();
    const QMetaObject &mo = TeamAcct::staticMetaObject;
    auto read = [&](const char *name) { return mo.property(mo.indexOfProperty(name)).readOnGadget(&a); };
    QCOMPARE(read("id").toString(), QStringLiteral("claude:a@x.io"));
    QCOMPARE(read("activeSessionsList").toList().size(), 2);
    QCOMPARE(read("devicesList").toList()[0].value<Device>().host, QStringLiteral("h1"));
}

QTEST_GUILESS_MAIN(TstTeamAcct)
#include "tst_teamacct.moc"
