#include "storefixture.h"
#include "referenceserver.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>

StoreFixture::StoreFixture(const Options &o)
    : m_oldHome(qgetenv("HOME"))
{
    // The config marker is looked up below HOME.
    qputenv("HOME", QFile::encodeName(dir.path()));
    deps.secrets = o.secrets ? o.secrets : &secrets;
    deps.secretsBoundMs = o.secretsBoundMs;
    deps.chooser = &chooser;
    deps.settingsFile = dir.filePath(QStringLiteral("prefs.ini"));
    deps.home = dir.path();
    deps.httpTimeoutMs = o.httpTimeoutMs;
    deps.refreshIntervalMs = o.refreshMs;
    deps.toastMs = o.toastMs;
    deps.handoverMs = o.handoverMs;
    store = std::make_unique<Store>(nullptr, deps);
    Store::setInstance(store.get());
}

StoreFixture::~StoreFixture()
{
    if (Store::instance() == store.get())
        Store::setInstance(nullptr);
    store.reset();
    qputenv("HOME", m_oldHome);
}

Store &StoreFixture::signedIn(const QString &url, const QString &role, const QString &session,
                              const QString &token)
{
    store->setServerUrl(url);
    store->setToken(token);
    store->setSession(session);
    store->setRole(role);
    store->setLogin(QStringLiteral("tester"));
    store->setPhase(Store::Phase::Platform);
    return *store;
}

bool StoreFixture::signedInTo(ReferenceServer &server, const QString &role)
{
    const ReferenceServer::Login l = server.loginFor(role);
    QJsonObject answer;
    const QString session = server.signIn(l.login, l.password, &answer);
    signedIn(server.url(), answer.value(QLatin1String("role")).toString(), session,
             answer.value(QLatin1String("token")).toString());
    store->setLogin(l.login);
    return !session.isEmpty();
}

void StoreFixture::writeConfig()
{
    QDir(dir.path()).mkpath(QStringLiteral(".brindle"));
    QFile f(dir.filePath(QStringLiteral(".brindle/config")));
    f.open(QIODevice::WriteOnly);
}

void StoreFixture::saveSession(const QHash<QString, QString> &items)
{
    for (auto it = items.cbegin(); it != items.cend(); ++it)
        secrets.set(it.key(), it.value());
}
