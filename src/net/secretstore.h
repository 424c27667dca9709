#pragma once
// Per-user storage of the session credentials: named UTF-8 text items under one service.
//
// Every operation is asynchronous and returns at once: the desktop's Secret Service answers over
// D-Bus and may take seconds, or never answer at all (a keyring waiting for an unlock prompt nobody
// sees), and the window must keep running meanwhile. No back-end ever spins an event loop of its
// own. Answers come later, never inside the call, in the order the operations were issued, on the
// thread of the `context` object given with them, and not at all once that object is gone.
// Failures are never reported as such: an unreadable item reads as absent (the next start then
// asks the user to sign in again), a write that did not take answers false.
//
// Back-ends: the Secret Service (through QtKeychain), a private JSON file for machines without a
// working secret service, memory (tests, screenshots), and the platform's choice between the first
// two, made once at start-up.
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

class QTimer;

class SecretStore {
public:
    using ReadFn = std::function<void(const std::optional<QString> &value)>;
    using DoneFn = std::function<void(bool ok)>;

    virtual ~SecretStore() = default;
    // The item's value; none when it is absent, unreadable or not valid UTF-8.
    virtual void readItem(const QString &key, QObject *context, ReadFn done) = 0;
    // Removes any item named `key`, then adds one holding `value`.
    virtual void writeItem(const QString &key, const QString &value, QObject *context = nullptr, DoneFn done = {}) = 0;
    // Removes the item; true also when there was none.
    virtual void removeItem(const QString &key, QObject *context = nullptr, DoneFn done = {}) = 0;
    // "keychain", "file" or "memory"; the platform's choice says "keychain" until it has decided.
    virtual QString backendName() const = 0;
};

// Strict UTF-8 decoding: none when `bytes` is not valid UTF-8.
std::optional<QString> decodeUtf8(const QByteArray &bytes);

// Runs `fn` later on `context`'s thread, unless `context` is null or gone by then.
void callLater(QObject *context, std::function<void()> fn);

// Items in memory. The synchronous get/set/remove are for whoever owns the store directly (tests
// preparing a saved session, checking what was saved); the Store goes through the interface.
class MemorySecretStore final : public SecretStore {
public:
    void set(const QString &key, const QString &value);
    std::optional<QString> get(const QString &key) const;
    void remove(const QString &key);

    void readItem(const QString &key, QObject *context, ReadFn done) override;
    void writeItem(const QString &key, const QString &value, QObject *context = nullptr, DoneFn done = {}) override;
    void removeItem(const QString &key, QObject *context = nullptr, DoneFn done = {}) override;
    QString backendName() const override;

private:
    QHash<QString, QString> m_items;
};

// A JSON object {name: value} in a file readable by its owner only (0600) inside a folder of its
// own (0700). Each change rewrites the whole file atomically, so a crash leaves the old or the new
// content, never half of it. A file that is not a valid JSON object reads as holding nothing.
// The file is local and small: the work is done at once, only the answer comes later.
class FileSecretStore final : public SecretStore {
public:
    explicit FileSecretStore(QString path = defaultPath());
    // $XDG_CONFIG_HOME (or ~/.config) + "/corvane-team/secrets.json".
    static QString defaultPath();
    QString path() const { return m_path; }

    bool set(const QString &key, const QString &value);
    std::optional<QString> get(const QString &key) const;
    bool remove(const QString &key);

    void readItem(const QString &key, QObject *context, ReadFn done) override;
    void writeItem(const QString &key, const QString &value, QObject *context = nullptr, DoneFn done = {}) override;
    void removeItem(const QString &key, QObject *context = nullptr, DoneFn done = {}) override;
    QString backendName() const override;

private:
    QHash<QString, QString> load() const;
    bool save(const QHash<QString, QString> &items) const;

    QString m_path;
};

// The desktop's Secret Service through QtKeychain: service = `service`, account = item name.
// Jobs run one at a time, in the order issued, each bounded by `timeoutMs`: a job that has not
// finished by then fails. A keyring that hangs blocks QtKeychain's job queue behind it, so after
// one time-out the store is stalled: every later operation fails at once.
// QtKeychain's insecure fallback (plain settings file, default permissions) is always off.
class KeychainSecretStore final : public SecretStore {
public:
    enum class Outcome { Ok, NotFound, Failed, Stalled };
    struct Result {
        Outcome outcome = Outcome::Failed;
        QByteArray data;
        QString error; // why it failed, for the start-up log line
    };
    enum class Op { Read, Write, Delete };

    explicit KeychainSecretStore(QString service, int timeoutMs = 3000);
    ~KeychainSecretStore() override;

    // One job with its raw outcome (the platform's choice needs to tell "no such item" from "no
    // answer"). `done` runs later on `context`'s thread.
    void run(Op op, const QString &key, const QString &value, QObject *context, std::function<void(const Result &)> done);
    bool stalled() const { return m_stalled; }

    void readItem(const QString &key, QObject *context, ReadFn done) override;
    void writeItem(const QString &key, const QString &value, QObject *context = nullptr, DoneFn done = {}) override;
    void removeItem(const QString &key, QObject *context = nullptr, DoneFn done = {}) override;
    QString backendName() const override;

private:
    struct Pending {
        Op op;
        QString key, value;
        QPointer<QObject> context;
        std::function<void(const Result &)> done;
    };
    void pump();
    void settle(Result result);
    void timedOut();

    QString m_service;
    int m_timeoutMs;
    bool m_stalled = false;
    bool m_pumping = false;
    std::deque<Pending> m_queue; // front() is the job in flight while m_job is set
    QPointer<QObject> m_job;     // the QtKeychain job in flight
    QObject m_anchor;            // receiver of the job and timer signals, gone with the store
    QTimer *m_timer = nullptr;   // bounds the job in flight
};

// The store the application uses when nothing is forced: the Secret Service when it answers, else
// the private file, in which case one line on stderr says why and where the file is.
//
// The choice is made by the first read, of "token", bounded like every keychain job; operations
// issued meanwhile wait and then go to the chosen back-end in order. When the service answers and
// holds no session while the file (left by an earlier run without a service) does, the file's
// items move into the service and the file goes. A service that stops answering later (a job
// times out) hands this and every later operation to the file, so a sign-in is still kept.
class PlatformSecretStore final : public SecretStore {
public:
    PlatformSecretStore(QString service, int timeoutMs, QString fallbackPath = FileSecretStore::defaultPath());
    ~PlatformSecretStore() override;

    void readItem(const QString &key, QObject *context, ReadFn done) override;
    void writeItem(const QString &key, const QString &value, QObject *context = nullptr, DoneFn done = {}) override;
    void removeItem(const QString &key, QObject *context = nullptr, DoneFn done = {}) override;
    QString backendName() const override;
    bool decided() const { return m_mode != Mode::Deciding; }

private:
    enum class Mode { Deciding, Keychain, File };
    using Op = KeychainSecretStore::Op;
    struct Call {
        Op op;
        QString key, value;
        QPointer<QObject> context;
        std::function<void(const KeychainSecretStore::Result &)> done;
    };
    void decide(const KeychainSecretStore::Result &probe);
    void adoptFile();
    void useFile(const QString &why);
    void dispatch(Call call);
    void onFile(const Call &call);

    KeychainSecretStore m_keychain;
    FileSecretStore m_file;
    Mode m_mode = Mode::Deciding;
    std::deque<Call> m_waiting;
    QObject m_anchor;
};

// CORVANE_SECRET_STORE=file|keychain|memory forces a back-end (tests, CI, the demo); otherwise
// the platform's choice with `timeoutMs` per secret-service job.
std::unique_ptr<SecretStore> makeSecretStore(int timeoutMs = 3000);

// The six session items, read and written by name. Keeps no state of its own; writes and removals
// are issued in order and not waited for.
namespace Keychain {
// "token", "login", "name", "url", "role", "session", in this order.
const QStringList &items();
void set(SecretStore &s, const QString &key, const QString &value);
void get(SecretStore &s, const QString &key, QObject *context, SecretStore::ReadFn done);
// Removes all six, in the order of items().
void clear(SecretStore &s);
} // namespace Keychain
