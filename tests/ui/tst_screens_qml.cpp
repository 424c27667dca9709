// Qt Quick Tests of the application's screens against the reference server, one Store for the
// whole run as in the application. On an empty database: the first-run path from sign-in to the
// platform, the shell (sidebar, profile, toast, relogin banner), the tray panel and the
// shared widgets; each of those files starts from a signed-out Store (helper.reset()). With the
// demo team: the AI resources table, cards and account form by mouse and keyboard, state kept
// across reloads, keyboard paths through the team screen, its sheets and the profile tabs, and an
// accessible name on every control reachable by Tab; each of those files signs in first
// (helper.signIn()).
#include "kit.h"
#include "app/appupdater.h"
#include "app/avatarprovider.h"
#include "app/shell.h"
#include "store/store.h"
#include "ui/uibridge.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlProperty>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

namespace {

// What an assistive tool announces for an item: its accessible name, or (as Qt Quick does once
// accessibility is active) a button's own text.
QString announcedName(QQuickItem *item)
{
    const QString name = QQmlProperty(item, QStringLiteral("Accessible.name"), qmlContext(item)).read().toString();
    if (!name.isEmpty())
        return name;
    if (item->inherits("QQuickAbstractButton"))
        return item->property("text").toString();
    return QString();
}

void collectUnnamed(QQuickItem *item, QStringList &out)
{
    if (!item->isVisible() || !item->isEnabled())
        return;
    if (item->activeFocusOnTab() && announcedName(item).trimmed().isEmpty())
        out << QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(item->metaObject()->className()), item->objectName());
    for (QQuickItem *child : item->childItems())
        collectUnnamed(child, out);
}

} // namespace

class Helper : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString adminLogin READ adminLogin CONSTANT)
    Q_PROPERTY(QString adminPassword READ adminPassword CONSTANT)

public:
    StoreFixture *fixture = nullptr;
    Store *store = nullptr;
    ReferenceServer *firstRun = nullptr; // an empty database: one administrator, one-time password
    ReferenceServer *demo = nullptr;     // the demo team

    QString adminLogin() const { return firstRun->loginFor(QStringLiteral("admin")).login; }
    QString adminPassword() const { return firstRun->loginFor(QStringLiteral("admin")).password; }

    // Signed out, default fields, sidebar expanded.
    Q_INVOKABLE void reset()
    {
        store->logOut();
        store->setServerUrl(firstRun->url());
        store->setError(QString());
        store->setShowProfile(false);
        store->setNav(Store::Nav::Dashboard);
        store->setSidebarCollapsed(false);
        store->setRole(QStringLiteral("viewer"));
        store->home()->setAccounts({});
        store->setTeamAccounts({});
        store->home()->setTelemetryOk(false);
        store->setAuthExpired(false);
        store->setSession(QString());
    }
    // The platform phase without a server round trip (the loads started by it may fail).
    Q_INVOKABLE void enterPlatform(const QString &role, const QString &name)
    {
        store->setRole(role);
        store->setName(name);
        store->setToken(QStringLiteral("test-token"));
        store->setPhase(Store::Phase::Platform);
    }
    Q_INVOKABLE void setAuthExpired(bool v) { store->setAuthExpired(v); }
    Q_INVOKABLE void setRole(const QString &v) { store->setRole(v); }
    Q_INVOKABLE void setSession(const QString &v) { store->setSession(v); }
    Q_INVOKABLE bool configWritten() const { return QFile::exists(fixture->home() + QStringLiteral("/.brindle/config")); }

    // Signs in as the first demo member with the role, without the machine set-up.
    Q_INVOKABLE bool signIn(const QString &role) { return fixture->signedInTo(*demo, role); }
    // Every visible, enabled item under `root` (and in the window's pop-ups) that Tab can
    // reach but that has no name for assistive tools.
    Q_INVOKABLE QStringList unnamedFocusables(QQuickItem *root) const
    {
        QStringList out;
        if (!root)
            return out;
        collectUnnamed(root, out);
        // Sheets and menus live in the window's overlay, beside the view.
        if (root->window())
            for (QQuickItem *child : root->window()->contentItem()->childItems())
                if (child != root && !child->isAncestorOf(root) && !root->isAncestorOf(child))
                    collectUnnamed(child, out);
        return out;
    }
    Q_INVOKABLE QString announced(QQuickItem *item) const { return item ? announcedName(item) : QString(); }

    // No exchange with the server under way (a reload started by a screen has landed).
    Q_INVOKABLE bool idle() const { return store->http()->inFlight() == 0; }
    // The AI resources panel's state back to its start.
    Q_INVOKABLE void resetPanel()
    {
        ResourcesState *r = store->resources();
        r->setProv(QString());
        r->setStatus(Ac::StatusFilter::All);
        r->setQuery(QString());
        r->setMode(Ac::Mode::People);
        r->setSortKey(Ac::Sort::Seven);
        r->setSortAsc(false);
        r->setExpanded({});
        r->closeForm();
    }
    // A one-time credential as the server hands it over.
    Q_INVOKABLE void showSecret(const QVariantMap &secret) { store->roster()->setSecret(secret); }
    Q_INVOKABLE bool hasAccount(const QString &id) const
    {
        for (const TeamAcct &a : store->teamAccounts())
            if (a.id() == id)
                return true;
        return false;
    }
    // A reload in which two accounts trade places.
    Q_INVOKABLE void swap(int i, int j)
    {
        QList<TeamAcct> list = store->teamAccounts();
        list.swapItemsAt(i, j);
        store->setTeamAccounts(list);
    }
    // A reload in which one account's seven-day use changes (and so its place in the list).
    Q_INVOKABLE void setSeven(const QString &id, double pct)
    {
        QList<TeamAcct> list = store->teamAccounts();
        for (TeamAcct &a : list) {
            if (a.id() == id) {
                a.sevenPct = pct;
                a.rev = a.computeRev();
            }
        }
        sortTeamAccounts(list);
        store->setTeamAccounts(list);
    }
};

class Setup : public QObject
{
    Q_OBJECT

    ReferenceServer m_firstRun;
    ReferenceServer m_demo;
    std::unique_ptr<StoreFixture> m_fixture;
    Helper m_helper;

public slots:
    void applicationAvailable()
    {
        if (!m_firstRun.start({}, ReferenceServer::Seed::FirstAdmin) || !m_demo.start())
            qFatal("the reference server did not start (CORVANE_SERVER_BIN=%s)",
                   qPrintable(qEnvironmentVariable("CORVANE_SERVER_BIN")));
        qputenv("BRINDLE_SERVER_URL", m_firstRun.url().toUtf8());
        loadBundledFonts();
        AppUpdater::setInstance(new AppUpdater(nullptr, this));

        // Set-up writes under HOME: the fixture's throwaway folder. Photo choices are cancelled:
        // the fixture's chooser returns nothing unless told.
        m_fixture = std::make_unique<StoreFixture>(
            StoreFixture::Options{.httpTimeoutMs = 5000, .toastMs = 600, .handoverMs = 100});
        qputenv("XDG_RUNTIME_DIR", m_fixture->home().toUtf8());
        qputenv("XDG_CONFIG_HOME", (m_fixture->home() + QStringLiteral("/.config")).toUtf8());
        Shell::setInstance(new Shell(m_fixture->store.get(), this));

        m_helper.fixture = m_fixture.get();
        m_helper.store = m_fixture->store.get();
        m_helper.firstRun = &m_firstRun;
        m_helper.demo = &m_demo;
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/"));
        engine->addImageProvider(QLatin1String(AvatarImageProvider::kId), new AvatarImageProvider(m_helper.store));
        engine->rootContext()->setContextProperty(QStringLiteral("helper"), &m_helper);
    }

    void cleanupTestCase()
    {
        m_fixture.reset();
        m_demo.stop();
        m_firstRun.stop();
    }
};

QUICK_TEST_MAIN_WITH_SETUP(tst_screens_qml, Setup)
#include "tst_screens_qml.moc"
