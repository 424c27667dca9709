// The decisions of the statistics, activity, team and profile screens and of the member sheets,
// against a Store that is filled by hand (no server): figure texts and colours, which cards
// show, the roster's filter and order, what each form sends and when it may send.
#include "core/clock.h"
#include "kit.h"
#include "store/activitymodel.h"
#include "store/memberforms.h"
#include "store/membersmodel.h"
#include "store/profiledraft.h"
#include "store/statsmodel.h"
#include "store/teamrules.h"
#include "testmain.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The application's Store with no server behind it: a load or write a test starts fails at once.
struct Fixture : StoreFixture {
    Fixture() { store->setServerUrl(FakeServer::refusedUrl()); }
};

Member member(const QString &id, const QString &name, const QString &spec = {}, const QString &dept = {})
{
    Member m;
    m.memberId = id;
    m.name = name;
    m.specialization = spec;
    m.department = dept;
    return m;
}

// The logins the proxy shows, in order.
QString shown(const MemberFilter *f)
{
    QStringList ids;
    for (int i = 0; i < f->rowCount(); ++i)
        ids << f->memberAt(i).memberId;
    return ids.join(u' ');
}

QStringList kinds(const StatsModel &m)
{
    QStringList out;
    for (int i = 0; i < m.rowCount(); ++i)
        out << m.data(m.index(i), StatsModel::KindRole).toString();
    return out;
}

} // namespace

class TestTeamScreens : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { Clock::setFixed(1'800'000'000); }
    void cleanup() { Clock::reset(); }

    // ---- statistics

    void maxima_data()
    {
        QTest::addColumn<QList<double>>("points");
        QTest::addColumn<double>("max");
        QTest::newRow("no members") << QList<double>{} << 1.0;
        QTest::newRow("all at 0") << QList<double>{0, 0} << 1.0;
        QTest::newRow("all at or below 1") << QList<double>{0.2, 1, 0.9} << 1.0;
        QTest::newRow("largest above 1") << QList<double>{3, 7.5, 0} << 7.5;
        QTest::newRow("not a number ignored") << QList<double>{kNaN, 2, kInf} << 2.0;
    }
    void maxima()
    {
        QFETCH(QList<double>, points);
        QFETCH(double, max);
        QList<StatMember> members;
        QList<StatAccount> accounts;
        for (double p : points) {
            StatMember m;
            m.points = p;
            members << m;
            StatAccount a;
            a.totalPoints = p;
            accounts << a;
        }
        QCOMPARE(statui::maxMemberPts(members), max);
        QCOMPARE(statui::maxAcctPts(accounts), max);
    }

    void figureTexts_data()
    {
        QTest::addColumn<QString>("got");
        QTest::addColumn<QString>("want");
        QTest::newRow("money of 0") << statui::money(0) << "$0";
        QTest::newRow("money negative") << statui::money(-4) << "$0";
        QTest::newRow("money rounds to cents") << statui::money(4.205) << "$4.21";
        QTest::newRow("money nan") << statui::money(kNaN) << "$0";
        QTest::newRow("pct truncates") << statui::pct(45.99) << "45%";
        QTest::newRow("pct small negative") << statui::pct(-0.7) << "0%";
        QTest::newRow("pct negative") << statui::pct(-12.9) << "-12%";
        QTest::newRow("pct nan") << statui::pct(kNaN) << "0%";
        QTest::newRow("pct beyond 64 bits") << statui::pct(1e20) << "100000000000000000000%";
        QTest::newRow("accept none") << statui::acceptText(-1) << "—";
        QTest::newRow("accept share") << statui::acceptText(0.456) << "45%";
        QTest::newRow("cost per line") << statui::costPerLineText(0.0123) << "$0.012";
        QTest::newRow("cost per line none") << statui::costPerLineText(-1) << "—";
        ActPerson p; // the activity cards
        p.activeSec = 3 * 3600 + 600;
        p.cost = 4.2;
        p.sessions = 12;
        QTest::newRow("activity header") << actui::headerText(p) << "3ч 10м · $4.20 · 12 сес.";
        QTest::newRow("no off-work time") << actui::offworkText(p) << "";
        p.offworkSec = 65 * 60;
        QTest::newRow("off-work time") << actui::offworkText(p) << "вне рабочих: 1ч 5м";
    }
    void figureTexts()
    {
        QFETCH(QString, got);
        QFETCH(QString, want);
        QCOMPARE(got, want);
    }

    void shareBars_data()
    {
        QTest::addColumn<double>("part");
        QTest::addColumn<double>("whole");
        QTest::addColumn<double>("frac");
        QTest::newRow("no points") << 0.0 << 5.0 << 0.0;
        QTest::newRow("the most points fill the bar") << 5.0 << 5.0 << 1.0;
        QTest::newRow("half") << 2.5 << 5.0 << 0.5;
        QTest::newRow("over the whole") << 150.0 << 100.0 << 1.0;
        QTest::newRow("negative") << -3.0 << 100.0 << 0.0;
        QTest::newRow("nan part") << kNaN << 100.0 << 0.0;
        QTest::newRow("infinite part") << kInf << 100.0 << 0.0;
    }
    void shareBars()
    {
        QFETCH(double, part);
        QFETCH(double, whole);
        QFETCH(double, frac);
        QCOMPARE(statui::frac(part, whole), frac);
    }

    void statsCards()
    {
        Fixture f;
        StatsModel model;
        QAbstractItemModelTester tester(&model);
        Store &s = *f.store;

        // Nothing loaded and nothing loading: the placeholder alone.
        QCOMPARE(model.count(), 0);
        QVERIFY(model.showPlaceholder());
        QVERIFY(!model.showSpinner());

        // Only accounts: their card shows, and so no placeholder beside it.
        StatAccount a;
        a.email = QStringLiteral("a@x");
        a.totalPoints = 40;
        a.residual = 5.9;
        a.resetsAt = 1'800'000'000 + 3600;
        StatAccount b = a;
        b.email = QStringLiteral("b@x");
        b.totalPoints = 80;
        b.residual = 0;
        b.resetsAt = 0;
        s.stats()->setAccounts({a, b});
        QCOMPARE(kinds(model), (QStringList{"title", "account", "account"}));
        QVERIFY(!model.showPlaceholder());
        QCOMPARE(model.rows()[1].frac, 0.5);
        QCOMPARE(model.rows()[1].note, QStringLiteral("app/веб 5%"));
        QCOMPARE(model.data(model.index(1), StatsModel::ResetRole).toString(), QStringLiteral("через 1ч 0м"));
        QVERIFY(model.rows()[2].cardEnd && !model.rows()[1].cardEnd);

        // Sources whose costs are all 0 stay hidden; one cost shows every source.
        StatSource t;
        t.source = QStringLiteral("terminal");
        t.sessions = 0;
        StatSource c;
        c.source = QStringLiteral("cowork");
        c.sessions = 3;
        c.pct = 100;
        s.stats()->setSources({t, c});
        QCOMPARE(kinds(model).count("source"), 0);
        c.cost = 2;
        s.stats()->setSources({t, c});
        QCOMPARE(kinds(model), (QStringList{"title", "account", "account", "title", "source", "source"}));
        QCOMPARE(model.rows()[3].gapAbove, true);
        QCOMPARE(model.rows()[5].note, QStringLiteral("3 сес."));
        QCOMPARE(model.rows()[5].note2, QStringLiteral("оценка"));

        // Members first, with "~$0" for no cost; results keep their numbering.
        StatMember m1;
        m1.name = QStringLiteral("Ann");
        m1.points = 0;
        s.stats()->setMembers({m1});
        QCOMPARE(kinds(model).first(), QStringLiteral("title"));
        QCOMPARE(model.rows()[1].money, QStringLiteral("~$0"));
        ResultMember r1, r2;
        r1.name = r2.name = QStringLiteral("Same");
        r2.acceptRate = 0.5;
        r2.costPerLine = 0.0123;
        s.stats()->setResults({r1, r2});
        const int head = int(kinds(model).indexOf("resultHead"));
        QCOMPARE(model.rows()[head + 1].pos, QStringLiteral("1"));
        QCOMPARE(model.rows()[head + 2].pos, QStringLiteral("2"));
        QCOMPARE(model.rows()[head + 2].cpl, QStringLiteral("$0.012"));

        // A mirror row takes its colour from its share.
        MirrorSpend mir;
        mir.pct = 90;
        mir.today = 9;
        mir.limit = 10;
        s.stats()->setMirrors({mir});
        QCOMPARE(model.rows().last().tone, QStringLiteral("danger"));
        QCOMPARE(model.rows().last().money, QStringLiteral("$9.00 / ~$10.00"));

        // The spinner only over a first load with neither members nor results.
        s.setRole(QStringLiteral("admin"));
        s.stats()->setLoading(true);
        QVERIFY(!model.showSpinner());
        s.stats()->setMembers({});
        s.stats()->setResults({});
        QVERIFY(model.showSpinner());
        QVERIFY(!model.showPlaceholder());
    }

    void statsReloadKeepsRows()
    {
        Fixture f;
        StatsModel model;
        StatAccount a;
        a.email = QStringLiteral("a@x");
        a.totalPoints = 10;
        f.store->stats()->setAccounts({a, a}); // the same e-mail twice: both rows stay
        QCOMPARE(model.count(), 3);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        StatAccount again = a; // a reload: new records, same figures
        again.id = newRecordId();
        f.store->stats()->setAccounts({again, again});
        QCOMPARE(removed.count(), 0);
        QCOMPARE(changed.count(), 0);
    }

    // ---- activity

    void activityChips()
    {
        ActPerson p;
        for (int i = 0; i < 7; ++i) {
            ActProject pr;
            pr.name = i == 0 ? QString() : QStringLiteral("p%1").arg(i);
            pr.seconds = 3600 * (7 - i);
            pr.isWork = i != 2;
            p.projects << pr;
        }
        const QVariantList chips = actui::chips(p);
        QCOMPARE(chips.size(), 6);
        QCOMPARE(chips[0].toMap().value("label").toString(), QStringLiteral("—"));
        QCOMPARE(chips[0].toMap().value("value").toString(), QStringLiteral("7ч 0м"));
        QCOMPARE(chips[2].toMap().value("flag").toBool(), false);
        QCOMPARE(chips[1].toMap().value("flag").toBool(), true);
        QVERIFY(actui::chips(ActPerson()).isEmpty());

        Fixture f;
        ActivityModel model;
        QAbstractItemModelTester tester(&model);
        QVERIFY(model.showPlaceholder());
        ActPerson q = p;
        q.online = true;
        q.name = QStringLiteral("Q");
        f.store->activity()->setPeople({p, q});
        QCOMPARE(model.count(), 2); // two people without ids keep a card each
        QCOMPARE(model.data(model.index(1), ActivityModel::OnlineRole).toBool(), true);
        QVERIFY(!model.showPlaceholder());
    }

    // ---- roster

    void departments()
    {
        Fixture f;
        RosterView view;
        QVERIFY(!view.deptChipsVisible()); // nobody yet
        f.store->setMembers({member("a", "A"), member("b", "B")});
        QVERIFY(!view.deptChipsVisible()); // members without departments: no row at all
        f.store->setMembers({member("a", "A", {}, "Frontend"), member("b", "B", {}, "Backend"),
                             member("c", "C", {}, "Frontend"), member("d", "D", {}, "backend"),
                             member("e", "E")});
        QVERIFY(view.deptChipsVisible());
        QStringList chips;
        for (const QVariant &c : view.deptChips())
            chips << c.toMap().value("title").toString() + u'=' + c.toMap().value("count").toString();
        QCOMPARE(chips, (QStringList{"Все отделы=5", "Backend=1", "Frontend=2", "backend=1"}));

        // A filter on a department that has since vanished keeps a chip, so it can be cleared.
        f.store->roster()->setDept(QStringLiteral("Дизайн"));
        f.store->setMembers({member("e", "E")});
        QVERIFY(view.deptChipsVisible());
        QCOMPARE(view.deptChips().size(), 2);
        QCOMPARE(view.deptChips().last().toMap().value("active").toBool(), true);
        QCOMPARE(view.contentCase(), QStringLiteral("nomatch"));
        view.chooseDept(QString());
        QCOMPARE(view.contentCase(), QStringLiteral("list"));
        QVERIFY(!view.deptChipsVisible());
    }

    void filters_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("dept");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("shown");
        QTest::newRow("everyone") << "all" << "" << "" << "ivan.p olga k7 z";
        QTest::newRow("capitals and spaces") << "all" << "" << "  IVAN.P " << "ivan.p";
        QTest::newRow("e-mail") << "all" << "" << "OLGA@CORP" << "olga";
        QTest::newRow("joining space spans fields") << "all" << "" << "developer platform" << "ivan.p";
        QTest::newRow("no joining space, no match") << "all" << "" << "developerplatform" << "";
        QTest::newRow("contractors") << "contractor" << "" << "" << "olga";
        QTest::newRow("department") << "all" << "Platform" << "" << "ivan.p k7";
        QTest::newRow("department and type") << "member" << "Platform" << "" << "ivan.p k7";
        QTest::newRow("none match") << "contractor" << "Platform" << "" << "";
    }
    void filters()
    {
        QFETCH(QString, type);
        QFETCH(QString, dept);
        QFETCH(QString, query);
        QFETCH(QString, shown);
        Fixture f;
        Member ivan = member("ivan.p", "Иван Петров", "Backend developer", "Platform");
        Member olga = member("olga", "Ольга", "Design");
        olga.memberType = QStringLiteral("contractor");
        olga.email = QStringLiteral("olga@corp.example");
        Member k7 = member("k7", "", "", "Platform");
        Member z = member("z", "Zed");
        f.store->setMembers({ivan, olga, k7, z});
        RosterView view;
        QAbstractItemModelTester tester(view.model());
        f.store->roster()->setType(keys::fromKey<Tm::Type>(type).value());
        f.store->roster()->setDept(dept);
        f.store->roster()->setQuery(query);
        QCOMPARE(::shown(view.model()), shown);
        QCOMPARE(view.memberCount(), 4); // the header counts everyone
        QCOMPARE(view.contentCase(), shown.isEmpty() ? QStringLiteral("nomatch") : QStringLiteral("list"));
    }

    void sorting_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("asc");
        QTest::addColumn<QString>("shown");
        // Roster order: a b c d e. Ties keep it in both directions.
        QTest::newRow("name asc") << "name" << true << "b a c d e";
        QTest::newRow("name desc") << "name" << false << "d e c a b";
        QTest::newRow("spec asc") << "spec" << true << "d e a b c";
        QTest::newRow("spec desc") << "spec" << false << "c a b d e";
        QTest::newRow("dept asc") << "dept" << true << "a b d e c";
        QTest::newRow("dept desc") << "dept" << false << "c d e a b";
        QTest::newRow("accounts asc") << "accounts" << true << "c a e b d";
        QTest::newRow("accounts desc") << "accounts" << false << "b d a e c";
        QTest::newRow("seen asc") << "seen" << true << "e a b c d";
        QTest::newRow("seen desc") << "seen" << false << "c d a b e";
        QTest::newRow("online asc") << "online" << true << "d b c a e";
        QTest::newRow("online desc") << "online" << false << "d b c a e";
    }
    void sorting()
    {
        QFETCH(QString, key);
        QFETCH(bool, asc);
        QFETCH(QString, shown);
        Fixture f;
        auto m = [](const char *id, const char *name, const char *spec, const char *dept, int accts, double seen,
                    bool online) {
            Member r = member(id, name, spec, dept);
            r.nAccounts = accts;
            r.lastSeen = seen;
            r.online = online;
            return r;
        };
        f.store->setMembers({m("a", "boris", "Dev", "Backend", 2, 100, false),
                             m("b", "Anna", "dev", "backend", 5, 100, true),
                             m("c", "Carl", "QA", "Zeta", 0, 300, false),
                             m("d", "Zoe", "", "Ops", 5, 300, true),
                             m("e", "zoe", "", "ops", 2, 0, false)});
        RosterView view;
        f.store->roster()->setSortKey(keys::fromKey<Tm::Sort>(key).value());
        f.store->roster()->setSortAsc(asc);
        QCOMPARE(::shown(view.model()), shown);
    }

    void sortSelection()
    {
        Fixture f;
        RosterView view;
        const RosterState *s = f.store->roster();
        auto state = [&] { return keys::toKey(s->sortKey()) + (s->sortAsc() ? "+" : "-"); };
        QCOMPARE(state(), QStringLiteral("online-"));
        view.chooseSort(Tm::Sort::Name);
        QCOMPARE(state(), QStringLiteral("name-"));
        view.chooseSort(Tm::Sort::Name);
        QCOMPARE(state(), QStringLiteral("name+"));
        view.chooseSort(Tm::Sort::Seen);
        QCOMPARE(state(), QStringLiteral("seen-"));
    }

    void rosterUpdatedInPlace()
    {
        Fixture f;
        RosterView view;
        QAbstractItemModelTester tester(view.source());
        f.store->setMembers({member("a", "A"), member("b", "B"), member("c", "C")});
        QSignalSpy changed(view.source(), &QAbstractItemModel::dataChanged);
        // A reload: new records for the same members, one of them renamed. (How rows are kept
        // across a reload is the keyed list model's table; here, that members are keyed by id.)
        f.store->setMembers({member("a", "A"), member("b", "B2"), member("c", "C")});
        QCOMPARE(changed.count(), 1);
        QCOMPARE(::shown(view.model()), QStringLiteral("a b c"));
        // Members the server sent without an id still get a row each.
        f.store->setMembers({member("", "X"), member("", "Y")});
        QCOMPARE(view.model()->count(), 2);
    }

    void cardLines_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("spec");
        QTest::addColumn<QString>("dept");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("loginLine");
        QTest::newRow("all empty") << "" << "" << "" << "m7" << "логин: m7";
        QTest::newRow("name only") << "Анна" << "" << "" << "Анна" << "логин: m7";
        QTest::newRow("specialization") << "Анна" << "QA" << "" << "Анна" << "";
        QTest::newRow("department") << "" << "" << "Ops" << "m7" << "";
    }
    void cardLines()
    {
        QFETCH(QString, name);
        QFETCH(QString, spec);
        QFETCH(QString, dept);
        QFETCH(QString, title);
        QFETCH(QString, loginLine);
        Member m = member("m7", name, spec, dept);
        QCOMPARE(roster::cardTitle(m), title);
        QCOMPARE(roster::loginLine(m), loginLine);
    }

    void deleteAsksFirst()
    {
        Fixture f;
        RosterView view;
        const Member m = member("m7", "Анна");
        view.open(QVariant::fromValue(m));
        view.askDelete(QVariant::fromValue(m));
        QVERIFY(view.hasPendingDelete());
        QVERIFY(view.hasEditing()); // asking does not close the profile sheet
        QCOMPARE(view.deleteButtonText(), QStringLiteral("Удалить Анна"));
        view.confirmDelete(); // (cancelling: the team screen's keyboard test)
        QVERIFY(!view.hasPendingDelete());
        QVERIFY(!view.hasEditing()); // confirmed: the sheet of that member closes
    }

    // A one-time credential is dismissed at once only after a copy; otherwise it asks, and a
    // new credential starts uncopied again.
    void credentialAsksBeforeItIsLost()
    {
        Fixture f;
        RosterView view;
        const QVariantMap secret{{"title", "Новый пароль"}, {"login", "m7"}, {"password", "pw"}};
        f->roster()->setSecret(secret);
        view.dismissSecret();
        QVERIFY(view.secretOpen() && view.secretLeaving());
        view.keepSecret();
        QVERIFY(view.secretOpen() && !view.secretLeaving());
        view.secretCopied();
        view.dismissSecret();
        QVERIFY(!view.secretOpen());
        f->roster()->setSecret(secret);
        view.dismissSecret();
        QVERIFY(view.secretLeaving());
        view.clearSecret();
        QVERIFY(!view.secretOpen() && !view.secretLeaving());
    }

    // ---- member sheets

    void newMemberForm()
    {
        Fixture f;
        NewMemberDraft draft;
        QVERIFY(!draft.canCreate());
        draft.setProperty("login", QStringLiteral("ivan"));
        QVERIFY(!draft.canCreate()); // a login alone is not enough
        draft.setProperty("name", QStringLiteral("  "));
        QVERIFY(draft.canCreate()); // a name of spaces is a name
        draft.setProperty("spec", QStringLiteral("QA"));
        draft.setProperty("type", QStringLiteral("contractor"));
        QCOMPARE(draft.profile(), (QVariantMap{{"specialization", "QA"}, {"department", ""}, {"member_type", "contractor"}}));
    }

    void editDraft_data()
    {
        QTest::addColumn<QString>("role");
        QTest::addColumn<QString>("sentRole");
        QTest::newRow("admin") << "admin" << "admin";
        QTest::newRow("viewer") << "viewer" << "viewer";
        QTest::newRow("anything else") << "owner" << "viewer";
    }
    void editDraft()
    {
        QFETCH(QString, role);
        QFETCH(QString, sentRole);
        Fixture f;
        Member m = member("m7", "Анна", "QA", "Ops");
        m.role = role;
        m.active = false;
        m.email = QStringLiteral("a@x");
        m.joinedAt = 1'700'000'000.789;
        MemberEditDraft draft;
        draft.setMember(m);
        const QVariantMap body = draft.body();
        QCOMPARE(body.value("role").toString(), sentRole);
        QCOMPARE(body.value("active"), QVariant(false));
        QCOMPARE(body.value("name").toString(), QStringLiteral("Анна"));
        QCOMPARE(body.value("member_type").toString(), QStringLiteral("member"));
        QCOMPARE(body.value("timezone").toString(), QString());
        QCOMPARE(body.value("joined_at").toLongLong(), 1'700'000'000LL);
        // A roster reload does not reach an open sheet; the tiles show the member as opened.
        draft.setProperty("name", QStringLiteral("Анна Б."));
        QCOMPARE(draft.tiles()[2].toMap().value("value").toString(), QStringLiteral("отключён"));
        QCOMPARE(draft.body().value("name").toString(), QStringLiteral("Анна Б."));
    }

    void joinedDate()
    {
        Fixture f;
        Clock::setZone(QTimeZone("Europe/Moscow"));
        // No date yet: today is shown, and left untouched it goes back as "no date".
        Member m = member("m7", "Анна");
        MemberEditDraft draft;
        draft.setMember(m);
        const QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000, Clock::zone());
        QCOMPARE(QDate(draft.joinedYear(), draft.joinedMonth(), draft.joinedDay()), now.date());
        QCOMPARE(draft.body().value("joined_at").toLongLong(), 0LL);
        // Picking a day keeps the time of day.
        draft.pickJoinedDay(2024, 3, 5);
        QCOMPARE(draft.joinedText(), QStringLiteral("5 марта 2024"));
        const QDateTime picked(QDate(2024, 3, 5), now.time(), Clock::zone());
        QCOMPARE(draft.body().value("joined_at").toLongLong(), picked.toSecsSinceEpoch());
        // An existing date picked again on another day keeps its time of day.
        m.joinedAt = QDateTime(QDate(2023, 1, 10), QTime(9, 15, 30), Clock::zone()).toSecsSinceEpoch();
        draft.setMember(m);
        draft.pickJoinedDay(2023, 2, 1);
        QCOMPARE(draft.body().value("joined_at").toLongLong(),
                 QDateTime(QDate(2023, 2, 1), QTime(9, 15, 30), Clock::zone()).toSecsSinceEpoch());
    }

    void monthArithmetic()
    {
        const struct { int year, month, delta, wantYear, wantMonth; } rows[] = {
            {2024, 12, 1, 2025, 1}, {2024, 1, -1, 2023, 12}, {2024, 3, -25, 2022, 2}};
        for (const auto &r : rows) {
            const CalendarDay got = Forms::shiftMonth(r.year, r.month, r.delta);
            QCOMPARE(QPair(got.year, got.month), QPair(r.wantYear, r.wantMonth));
        }
    }

    // ---- own profile

    void profileDraftFollowsUntilTyped()
    {
        Fixture f;
        Store &s = *f.store;
        s.setName(QStringLiteral("Анна"));
        s.profile()->setNote(QStringLiteral("old"));
        ProfileDraft draft;
        draft.shown();
        QCOMPARE(draft.name(), QStringLiteral("Анна"));
        // The profile's answer arrives while untouched: the draft takes it.
        s.profile()->setDept(QStringLiteral("Ops"));
        QCOMPARE(draft.dept(), QStringLiteral("Ops"));
        // The user types a name; a refresh pass then rewrites Store's name.
        draft.setName(QStringLiteral("Анна Петрова"));
        s.setName(QStringLiteral("Анна"));
        QCOMPARE(draft.name(), QStringLiteral("Анна Петрова"));
        // Untouched fields still follow.
        s.profile()->setNote(QStringLiteral("new"));
        QCOMPARE(draft.note(), QStringLiteral("new"));
        // Showing the screen again starts from Store.
        draft.shown();
        QCOMPARE(draft.name(), QStringLiteral("Анна"));
    }

    void profileHeader()
    {
        QCOMPARE(ProfileDraft::serverText("https://team.example"), QStringLiteral("team.example"));
        QCOMPARE(ProfileDraft::serverText("http://team.example"), QStringLiteral("http://team.example"));
        QCOMPARE(ProfileDraft::serverText("https://a/https://b"), QStringLiteral("a/b"));
    }

    void passwordInputsKeptOnFailure()
    {
        Fixture f;
        ProfileDraft draft;
        draft.setCurPass(QStringLiteral("old-secret"));
        QVERIFY(!draft.canChangePassword());
        draft.setNewPass(QStringLiteral("new-secret-1"));
        QVERIFY(draft.canChangePassword()); // the repeat may be empty: the mismatch is reported
        draft.changePassword();
        QVERIFY(draft.changingPass());
        QTRY_VERIFY(!draft.changingPass());
        QCOMPARE(f.store->toast(), QStringLiteral("Пароли не совпадают"));
        QCOMPARE(draft.curPass(), QStringLiteral("old-secret"));
        QCOMPARE(draft.newPass(), QStringLiteral("new-secret-1"));
    }
};

CORVANE_TEST_CLASS(TestTeamScreens)
#include "tst_team_screens.moc"
