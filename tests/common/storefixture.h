#pragma once
// A Store wired for tests: in-memory secrets, a throwaway HOME and preference file, short timers.

#include "net/secretstore.h"
#include "store/store.h"

#include <QTemporaryDir>
#include <memory>

struct StoreFixture {
    QTemporaryDir dir;
    MemorySecretStore secrets;
    StoreDeps deps;
    std::unique_ptr<Store> store;

    explicit StoreFixture(int refreshMs = 30000, int toastMs = 2500)
    {
        qputenv("HOME", dir.path().toUtf8());
        deps.secrets = &secrets;
        deps.settingsFile = dir.filePath(QStringLiteral("prefs.ini"));
        deps.home = dir.path();
        deps.refreshIntervalMs = refreshMs;
        deps.toastMs = toastMs;
        deps.handoverMs = 50;
        store = std::make_unique<Store>(nullptr, deps);
    }

    // Pretends machine set-up has run, so a saved session is restored at start.
    void writeConfig()
    {
        QDir().mkpath(dir.filePath(QStringLiteral(".brindle")));
        QFile f(dir.filePath(QStringLiteral(".brindle/config")));
        f.open(QIODevice::WriteOnly);
    }

    // A session as sign-in leaves it, pointed at `url`.
    void signedIn(const QString &url, const QString &role, const QString &session = QStringLiteral("S1"),
                  const QString &token = QStringLiteral("T1"))
    {
        store->setServerUrl(url);
        store->setToken(token);
        store->setSession(session);
        store->setRole(role);
        store->setLogin(QStringLiteral("user"));
        store->setPhase(Store::Phase::Platform);
    }
};
