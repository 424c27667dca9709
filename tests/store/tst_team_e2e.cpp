// The team screens' objects end to end. Against the reference server with the demo team: a
// member created through the form (the server's login in the credential text), edited, given a
// new password from the profile sheet, disabled and deleted after the confirmation; the own
// profile and password saved. Against a scripted server that answers late: a scope or range
// switch during a slow answer ends on the chosen one, and a late create or save answer closes
// only the sheet that sent it.
#include "../common/testserver.h"
#include "fakeserver.h"
#include "store/activitymodel.h"
#include "store/memberforms.h"
#include "store/membersmodel.h"
#include "store/profiledraft.h"
#include "store/statsmodel.h"
#include "storekit.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr int kWait = 10000;

struct Signed {
    bool ok = false;
    QString token, session, role;
};

// Signs in the way the client does, without the machine set-up that follows it.
Signed provision(const QString &url, const QString &login, const QString &password)
{
    QNetworkAccessManager nam;
    QNetworkRequest req(QUrl(url + "/api/provision"));
    req.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    QNetworkReply *reply = nam.post(req, QJsonDocument(QJsonObject{{"login", login}, {"password", password}}).toJson());
    [&] { QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), kWait); }();
    const QJsonObject o = QJsonDocument::fromJson(reply->readAll()).object();
    reply->deleteLater();
    return {o.value("ok").toBool(), o.value("token").toString(), o.value("session").toString(),
            o.value("role").toString()};
}

bool signInAs(StoreKit &kit, const QString &url, const QString &login, const QString &password)
{
    const Signed s = provision(url, login, password);
    kit->setServerUrl(url);
    kit->setLogin(login);
    kit->setToken(s.token);
    kit->setSession(s.session);
    kit->setRole(s.role);
    kit->setPhase(Store::Phase::Platform);
    return s.ok;
}

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

    TestServer m_server;

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_server.start(true)); }
    void cleanupTestCase() { m_server.stop(); }

    // ---- the reference server

    void memberLifecycle()
    {
        StoreKit kit;
        const TestServer::Login admin = m_server.loginFor("admin");
        QVERIFY(signInAs(kit, m_server.url(), admin.login, admin.password));
        Store &s = *kit.store;
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
        QVERIFY(provision(m_server.url(), login, s.memberSecret().value("password").toString()).ok);
        view.clearSecret();
        QCOMPARE(sheet.property("name").toString(), QStringLiteral("Вера Т."));
        sheet.submit();
        QVERIFY(finished.wait(kWait));
        QTRY_COMPARE_WITH_TIMEOUT(findMember(s, login)->name, QStringLiteral("Вера Т."), kWait);
        QCOMPARE(findMember(s, login)->timezone, QStringLiteral("Asia/Yekaterinburg"));
        QCOMPARE(QDateTime::fromSecsSinceEpoch(qint64(findMember(s, login)->joinedAt)).date(), QDate(2024, 2, 29));
        QCOMPARE(s.toast(), QStringLiteral("Сохранено ✓"));

        // Disabled from the card menu.
        view.toggleActive(QVariant::fromValue(*findMember(s, login)));
        QTRY_VERIFY_WITH_TIMEOUT(!findMember(s, login)->active, kWait);

        // Deleted only once confirmed.
        view.open(QVariant::fromValue(*findMember(s, login)));
        view.askDelete(view.editing());
        reloadRoster(s);
        QVERIFY(findMember(s, login));
        QVERIFY(view.hasEditing());
        view.confirmDelete();
        QVERIFY(!view.hasEditing());
        QTRY_VERIFY_WITH_TIMEOUT(!findMember(s, login), kWait);
        QCOMPARE(s.toast(), QStringLiteral("Сотрудник удалён"));
        QCOMPARE(view.memberCount(), before);
    }

    void ownProfileAndPassword()
    {
        StoreKit kit;
        const TestServer::Login who = m_server.loginFor("viewer");
        QVERIFY(signInAs(kit, m_server.url(), who.login, who.password));
        Store &s = *kit.store;
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
        QVERIFY(provision(m_server.url(), who.login, QStringLiteral("brand-new-pass")).ok);
    }

    // ---- a scripted server that answers late

    void scopeSwitchDuringSlowAnswer_data()
    {
        QTest::addColumn<int>("weekDelay");
        QTest::addColumn<int>("monthDelay");
        QTest::newRow("the left scope answers last") << 700 << 0;
        QTest::newRow("the chosen scope answers last") << 0 << 700;
    }
    void scopeSwitchDuringSlowAnswer()
    {
        QFETCH(int, weekDelay);
        QFETCH(int, monthDelay);
        FakeServer server;
        server.answer = [&](const Seen &r) {
            if (r.path == "/api/stats") {
                const bool week = r.q("scope") == "week";
                return Canned::json(statsFor(r.q("scope"))).later(week ? weekDelay : monthDelay);
            }
            return Canned::json({});
        };
        StoreKit kit;
        Store &s = kit.signedIn(server.url());
        StatsModel model;
        model.shown();             // the week, as the screen opens
        model.chooseScope("month"); // the user switches before it answers
        QTRY_COMPARE_WITH_TIMEOUT(server.requestsTo("/api/stats").size(), 2, kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!s.statMembers().isEmpty(), kWait);
        QTest::qWait(900); // both answers are in
        QCOMPARE(s.statMembers().first().name, QStringLiteral("month"));
        QCOMPARE(model.rows()[1].label, QStringLiteral("month"));
        QCOMPARE(model.scope(), QStringLiteral("month"));
        QVERIFY(!s.loadingStats());
    }

    void rangeSwitchDuringSlowAnswer()
    {
        FakeServer server;
        server.answer = [&](const Seen &r) {
            if (r.path != "/api/team/analytics")
                return Canned::json({});
            const qint64 days = (r.q("to").toLongLong() - r.q("from").toLongLong()) / 86400;
            const QJsonObject person{{"name", QString::number(days)}, {"active_seconds", 60}};
            return Canned::json({{"people", QJsonArray{person}}}).later(days == 7 ? 700 : 0);
        };
        StoreKit kit;
        Store &s = kit.signedIn(server.url());
        ActivityModel model;
        model.shown();
        model.chooseRange("30");
        QTRY_VERIFY_WITH_TIMEOUT(!s.actPeople().isEmpty(), kWait);
        QTest::qWait(900);
        QCOMPARE(s.actPeople().first().name, QStringLiteral("30"));
        QCOMPARE(model.rangeKey(), QStringLiteral("30"));
        // The same range again still reloads.
        model.chooseRange("30");
        QTRY_COMPARE_WITH_TIMEOUT(server.requestsTo("/api/team/analytics").size(), 3, kWait);
    }

    void lateCreateAfterReopen()
    {
        FakeServer server;
        server.answer = [](const Seen &r) {
            if (r.method == "POST")
                return Canned::json({{"ok", true}, {"login", "late"}, {"password", "pw"}}).later(400);
            return Canned::json({{"members", QJsonArray{}}});
        };
        StoreKit kit;
        Store &s = kit.signedIn(server.url());
        s.setMemberFormOpen(true);
        NewMemberDraft first;
        first.setProperty("name", QStringLiteral("Первый"));
        first.submit();
        s.setMemberFormOpen(false); // closed while the answer is on its way…
        QVERIFY(first.isClosed());
        s.setMemberFormOpen(true);  // …and opened again for another member
        NewMemberDraft second;
        QTRY_VERIFY_WITH_TIMEOUT(!first.saving(), kWait);
        QVERIFY(s.memberFormOpen()); // the new form stays
        QVERIFY(!second.isClosed());
        QCOMPARE(s.memberSecret().value("login").toString(), QStringLiteral("late")); // the credential shows
        QCOMPARE(server.first("POST", "/api/members").body.value("name").toString(), QStringLiteral("Первый"));
    }

    void lateSaveAfterReopen()
    {
        FakeServer server;
        server.answer = [](const Seen &r) {
            if (r.method == "POST")
                return Canned::json({{"ok", true}}).later(400);
            return Canned::json({{"members", QJsonArray{}}});
        };
        StoreKit kit;
        kit.signedIn(server.url());
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
        QTRY_VERIFY_WITH_TIMEOUT(!first.saving(), kWait);
        QCOMPARE(firstDone.count(), 0);
        QCOMPARE(secondDone.count(), 0);
        QCOMPARE(server.first("POST", "/api/members").body.size(), 13); // action, id and eleven fields
        // Saved while still open: that sheet closes.
        second.submit();
        QVERIFY(secondDone.wait(kWait));
    }
};

QTEST_GUILESS_MAIN(TestTeamE2E)
#include "tst_team_e2e.moc"
