// An administrator's day against the reference team server: statistics, activity and a
// breakdown, and a photo uploaded and read back by a fresh client. (The server's own rules are
// tested in tst_server_api; the roster and registry writes end to end in tst_team_e2e and
// tst_resources_e2e; here, that the client reads the team data right.)
#include "kit.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>

namespace {

// Waits for the next assignment of a published field.
template <typename Signal>
void waitFor(Store &store, Signal sig, const std::function<void()> &start)
{
    QSignalSpy spy(&store, sig);
    start();
    [&] { QTRY_VERIFY_WITH_TIMEOUT(spy.size() >= 1, 10000); }();
}

const Member *findMember(const Store &store, const QString &id)
{
    for (const Member &m : store.members())
        if (m.memberId == id)
            return &m;
    return nullptr;
}

} // namespace

class TestAdminE2E : public QObject
{
    Q_OBJECT

    ReferenceServer m_server;
    std::unique_ptr<StoreFixture> m_admin;

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        m_admin = std::make_unique<StoreFixture>(StoreFixture::Options{.httpTimeoutMs = 10000});
        QVERIFY(m_admin->signedInTo(m_server, "admin"));
    }

    // Statistics week then month, activity over 7 and 30 days, and one account's breakdown.
    void teamData()
    {
        Store &store = *m_admin->store;
        auto points = [&] {
            double sum = 0;
            for (const StatMember &m : store.statMembers())
                sum += m.points;
            return sum;
        };
        waitFor(store, &Store::mirrorsChanged, [&] { store.loadStats(); });
        QVERIFY(!store.statMembers().isEmpty() && !store.statAccounts().isEmpty());
        const double week = points();
        waitFor(store, &Store::mirrorsChanged, [&] { store.setStatScopeAndLoad("month"); });
        QVERIFY(points() >= week); // a month holds the week

        for (int days : {7, 30}) {
            waitFor(store, &Store::actPeopleChanged, [&] { store.setActRangeAndLoad(days); });
            QVERIFY(!store.actPeople().isEmpty());
            for (qsizetype i = 1; i < store.actPeople().size(); ++i)
                QVERIFY(store.actPeople()[i - 1].activeSec >= store.actPeople()[i].activeSec);
        }

        waitFor(store, &Store::teamAccountsChanged, [&] { store.loadTeam(); });
        QVERIFY(!store.teamAccounts().isEmpty());
        const TeamAcct busiest = store.teamAccounts().first(); // the list comes sorted
        std::optional<Store::BreakdownResult> got;
        QObject ctx;
        store.fetchBreakdown(busiest.provider, busiest.email, "week", &ctx, [&](const Store::BreakdownResult &r) { got = r; });
        QTRY_VERIFY_WITH_TIMEOUT(got.has_value(), 10000);
        QVERIFY(!got->rows.isEmpty() || got->residualPct > 0);
    }

    // A photo picked from disk goes up shrunk to the pipeline's size, and comes back the same
    // through the photo cache of a fresh client; a member's photo reaches the roster's cache.
    void photoRoundTrip()
    {
        Store &admin = *m_admin->store;
        waitFor(admin, &Store::memberIdChanged, [&] { admin.loadMe(); });
        QImage photo(900, 600, QImage::Format_RGB32);
        photo.fill(QColor(30, 120, 200));
        const QString path = m_admin->dir.filePath("photo.png");
        QVERIFY(photo.save(path));
        m_admin->chooser.next = path;
        admin.pickAvatar();
        QTRY_COMPARE_WITH_TIMEOUT(admin.toast(), QString("Фото обновлено"), 10000);
        QCOMPARE(admin.avatar().size(), QSize(256, 170));

        StoreFixture fresh({.httpTimeoutMs = 10000});
        fresh.signedIn(m_server.url(), admin.role(), admin.session(), admin.token());
        fresh->loadMe();
        QTRY_VERIFY_WITH_TIMEOUT(fresh->hasAvatarImage(), 10000);
        QCOMPARE(fresh->avatar().convertToFormat(QImage::Format_RGBA8888).pixelColor(128, 85), QColor(30, 120, 200));

        waitFor(admin, &Store::membersChanged, [&] { admin.loadMembers(); });
        const QString someone = admin.members().value(0).memberId == admin.memberId() ? admin.members().value(1).memberId
                                                                                      : admin.members().value(0).memberId;
        admin.pickMemberAvatar(someone);
        QTRY_COMPARE_WITH_TIMEOUT(admin.toast(), QString("Сохранено ✓"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(findMember(admin, someone) && findMember(admin, someone)->hasAvatar, 10000);
        admin.ensureMemberAvatar(*findMember(admin, someone));
        QTRY_COMPARE_WITH_TIMEOUT(admin.memberAvatar(someone).size(), QSize(256, 170), 10000);
    }
};

QTEST_MAIN(TestAdminE2E)
#include "tst_admin_e2e.moc"
