#pragma once
// Per-user storage of the session credentials: named UTF-8 text items under one service.
//
// Three back-ends share one interface: the desktop's Secret Service (through QtKeychain), a private
// JSON file for machines without a working secret service, and memory for tests. Every operation is
// synchronous and meant for the main thread; failures are never reported, an unreadable item simply
// reads as absent (the next start then asks the user to sign in again).
#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class SecretStore {
public:
    virtual ~SecretStore() = default;
    // Removes any item named `key`, then adds one holding `value`. Failures are ignored.
    virtual void set(const QString &key, const QString &value) = 0;
    // The item's value; none when it is absent, unreadable or not valid UTF-8.
    virtual std::optional<QString> get(const QString &key) = 0;
    virtual void remove(const QString &key) = 0;
    // "keychain", "file" or "memory".
    virtual QString backendName() const = 0;
};

// Strict UTF-8 decoding: none when `bytes` is not valid UTF-8.
std::optional<QString> decodeUtf8(const QByteArray &bytes);

class MemorySecretStore final : public SecretStore {
public:
    void set(const QString &key, const QString &value) override;
    std::optional<QString> get(const QString &key) override;
    void remove(const QString &key) override;
    QString backendName() const override;

private:
    QHash<QString, QString> m_items;
};

// A JSON object {name: value} in a file readable by its owner only (0600) inside a folder of its
// own (0700). Each change rewrites the whole file atomically, so a crash leaves the old or the new
// content, never half of it. A file that is not a valid JSON object reads as holding nothing.
class FileSecretStore final : public SecretStore {
public:
    explicit FileSecretStore(QString path = defaultPath());
    // $XDG_CONFIG_HOME (or ~/.config) + "/corvane-team/secrets.json".
    static QString defaultPath();
    QString path() const { return m_path; }

    void set(const QString &key, const QString &value) override;
    std::optional<QString> get(const QString &key) override;
    void remove(const QString &key) override;
    QString backendName() const override;

private:
    QHash<QString, QString> load() const;
    bool save(const QHash<QString, QString> &items) const;

    QString m_path;
};

// The desktop's Secret Service through QtKeychain: service = `service`, account = item name.
// Every job runs to completion inside a local event loop bounded by `timeoutMs`; a job that has not
// finished by then counts as failed. A keyring that hangs (typically waiting for an unlock prompt
// nobody will answer) blocks QtKeychain's job queue behind it, so after one time-out this store
// stops talking to the service at all and every later operation fails at once.
// QtKeychain's insecure fallback (plain settings file, default permissions) is always off.
class KeychainSecretStore final : public SecretStore {
public:
    explicit KeychainSecretStore(QString service, int timeoutMs = 3000);

    void set(const QString &key, const QString &value) override;
    std::optional<QString> get(const QString &key) override;
    void remove(const QString &key) override;
    QString backendName() const override;

    // Probes once with a read; true when it succeeded or found no entry within the time-out.
    // The answer is kept for the life of the store.
    bool usable();
    // Why the last job failed (for the start-up log line), empty after a success.
    QString lastError() const { return m_lastError; }

private:
    enum class Outcome { Ok, NotFound, Failed };
    struct Result {
        Outcome outcome = Outcome::Failed;
        QByteArray data;
    };
    enum class Op { Read, Write, Delete };
    Result run(Op op, const QString &key, const QString &value = {});

    QString m_service;
    int m_timeoutMs;
    bool m_stalled = false;
    std::optional<bool> m_usable;
    QString m_lastError;
};

// The store the application uses, chosen once at start-up: the Secret Service when a probe read
// answers (value or "no such entry") within `timeoutMs`, else the private file, in which case one
// line on stderr says why and where the file is. CORVANE_SECRET_STORE=file|keychain|memory forces a
// back-end (tests, CI).
// Moves the session items of a fallback file into `to` (unless `to` already holds a session) and
// deletes the file. False when the file had to stay because `to` did not take the items.
bool adoptSecrets(FileSecretStore &from, SecretStore &to);

std::unique_ptr<SecretStore> makeSecretStore(int timeoutMs = 3000);

// The six session items, read and written by name. Keeps no state of its own.
namespace Keychain {
// "token", "login", "name", "url", "role", "session", in this order.
const QStringList &items();
void set(SecretStore &s, const QString &key, const QString &value);
std::optional<QString> get(SecretStore &s, const QString &key);
// Removes all six, in the order of items().
void clear(SecretStore &s);
} // namespace Keychain
