#pragma once
// StoreFixture: one Store wired for tests. Secrets in memory, HOME (set-up files, the config
// marker) and the preference file in a throwaway folder, a file chooser the test scripts, short
// time-outs, and the Store registered as the application's instance (QML singletons and
// helpers that look it up find it) until the fixture goes.
//
//   FakeServer server;
//   StoreFixture f;                            // or StoreFixture f({.httpTimeoutMs = 400});
//   f.signedIn(server.url(), "viewer");        // a session as sign-in leaves it, phase platform
//   f.signedInTo(referenceServer, "admin");    // the same, with a real session of that server
//   f->refreshHome();                          // -> is the Store
//   f.chooser.next = path;  f->pickAvatar();   // the next file choice returns `path`
//   f.saveSession({...}); f.writeConfig(); f->bootstrap();   // a session kept from a last run
//   QTRY_VERIFY(!f->restoring());              // start-up reads the secret store asynchronously
//
// Toasts stay up for a minute unless `toastMs` says otherwise, so a test can read them.
#include "net/secretstore.h"
#include "store/store.h"

#include <QTemporaryDir>
#include <memory>

class TestChooser : public FileChooser
{
public:
    QString next;   // what the next choice returns; empty = the user cancels
    int asked = 0;
    void chooseImage(std::function<void(const QString &)> done) override
    {
        ++asked;
        done(next);
    }
};

struct StoreFixture {
    struct Options {
        int httpTimeoutMs = 3000;
        int refreshMs = 30000;
        int toastMs = 60000;
        int handoverMs = 50;
        SecretStore *secrets = nullptr; // a double (SlowSecrets); null: `secrets` below, in memory
        int secretsBoundMs = 2000;
    };

    QTemporaryDir dir;
    MemorySecretStore secrets;
    TestChooser chooser;
    StoreDeps deps;
    std::unique_ptr<Store> store;

    StoreFixture() : StoreFixture(Options{}) {}
    explicit StoreFixture(const Options &o);
    ~StoreFixture();

    Store *operator->() const { return store.get(); }
    Store &operator*() const { return *store; }
    QString home() const { return dir.path(); }

    // A session as sign-in leaves it, pointed at `url`, in the platform phase (no request sent).
    Store &signedIn(const QString &url, const QString &role = QStringLiteral("admin"),
                    const QString &session = QStringLiteral("S1"), const QString &token = QStringLiteral("T1"));
    // Signs in on the reference server as its first member with `role` and leaves the Store as
    // sign-in would (session, token, role, login; no machine set-up). False when refused.
    bool signedInTo(class ReferenceServer &server, const QString &role);
    // Pretends machine set-up has run: ~/.brindle/config exists.
    void writeConfig();
    // Puts the given secret-store items there, as a previous run would have left them.
    void saveSession(const QHash<QString, QString> &items);

private:
    QByteArray m_oldHome;
};
