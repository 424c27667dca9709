// An administrator's day against the reference team server: statistics, activity and a
// breakdown; a member created, signed in, given a new password, disabled and deleted; a
// registry entry saved and removed; a photo uploaded and read back. And a viewer beside them.
#include "../server/serverproc.h"
#include "storekit.h"

#include <QImage>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>

namespace {

struct Credentials {
    bool ok = false;
    QString token, session, role;
    bool mustChange = false;
};

// Signs in the way the client does, without the machine set-up that follows it.
Credentials provision(const QString &url, const QString &login, const QString &password)
{
    QNetworkAccessManager nam;
    QNetworkRequest req(QUrl(url + "/api/provision"));
    req.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    QNetworkReply *reply = nam.post(req, QJsonDocument(QJsonObject{{"login", login}, {"password", password}}).toJson());
    [&] { QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 10000); }();
    const QJsonObject o = QJsonDocument::fromJson(reply->readAll()).object();
    reply->deleteLater();
    return {o.value("ok").toBool(), o.value("token").toString(), o.value("session").toString(),
            o.value("role").toString(), o.value("must_change").toBool()};
}

void useCredentials(StoreKit &kit, const QString &url, const QString &login, const Credentials &c)
{
    kit->setServerUrl(url);
    kit->setLogin(login);
    kit->setToken(c.token);
    kit->setSession(c.session);
    kit->setRole(c.role);
}

// The HTTP status the server gives this store's credential for its own profile.
int profileStatus(Store &store)
{
    int status = -1;
    store.getStatus("/api/me", [&](const HttpReply &r) { status = r.ok ? r.status : 0; });
    [&] { QTRY_VERIFY_WITH_TIMEOUT(status != -1, 10000); }();
    return status;
}

// Waits for the next assignment of a published field.
template <typename Signal>
void waitFor(Store &store, Signal sig, const std::function<void()> &start)
{
    QSignalSpy spy(&store, sig);
    start();
    [&] { QTRY_VERIFY_WITH_TIMEOUT(spy.size() >= 1, 10000); }();
}

bool hasMember(const Store &store, const QString &id)
{
    for (const Member &m : store.members())
        if (m.memberId == id)
            return true;
    return false;
}

bool hasAccount(const Store &store, const QString &provider, const QString &email)
{
    for (const TeamAcct &a : store.teamAccounts())
        if (a.provider == provider && a.email == email)
            return true;
    return false;
}

double totalPoints(const Store &store)
{
    double sum = 0;
    for (const StatMember &m : store.statMembers())
        sum += m.points;
    return sum;
}

qint64 totalActive(const Store &store)
{
    qint64 sum = 0;
    for (const ActPerson &p : store.actPeople())
        sum += p.activeSec;
    return sum;
}

} // namespace

class TestAdminE2E : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dbDir;
    ServerProc m_server;
    std::unique_ptr<StoreKit> m_admin;
    QString m_url;

    // The first demo sign-in with this role: (login, password), or empty strings.
    std::pair<QString, QString> loginFor(const QString &role) const
    {
        for (auto it = m_server.logins.cbegin(); it != m_server.logins.cend(); ++it)
            if (it.value().second == role)
                return {it.key(), it.value().first};
        return {};
    }

private slots:
    void initTestCase()
    {
        // The demo team's first three sign-ins: two administrators and a viewer.
        if (!m_server.start({"--db", m_dbDir.filePath("team.sqlite"), "--demo", "--seed", "7"}, 3))
            QSKIP("the reference team server is not available");
        m_url = m_server.url;
        const auto [login, password] = loginFor("admin");
        QVERIFY(!login.isEmpty());
        const Credentials c = provision(m_url, login, password);
        QVERIFY(c.ok);
        QCOMPARE(c.role, QString("admin"));
        m_admin = std::make_unique<StoreKit>(10000);
        useCredentials(*m_admin, m_url, login, c);
    }

    // Statistics week then month, activity over 7, 14 and 30 days, and one account's breakdown.
    void teamData()
    {
        Store &store = *m_admin->store;
        waitFor(store, &Store::mirrorsChanged, [&] { store.loadStats(); });
        QVERIFY(!store.loadingStats());
        QVERIFY(!store.statMembers().isEmpty());
        QVERIFY(!store.statAccounts().isEmpty());
        const double week = totalPoints(store);

        waitFor(store, &Store::mirrorsChanged, [&] { store.setStatScopeAndLoad("month"); });
        QCOMPARE(store.statScope(), QString("month"));
        QVERIFY(totalPoints(store) >= week); // a month holds the week

        qint64 previous = -1;
        for (int days : {7, 14, 30}) {
            waitFor(store, &Store::actPeopleChanged, [&] { store.setActRangeAndLoad(days); });
            QVERIFY(!store.loadingActivity());
            QVERIFY(!store.actPeople().isEmpty());
            for (qsizetype i = 1; i < store.actPeople().size(); ++i)
                QVERIFY(store.actPeople()[i - 1].activeSec >= store.actPeople()[i].activeSec);
            QVERIFY(totalActive(store) >= previous);
            previous = totalActive(store);
        }

        waitFor(store, &Store::teamAccountsChanged, [&] { store.loadTeam(); });
        QVERIFY(!store.teamAccounts().isEmpty());
        // The busiest account of the week has someone to attribute its use to.
        TeamAcct busiest = store.teamAccounts().first();
        for (const TeamAcct &a : store.teamAccounts())
            if (a.sevenPct > busiest.sevenPct)
                busiest = a;
        std::optional<Store::BreakdownResult> got;
        QObject ctx;
        store.fetchBreakdown(busiest.provider, busiest.email, "week", &ctx,
                             [&](const Store::BreakdownResult &r) { got = r; });
        QTRY_VERIFY_WITH_TIMEOUT(got.has_value(), 10000);
        QVERIFY(!got->rows.isEmpty() || got->residualPct > 0);
        QVERIFY(got->observedPct >= 0);
    }

    // A member from creation to deletion, with each credential checked at the server.
    void memberLifecycle()
    {
        Store &admin = *m_admin->store;
        const QString login = QStringLiteral("e2e.тест");
        std::optional<bool> created;
        admin.createMember("Тест Тестов", login, "viewer",
                           {{"department", "QA & Ops"}, {"specialization", "тесты"}, {"member_type", "contractor"}},
                           [&](bool ok) { created = ok; });
        QTRY_VERIFY_WITH_TIMEOUT(created.has_value(), 10000);
        QVERIFY(*created);
        const QVariantMap secret = admin.memberSecret();
        QCOMPARE(secret.value("title").toString(), QString("Сотрудник создан"));
        QCOMPARE(secret.value("login").toString(), login);
        QVERIFY(secret.value("created").toBool());
        const QString firstPassword = secret.value("password").toString();
        QVERIFY(!firstPassword.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(hasMember(admin, login), 10000);
        admin.clearMemberSecret();

        // The member signs in with the one-time password and sees their own profile only.
        const Credentials first = provision(m_url, login, firstPassword);
        QVERIFY(first.ok);
        QCOMPARE(first.role, QString("viewer"));
        StoreKit member(10000);
        useCredentials(member, m_url, login, first);
        waitFor(*member.store, &Store::meDeptChanged, [&] { member->loadMe(); });
        QCOMPARE(member->memberId(), login);
        QCOMPARE(member->meDept(), QString("QA & Ops"));
        QCOMPARE(member->meType(), QString("contractor"));

        std::optional<bool> saved;
        member->updateMe({{"telegram", "@tester"}}, [&](bool ok) { saved = ok; });
        QTRY_VERIFY_WITH_TIMEOUT(saved.has_value(), 10000);
        QVERIFY(*saved);
        QTRY_COMPARE_WITH_TIMEOUT(member->meTelegram(), QString("@tester"), 10000);

        // A reset hands out a new password; the old one and its credentials stop working.
        admin.memberAction("reset_password", login);
        QTRY_VERIFY_WITH_TIMEOUT(!admin.memberSecret().isEmpty(), 10000);
        QCOMPARE(admin.memberSecret().value("title").toString(), QString("Новый пароль"));
        QCOMPARE(admin.memberSecret().value("login").toString(), login);
        QCOMPARE(admin.memberSecret().value("created").toBool(), false);
        const QString newPassword = admin.memberSecret().value("password").toString();
        QVERIFY(!newPassword.isEmpty() && newPassword != firstPassword);
        QVERIFY(!provision(m_url, login, firstPassword).ok);
        QCOMPARE(profileStatus(*member.store), 401);
        const Credentials second = provision(m_url, login, newPassword);
        QVERIFY(second.ok);
        useCredentials(member, m_url, login, second);
        QCOMPARE(profileStatus(*member.store), 200);

        std::optional<bool> changed;
        member->changeMyPassword(newPassword, "новый-пароль-1", "новый-пароль-1", [&](bool ok) { changed = ok; });
        QTRY_VERIFY_WITH_TIMEOUT(changed.has_value(), 10000);
        QVERIFY(*changed);
        QCOMPARE(member->toast(), QString("Пароль изменён"));

        // Disabled: the member's credential is refused from then on, and so is a sign-in.
        admin.setToast({});
        admin.memberAction("update", login, {{"active", false}});
        QTRY_COMPARE_WITH_TIMEOUT(admin.toast(), QString("Готово"), 10000);
        QCOMPARE(profileStatus(*member.store), 401);
        QVERIFY(!provision(m_url, login, "новый-пароль-1").ok);
        auto disabled = [&] {
            for (const Member &m : admin.members())
                if (m.memberId == login)
                    return !m.active;
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(disabled(), 10000);

        admin.deleteMember(login);
        QTRY_COMPARE_WITH_TIMEOUT(admin.toast(), QString("Сотрудник удалён"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!admin.members().isEmpty() && !hasMember(admin, login), 10000);
        QVERIFY(!admin.authExpired());

        // Deleting it again is refused and reported as such.
        admin.setToast({});
        admin.deleteMember(login);
        QTRY_COMPARE_WITH_TIMEOUT(admin.toast(), QString("Не удалось удалить"), 10000);
    }

    void registryEntry()
    {
        Store &admin = *m_admin->store;
        const QString email = QStringLiteral("e2e+reg list@corvane.test");
        const QVariantMap body{{"email", email}, {"provider", "kimi"}, {"group_name", "R&D"}, {"owner", ""},
                               {"plan", "Pro"}, {"price", 20}, {"currency", "USD"}, {"pay_method", "card"},
                               {"renew_date", "2030-01-31"}, {"status", "active"}, {"notes", ""},
                               {"auth_type", "api_key"}, {"cc_provider", "moonshot"},
                               {"base_url", "https://api.example"}, {"model", "k2"}, {"api_key", "sk-test"}};
        std::optional<bool> saved;
        admin.saveAccount(body, [&](bool ok) { saved = ok; });
        QTRY_VERIFY_WITH_TIMEOUT(saved.has_value(), 10000);
        QVERIFY(*saved);
        QCOMPARE(admin.toast(), QString("Сохранено ✓"));
        QTRY_VERIFY_WITH_TIMEOUT(hasAccount(admin, "kimi", email), 10000);

        // The server's own refusal text reaches the toast with its status.
        QVariantMap bad = body;
        bad.insert("renew_date", "31.01.2030");
        saved.reset();
        admin.saveAccount(bad, [&](bool ok) { saved = ok; });
        QTRY_VERIFY_WITH_TIMEOUT(saved.has_value(), 10000);
        QVERIFY(!*saved);
        QVERIFY(admin.toast().startsWith("Ошибка сохранения (код 400): "));

        admin.deleteAccount("kimi", email);
        QTRY_COMPARE_WITH_TIMEOUT(admin.toast(), QString("Удалено"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!hasAccount(admin, "kimi", email), 10000);
    }

    // A photo picked from disk goes up shrunk to the pipeline's size, and comes back the same
    // through the photo cache of a fresh client.
    void photoRoundTrip()
    {
        Store &admin = *m_admin->store;
        waitFor(admin, &Store::memberIdChanged, [&] { admin.loadMe(); });
        const QString me = admin.memberId();
        QVERIFY(!me.isEmpty());

        QImage photo(900, 600, QImage::Format_RGB32);
        photo.fill(QColor(30, 120, 200));
        const QString path = m_admin->dir.filePath("photo.png");
        QVERIFY(photo.save(path));
        m_admin->chooser.next = path;
        admin.pickAvatar();
        QTRY_COMPARE_WITH_TIMEOUT(admin.toast(), QString("Фото обновлено"), 10000);
        QCOMPARE(admin.avatar().size(), QSize(256, 170));
        QCOMPARE(admin.memberAvatar(me).size(), QSize(256, 170));

        StoreKit fresh(10000);
        fresh->setServerUrl(m_url);
        fresh->setToken(admin.token());
        fresh->setSession(admin.session());
        fresh->setRole(admin.role());
        QSignalSpy avatar(fresh.store.get(), &Store::avatarChanged);
        fresh->loadMe();
        QTRY_VERIFY_WITH_TIMEOUT(fresh->hasAvatarImage(), 10000);
        QCOMPARE(fresh->avatar().size(), QSize(256, 170));
        QCOMPARE(fresh->avatar().convertToFormat(QImage::Format_RGBA8888).pixelColor(128, 85), QColor(30, 120, 200));

        // A member's photo, set by the administrator, reaches the roster's photo cache.
        m_admin->chooser.next = path;
        const Member someone = [&] {
            waitFor(admin, &Store::membersChanged, [&] { admin.loadMembers(); });
            for (const Member &m : admin.members())
                if (m.memberId != me)
                    return m;
            return Member();
        }();
        QVERIFY(!someone.memberId.isEmpty());
        admin.setToast({});
        admin.pickMemberAvatar(someone.memberId);
        QTRY_COMPARE_WITH_TIMEOUT(admin.toast(), QString("Сохранено ✓"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(hasMember(admin, someone.memberId), 10000);
        for (const Member &m : admin.members())
            if (m.memberId == someone.memberId) {
                QVERIFY(m.hasAvatar);
                admin.ensureMemberAvatar(m);
            }
        QTRY_VERIFY_WITH_TIMEOUT(!admin.memberAvatar(someone.memberId).isNull(), 10000);
        QCOMPARE(admin.memberAvatar(someone.memberId).size(), QSize(256, 170));
    }

    // A viewer's session beside the administrator: the team's data stays out of reach.
    void viewerSeesNoTeamData()
    {
        const auto [login, password] = loginFor("viewer");
        QVERIFY(!login.isEmpty());
        const Credentials c = provision(m_url, login, password);
        QVERIFY(c.ok);
        StoreKit kit(10000);
        useCredentials(kit, m_url, login, c);
        kit->loadStats();
        kit->loadActivity();
        kit->loadMembers();
        std::optional<Store::BreakdownResult> b;
        QObject ctx;
        kit->fetchBreakdown("claude", "someone@corvane.test", "week", &ctx, [&](const Store::BreakdownResult &r) { b = r; });
        QTRY_VERIFY(b.has_value());
        QTest::qWait(300);
        QVERIFY(b->rows.isEmpty());
        QVERIFY(kit->statMembers().isEmpty() && kit->actPeople().isEmpty() && kit->members().isEmpty());
        QVERIFY(!kit->loadingStats() && !kit->loadingActivity() && !kit->loadingMembers());
        // The viewer's own profile still loads.
        waitFor(*kit.store, &Store::memberIdChanged, [&] { kit->loadMe(); });
        QCOMPARE(kit->memberId(), login);
    }
};

QTEST_MAIN(TestAdminE2E)
#include "tst_admin_e2e.moc"
