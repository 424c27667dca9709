// KeychainSecretStore: QtKeychain jobs run synchronously, each bounded by a timer.
#include "secretstore.h"

#include <QEventLoop>
#include <QTimer>

#include <qt6keychain/keychain.h>

namespace {
// Read by usable(); any name works, an absent item answers "not found", which proves the service
// is there and unlocked.
const QString kProbeKey = QStringLiteral("probe");
} // namespace

KeychainSecretStore::KeychainSecretStore(QString service, int timeoutMs)
    : m_service(std::move(service)), m_timeoutMs(timeoutMs)
{
}

KeychainSecretStore::Result KeychainSecretStore::run(Op op, const QString &key, const QString &value)
{
    if (m_stalled) {
        m_lastError = QStringLiteral("the secret service stopped answering earlier");
        return {};
    }

    // No parent: a job that times out is left to finish (or not) on its own. Deleting it while the
    // service still owes it an answer is unsafe, because the back-end's callback holds a raw pointer
    // to it; with auto-delete switched back on it frees itself if the answer ever comes.
    QKeychain::Job *job = nullptr;
    switch (op) {
    case Op::Read:
        job = new QKeychain::ReadPasswordJob(m_service);
        break;
    case Op::Write: {
        auto *write = new QKeychain::WritePasswordJob(m_service);
        // Stored as text, so the item holds the plain UTF-8 value that other tools (secret-tool) show.
        write->setTextData(value);
        job = write;
        break;
    }
    case Op::Delete:
        job = new QKeychain::DeletePasswordJob(m_service);
        break;
    }
    job->setAutoDelete(false);
    job->setInsecureFallback(false);
    job->setKey(key);

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool finished = false;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    job->start();
    timer.start(m_timeoutMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (!finished) {
        job->setAutoDelete(true);
        // QtKeychain runs its jobs one at a time, so everything after a hung job would hang too.
        m_stalled = true;
        m_lastError = QStringLiteral("no answer within %1 ms").arg(m_timeoutMs);
        return {};
    }

    Result result;
    switch (job->error()) {
    case QKeychain::NoError:
        result.outcome = Outcome::Ok;
        if (op == Op::Read)
            result.data = static_cast<QKeychain::ReadPasswordJob *>(job)->binaryData();
        m_lastError.clear();
        break;
    case QKeychain::EntryNotFound:
        result.outcome = Outcome::NotFound;
        m_lastError.clear();
        break;
    default:
        result.outcome = Outcome::Failed;
        m_lastError = QStringLiteral("error %1: %2").arg(int(job->error())).arg(job->errorString());
        break;
    }
    delete job;
    return result;
}

void KeychainSecretStore::set(const QString &key, const QString &value)
{
    run(Op::Delete, key);
    run(Op::Write, key, value);
}

std::optional<QString> KeychainSecretStore::get(const QString &key)
{
    const Result r = run(Op::Read, key);
    if (r.outcome != Outcome::Ok)
        return std::nullopt;
    return decodeUtf8(r.data);
}

void KeychainSecretStore::remove(const QString &key)
{
    run(Op::Delete, key);
}

QString KeychainSecretStore::backendName() const
{
    return QStringLiteral("keychain");
}

bool KeychainSecretStore::usable()
{
    if (!m_usable)
        m_usable = run(Op::Read, kProbeKey).outcome != Outcome::Failed;
    return *m_usable;
}
