// Qt Quick Tests of the statistics, activity, team and profile screens and the member sheets
// against the reference server with the demo team: keyboard paths through the team screen,
// its sheets and the profile tabs, and an accessible name on every control reachable by Tab.
#include "../common/testserver.h"
#include "app/appupdater.h"
#include "app/avatarprovider.h"
#include "net/secretstore.h"
#include "store/store.h"
#include "ui/uibridge.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlProperty>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

namespace {

// Photo uploads in tests: the user cancels the file dialog.
class NoChooser final : public FileChooser
{
public:
    void chooseImage(std::function<void(const QString &)> done) override { done(QString()); }
};

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
    Store *store = nullptr;
    TestServer *server = nullptr;

    // Signs in as the first demo member with the role, without the machine set-up.
    Q_INVOKABLE bool signIn(const QString &role)
    {
        const TestServer::Login l = server->loginFor(role);
        QNetworkAccessManager nam;
        QNetworkRequest req(QUrl(server->url() + QStringLiteral("/api/provision")));
        req.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        QNetworkReply *reply = nam.post(req, QJsonDocument(QJsonObject{{"login", l.login}, {"password", l.password}}).toJson());
        QEventLoop loop;
        connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        const QJsonObject o = QJsonDocument::fromJson(reply->readAll()).object();
        reply->deleteLater();
        store->setServerUrl(server->url());
        store->setLogin(l.login);
        store->setToken(o.value(QLatin1String("token")).toString());
        store->setSession(o.value(QLatin1String("session")).toString());
        store->setRole(o.value(QLatin1String("role")).toString());
        store->setPhase(Store::Phase::Platform);
        return o.value(QLatin1String("ok")).toBool();
    }
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
};

class Setup : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    TestServer m_server;
    MemorySecretStore m_secrets;
    NoChooser m_chooser;
    Helper m_helper;
    Store *m_store = nullptr;

public slots:
    void applicationAvailable()
    {
        qputenv("HOME", m_home.path().toUtf8());
        if (!m_server.start(true))
            qFatal("the reference server did not start (CORVANE_SERVER_BIN=%s)",
                   qPrintable(qEnvironmentVariable("CORVANE_SERVER_BIN")));
        loadBundledFonts();
        AppUpdater::setInstance(new AppUpdater(nullptr, this));
        StoreDeps deps;
        deps.secrets = &m_secrets;
        deps.chooser = &m_chooser;
        deps.settingsFile = m_home.filePath(QStringLiteral("prefs.ini"));
        deps.home = m_home.path();
        deps.toastMs = 600;
        deps.httpTimeoutMs = 5000;
        m_store = new Store(this, deps);
        Store::setInstance(m_store);
        m_helper.store = m_store;
        m_helper.server = &m_server;
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/"));
        engine->addImageProvider(QLatin1String(AvatarImageProvider::kId), new AvatarImageProvider(m_store));
        engine->rootContext()->setContextProperty(QStringLiteral("helper"), &m_helper);
    }

    void cleanupTestCase() { m_server.stop(); }
};

QUICK_TEST_MAIN_WITH_SETUP(tst_team_qml, Setup)
#include "tst_team_qml.moc"
