#pragma once
// A Store wired for tests: secrets in memory, preferences and home in a throwaway folder, a
// file chooser that hands back whatever path the test put in it, and short time-outs.

#include "net/secretstore.h"
#include "store/store.h"

#include <QTemporaryDir>
#include <memory>

class TestChooser : public FileChooser
{
public:
    QString next;   // the path the next choice returns; empty = the user cancels
    int asked = 0;
    void chooseImage(std::function<void(const QString &)> done) override
    {
        ++asked;
        done(next);
    }
};

struct StoreKit {
    QTemporaryDir dir;
    MemorySecretStore secrets;
    TestChooser chooser;
    std::unique_ptr<Store> store;

    explicit StoreKit(int httpTimeoutMs = 3000)
    {
        StoreDeps deps;
        deps.secrets = &secrets;
        deps.chooser = &chooser;
        deps.settingsFile = dir.filePath(QStringLiteral("settings.ini"));
        deps.home = dir.path();
        deps.httpTimeoutMs = httpTimeoutMs;
        deps.toastMs = 60000; // toasts stay put while a test reads them
        store = std::make_unique<Store>(nullptr, deps);
        Store::setInstance(store.get());
    }
    ~StoreKit() { Store::setInstance(nullptr); }

    // A signed-in session against `url` without going through sign-in.
    Store &signedIn(const QString &url, const QString &role = QStringLiteral("admin"),
                    const QString &credential = QStringLiteral("test-session"))
    {
        store->setServerUrl(url);
        store->setToken(QStringLiteral("member-token"));
        store->setSession(credential);
        store->setRole(role);
        store->setLogin(QStringLiteral("tester"));
        return *store;
    }
    Store *operator->() { return store.get(); }
};
