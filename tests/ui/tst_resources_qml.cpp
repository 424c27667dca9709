// Qt Quick Tests of the AI resources screens against the reference server's demo team: rows and
// cards by mouse and keyboard, the account form from the panel and from a dashboard card, the
// deletion from a detail, rows and cards keeping their state across reloads, and the names of
// every focusable control. One Store for the run, signed in as the demo administrator.
#include "kit.h"
#include "app/shell.h"
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
    StoreFixture *fixture = nullptr;
    Store *store = nullptr;
    ReferenceServer *server = nullptr;

    // A signed-in administrator of the demo team in the platform phase (no set-up run).
    Q_INVOKABLE bool signInAdmin() { return fixture->signedInTo(*server, QStringLiteral("admin")); }
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

    ReferenceServer m_server;
    std::unique_ptr<StoreFixture> m_fixture;
    Helper m_helper;

public slots:
    void applicationAvailable()
    {
        if (!m_server.start())
            qFatal("the reference server did not start (CORVANE_SERVER_BIN=%s)",
                   qPrintable(qEnvironmentVariable("CORVANE_SERVER_BIN")));
        loadBundledFonts();
        m_fixture = std::make_unique<StoreFixture>(StoreFixture::Options{.httpTimeoutMs = 5000, .toastMs = 600});
        qputenv("XDG_RUNTIME_DIR", m_fixture->home().toUtf8());
        Shell::setInstance(new Shell(m_fixture->store.get(), this));
        m_helper.fixture = m_fixture.get();
        m_helper.store = m_fixture->store.get();
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
