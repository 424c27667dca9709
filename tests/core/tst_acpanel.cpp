// The AI resources table's rules over crafted accounts: filters, every sort key both ways with
// ties, grouping by owner, provider counts, the top weekly model, column widths and header clicks;
// the text keys of every choice enum.
#include "core/acpanel.h"
#include "testjson.h"
#include "testmain.h"

#include <QMetaEnum>
#include <QSet>
#include <QTest>

using namespace acpanel;

namespace {

Ac::Sort sortOf(const QString &key) { return keys::fromKey<Ac::Sort>(key).value(); }

// Every value of the enum reaches its key and comes back from it; a key of no value is none.
template <class E>
void roundTrip()
{
    const QMetaEnum meta = QMetaEnum::fromType<E>();
    QSet<QString> seen;
    for (int i = 0; i < meta.keyCount(); ++i) {
        const E v = E(meta.value(i));
        const QString key = keys::toKey(v);
        QVERIFY2(!key.isEmpty() && !seen.contains(key), meta.key(i));
        seen.insert(key);
        QCOMPARE(keys::fromKey<E>(key), std::optional<E>(v));
    }
    QCOMPARE(keys::fromKey<E>(u"bogus"), std::nullopt);
    QCOMPARE(keys::fromKey<E>(u""), std::nullopt);
}

// A compact account: "email provider status owner group five seven cost lastSeen online"
// plus optional users and weekly models.
struct Spec {
    QString email{}, provider = QStringLiteral("claude"), status = QStringLiteral("active"), owner{}, group{};
    double five = 0, seven = 0, cost = 0, lastSeen = 0, reset5 = 0, reset7 = 0, eta = 0;
    bool online = false;
    QStringList users{};
    QList<QPair<QString, double>> models{};
};

TeamAcct make(const Spec &s)
{
    TeamAcct a;
    a.email = s.email;
    a.provider = s.provider;
    a.status = s.status;
    a.owner = s.owner;
    a.group = s.group;
    a.fivePct = s.five;
    a.sevenPct = s.seven;
    a.cost = s.cost;
    a.lastSeen = s.lastSeen;
    a.fiveReset = s.reset5;
    a.sevenReset = s.reset7;
    a.burnEta = s.eta;
    a.online = s.online;
    for (const QString &u : s.users) {
        AcctUser user;
        user.name = u;
        a.users << user;
    }
    for (const auto &[m, p] : s.models) {
        ScopedModel sm;
        sm.model = m;
        sm.pct = p;
        a.weeklyScoped << sm;
    }
    a.rev = a.computeRev();
    return a;
}

// Four accounts loaded as d, c, a, C: in every column a is lowest, d highest, and c and C tie
// (the texts differ only in case), so the tie must keep the load order c, C both ways.
QList<TeamAcct> tieTeam()
{
    QList<TeamAcct> l;
    l << make({.email = "d@x", .provider = "qwen", .status = "paused", .owner = "Яна", .group = "ZZ",
               .five = 90, .seven = 90, .cost = 30, .lastSeen = 300, .reset5 = 3000, .reset7 = 30000, .eta = 2999,
               .users = {"Юра"}, .models = {{"m", 90}}});
    l << make({.email = "c@x", .provider = "gemini", .status = "hold", .owner = "Иван", .group = "DEV",
               .five = 50, .seven = 50, .cost = 20, .lastSeen = 200, .reset5 = 2000, .reset7 = 20000, .eta = 1999,
               .users = {"Боря"}, .models = {{"m", 50}}});
    l << make({.email = "a@x", .provider = "claude", .status = "active", .owner = "Анна", .group = "AA",
               .five = 10, .seven = 10, .cost = 10, .lastSeen = 100, .reset5 = 1000, .reset7 = 10000, .eta = 999,
               .users = {"Алла"}, .models = {{"m", 10}}});
    l << make({.email = "C@X", .provider = "gemini", .status = "HOLD", .owner = "Иван", .group = "DEV",
               .five = 50, .seven = 50, .cost = 20, .lastSeen = 200, .reset5 = 2000, .reset7 = 20000, .eta = 1999,
               .users = {"боря"}, .models = {{"m", 50}}});
    return l;
}

} // namespace

class TstAcPanel : public QObject
{
    Q_OBJECT
private slots:
    void filters_data()
    {
        QTest::addColumn<QString>("prov");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no filter") << "" << "all" << "" << "a1 u1 p1 h1";
        QTest::newRow("unknown provider counts as other") << "other" << "all" << "" << "u1";
        QTest::newRow("known provider") << "claude" << "all" << "" << "a1 p1 h1";
        QTest::newRow("status exact: a third word is not active") << "" << "active" << "" << "a1 u1";
        QTest::newRow("status hold") << "" << "hold" << "" << "h1";
        QTest::newRow("status all shows the third word") << "" << "all" << "p1@" << "p1";
        QTest::newRow("query in email, any case") << "" << "all" << "A1@" << "a1";
        QTest::newRow("query in owner, Cyrillic case") << "" << "all" << "иВАН" << "u1";
        QTest::newRow("query in group") << "" << "all" << "ops" << "p1 h1";
        QTest::newRow("query across fields does not join them") << "" << "all" << "x.ioops" << "";
        QTest::newRow("all three") << "claude" << "hold" << "ops" << "h1";
    }
    void filters()
    {
        QFETCH(QString, prov);
        QFETCH(QString, status);
        QFETCH(QString, query);
        const QList<TeamAcct> team{
            make({.email = "a1@x.io", .owner = "Анна", .group = "DEV"}),
            make({.email = "u1@x.io", .provider = "mistral", .owner = "Иван"}),
            make({.email = "p1@x.io", .status = "paused", .group = "OPS"}),
            make({.email = "h1@x.io", .status = "hold", .group = "ops"}),
        };
        QStringList got;
        const Filter f{prov, keys::fromKey<Ac::StatusFilter>(status).value(), query};
        for (const TeamAcct &a : filteredSorted(team, f, {Ac::Sort::Seven, false}))
            got << a.email.section('@', 0, 0);
        // Seven-day use is 0 for all: load order.
        QTEST(got.join(' '), "expected");
    }

    // Ascending puts strictly lower keys first, descending strictly higher; ties keep load order.
    void sortEveryKeyBothWays_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("asc");
        QTest::addColumn<QString>("expected");
        for (const Column &c : columns()) {
            const QString key = keys::toKey(c.key);
            QTest::addRow("%s asc", qPrintable(key)) << key << true << "a@x c@x C@X d@x";
            QTest::addRow("%s desc", qPrintable(key)) << key << false << "d@x c@x C@X a@x";
        }
    }
    void sortEveryKeyBothWays()
    {
        QFETCH(QString, key);
        QFETCH(bool, asc);
        QFETCH(QString, expected);
        QCOMPARE(pluck(filteredSorted(tieTeam(), {}, {sortOf(key), asc}), &TeamAcct::email).join(' '), expected);
    }

    void sortSpecialCases_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("asc");
        QTest::addColumn<QList<TeamAcct>>("team");
        QTest::addColumn<QString>("expected");
        QTest::newRow("online with an old report above an offline one seen just now")
            << "online" << false
            << QList<TeamAcct>{make({.email = "off", .lastSeen = 1.7e9}), make({.email = "on", .lastSeen = 1, .online = true})}
            << "on off";
        QTest::newRow("account compares group then owner run together")
            << "account" << true
            << QList<TeamAcct>{make({.email = "dev-ivan", .owner = "Иван", .group = "DEV"}),
                               make({.email = "dev2", .group = "DEV2"})}
            << "dev2 dev-ivan";
        QTest::newRow("who falls back to the owner")
            << "who" << true
            << QList<TeamAcct>{make({.email = "b", .owner = "Zed", .users = {"Ann"}}), make({.email = "a", .owner = "Bob"})}
            << "b a";
        QTest::newRow("model: highest weekly pct, 0 without models")
            << "model" << false
            << QList<TeamAcct>{make({.email = "none"}), make({.email = "two", .models = {{"x", 5}, {"y", 40}}})}
            << "two none";
        QTest::newRow("provider by table rank, unknown as other")
            << "provider" << true
            << QList<TeamAcct>{make({.email = "u", .provider = "mistral"}), make({.email = "o", .provider = "openrouter"}),
                               make({.email = "c", .provider = "codex"})}
            << "c o u";
        QTest::newRow("NaN use sorts lowest, never breaks the order")
            << "seven" << false
            << QList<TeamAcct>{make({.email = "nan", .seven = std::nan("")}), make({.email = "ten", .seven = 10}),
                               make({.email = "zero"})}
            << "ten zero nan";
    }
    void sortSpecialCases()
    {
        QFETCH(QString, key);
        QFETCH(bool, asc);
        QFETCH(QList<TeamAcct>, team);
        QFETCH(QString, expected);
        QCOMPARE(pluck(filteredSorted(team, {}, {sortOf(key), asc}), &TeamAcct::email).join(' '), expected);
    }

    void grouping()
    {
        const QList<TeamAcct> sorted{
            make({.email = "i1", .owner = "Иван", .seven = 95}),
            make({.email = "n1", .seven = 90}),
            make({.email = "a1", .owner = "Анна", .five = 40, .seven = 50, .cost = 1.5, .online = true}),
            make({.email = "p1", .owner = "Петр", .seven = 95}),
            make({.email = "a2", .owner = "Анна", .five = 70.9, .seven = 20, .cost = 2}),
            make({.email = "i2", .owner = "Иван", .seven = 10}),
        };
        const QList<Group> groups = byPerson(sorted);
        QStringList names;
        for (const Group &g : groups)
            names << g.name + ':' + QString::number(g.rows.size());
        // Online first; then by highest seven-day use; Иван and Петр tie at 95 and keep the order
        // of their first rows; an empty owner is "Не привязан".
        QCOMPARE(names.join(' '), QString("Анна:2 Иван:2 Петр:1 Не привязан:1"));
        QCOMPARE(groups[0].rows, QList<int>({2, 4}));
        QCOMPARE(groups[0].maxFive, 70.9);
        QCOMPARE(groups[0].cost, 3.5);
        QVERIFY(groups[0].online);
        QVERIFY(!groups[1].online);
    }

    void sortClicks_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("expected");
        QTest::newRow("start") << QStringList{} << "seven desc";
        QTest::newRow("same column flips") << QStringList{"seven"} << "seven asc";
        QTest::newRow("email asc, again desc, then 5ч desc")
            << QStringList{"email", "email", "five"} << "five desc";
        QTest::newRow("email twice") << QStringList{"email", "email"} << "email desc";
        for (const Column &c : columns())
            if (c.key != Ac::Sort::Seven)
                QTest::addRow("first click on %s", qPrintable(keys::toKey(c.key)))
                    << QStringList{keys::toKey(c.key)} << keys::toKey(c.key) + (c.text ? " asc" : " desc");
    }
    void sortClicks()
    {
        QFETCH(QStringList, clicks);
        SortState s;
        for (const QString &k : clicks)
            s = onSort(s, sortOf(k));
        QFETCH(QString, expected);
        QCOMPARE(keys::toKey(s.key) + (s.asc ? " asc" : " desc"), expected);
    }

    void choiceKeysRoundTrip()
    {
        roundTrip<Ac::Mode>();
        roundTrip<Ac::Sort>();
        roundTrip<Ac::StatusFilter>();
        roundTrip<Tm::Type>();
        roundTrip<Tm::Sort>();
        roundTrip<Stat::Scope>();
    }

    void providerCountsInTableOrder()
    {
        const QList<TeamAcct> team{make({.email = "1", .provider = "mistral"}), make({.email = "2", .provider = "glm"}),
                                   make({.email = "3"}), make({.email = "4", .provider = "other"}),
                                   make({.email = "5", .provider = "glm"})};
        QList<QPair<QString, int>> expected{{"claude", 1}, {"glm", 2}, {"other", 2}};
        QCOMPARE(providerCounts(team), expected);
        QVERIFY(providerCounts(QList<TeamAcct>()).isEmpty());
    }

    void emailColumnWidth_data()
    {
        QTest::addColumn<double>("table");
        QTest::addColumn<double>("email");
        QTest::newRow("1400") << 1400.0 << 150.0;
        QTest::newRow("1600") << 1600.0 << 242.0;
        QTest::newRow("narrower than the columns") << 900.0 << 150.0;
        QTest::newRow("NaN") << std::nan("") << 150.0;
    }
    void emailColumnWidth()
    {
        QFETCH(double, table);
        QTEST(emailWidth(table), "email");
    }
};

CORVANE_TEST_CLASS(TstAcPanel)
#include "tst_acpanel.moc"
