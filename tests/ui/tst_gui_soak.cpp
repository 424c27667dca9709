// A person's long afternoon with the real main window under Xvfb: an administrator walks every
// section, opens and closes what each one opens, filters and sorts, resizes the window between its
// minimum and a large desktop while answers land, loses the server and gets it back, signs out,
// and a viewer walks it again. The answers are the reference server's own, their figures moving
// with every request, and once more with every number in a hostile shape. Nothing is asserted
// about pixels: the client must survive it (run under the sanitizers by scripts/soak.sh) and keep
// the dashboard's tiles in their row.
//
// CORVANE_SOAK_ROUNDS sets the rounds (1 by default, as CI runs it).
#include "app/app.h"
#include "app/shell.h"
#include "kit.h"

#include <QApplication>
#include <QDateTime>
#include <QUrl>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>
#include <functional>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

namespace {

const QList<QSize> kSizes{{1000, 640}, {1600, 1000}, {1320, 840}, {1137, 701}, {1480, 930}, {1000, 1000}, {1600, 640}};

void collect(QQuickItem *item, const QString &name, QList<QQuickItem *> &out)
{
    if (!item || !item->isVisible())
        return;
    if (item->objectName() == name)
        out.append(item);
    for (QQuickItem *child : item->childItems())
        collect(child, name, out);
}

// Every visible item of that name, in the window or in any popup it shows.
QList<QQuickItem *> visibleNamed(QQuickWindow *w, const QString &name)
{
    QList<QQuickItem *> out;
    collect(w->contentItem(), name, out);
    if (QQuickItem *overlay = w->contentItem()->parentItem())
        for (QQuickItem *child : overlay->childItems())
            if (child != w->contentItem())
                collect(child, name, out);
    return out;
}

// The value in the place of a number, one kind after another: the shapes a careless server or a
// proxy's rewriting sends where a number belongs.
QJsonValue hostile(double n, int &turn)
{
    switch (turn++ % 7) {
    case 0: return QString::number(n);
    case 1: return true;
    case 2: return QJsonValue::Null;
    case 3: return QJsonArray{n, n};
    case 4: return -n - 1;
    case 5: return 1e308;
    default: return QJsonObject{{QStringLiteral("v"), n}};
    }
}

// The answer with its numbers moved a little (`wild` false: every figure changes from one answer
// to the next, as the server's own do) or replaced by hostile shapes.
QJsonValue spoil(const QJsonValue &v, int &turn, bool wild)
{
    if (v.isDouble())
        return wild ? hostile(v.toDouble(), turn) : QJsonValue(v.toDouble() * (1 + (turn++ % 7) / 50.0));
    if (v.isArray()) {
        QJsonArray out;
        for (const QJsonValue &e : v.toArray())
            out.append(spoil(e, turn, wild));
        return out;
    }
    if (v.isObject()) {
        QJsonObject out;
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it)
            out.insert(it.key(), spoil(it.value(), turn, wild));
        return out;
    }
    return v;
}

} // namespace

class TestGuiSoak : public QObject
{
    Q_OBJECT
    ReferenceServer m_server;
    QStringList m_serverArgs{QStringLiteral("--simulate"), QStringLiteral("--simulate-interval"), QStringLiteral("250")};
    std::unique_ptr<CorvaneApp> m_app;
    QQuickWindow *w() const { return m_app->mainWindow(); }
    Store *store() const { return m_app->store(); }

    // Clicks the middle of the first visible item of that name; false when there is none.
    bool click(const QString &name, int nth = 0)
    {
        const QList<QQuickItem *> items = visibleNamed(w(), name);
        if (items.size() <= nth)
            return false;
        QQuickItem *item = items.at(nth);
        const QPointF c = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
        if (c.x() < 0 || c.y() < 0 || c.x() >= w()->width() || c.y() >= w()->height())
            return false; // scrolled out of the window: a person would not reach it either
        QTest::mouseClick(w(), Qt::LeftButton, {}, c.toPoint());
        return true;
    }
    void key(Qt::Key k) { QTest::keyClick(w(), k); }

    // Lets the simulated figures move on: the next answer of the team (or of the own status for a
    // viewer) has landed.
    void nextAnswer()
    {
        QSignalSpy team(store(), &Store::teamAccountsChanged);
        QSignalSpy home(store()->home(), &HomeState::accountsChanged);
        store()->reload();
        // An answer that finds nothing new changes nothing; the soak goes on either way.
        (void)QTest::qWaitFor([&] { return team.size() + home.size() > 0; }, 3000);
    }

    void resizeThrough()
    {
        for (const QSize &s : kSizes) {
            w()->resize(s);
            (void)QTest::qWaitFor([&] { return w()->size() == s; }, 1000); // a size the screen refuses is a size too
            nextAnswer();
        }
    }

    // A session of the reference server for that role, entered as a restored session would be
    // (key events do not reach the fields of a window no window manager activated).
    void enterAs(const QString &url, const QString &role, const QString &session)
    {
        store()->setServerUrl(url);
        store()->setToken(QStringLiteral("T"));
        store()->setSession(session);
        store()->setRole(role);
        store()->setPhase(Store::Phase::Platform);
        store()->startAutoRefresh();
        QTRY_VERIFY_WITH_TIMEOUT(!visibleNamed(w(), QStringLiteral("platformView")).isEmpty(), 10000);
    }

    void checkTilesInARow()
    {
        const QList<QQuickItem *> tiles = [&] {
            QList<QQuickItem *> out;
            for (const char *t : {"tile_Онлайн", "tile_Аккаунты", "tile_Расход", "tile_Критичные 7д"})
                out += visibleNamed(w(), QString::fromUtf8(t));
            return out;
        }();
        if (tiles.size() < 2)
            return;
        for (int i = 1; i < tiles.size(); ++i) {
            const QPointF a = tiles[i - 1]->mapToScene({0, 0}), b = tiles[i]->mapToScene({0, 0});
            QVERIFY2(qAbs(a.y() - b.y()) < 1 && b.x() >= a.x() + tiles[i - 1]->width() - 1,
                     "the dashboard's tiles lie on one another");
        }
    }

    // Every section, with what a person opens and closes in it.
    void walkSections()
    {
        const QVariantList items = Shell::instance()->sidebarItems();
        for (const QVariant &v : items) {
            const QString key = v.toMap().value(QStringLiteral("key")).toString();
            QVERIFY2(click(QStringLiteral("nav_") + key), qPrintable(key));
            QTRY_COMPARE(store()->navName(), key);
            nextAnswer();
            poke(key);
            nextAnswer();
        }
        QVERIFY(click(QStringLiteral("nav_dashboard")));
        nextAnswer();
        resizeThrough();
        checkTilesInARow();
    }

    void poke(const QString &section)
    {
        auto openClose = [&](const QString &opener, int nth = 0) {
            if (click(opener, nth)) {
                nextAnswer();
                key(Qt::Key_Escape);
                nextAnswer();
            }
        };
        if (section == QLatin1String("dashboard")) {
            click(QStringLiteral("cardHeader"));
            nextAnswer();
            w()->resize(kSizes.at(1));
            nextAnswer();
            click(QStringLiteral("cardHeader"));
        } else if (section == QLatin1String("accounts")) {
            click(QStringLiteral("rowBar"));
            nextAnswer();
            click(QStringLiteral("rowBar"));
            for (const char *chip : {"chip_claude", "chip_codex", "chip_all"})
                click(QString::fromLatin1(chip));
            store()->resources()->setQuery(QStringLiteral("a"));
            nextAnswer();
            store()->resources()->setQuery(QString());
            click(QStringLiteral("modeSeg"));
            openClose(QStringLiteral("addAccountButton"));
            store()->resources()->setFormOpen(false);
        } else if (section == QLatin1String("team")) {
            openClose(QStringLiteral("addMemberButton"));
            store()->roster()->setFormOpen(false);
            openClose(QStringLiteral("cardMenuButton"));
            store()->roster()->setQuery(QStringLiteral("an"));
            nextAnswer();
            store()->roster()->setQuery(QString());
            click(QStringLiteral("sortButton"));
        } else if (section == QLatin1String("stats")) {
            click(QStringLiteral("scopeSeg"));
            click(QStringLiteral("refreshButton"));
        } else if (section == QLatin1String("activity")) {
            click(QStringLiteral("rangeSeg"));
            click(QStringLiteral("refreshButton"));
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.start(m_serverArgs));
        qputenv("BRINDLE_SERVER_URL", m_server.url().toUtf8());
    }

    // The reference server's own answers (its figures moving), served as they are or with every
    // number replaced by a string, a Boolean, null, an array, an object or an extreme, to a window
    // that is walked and resized as above by an administrator, loses the server and gets it back,
    // signs out, and is walked again by a viewer. With hostile numbers the figures shown are
    // nonsense; either way the client must not fall over.
    void walk_data()
    {
        QTest::addColumn<bool>("hostile");
        QTest::newRow("real answers") << false;
        QTest::newRow("hostile numbers") << true;
    }
    void walk()
    {
        QFETCH(bool, hostile);
        const ReferenceServer::Login admin = m_server.loginFor(QStringLiteral("admin"));
        const QString session = m_server.signIn(admin.login, admin.password);
        QVERIFY(!session.isEmpty());
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        QHash<QString, QJsonObject> real;
        for (const QString &path :
             {QStringLiteral("/api/my/status"), QStringLiteral("/api/me"), QStringLiteral("/api/accounts"),
              QStringLiteral("/api/events?limit=100"), QStringLiteral("/api/stats?scope=week"),
              QStringLiteral("/api/team/result?days=7"), QStringLiteral("/api/mirrors/limits?days=30"),
              QStringLiteral("/api/team/analytics?from=%1&to=%2&tz=0").arg(now - 7 * 86400).arg(now),
              QStringLiteral("/api/members")}) {
            const ReferenceServer::Answer a = m_server.get(path, session);
            QVERIFY2(a.isJsonObject(), qPrintable(path));
            real.insert(path.section(u'?', 0, 0), a.json());
        }
        const QJsonObject firstAccount = real.value(QStringLiteral("/api/accounts"))
                                             .value(QStringLiteral("accounts")).toArray().first().toObject();
        const ReferenceServer::Answer breakdown = m_server.get(
            QStringLiteral("/api/accounts/breakdown?provider=%1&email=%2&scope=week&metric=seven_day")
                .arg(firstAccount.value(QStringLiteral("provider")).toString(),
                     QString::fromLatin1(QUrl::toPercentEncoding(firstAccount.value(QStringLiteral("email")).toString()))),
            session);
        real.insert(QStringLiteral("/api/accounts/breakdown"), breakdown.json());

        FakeServer fake;
        int turn = 0;
        fake.answer = [&](const Request &r) {
            if (!real.contains(r.path))
                return Reply::json({{"ok", true}});
            return Reply::json(spoil(real.value(r.path), turn, hostile).toObject());
        };
        StoreFixture f({.httpTimeoutMs = 2000, .refreshMs = 700});
        AppOptions options;
        options.deps = f.deps;
        options.startUpdaterSchedule = false;
        options.showTrayIcon = false;
        m_app = std::make_unique<CorvaneApp>(options);
        QString error;
        QVERIFY2(m_app->start(&error), qPrintable(error));
        QVERIFY(QTest::qWaitForWindowExposed(w()));
        QTRY_VERIFY(!store()->restoring());
        const int rounds = std::max(1, qEnvironmentVariableIntValue("CORVANE_SOAK_ROUNDS"));
        for (int round = 0; round < rounds; ++round) {
            turn = round; // each round puts other shapes in other places
            enterAs(fake.url(), QStringLiteral("admin"), QStringLiteral("S"));
            QVERIFY(fake.waitFor(QStringLiteral("/api/accounts"), round + 1));
            walkSections();
            if (QTest::currentTestFailed())
                return;
            // The server goes away and comes back; the window keeps what it showed meanwhile.
            store()->setServerUrl(FakeServer::refusedUrl());
            QTRY_VERIFY_WITH_TIMEOUT(store()->serverLost(), 10000);
            resizeThrough();
            checkTilesInARow();
            store()->setServerUrl(fake.url());
            QTRY_VERIFY_WITH_TIMEOUT(!store()->serverLost(), 10000);
            QVERIFY(click(QStringLiteral("logoutButton")));
            QTRY_COMPARE(store()->phase(), Store::Phase::Auth);
            enterAs(fake.url(), QStringLiteral("viewer"), QStringLiteral("S"));
            walkSections();
            store()->logOut();
            if (QTest::currentTestFailed())
                return;
            qInfo("round %d of %d done", round + 1, rounds);
        }
        m_app.reset();
    }
};

QTEST_MAIN(TestGuiSoak)
#include "tst_gui_soak.moc"
