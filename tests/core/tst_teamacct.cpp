// One account of "/api/accounts": every key read (strictly), the load order, the counts, and the
// fingerprint that decides when a table row redraws.
#include "core/teamacct.h"
#include "testjson.h"
#include "testmain.h"

#include <QMetaProperty>
#include <QSet>
#include <QTest>
#include <functional>
#include <limits>

namespace {

TeamAcct full() { return parseTeamAcct(obj(kFullAccount)); }

TeamAcct acct(const QString &email, bool tel, bool online, double seven)
{
    TeamAcct a;
    a.email = email;
    a.hasTelemetry = tel;
    a.online = online;
    a.sevenPct = seven;
    return a;
}

} // namespace

using Mutator = std::function<void(TeamAcct &)>;
Q_DECLARE_METATYPE(Mutator)

class TstTeamAcct : public QObject
{
    Q_OBJECT
private slots:
    void decodesEveryKey()
    {
        const TeamAcct e = parseTeamAcct(QJsonObject());
        TeamAcct blank; // every text empty, every number 0, every flag false
        blank.provider.clear();
        blank.status.clear();
        blank.extraUsagePct = 0;
        blank.rev = e.rev;
        QCOMPARE(fields(e, blank, false), QStringList({"id=claude:", "provider=claude", "status=active", "extraUsagePct=-1"}));
        QVERIFY(e.weeklyScoped.isEmpty() && e.liveSessions.isEmpty() && e.users.isEmpty() && e.devices.isEmpty());

        const TeamAcct a = full();
        QCOMPARE(fields(a, e, true), QStringList());
        QCOMPARE(fields(a.devices[0], Device(), true), QStringList());
        QCOMPARE(fields(a.liveSessions[0], LiveSession(), true), QStringList());
        QCOMPARE(fields(a.users[0], AcctUser(), true), QStringList());
        QCOMPARE(fields(a.weeklyScoped[0], ScopedModel(), true), QStringList());
        QCOMPARE(a.id(), QStringLiteral("deepseek:a@x.io"));
        QCOMPARE(QStringList({a.owner, a.status, a.authType}), QStringList({"Анна", "hold", "oauth"}));
        QCOMPARE(a.rev, a.computeRev());
        // A weekly entry without "model" and users without a name are dropped; sessions and devices never.
        QCOMPARE(a.weeklyScoped.size(), 2);
        QCOMPARE(a.users.size(), 2);
        QVERIFY(!a.users[1].online);
        QCOMPARE(a.liveSessions.size(), 3);
        QCOMPARE(a.devices.size(), 2);
        QCOMPARE(a.activeSessions().size(), 2);
        QCOMPARE(a.activeSessions()[1].project, QStringLiteral("p2"));
        // What QML reads.
        const QMetaObject &mo = TeamAcct::staticMetaObject;
        QCOMPARE(mo.property(mo.indexOfProperty("activeSessionsList")).readOnGadget(&a).toList().size(), 2);
        QCOMPARE(mo.property(mo.indexOfProperty("devicesList")).readOnGadget(&a).toList()[0].value<Device>().host,
                 QStringLiteral("h1"));
        // Nested records get fresh list ids on every load; the account's id stays.
        QVERIFY(a.devices[0].id != full().devices[0].id);
    }

    void strictKeys()
    {
        const auto p = [](const char *json) { return parseTeamAcct(obj(json)); };
        QCOMPARE(p(R"({"member_name": "", "member_id": "m1"})").owner, QStringLiteral("m1"));
        QCOMPARE(p(R"({"member_name": 5, "member_id": 7})").owner, QString());
        QCOMPARE(p(R"({"email": 5, "account_email": "b@x"})").email, QStringLiteral("b@x"));
        QCOMPARE(p(R"({"email": "", "account_email": "b@x"})").email, QString());
        QCOMPARE(p(R"({"provider": 5, "status": null})").id(), QStringLiteral("claude:"));
        QCOMPARE(p(R"({"provider": 5, "status": null})").status, QStringLiteral("active"));
        // Numbers are JSON numbers (or booleans), flags JSON booleans only.
        QCOMPARE(p(R"({"seven_day_pct": "80"})").sevenPct, 0.0);
        QCOMPARE(p(R"({"seven_day_pct": true})").sevenPct, 1.0);
        QCOMPARE(p(R"({"five_hour_burn": {"eta": "5"}})").burnEta, 0.0);
        QCOMPARE(p(R"({"devices": [{"cost_usd": "3"}]})").devices[0].cost, 0.0);
        const TeamAcct f = p(R"({"online": 1, "has_telemetry": "true", "live_sessions": [{"active": 1}],
                                 "users": [{"name": "x", "online": 1}]})");
        QVERIFY(!f.online && !f.hasTelemetry && !f.liveSessions[0].active && !f.users[0].online);
        // The limits object: its keys only there, "extra_usage_pct" absent as -1.
        QCOMPARE(p(R"({"limits": {"extra_usage_pct": "5"}})").extraUsagePct, -1.0);
        QCOMPARE(p(R"({"limits": {"extra_usage_pct": 0}})").extraUsagePct, 0.0);
        QCOMPARE(p(R"({"severity": "hot", "extra_usage_pct": 3})").severity, QString());
        // Nested arrays are all or nothing.
        const TeamAcct n = p(R"({"devices": [{"device_host": "h"}, 5], "live_sessions": [{}, null],
            "users": {"name": "x"}, "limits": {"weekly_scoped": [{"model": "o"}, "x"]}})");
        QVERIFY(n.devices.isEmpty() && n.liveSessions.isEmpty() && n.users.isEmpty() && n.weeklyScoped.isEmpty());
    }

    void orderAndCounts()
    {
        // Live (telemetry and online) first, then by seven-day use, then telemetry before none, else
        // server order. Forty accounts: an unstable sort keeps short lists in order anyway.
        QList<TeamAcct> l;
        for (int i = 0; i < 40; ++i)
            l << acct(QString::number(i), i % 2, false, i % 3 ? 50 : 60);
        l << acct("nan", true, false, std::numeric_limits<double>::quiet_NaN()) << acct("live10", true, true, 10)
          << acct("online only", false, true, 95) << acct("live80", true, true, 80);
        sortTeamAccounts(l);
        QStringList expect{"live80", "live10", "online only"};
        for (double pct : {60.0, 50.0})
            for (bool tel : {true, false})
                for (int i = 0; i < 40; ++i)
                    if ((i % 3 ? 50.0 : 60.0) == pct && bool(i % 2) == tel)
                        expect << QString::number(i);
        expect << "nan";
        QCOMPARE(pluck(l, &TeamAcct::email), expect);

        QCOMPARE(pluck(decodeTeamAccounts(obj(R"({"accounts": [{"email": "low", "seven_day_pct": 10},
            {"email": "high", "seven_day_pct": 99}]})")), &TeamAcct::email), QStringList({"high", "low"}));
        QVERIFY(decodeTeamAccounts(obj(R"({"accounts": [{"email": "a"}, 1]})")).isEmpty());

        QList<TeamAcct> c{acct("a", true, true, 90.0), acct("b", true, false, 89.99), acct("c", false, true, 150),
                          acct("d", false, false, 0)};
        c[0].cost = 1.5;
        c[2].cost = 2.25;
        const TeamCounts n = teamCounts(c);
        QCOMPARE(n.online, 1); // online without telemetry does not count
        QCOMPARE(n.withTelemetry, 2);
        QCOMPARE(n.hot, 2);    // 90 exactly and 150
        QCOMPARE(n.totalCost, 3.75);
    }

    // Every shown field of the account and of its nested records is in the fingerprint, so a list
    // row redraws when it changes; the fields the rows do not show are not, so it does not.
    void revCoversShownFields()
    {
        checkFields<TeamAcct>([](TeamAcct &a) { return &a; },
                              {"memberId", "currency", "payMethod", "renewDate", "ccProvider", "baseUrl"});
        checkFields<Device>([](TeamAcct &a) { return &a.devices[0]; }, {"version", "brRev"});
        checkFields<LiveSession>([](TeamAcct &a) { return &a.liveSessions[1]; }, {});
        checkFields<AcctUser>([](TeamAcct &a) { return &a.users[0]; }, {});
        checkFields<ScopedModel>([](TeamAcct &a) { return &a.weeklyScoped[1]; }, {});
    }

    void revFollowsListsNotIds_data()
    {
        QTest::addColumn<Mutator>("change");
        QTest::addColumn<bool>("changed");
        auto row = [](const char *name, Mutator m, bool changed) { QTest::newRow(name) << m << changed; };
        row("weekly removed", [](TeamAcct &a) { a.weeklyScoped.removeLast(); }, true);
        row("session added", [](TeamAcct &a) { a.liveSessions.append(LiveSession()); }, true);
        row("devices reordered", [](TeamAcct &a) { a.devices.swapItemsAt(0, 1); }, true);
        row("empty session moved to users",
            [](TeamAcct &a) { a.liveSessions.clear(); a.users.clear(); a.users.append(AcctUser()); }, true);
        row("text moved into the next field", [](TeamAcct &a) { a.owner += a.group.front(); a.group.remove(0, 1); }, true);
        row("two values swapped", [](TeamAcct &a) { std::swap(a.fivePct, a.sevenPct); }, true);
        row("nested ids", [](TeamAcct &a) { a.devices[0].id = QUuid::createUuid(); a.users[0].id = QUuid::createUuid(); }, false);
        row("zero of the other sign", [](TeamAcct &a) { a.cost = 0.0; a.price = -0.0; }, false);
        row("stale rev", [](TeamAcct &a) { a.rev = 42; }, false);
    }
    void revFollowsListsNotIds()
    {
        QFETCH(Mutator, change);
        QFETCH(bool, changed);
        TeamAcct base = full();
        base.cost = base.price = 0;
        base.rev = base.computeRev();
        TeamAcct a = base;
        change(a);
        QCOMPARE(a.computeRev() != base.rev, changed);
    }

    void revSeparatesNearIdenticalAccounts()
    {
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

private:
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
    template <typename R>
    static void checkFields(R *(*pick)(TeamAcct &), const QSet<QByteArray> &notShown)
    {
        const TeamAcct base = full();
        const QMetaObject &mo = R::staticMetaObject;
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
};

CORVANE_TEST_CLASS(TstTeamAcct)
#include "tst_teamacct.moc"
