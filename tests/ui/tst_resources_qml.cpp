// Qt Quick Tests of the AI resources screens against the reference server's demo team: rows and
// cards by mouse and keyboard, the account form from the panel and from a dashboard card, the
// deletion from a detail, rows and cards keeping their state across reloads, and the names of
// every focusable control. One Store for the run, signed in as the demo administrator.
#include "referenceserver.h"
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
public:
    Store *store = nullptr;
    ReferenceServer *server = nullptr;

    // A signed-in administrator of the demo team in the platform phase (no set-up run).
    Q_INVOKABLE bool signInAdmin()
    {
        const ReferenceServer::Login admin = server->loginFor(QStringLiteral("admin"));
        QJsonObject o;
        const QString session = server->signIn(admin.login, admin.password, &o);
        if (session.isEmpty())
            return false;
        store->setServerUrl(server->url());
        store->setToken(o.value(QStringLiteral("token")).toString());
        store->setSession(session);
        store->setRole(QStringLiteral("admin"));
        store->setLogin(admin.login);
        store->setPhase(Store::Phase::Platform);
        return true;
    }
    // Panel state back to its start.
    Q_INVOKABLE void resetPanel()
    {
        store->setAcProv(QString());
        store->setAcStatus(QStringLiteral("all"));
        store->setAcQuery(QString());
        store->setAcMode(QStringLiteral("people"));
        store->setAcSortKey(QStringLiteral("seven"));
        store->setAcSortAsc(false);
        store->setExpandedAccounts({});
        store->setAccountFormOpen(false);
        store->setAccountFormEdit(QVariant());
    }
    Q_INVOKABLE int teamCount() const { return int(store->teamAccounts().size()); }
    Q_INVOKABLE bool hasAccount(const QString &id) const
    {
        for (const TeamAcct &a : store->teamAccounts())
            if (a.id() == id)
                return true;
        return false;
    }
    Q_INVOKABLE QString idAt(int i) const { return store->teamAccounts().value(i).id(); }
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

    QTemporaryDir m_home;
    ReferenceServer m_server;
    MemorySecretStore m_secrets;
    Helper m_helper;
    Store *m_store = nullptr;

public slots:
    void applicationAvailable()
    {
        qputenv("HOME", m_home.path().toUtf8());
        qputenv("XDG_RUNTIME_DIR", m_home.path().toUtf8());
        if (!m_server.start())
            qFatal("the reference server did not start (CORVANE_SERVER_BIN=%s)",
                   qPrintable(qEnvironmentVariable("CORVANE_SERVER_BIN")));
        loadBundledFonts();
        StoreDeps deps;
        deps.secrets = &m_secrets;
        deps.settingsFile = m_home.filePath(QStringLiteral("prefs.ini"));
        deps.home = m_home.path();
        deps.toastMs = 600;
        deps.httpTimeoutMs = 5000;
        m_store = new Store(this, deps);
        Store::setInstance(m_store);
        Shell::setInstance(new Shell(m_store, this));
        m_helper.store = m_store;
        m_helper.server = &m_server;
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/"));
        engine->rootContext()->setContextProperty(QStringLiteral("helper"), &m_helper);
    }

    void cleanupTestCase() { m_server.stop(); }
};

QUICK_TEST_MAIN_WITH_SETUP(tst_resources_qml, Setup)
#include "tst_resources_qml.moc"
