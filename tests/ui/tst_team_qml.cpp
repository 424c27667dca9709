// Qt Quick Tests of the administrator's screens against the reference server with the demo team:
// the AI resources table, cards and account form by mouse and keyboard, state kept across
// reloads; keyboard paths through the team screen, its sheets and the profile tabs; and an
// accessible name on every control reachable by Tab. One Store for the run.
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
public:
    StoreFixture *fixture = nullptr;
    ReferenceServer *server = nullptr;

    // Signs in as the first demo member with the role, without the machine set-up.
    Q_INVOKABLE bool signIn(const QString &role) { return fixture->signedInTo(*server, role); }
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
    Q_INVOKABLE bool idle() const { return fixture->store->http()->inFlight() == 0; }
    // The AI resources panel's state back to its start.
    Q_INVOKABLE void resetPanel()
    {
        Store *store = fixture->store.get();
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
    Q_INVOKABLE bool hasAccount(const QString &id) const
    {
        for (const TeamAcct &a : fixture->store->teamAccounts())
            if (a.id() == id)
                return true;
        return false;
    }
    // A reload in which two accounts trade places.
    Q_INVOKABLE void swap(int i, int j)
    {
        QList<TeamAcct> list = fixture->store->teamAccounts();
        list.swapItemsAt(i, j);
        fixture->store->setTeamAccounts(list);
    }
    // A reload in which one account's seven-day use changes (and so its place in the list).
    Q_INVOKABLE void setSeven(const QString &id, double pct)
    {
        QList<TeamAcct> list = fixture->store->teamAccounts();
        for (TeamAcct &a : list) {
            if (a.id() == id) {
                a.sevenPct = pct;
                a.rev = a.computeRev();
            }
        }
        sortTeamAccounts(list);
        fixture->store->setTeamAccounts(list);
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
        AppUpdater::setInstance(new AppUpdater(nullptr, this));
        // Photo choices are cancelled: the fixture's chooser returns nothing unless told.
        m_fixture = std::make_unique<StoreFixture>(StoreFixture::Options{.httpTimeoutMs = 5000, .toastMs = 600});
        qputenv("XDG_RUNTIME_DIR", m_fixture->home().toUtf8());
        Shell::setInstance(new Shell(m_fixture->store.get(), this));
        m_helper.fixture = m_fixture.get();
        m_helper.server = &m_server;
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/"));
        engine->addImageProvider(QLatin1String(AvatarImageProvider::kId), new AvatarImageProvider(m_fixture->store.get()));
        engine->rootContext()->setContextProperty(QStringLiteral("helper"), &m_helper);
    }

    void cleanupTestCase()
    {
        m_fixture.reset();
        m_server.stop();
    }
};

QUICK_TEST_MAIN_WITH_SETUP(tst_team_qml, Setup)
#include "tst_team_qml.moc"
