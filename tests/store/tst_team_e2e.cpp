// The team screens' objects end to end. Against the reference server with the demo team: a
// member created through the form (the server's login in the credential text), edited, given a
// new password from the profile sheet and disabled; the own profile and password saved. Against a scripted server that answers late: a scope switch
// during a slow answer ends on the chosen one, and a late create or save answer closes only the
// sheet that sent it.
#include "kit.h"
#include "store/activitymodel.h"
#include "store/memberforms.h"
#include "store/membersmodel.h"
#include "store/profiledraft.h"
#include "store/statsmodel.h"

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

// Reloads the roster and waits for the answer.
void reloadRoster(Store &store)
{
    QSignalSpy spy(&store, &Store::membersChanged);
    store.loadMembers();
    QVERIFY(spy.wait(kWait));
}

QJsonObject statsFor(const QString &tag)
{
    return {{"members", QJsonArray{QJsonObject{{"member_id", tag}, {"name", tag}, {"points", 5}}}}};
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
        reloadRoster(s);
        const int before = view.memberCount();

        // Created through the form with no login: the server makes one, the credential shows it.
        s.setMemberFormOpen(true);
        NewMemberDraft form;
        form.setProperty("name", QStringLiteral("Вера Тестова"));
        form.setProperty("spec", QStringLiteral("QA-инженер"));
        form.setProperty("dept", QStringLiteral("QA"));
        form.setProperty("type", QStringLiteral("contractor"));
        form.submit();
        QVERIFY(form.saving());
        QTRY_VERIFY_WITH_TIMEOUT(!s.memberFormOpen(), kWait);
        QVERIFY(!form.saving());
        QVERIFY(view.secretOpen());
        const QString login = s.memberSecret().value("login").toString();
        QVERIFY(!login.isEmpty());
        QVERIFY(view.secretText().contains(QStringLiteral("логин: ") + login));
        QVERIFY(view.secretText().contains(s.memberSecret().value("password").toString()));
        QCOMPARE(view.secretTitle(), QStringLiteral("Сотрудник создан"));
        view.clearSecret();
        QVERIFY(!view.secretOpen());
        QTRY_COMPARE_WITH_TIMEOUT(view.memberCount(), before + 1, kWait);
        const Member created = *findMember(s, login);
        QCOMPARE(created.specialization, QStringLiteral("QA-инженер"));
        QCOMPARE(created.memberType, QStringLiteral("contractor"));

        // Edited in the profile sheet; a new password from there leaves the sheet's input as typed.
        view.open(QVariant::fromValue(created));
        MemberEditDraft sheet;
        sheet.setMember(view.editing());
        QSignalSpy finished(&sheet, &MemberEditDraft::finished);
        sheet.setProperty("name", QStringLiteral("Вера Т."));
        sheet.setProperty("timezone", QStringLiteral("Asia/Yekaterinburg"));
        sheet.pickJoinedDay(2024, 2, 29);
        sheet.resetPassword();
        QTRY_VERIFY_WITH_TIMEOUT(view.secretOpen(), kWait);
        QCOMPARE(view.secretTitle(), QStringLiteral("Новый пароль"));
        QCOMPARE(s.memberSecret().value("login").toString(), login);
        QVERIFY(!m_server.signIn(login, s.memberSecret().value("password").toString()).isEmpty());
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
        QSignalSpy loaded(&s, &Store::memberIdChanged);
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
        QTRY_COMPARE_WITH_TIMEOUT(s.meNote(), QStringLiteral("заметка"), kWait);
        QCOMPARE(s.meTimezone(), QString());

        // A wrong current password: refused, and the inputs keep what was typed.
        draft.setCurPass(QStringLiteral("not-the-password"));
        draft.setNewPass(QStringLiteral("brand-new-pass"));
        draft.setNewPass2(QStringLiteral("brand-new-pass"));
        draft.changePassword();
        QTRY_VERIFY_WITH_TIMEOUT(!draft.changingPass(), kWait);
        QCOMPARE(s.toast(), QStringLiteral("Не удалось сменить пароль (проверь текущий)"));
        QCOMPARE(draft.curPass(), QStringLiteral("not-the-password"));
        QCOMPARE(draft.newPass2(), QStringLiteral("brand-new-pass"));

        // The right one: changed, and the inputs are emptied.
        draft.setCurPass(who.password);
        draft.changePassword();
        QTRY_VERIFY_WITH_TIMEOUT(!draft.changingPass(), kWait);
        QCOMPARE(s.toast(), QStringLiteral("Пароль изменён"));
        QVERIFY(draft.curPass().isEmpty() && draft.newPass().isEmpty() && draft.newPass2().isEmpty());
        QVERIFY(!m_server.signIn(who.login, QStringLiteral("brand-new-pass")).isEmpty());
    }

    // ---- a scripted server that answers late

    // The week's answer, late but before the chosen month's, shows nothing of itself (the other
    // order is covered by the Store's stale-answer test).
    void scopeSwitchDuringSlowAnswer()
    {
        FakeServer server;
        server.answer = [&](const Request &r) {
            if (r.path != "/api/stats")
                return Reply::json({});
            return r.q("scope") == "month" ? Reply::held() : Reply::json(statsFor(r.q("scope")));
        };
        StoreFixture f;
        Store &s = f.signedIn(server.url());
        StatsModel model;
        model.shown();              // the week, as the screen opens
        model.chooseScope("month"); // the user switches before it answers
        QTRY_COMPARE(server.heldCount(), 1);
        QTRY_COMPARE(server.count("/api/stats"), 2);
        QVERIFY(!QTest::qWaitFor([&] { return !s.statMembers().isEmpty(); }, 300));
        QVERIFY(server.release("/api/stats", Reply::json(statsFor("month"))));
        QTRY_VERIFY(!s.statMembers().isEmpty());
        QCOMPARE(model.rows()[1].label, QStringLiteral("month"));
        QCOMPARE(model.scope(), QStringLiteral("month"));
        QVERIFY(!s.loadingStats());
    }

    void lateCreateAfterReopen()
    {
        FakeServer server;
        server.on("POST", "/api/members", Reply::held());
        server.on("GET", "/api/members", Reply::json({{"members", QJsonArray{}}}));
        StoreFixture f;
        Store &s = f.signedIn(server.url());
        s.setMemberFormOpen(true);
        NewMemberDraft first;
        first.setProperty("name", QStringLiteral("Первый"));
        first.submit();
        QTRY_COMPARE(server.heldCount(), 1);
        s.setMemberFormOpen(false); // closed while the answer is on its way…
        QVERIFY(first.isClosed());
        s.setMemberFormOpen(true);  // …and opened again for another member
        NewMemberDraft second;
        server.release("/api/members", Reply::json({{"ok", true}, {"login", "late"}, {"password", "pw"}}));
        QTRY_VERIFY(!first.saving());
        QVERIFY(s.memberFormOpen()); // the new form stays
        QVERIFY(!second.isClosed());
        QCOMPARE(s.memberSecret().value("login").toString(), QStringLiteral("late")); // the credential shows
        QCOMPARE(server.first("POST", "/api/members").json.value("name").toString(), QStringLiteral("Первый"));
    }

    void lateSaveAfterReopen()
    {
        FakeServer server;
        server.on("POST", "/api/members", Reply::held());
        server.on("GET", "/api/members", Reply::json({{"members", QJsonArray{}}}));
        StoreFixture f;
        f.signedIn(server.url());
        Member a;
        a.memberId = QStringLiteral("a");
        Member b;
        b.memberId = QStringLiteral("b");
        MemberEditDraft first;
        first.setMember(a);
        QSignalSpy firstDone(&first, &MemberEditDraft::finished);
        first.submit();
        first.close(); // the sheet is closed, and another member's opened
        MemberEditDraft second;
        second.setMember(b);
        QSignalSpy secondDone(&second, &MemberEditDraft::finished);
        QTRY_COMPARE(server.heldCount(), 1);
        server.release("/api/members", Reply::json({{"ok", true}}));
        QTRY_VERIFY(!first.saving());
        QCOMPARE(firstDone.count(), 0);
        QCOMPARE(secondDone.count(), 0);
        QCOMPARE(server.first("POST", "/api/members").json.size(), 13); // action, id and eleven fields
        // Saved while still open: that sheet closes.
        second.submit();
        QTRY_COMPARE(server.heldCount(), 1);
        server.release("/api/members", Reply::json({{"ok", true}}));
        QVERIFY(secondDone.wait(kWait));
    }
};

QTEST_GUILESS_MAIN(TestTeamE2E)
#include "tst_team_e2e.moc"
