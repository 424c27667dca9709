// The list models of the AI resources table: a reload updates rows in place (changes only where
// something shown changed, moves for a small reorder, inserts and removals for the rest), the
// shown order always equals a fresh stable sort of the filtered accounts, and the grouped list
// follows; every model passes Qt's model checks throughout.
#include "core/clock.h"
#include "store/accountsfilter.h"
#include "store/acctdetailmodels.h"
#include "store/personrowsmodel.h"
#include "store/teamaccountsmodel.h"
#include "store/ticker.h"
#include "testjson.h"
#include "testmain.h"

#include <QAbstractItemModelTester>
#include <QMetaEnum>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

namespace {

TeamAcct acct(const QString &email, double seven, const QString &owner = QString())
{
    TeamAcct a;
    a.email = email;
    a.sevenPct = seven;
    a.owner = owner;
    a.rev = a.computeRev();
    return a;
}

QStringList ids(const QList<AcRowPtr> &rows)
{
    QStringList out;
    for (const AcRowPtr &r : rows)
        out << r->a.email;
    return out;
}

int spanned(const QSignalSpy &spy, int first = 1, int last = 2)
{
    int n = 0;
    for (const auto &args : spy)
        n += args[last].toInt() - args[first].toInt() + 1;
    return n;
}

constexpr double kNow = 1.8e9;

// With the clock at kNow: "i1" on hold, its five-hour window resetting in two hours and running out
// in half an hour; "a1" last seen five minutes ago. Grouped: Иван, i1, Анна, a1.
QList<TeamAcct> timedTeam()
{
    Clock::setFixed(kNow);
    QList<TeamAcct> team{acct("i1", 95, "Иван"), acct("a1", 50, "Анна")};
    team[0].status = "hold";
    team[0].fiveReset = kNow + 7200;
    team[0].burnEta = kNow + 1800;
    team[1].lastSeen = kNow - 300;
    for (TeamAcct &a : team)
        a.rev = a.computeRev();
    return team;
}

struct Models {
    TeamAccountsModel source;
    AccountsFilter filter;
    PersonRowsModel people;
    QAbstractItemModelTester t1{&source, QAbstractItemModelTester::FailureReportingMode::QtTest};
    QAbstractItemModelTester t2{&filter, QAbstractItemModelTester::FailureReportingMode::QtTest};
    QAbstractItemModelTester t3{&people, QAbstractItemModelTester::FailureReportingMode::QtTest};
    Models()
    {
        source.setStore(nullptr);
        filter.setStore(nullptr);
        filter.setSource(&source);
        people.setAccounts(&filter);
    }
};

} // namespace

class TstAccountModels : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { Clock::reset(); }

    // What a row's delegate reads, by role name, through the grouped list: a group header answers
    // the account roles with empty values of their types, an account its cells.
    void rowsAnswerTheRolesADelegateReads_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QByteArray>("role");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("header") << 0 << QByteArray("isHeader") << QVariant(true);
        QTest::newRow("header name") << 0 << QByteArray("groupName") << QVariant("Иван");
        QTest::newRow("header, no e-mail") << 0 << QByteArray("email") << QVariant(QString());
        QTest::newRow("header, no fill") << 0 << QByteArray("sevenFrac") << QVariant(0.0);
        QTest::newRow("account") << 1 << QByteArray("isHeader") << QVariant(false);
        QTest::newRow("e-mail") << 1 << QByteArray("email") << QVariant("i1");
        QTest::newRow("on hold") << 1 << QByteArray("statusTone") << QVariant("warn");
        QTest::newRow("gauge") << 1 << QByteArray("sevenText") << QVariant("95%");
        QTest::newRow("gauge tone") << 1 << QByteArray("sevenBarTone") << QVariant("danger");
        QTest::newRow("gauge fill") << 1 << QByteArray("sevenFrac") << QVariant(0.95);
        QTest::newRow("countdown") << 1 << QByteArray("reset5Text") << QVariant("2ч 0м");
        QTest::newRow("seen") << 3 << QByteArray("presText") << QVariant("5 мин назад");
        QTest::newRow("no users") << 3 << QByteArray("whoNone") << QVariant(true);
        QTest::newRow("card: on hold") << 1 << QByteArray("hold") << QVariant(true);
        QTest::newRow("header, not on hold") << 0 << QByteArray("hold") << QVariant(false);
        QTest::newRow("header, no projects") << 0 << QByteArray("projects") << QVariant(QStringList());
        QTest::newRow("card gauge tone") << 1 << QByteArray("sevenGaugeTone") << QVariant("danger");
        QTest::newRow("card countdown") << 1 << QByteArray("fiveCountdown") << QVariant("через 2ч 0м");
        QTest::newRow("card, seen") << 3 << QByteArray("seen") << QVariant("5 мин назад");
        QTest::newRow("run-out line") << 1 << QByteArray("forecastText") << QVariant("закончится через 30м");
        QTest::newRow("run-out soon") << 1 << QByteArray("forecastTone") << QVariant("warn");
        QTest::newRow("no run-out line") << 3 << QByteArray("forecastText") << QVariant(QString());
    }
    void rowsAnswerTheRolesADelegateReads()
    {
        QFETCH(int, row);
        QFETCH(QByteArray, role);
        QFETCH(QVariant, value);
        Models m;
        m.source.setAccounts(timedTeam());
        const QVariant got = m.people.data(m.people.index(row), m.people.roleNames().key(role, -1));
        QCOMPARE(got.typeId(), value.typeId());
        QCOMPARE(got, value);
    }

    // A tick refreshes the countdowns of every row of every list, and nothing else.
    void tickRefreshesOnlyTheTimeRoles()
    {
        Models m;
        m.source.setAccounts(timedTeam());
        QSignalSpy source(&m.source, &QAbstractItemModel::dataChanged);
        QSignalSpy filter(&m.filter, &QAbstractItemModel::dataChanged);
        QSignalSpy people(&m.people, &QAbstractItemModel::dataChanged);
        Clock::setFixed(kNow + 60);
        Ticker::instance()->tickNow();
        for (QSignalSpy *spy : {&source, &filter, &people}) {
            QCOMPARE(spy->size(), 1);
            const auto &args = spy->front();
            QCOMPARE(args[0].toModelIndex().row(), 0);
            QCOMPARE(args[1].toModelIndex().row(), spy == &people ? 3 : 1);
            QCOMPARE(args[2].value<QList<int>>(), acrows::timeRoles());
        }
        QCOMPARE(m.filter.data(m.filter.index(0), acrows::Reset5TextRole).toString(), QString("1ч 59м"));
    }

    // The detail's device list follows its account's record, and its "… назад" the tick alone.
    void deviceListFollowsItsAccount()
    {
        Clock::setFixed(kNow);
        DevicesModel devices;
        QAbstractItemModelTester t(&devices, QAbstractItemModelTester::FailureReportingMode::QtTest);
        TeamAcct a = acct("a", 0);
        a.devices.resize(2);
        a.devices[0].lastSeen = kNow - 300;
        devices.setAcct(QVariant::fromValue(a));
        QCOMPARE(devices.count(), 2);
        QSignalSpy changed(&devices, &QAbstractItemModel::dataChanged);
        Clock::setFixed(kNow + 300);
        Ticker::instance()->tickNow();
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed[0][2].value<QList<int>>(), QList<int>{DevicesModel::SeenRole});
        QCOMPARE(devices.data(devices.index(0), DevicesModel::SeenRole).toString(), QString("10 мин назад"));
        a.devices.removeLast();
        devices.setAcct(QVariant::fromValue(a));
        QCOMPARE(devices.count(), 1);
    }

    void reloadUpdatesInPlace()
    {
        Models m;
        QList<TeamAcct> team{acct("a", 90), acct("b", 80), acct("c", 70), acct("d", 60), acct("e", 50)};
        m.source.setAccounts(team);
        QCOMPARE(ids(m.filter.rows()), QStringList({"a", "b", "c", "d", "e"}));

        QSignalSpy changed(&m.filter, &QAbstractItemModel::dataChanged);
        QSignalSpy inserted(&m.filter, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&m.filter, &QAbstractItemModel::rowsRemoved);
        QSignalSpy moved(&m.filter, &QAbstractItemModel::rowsMoved);
        QSignalSpy layout(&m.filter, &QAbstractItemModel::layoutChanged);
        QSignalSpy reset(&m.filter, &QAbstractItemModel::modelReset);

        // b: a figure changes (and it moves to the end); c: only a detail field the row
        // fingerprint leaves out; d: removed; f: new; a and e unchanged.
        team[1].sevenPct = 10;
        team[1].rev = team[1].computeRev();
        team[2].payMethod = "карта";
        team.removeAt(3);
        team.append(acct("f", 65));
        m.source.setAccounts(team);

        QCOMPARE(ids(m.filter.rows()), QStringList({"a", "c", "f", "e", "b"}));
        int changedRows = 0;
        for (const auto &args : changed)
            changedRows += args[1].toModelIndex().row() - args[0].toModelIndex().row() + 1;
        QCOMPARE(changedRows, 2);     // b and c
        QCOMPARE(spanned(inserted), 1);
        QCOMPARE(spanned(removed), 1);
        QCOMPARE(moved.size(), 1);    // b alone moves
        QCOMPARE(layout.size(), 0);
        QCOMPARE(reset.size(), 0);
        // The kept row holds the new record, detail fields included.
        QCOMPARE(m.filter.rows()[1]->a.payMethod, QString("карта"));
    }

    void bigReorderIsOneLayoutChange()
    {
        Models m;
        QList<TeamAcct> team;
        for (int i = 0; i < 200; ++i)
            team << acct(QString::number(i), i);
        m.source.setAccounts(team);
        QSignalSpy moved(&m.filter, &QAbstractItemModel::rowsMoved);
        QSignalSpy layout(&m.filter, &QAbstractItemModel::layoutChanged);
        m.filter.setSort({Ac::Sort::Seven, true});
        QCOMPARE(moved.size(), 0);
        QCOMPARE(layout.size(), 1);
        QCOMPARE(m.filter.rows().front()->a.email, QString("0"));
    }

    // Random reloads, filters and sorts: the shown rows always equal a fresh filter and stable
    // sort of the current accounts, and the grouped list holds exactly those rows.
    void orderAlwaysEqualsFreshSort()
    {
        Models m;
        QRandomGenerator rng(7);
        const QStringList owners{"", "Анна", "Иван", "Петр"};
        const QMetaEnum sorts = QMetaEnum::fromType<Ac::Sort>();
        QList<TeamAcct> team;
        for (int round = 0; round < 40; ++round) {
            // Mutate: drop one, add one, change a few figures (with many ties).
            if (!team.isEmpty())
                team.removeAt(rng.bounded(int(team.size())));
            for (int k = 0; k < 2; ++k)
                team.insert(rng.bounded(int(team.size()) + 1),
                            acct(QString("u%1-%2@x").arg(round).arg(k), rng.bounded(4) * 10,
                                 owners[rng.bounded(int(owners.size()))]));
            for (TeamAcct &a : team) {
                if (rng.bounded(3) == 0) {
                    a.fivePct = rng.bounded(3) * 25;
                    a.online = rng.bounded(2);
                    a.status = rng.bounded(2) ? "active" : "hold";
                    a.rev = a.computeRev();
                }
            }
            const acpanel::Filter f{rng.bounded(4) == 0 ? "claude" : "",
                                    rng.bounded(3) == 0 ? Ac::StatusFilter::Hold : Ac::StatusFilter::All,
                                    rng.bounded(4) == 0 ? "u1" : ""};
            const acpanel::SortState s{Ac::Sort(sorts.value(rng.bounded(sorts.keyCount()))), bool(rng.bounded(2))};
            m.filter.setFilter(f);
            m.filter.setSort(s);
            m.source.setAccounts(team);
            QCOMPARE(ids(m.filter.rows()), pluck(acpanel::filteredSorted(team, f, s), &TeamAcct::email));

            QStringList grouped;
            int headers = 0;
            for (const PersonRowsModel::Row &r : m.people.rows()) {
                if (r.acct)
                    grouped << r.acct->a.email;
                else
                    ++headers;
            }
            QStringList shown = ids(m.filter.rows());
            std::sort(grouped.begin(), grouped.end());
            std::sort(shown.begin(), shown.end());
            QCOMPARE(grouped, shown);
            QCOMPARE(headers, int(acpanel::byPerson(acpanel::filteredSorted(team, f, s)).size()));
        }
    }

    void reloadBehindAFilterUpdatesTheChips()
    {
        // The shown rows stay the same, but "Все" and the chips must still follow the reload.
        Models m;
        TeamAcct glm = acct("g@x", 10);
        glm.provider = "glm";
        glm.rev = glm.computeRev();
        m.filter.setFilter({"claude", Ac::StatusFilter::All, ""});
        m.source.setAccounts({acct("a@x", 10)});
        QSignalSpy changed(&m.filter, &AccountsFilter::countChanged);
        m.source.setAccounts({acct("a@x", 10), glm});
        QCOMPARE(m.filter.count(), 1);
        QVERIFY(changed.size() >= 1);
        QCOMPARE(m.filter.total(), 2);
        QCOMPARE(m.filter.chips().size(), 3);
    }

    void groupedRowsFollowTheirAccounts()
    {
        Models m;
        m.source.setAccounts({acct("a1", 50, "Анна"), acct("i1", 95, "Иван"), acct("n1", 10)});
        QStringList keys;
        for (const PersonRowsModel::Row &r : m.people.rows())
            keys << r.key;
        QCOMPARE(keys, QStringList({"p:Иван", "a:claude:i1", "p:Анна", "a:claude:a1", "p:Не привязан", "a:claude:n1"}));
        QCOMPARE(m.people.rows()[0].summary, QString("5ч 0% · 7д 95% · $0"));
        QCOMPARE(m.people.rows()[0].countText, QString("1 акк."));
        QCOMPARE(m.people.firstId(), QString("claude:i1"));

        // Анна's account goes online: her group moves to the top as moves, not a reset.
        QSignalSpy moved(&m.people, &QAbstractItemModel::rowsMoved);
        QSignalSpy layout(&m.people, &QAbstractItemModel::layoutChanged);
        QList<TeamAcct> team{acct("a1", 50, "Анна"), acct("i1", 95, "Иван"), acct("n1", 10)};
        team[0].online = true;
        team[0].rev = team[0].computeRev();
        m.source.setAccounts(team);
        QCOMPARE(m.people.rows()[0].key, QString("p:Анна"));
        QVERIFY(m.people.rows()[0].online);
        QVERIFY(moved.size() > 0);
        QCOMPARE(layout.size(), 0);
    }

    void dashboardListsTheFirstSix()
    {
        TeamAccountsModel six;
        QAbstractItemModelTester t(&six, QAbstractItemModelTester::FailureReportingMode::QtTest);
        six.setStore(nullptr);
        six.setLimit(6);
        QList<TeamAcct> team;
        for (int i = 0; i < 10; ++i)
            team << acct(QString::number(i), 100 - i);
        six.setAccounts(team);
        QCOMPARE(six.count(), 6);
        std::swap(team[0], team[9]); // the first account drops out, the tenth comes in first
        six.setAccounts(team);
        QCOMPARE(ids(six.rows()), QStringList({"9", "1", "2", "3", "4", "5"}));
    }
};

CORVANE_TEST_CLASS(TstAccountModels)
#include "tst_accountmodels.moc"
