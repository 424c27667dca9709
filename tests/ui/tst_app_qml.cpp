// Qt Quick Tests of the application's screens against the reference server: the first-run path
// from sign-in to the platform, the shell (sidebar, profile, toast, relogin banner, projects)
// and the tray panel. One Store for the whole run, as in the application; each test file starts
// from a signed-out Store (helper.reset()).
#include "kit.h"
#include "app/appupdater.h"
#include "app/avatarprovider.h"
#include "app/shell.h"
#include "net/secretstore.h"
#include "store/store.h"
#include "ui/uibridge.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

class Helper : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString adminLogin READ adminLogin CONSTANT)
    Q_PROPERTY(QString adminPassword READ adminPassword CONSTANT)
    Q_PROPERTY(int chooserCalls READ chooserCalls)

public:
    Store *store = nullptr;
    ReferenceServer *server = nullptr;
    TestChooser *chooser = nullptr;
    QString homeDir;

    QString adminLogin() const { return server->loginFor(QStringLiteral("admin")).login; }
    QString adminPassword() const { return server->loginFor(QStringLiteral("admin")).password; }
    int chooserCalls() const { return chooser->asked; }

    // Signed out, default fields, sidebar expanded.
    Q_INVOKABLE void reset()
    {
        store->logOut();
        store->setError(QString());
        store->setShowProfile(false);
        store->setNav(Store::Nav::Dashboard);
        store->setSidebarCollapsed(false);
        store->setRole(QStringLiteral("viewer"));
        store->setAccounts({});
        store->setTeamAccounts({});
        store->setTelemetryOk(false);
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
    Q_INVOKABLE void setAccounts(int count)
    {
        QList<Acct> list;
        for (int i = 0; i < count; ++i) {
            Acct a;
            a.email = QStringLiteral("acct%1@corvane.dev").arg(i);
            a.fivePct = 10 * (i + 1);
            a.sevenPct = 80 + i;
            a.project = QStringLiteral("proj-%1").arg(i % 2);
            list << a;
        }
        store->setAccounts(list);
    }
    // `online` of `total` accounts with telemetry.
    Q_INVOKABLE void setTeam(int online, int total)
    {
        QList<TeamAcct> list;
        for (int i = 0; i < total; ++i) {
            TeamAcct t;
            t.email = QStringLiteral("team%1@corvane.dev").arg(i);
            t.hasTelemetry = true;
            t.online = i < online;
            list << t;
        }
        store->setTeamAccounts(list);
    }
    Q_INVOKABLE void setTelemetryOk(bool ok) { store->setTelemetryOk(ok); }
    Q_INVOKABLE void setAuthExpired(bool v) { store->setAuthExpired(v); }
    Q_INVOKABLE void setRole(const QString &v) { store->setRole(v); }
    Q_INVOKABLE void setSession(const QString &v) { store->setSession(v); }
    Q_INVOKABLE bool configWritten() const { return QFile::exists(homeDir + QStringLiteral("/.brindle/config")); }
};

class Setup : public QObject
{
    Q_OBJECT

    ReferenceServer m_server;
    std::unique_ptr<StoreFixture> m_fixture;
    Helper m_helper;
    Store *m_store = nullptr;

public slots:
    void applicationAvailable()
    {
        // An empty database: the first administrator must change the one-time password.
        if (!m_server.start({}, ReferenceServer::Seed::FirstAdmin))
            qFatal("the reference server did not start (CORVANE_SERVER_BIN=%s)",
                   qPrintable(qEnvironmentVariable("CORVANE_SERVER_BIN")));
        qputenv("BRINDLE_SERVER_URL", m_server.url().toUtf8());
        loadBundledFonts();
        AppUpdater::setInstance(new AppUpdater(nullptr, this));

        // Set-up writes under HOME: the fixture's throwaway folder.
        m_fixture = std::make_unique<StoreFixture>(
            StoreFixture::Options{.httpTimeoutMs = 5000, .toastMs = 600, .handoverMs = 100});
        m_store = m_fixture->store.get();
        qputenv("XDG_RUNTIME_DIR", m_fixture->home().toUtf8());
        qputenv("XDG_CONFIG_HOME", (m_fixture->home() + QStringLiteral("/.config")).toUtf8());
        Shell::setInstance(new Shell(m_store, this));

        m_helper.store = m_store;
        m_helper.server = &m_server;
        m_helper.chooser = &m_fixture->chooser;
        m_helper.homeDir = m_fixture->home();
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/"));
        engine->addImageProvider(QLatin1String(AvatarImageProvider::kId), new AvatarImageProvider(m_store));
        engine->rootContext()->setContextProperty(QStringLiteral("helper"), &m_helper);
    }

    void cleanupTestCase()
    {
        m_server.stop();
    }
};

QUICK_TEST_MAIN_WITH_SETUP(tst_app_qml, Setup)
#include "tst_app_qml.moc"
