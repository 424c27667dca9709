// KeychainSecretStore: QtKeychain jobs, one at a time, each bounded by a timer; nothing waits.
#include "secretstore.h"

#include <QTimer>

#include <qt6keychain/keychain.h>

namespace {
// A job whose answer we no longer wait for: cut off from our handlers and left to free itself if
// the answer ever comes. Deleting it while the service still owes an answer is unsafe, because the
// back-end's callback holds a raw pointer to it.
void abandon(QObject *job, QObject *receiver)
{
    QObject::disconnect(job, nullptr, receiver, nullptr);
    static_cast<QKeychain::Job *>(job)->setAutoDelete(true);
}
} // namespace

KeychainSecretStore::KeychainSecretStore(QString service, int timeoutMs)
    : m_service(std::move(service)), m_timeoutMs(timeoutMs), m_timer(new QTimer(&m_anchor))
{
    m_timer->setSingleShot(true);
    QObject::connect(m_timer, &QTimer::timeout, &m_anchor, [this] { timedOut(); });
}

KeychainSecretStore::~KeychainSecretStore()
{
    if (m_job)
        abandon(m_job, &m_anchor);
}

void KeychainSecretStore::run(Op op, const QString &key, const QString &value, QObject *context,
                              std::function<void(const Result &)> done)
{
    m_queue.push_back(Pending{op, key, value, context, std::move(done)});
    if (!m_job)
        pump();
}

void KeychainSecretStore::pump()
{
    // QtKeychain runs its jobs one at a time anyway; doing the same here keeps each job's bound
    // its own and lets a stall fail everything behind it at once. A job may finish inside start()
    // (no service at all); its handler's call to pump() then leaves the work to this loop.
    if (m_pumping)
        return;
    m_pumping = true;
    while (!m_job && !m_queue.empty()) {
        if (m_stalled) {
            Result r;
            r.outcome = Outcome::Stalled;
            r.error = QStringLiteral("the secret service stopped answering earlier");
            settle(std::move(r));
            continue;
        }
        const Pending &p = m_queue.front();
        QKeychain::Job *job = nullptr;
        switch (p.op) {
        case Op::Read:
            job = new QKeychain::ReadPasswordJob(m_service);
            break;
        case Op::Write: {
            auto *write = new QKeychain::WritePasswordJob(m_service);
            // Stored as text, so the item holds the plain UTF-8 value that other tools (secret-tool) show.
            write->setTextData(p.value);
            job = write;
            break;
        }
        case Op::Delete:
            job = new QKeychain::DeletePasswordJob(m_service);
            break;
        }
        job->setAutoDelete(false);
        job->setInsecureFallback(false);
        job->setKey(p.key);
        const Op op = p.op;
        QObject::connect(job, &QKeychain::Job::finished, &m_anchor, [this, job, op] {
            m_timer->stop();
            Result r;
            switch (job->error()) {
            case QKeychain::NoError:
                r.outcome = Outcome::Ok;
                if (op == Op::Read)
                    r.data = static_cast<QKeychain::ReadPasswordJob *>(job)->binaryData();
                break;
            case QKeychain::EntryNotFound:
                r.outcome = Outcome::NotFound;
                break;
            default:
                r.outcome = Outcome::Failed;
                r.error = QStringLiteral("error %1: %2").arg(int(job->error())).arg(job->errorString());
                break;
            }
            // Not deleted here: QtKeychain still touches the job after emitting finished.
            job->deleteLater();
            m_job.clear();
            settle(std::move(r));
            pump();
        });
        m_job = job;
        m_timer->start(m_timeoutMs);
        job->start();
    }
    m_pumping = false;
}

void KeychainSecretStore::timedOut()
{
    if (!m_job)
        return;
    abandon(m_job, &m_anchor);
    m_job.clear();
    // Everything queued behind a hung job would hang too.
    m_stalled = true;
    Result r;
    r.outcome = Outcome::Stalled;
    r.error = QStringLiteral("no answer within %1 ms").arg(m_timeoutMs);
    settle(std::move(r));
    pump();
}

void KeychainSecretStore::settle(Result result)
{
    Pending p = std::move(m_queue.front());
    m_queue.pop_front();
    if (p.done)
        callLater(p.context, [done = std::move(p.done), result = std::move(result)] { done(result); });
}

void KeychainSecretStore::readItem(const QString &key, QObject *context, ReadFn done)
{
    run(Op::Read, key, {}, context, [done = std::move(done)](const Result &r) {
        done(r.outcome == Outcome::Ok ? decodeUtf8(r.data) : std::nullopt);
    });
}

void KeychainSecretStore::writeItem(const QString &key, const QString &value, QObject *context, DoneFn done)
{
    run(Op::Delete, key, {}, nullptr, {});
    run(Op::Write, key, value, context, [done = std::move(done)](const Result &r) {
        if (done)
            done(r.outcome == Outcome::Ok);
    });
}

void KeychainSecretStore::removeItem(const QString &key, QObject *context, DoneFn done)
{
    run(Op::Delete, key, {}, context, [done = std::move(done)](const Result &r) {
        if (done)
            done(r.outcome == Outcome::Ok || r.outcome == Outcome::NotFound);
    });
}

QString KeychainSecretStore::backendName() const
{
    return QStringLiteral("keychain");
}
