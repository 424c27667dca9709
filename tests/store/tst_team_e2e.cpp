// The team screens' objects end to end. Against the reference server with the demo team: a
// member edited, given a new password and disabled; the own profile and password saved; the
// registry through its form; conditional answers; alerts; a photo round trip. (Late answers and
// failures are the administration loads' tables against a scripted server; statistics, activity
// and breakdowns from the reference server load in the screens' Qt Quick tests.)
#include "kit.h"
#include "store/accountform.h"
#include "store/alertsmodel.h"
#include "store/memberforms.h"
#include "store/membersmodel.h"
#include "store/profiledraft.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr int kWait = 10000;

std::optional<Member> findMember(const Store &store, const QString &id)
{
    for (const Member &m : store.members())
        if (m.memberId == id)
            return m;
    return std::nullopt;
}

// Starts a load and waits for the next assignment of the published field.
template <typename Sender, typename Signal>
void waitFor(Sender &sender, Signal sig, const std::function<void()> &start)
{
    QSignalSpy spy(&sender, sig);
    start();
    [&] { QTRY_VERIFY_WITH_TIMEOUT(spy.size() >= 1, kWait); }();
}

std::optional<TeamAcct> find(const Store &store, const QString &email)
{
    for (const TeamAcct &a : store.teamAccounts())
        if (a.email == email)
            return a;
    return std::nullopt;
}

// Saves the form and waits for the answer and the reload it starts.
bool saveAndReload(Store &store, AccountFormState &form)
{
    QSignalSpy saved(&form, &AccountFormState::saved);
    QSignalSpy reloaded(&store, &Store::teamAccountsChanged);
    form.save();
    if (!saved.wait(5000) || !saved.first().first().toBool())
        return false;
    return reloaded.wait(5000);
}

} // namespace

class TestTeamE2E : public QObject
{
    Q_OBJECT

    ReferenceServer m_server;

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_server.start()); }
    void cleanupTestCase() { m_server.stop(); }

    // ---- the reference server

    void memberLifecycle()
    {
        StoreFixture f;
        QVERIFY(f.signedInTo(m_server, "admin"));
        Store &s = *f;
        RosterView view;
        waitFor(s, &Store::membersChanged, [&] { s.loadMembers(); });

        // A viewer of the demo team, not the one who signs in below (creation end to end is the
        // team screen's keyboard test).
        Member member;
        for (const Member &m : s.members())
            if (m.role == QStringLiteral("viewer") && m.memberId != m_server.loginFor("viewer").login)
                member = m;
        QVERIFY(!member.memberId.isEmpty());
        const QString login = member.memberId;

        // Edited in the profile sheet; a new password from there leaves the sheet's input as typed.
        view.open(QVariant::fromValue(member));
        MemberEditDraft sheet;
        sheet.setMember(view.editing());
        QSignalSpy finished(&sheet, &MemberEditDraft::finished);
        sheet.setProperty("name", QStringLiteral("Вера Т."));
        sheet.setProperty("timezone", QStringLiteral("Asia/Yekaterinburg"));
        sheet.pickJoinedDay(2024, 2, 29);
        sheet.resetPassword();
        QTRY_VERIFY_WITH_TIMEOUT(view.secretOpen(), kWait);
        QCOMPARE(view.secretTitle(), QStringLiteral("Новый пароль"));
        QCOMPARE(s.roster()->secret().value("login").toString(), login);
        QVERIFY(!m_server.signIn(login, s.roster()->secret().value("password").toString()).isEmpty());
        view.clearSecret();
        QCOMPARE(sheet.property("name").toString(), QStringLiteral("Вера Т."));
        sheet.submit();
        QVERIFY(finished.wait(kWait));
        QTRY_COMPARE_WITH_TIMEOUT(findMember(s, login)->name, QStringLiteral("Вера Т."), kWait);
        QCOMPARE(findMember(s, login)->timezone, QStringLiteral("Asia/Yekaterinburg"));
        QCOMPARE(QDateTime::fromSecsSinceEpoch(qint64(findMember(s, login)->joinedAt)).date(), QDate(2024, 2, 29));
        QCOMPARE(s.toast(), QStringLiteral("Сохранено ✓"));

        // Disabled from the card menu. (Deletion after the confirmation, end to end, is the
        // team screen's keyboard test.)
        view.toggleActive(QVariant::fromValue(*findMember(s, login)));
        QTRY_VERIFY_WITH_TIMEOUT(!findMember(s, login)->active, kWait);
    }

    void ownProfileAndPassword()
    {
        StoreFixture f;
        const ReferenceServer::Login who = m_server.loginFor("viewer");
        QVERIFY(f.signedInTo(m_server, "viewer"));
        Store &s = *f;
        ProfileDraft draft;
        QSignalSpy loaded(s.profile(), &ProfileState::memberIdChanged);
        draft.shown();
        QVERIFY(loaded.wait(kWait));
        QVERIFY(!draft.name().isEmpty()); // taken from the answer while untouched

        draft.setName(QStringLiteral("Новое Имя"));
        draft.setTimezone(QString());
        draft.setNote(QStringLiteral("заметка"));
        draft.save();
        QVERIFY(draft.saving());
        QTRY_VERIFY_WITH_TIMEOUT(!draft.saving(), kWait);
        QCOMPARE(s.toast(), QStringLiteral("Сохранено ✓"));
        QTRY_COMPARE_WITH_TIMEOUT(s.name(), QStringLiteral("Новое Имя"), kWait);
        QTRY_COMPARE_WITH_TIMEOUT(s.profile()->note(), QStringLiteral("заметка"), kWait);
        QCOMPARE(s.profile()->timezone(), QString());

        // Changed (a refusal keeps the inputs: the draft's own test), and the inputs are emptied.
        draft.setCurPass(who.password);
        draft.setNewPass(QStringLiteral("brand-new-pass"));
        draft.setNewPass2(QStringLiteral("brand-new-pass"));
        draft.changePassword();
        QTRY_VERIFY_WITH_TIMEOUT(!draft.changingPass(), kWait);
        QCOMPARE(s.toast(), QStringLiteral("Пароль изменён"));
        QVERIFY(draft.curPass().isEmpty() && draft.newPass().isEmpty() && draft.newPass2().isEmpty());
        QVERIFY(!m_server.signIn(who.login, QStringLiteral("brand-new-pass")).isEmpty());
    }

    // The account registry through the form: add, and an unchanged save that must change nothing
    // (what an edit sends is the form's body table).
    void registryThroughTheForm()
    {
        StoreFixture fixture;
        Store &store = *fixture;
        QVERIFY(fixture.signedInTo(m_server, "admin"));
        store.loadMembers();
        QTRY_VERIFY(!store.members().isEmpty());
        const Member owner = store.members().last();

        // Add: a key account with an owner, a comma price and a key.
        store.resources()->setFormOpen(true);
        AccountFormState add;
        add.open();
        add.setEmail(QStringLiteral("new-glm@corvane.dev"));
        add.setProvider(QStringLiteral("glm"));
        add.setOwner(owner.memberId);
        add.setGroup(QStringLiteral(" R&D "));
        add.setPrice(QStringLiteral("1234567,89"));
        add.setAuthType(QStringLiteral("api_key"));
        add.setApiKey(QStringLiteral("sk-test"));
        add.setCcProvider(QStringLiteral("zai"));
        QVERIFY(saveAndReload(store, add));
        QVERIFY(!store.resources()->formOpen());
        std::optional<TeamAcct> a = find(store, QStringLiteral("new-glm@corvane.dev"));
        QVERIFY(a);
        QCOMPARE(a->memberId, owner.memberId);
        QCOMPARE(a->owner, owner.name);
        QCOMPARE(a->group, QString("R&D"));
        QCOMPARE(a->price, 1234567.89);
        QVERIFY(a->hasKey);
        QCOMPARE(a->ccProvider, QString("zai"));

        // Saved back unchanged, it stays exactly as it was: owner id and every cent of the price.
        store.resources()->setFormEdit(QVariant::fromValue(*a));
        store.resources()->setFormOpen(true);
        AccountFormState same;
        same.open();
        QCOMPARE(same.price(), QString("1234567.89"));
        QVERIFY(saveAndReload(store, same));
        std::optional<TeamAcct> b = find(store, a->email);
        QVERIFY(b);
        QCOMPARE(b->memberId, a->memberId);
        QCOMPARE(b->price, a->price);
        QVERIFY(b->hasKey); // no key typed: the stored one is kept
        QCOMPARE(b->group, a->group);
    }

    // A polled answer that has not changed comes back as a bare 304 when the request names its
    // tag; a tag in a list or in weak form counts, any other does not.
    void conditionalAnswers_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("ifNoneMatch"); // %1 stands for the answer's own tag
        QTest::addColumn<int>("status");
        for (const QString path : {"/api/accounts", "/api/my/status", "/api/stats?scope=week", "/api/events?limit=100", "/api/members"}) {
            QTest::addRow("%s own", qPrintable(path)) << path << "%1" << 304;
            QTest::addRow("%s list", qPrintable(path)) << path << "\"x\", %1" << 304;
            QTest::addRow("%s weak", qPrintable(path)) << path << "W/%1" << 304;
            QTest::addRow("%s other", qPrintable(path)) << path << "\"0123\"" << 200;
        }
        QTest::newRow("any") << "/api/members" << "*" << 304;
    }
    void conditionalAnswers()
    {
        QFETCH(QString, path);
        QFETCH(QString, ifNoneMatch);
        QFETCH(int, status);
        const ReferenceServer::Login admin = m_server.loginFor("admin");
        const QString session = m_server.signIn(admin.login, admin.password);
        const ReferenceServer::Answer first = m_server.get(path, session);
        QCOMPARE(first.status, 200);
        const QByteArray tag = first.header("etag");
        QVERIFY(tag.startsWith('"'));
        m_server.setHeaders({{"If-None-Match", ifNoneMatch.arg(QString::fromLatin1(tag)).toLatin1()}});
        const ReferenceServer::Answer again = m_server.get(path, session);
        m_server.setHeaders({});
        QCOMPARE(again.status, status);
        QCOMPARE(again.body.isEmpty(), status == 304);
        QCOMPARE(again.header("etag"), tag);
    }

    // The client keeps what it shows on a 304 and decodes nothing; a change on the server brings
    // the new answer.
    void unchangedRefreshKeepsData()
    {
        StoreFixture f({.httpTimeoutMs = kWait});
        QVERIFY(f.signedInTo(m_server, "admin"));
        Store &store = *f;
        waitFor(store, &Store::teamAccountsChanged, [&] { store.loadTeam(); });
        waitFor(store, &Store::membersChanged, [&] { store.loadMembers(); });
        const QList<TeamAcct> shown = store.teamAccounts();
        QSignalSpy team(&store, &Store::teamAccountsChanged), members(&store, &Store::membersChanged);
        store.setServerLost(true);
        store.loadTeam();
        store.loadMembers();
        QTRY_COMPARE_WITH_TIMEOUT(store.http()->inFlight(), 0, kWait);
        QCOMPARE(team.size() + members.size(), 0);
        QCOMPARE(store.teamAccounts().size(), shown.size());
        QVERIFY(!store.serverLost()); // an unchanged answer is still an answer

        const QString session = m_server.signIn(m_server.loginFor("admin").login, m_server.loginFor("admin").password);
        QVERIFY(m_server.post("/api/members", {{"action", "create"}, {"name", "Новый Человек"}}, session).status < 300);
        waitFor(store, &Store::membersChanged, [&] { store.loadMembers(); });
        QVERIFY(std::any_of(store.members().begin(), store.members().end(), [](const Member &m) { return m.name == "Новый Человек"; }));
    }

    // The alert list: newest first, its unread marks stay while it is open, and closing it marks
    // what it showed read on the server too.
    void alertsReadFromTheList()
    {
        StoreFixture f;
        QVERIFY(f.signedInTo(m_server, "admin"));
        Store &s = *f;
        const auto unreadRows = [&] {
            const QList<AlertRow> rows = AlertsModel::rowsFor(s.home()->alerts());
            return std::count_if(rows.begin(), rows.end(), [](const AlertRow &r) { return r.unread; });
        };
        {
            AlertsModel list;
            list.shown();
            QTRY_VERIFY_WITH_TIMEOUT(list.count() > 1 && s.http()->inFlight() == 0, kWait);
            const QList<AlertRow> rows = AlertsModel::rowsFor(s.home()->alerts());
            QVERIFY(std::is_sorted(rows.begin(), rows.end(), [](const AlertRow &a, const AlertRow &b) { return a.ts > b.ts; }));
            QVERIFY(unreadRows() > 0 && s.home()->alertsUnread() > 0);
        }
        QTRY_VERIFY_WITH_TIMEOUT(s.home()->alertsUnread() == 0 && unreadRows() == 0, kWait);
        const QString session = m_server.signIn(m_server.loginFor("admin").login, m_server.loginFor("admin").password);
        QCOMPARE(m_server.get("/api/events?limit=100", session).json().value("unread").toInt(-1), 0);
    }

    // A photo picked from disk goes up shrunk to the pipeline's size, and comes back the same
    // through the photo cache of a fresh client; a member's photo reaches the roster's cache.
    void photoRoundTrip()
    {
        StoreFixture f({.httpTimeoutMs = kWait});
        QVERIFY(f.signedInTo(m_server, "admin"));
        Store &admin = *f;
        waitFor(*admin.profile(), &ProfileState::memberIdChanged, [&] { admin.loadMe(); });
        QImage photo(900, 600, QImage::Format_RGB32);
        photo.fill(QColor(30, 120, 200));
        const QString path = f.dir.filePath("photo.png");
        QVERIFY(photo.save(path));
        f.chooser.next = path;
        admin.pickAvatar();
        QTRY_COMPARE_WITH_TIMEOUT(admin.toast(), QString("Фото обновлено"), 10000);
        QCOMPARE(admin.profile()->avatar().size(), QSize(256, 170));

        StoreFixture fresh({.httpTimeoutMs = kWait});
        fresh.signedIn(m_server.url(), admin.role(), admin.session(), admin.token());
        fresh->loadMe();
        QTRY_VERIFY_WITH_TIMEOUT(fresh->profile()->hasAvatar(), 10000);
        QCOMPARE(fresh->profile()->avatar().convertToFormat(QImage::Format_RGBA8888).pixelColor(128, 85), QColor(30, 120, 200));

        waitFor(admin, &Store::membersChanged, [&] { admin.loadMembers(); });
        const QString someone = admin.members().value(0).memberId == admin.profile()->memberId() ? admin.members().value(1).memberId
                                                                                      : admin.members().value(0).memberId;
        admin.pickMemberAvatar(someone);
        QTRY_COMPARE_WITH_TIMEOUT(admin.toast(), QString("Сохранено ✓"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(findMember(admin, someone) && findMember(admin, someone)->hasAvatar, 10000);
        admin.ensureMemberAvatar(*findMember(admin, someone));
        QTRY_COMPARE_WITH_TIMEOUT(admin.memberAvatar(someone).size(), QSize(256, 170), 10000);
    }
};

QTEST_MAIN(TestTeamE2E)
#include "tst_team_e2e.moc"
