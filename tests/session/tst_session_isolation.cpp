// Answers belong to the session that asked, and the secret store never holds the window: late
// answers of an administrator after a viewer signed in, and a sign-in during start-up over a secret
// store that answers late or never. (Late answers within one session: the late-answer table.)
#include "kit.h"

#include <QSignalSpy>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// One answer that every administrator endpoint would read something from.
QJsonObject adminBody()
{
    return obj(R"({"ok": true, "name": "Админ", "member_id": "boss", "role": "admin",
        "member": {"name": "Админ", "role": "admin"},
        "accounts": [{"email": "team@x", "seven_day_pct": 50}, {"account_email": "mine@x", "five_hour_pct": 10}],
        "events": [{"id": 1, "title": "Лимит"}], "unread": 4,
        "members": [{"id": "anna", "name": "Анна"}], "people": [{"name": "Анна", "active_seconds": 60}],
        "password": "new-pass", "login": "anna"})");
}

// Sign-in answer of a viewer who must set a password first (so no set-up script runs here).
Reply viewerSignIn(const QString &url)
{
    return Reply::json({{"ok", true}, {"token", "TV"}, {"role", "viewer"}, {"name", "Вера"}, {"url", url},
                        {"must_change", true}});
}

} // namespace

class TstSessionIsolation : public QObject
{
    Q_OBJECT

private slots:
    // An administrator's loads and writes are still on their way when they sign out and a viewer
    // signs in: whatever comes back, as data or as 401, lands nowhere.
    void lateAdminAnswersAfterAViewerSignedIn_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("200") << 200;
        QTest::newRow("401") << 401;
    }
    void lateAdminAnswersAfterAViewerSignedIn()
    {
        QFETCH(int, status);
        // Two servers: the held answers take every connection the client opens to the first.
        FakeServer admin, viewer;
        admin.answer = [](const Request &) { return Reply::held(); };
        viewer.on(u"/api/provision"_s, viewerSignIn(viewer.url()));
        StoreFixture f;
        Store &s = f.signedIn(admin.url(), u"admin"_s);
        s.setName(u"Админ"_s);
        s.refreshHome();
        s.loadTeam();
        s.loadAlerts();
        s.loadMembers();
        s.loadStats();
        s.loadActivity();
        s.loadMe();
        s.fetchMemberAvatar(u"anna"_s, 5, true, false);
        bool breakdown = false;
        s.fetchBreakdown(u"claude"_s, u"a@x"_s, u"week"_s, &s, [&](const Store::BreakdownResult &) { breakdown = true; });
        s.refreshLimits();
        std::optional<bool> saved;
        s.saveAccount({{"email", "a@x"}}, [&](bool ok) { saved = ok; });
        s.deleteMember(u"anna"_s);
        s.memberAction(u"reset_password"_s, u"anna"_s);
        s.resources()->openForm(QVariant::fromValue(TeamAcct{}));
        s.resources()->setQuery(u"ivanov"_s);
        s.resources()->setProv(u"claude"_s);
        s.resources()->toggleExpanded(u"acc-1"_s);
        s.roster()->setFormOpen(true);
        s.roster()->setDept(u"Core"_s);
        s.roster()->setSortKey(Tm::Sort::Name);
        QTRY_COMPARE(admin.heldCount(), 6);   // the rest wait for a connection inside the client

        s.logOut();
        s.setServerUrl(viewer.url());
        s.signIn(u"vera"_s, u"pw"_s);
        QTRY_COMPARE(s.phase(), Store::Phase::ChangePassword);
        QVERIFY(!s.busy() && !s.loadingTeam() && !s.stats()->loading() && !s.loadingMembers() && !s.refreshingLimits());
        QVERIFY(!s.resources()->formOpen() && s.resources()->formEdit().isNull() && !s.roster()->formOpen());
        // The next user finds the screens unfiltered, not as the administrator left them.
        QVERIFY(s.resources()->query().isEmpty() && s.resources()->prov().isEmpty() && s.resources()->expanded().isEmpty());
        QVERIFY(s.roster()->dept().isEmpty() && s.roster()->sortKey() == Tm::Sort::Online);

        // Now every answer comes, the held ones and those sent only now.
        const Reply late = Reply::json(adminBody(), status);
        admin.answer = [late](const Request &) { return late; };
        admin.releaseAll(late);
        QTRY_COMPARE_WITH_TIMEOUT(s.http()->inFlight(), 0, 10000);
        QCOMPARE(admin.seen.size(), 15);             // nothing more: no reload after a write
        QCOMPARE(s.role(), u"viewer"_s);
        QCOMPARE(s.name(), u"Вера"_s);
        QCOMPARE(s.token(), u"TV"_s);
        QVERIFY(s.home()->accounts().isEmpty() && s.teamAccounts().isEmpty() && s.home()->alerts().isEmpty());
        QCOMPARE(s.home()->alertsUnread(), 0);
        QVERIFY(s.members().isEmpty() && s.stats()->members().isEmpty() && s.activity()->people().isEmpty());
        QVERIFY(s.profile()->memberId().isEmpty() && s.memberAvatars().isEmpty());
        QVERIFY(s.roster()->secret().isEmpty());
        QVERIFY(s.toast().isEmpty());
        QVERIFY(!s.authExpired());
        QVERIFY(!saved.has_value() && !breakdown);
        QCOMPARE(s.phase(), Store::Phase::ChangePassword);
    }

    // A sign-in started while start-up is still reading wins: start-up's late result (another
    // user's saved session) is dropped, and the sign-in's own saving does not hold it up.
    void signInDuringStartUpWins_data()
    {
        QTest::addColumn<int>("delayMs"); // per answer of the store; -1: never
        QTest::newRow("late") << 60;
        QTest::newRow("never") << -1;
    }
    void signInDuringStartUpWins()
    {
        QFETCH(int, delayMs);
        FakeServer server;
        server.on(u"/api/provision"_s, viewerSignIn(server.url()));
        SlowSecrets slow(delayMs);
        slow.inner.set(u"token"_s, u"TA"_s);
        slow.inner.set(u"role"_s, u"admin"_s);
        slow.inner.set(u"url"_s, server.url());
        StoreFixture f({.secrets = &slow, .secretsBoundMs = 300});
        f.writeConfig();
        f->setServerUrl(server.url());
        QSignalSpy phases(f.store.get(), &Store::phaseChanged);
        f->bootstrap();
        f->signIn(u"vera"_s, u"pw"_s);
        QVERIFY(!f->restoring());
        QTRY_COMPARE(f->phase(), Store::Phase::ChangePassword);   // not waiting on the store
        QCOMPARE(f->token(), u"TV"_s);
        QCOMPARE(f->role(), u"viewer"_s);
        if (delayMs >= 0) {
            QTRY_COMPARE(slow.pending(), 0);
            QCOMPARE(slow.inner.get(u"token"_s), std::optional<QString>(u"TV"_s)); // saved after the reads
        } else {
            QVERIFY(slow.log.contains(u"write session"_s)); // asked for, never answered
        }
        QVERIFY(!phases.wait(600));            // well past the bound: nothing moves back
        QCOMPARE(f->phase(), Store::Phase::ChangePassword);
        QCOMPARE(f->token(), u"TV"_s);
        QCOMPARE(server.count(u"/api/my/status"_s), 0); // the saved session never came to life
        QVERIFY(server.first("GET", u"/api/me"_s).auth == "Bearer TV");

        // Signing out right away removes the items after they were written, in that order.
        f->logOut();
        QCOMPARE(slow.log.mid(slow.log.size() - 6), QStringList({"remove token", "remove login", "remove name",
                                                                   "remove url", "remove role", "remove session"}));
        if (delayMs >= 0) {
            QTRY_COMPARE(slow.pending(), 0);
            QCOMPARE(slow.inner.get(u"token"_s), std::nullopt);
        }
    }
};

QTEST_GUILESS_MAIN(TstSessionIsolation)
#include "tst_session_isolation.moc"
