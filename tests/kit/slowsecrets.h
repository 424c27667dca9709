#pragma once
// SlowSecrets: a secret store that answers like a Secret Service under strain: one call at a time,
// in order, each `delayMs` after the one before, or never at all (`delayMs` < 0, a keyring
// waiting for an unlock prompt nobody sees). The items live in `inner`; a write or removal takes
// effect when it is answered. `log` lists the calls as they come ("read token", "write name").
//
//   SlowSecrets slow(200);                          // or SlowSecrets never(-1);
//   slow.inner.set("token", "T");                   // a session kept from a last run
//   StoreFixture f({.secrets = &slow, .secretsBoundMs = 3000});
//
// readNow(store, key) reads any store through its asynchronous interface and waits for the answer.
#include "net/secretstore.h"

#include <QPointer>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>

class SlowSecrets final : public SecretStore
{
public:
    explicit SlowSecrets(int delayMs) : delayMs(delayMs)
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { next(); });
    }

    MemorySecretStore inner;
    int delayMs;
    QStringList log;

    void readItem(const QString &key, QObject *context, ReadFn done) override
    {
        queue(QStringLiteral("read ") + key, context, {}, [this, key, done] { done(inner.get(key)); });
    }
    void writeItem(const QString &key, const QString &value, QObject *context, DoneFn done) override
    {
        queue(QStringLiteral("write ") + key, context, [this, key, value] { inner.set(key, value); },
              done ? std::function<void()>([done] { done(true); }) : std::function<void()>());
    }
    void removeItem(const QString &key, QObject *context, DoneFn done) override
    {
        queue(QStringLiteral("remove ") + key, context, [this, key] { inner.remove(key); },
              done ? std::function<void()>([done] { done(true); }) : std::function<void()>());
    }
    QString backendName() const override { return QStringLiteral("slow"); }
    int pending() const { return int(m_queue.size()); }

private:
    struct Call {
        QPointer<QObject> context;
        std::function<void()> effect, reply;
    };
    void queue(const QString &what, QObject *context, std::function<void()> effect, std::function<void()> reply)
    {
        log << what;
        m_queue.push_back(Call{context, std::move(effect), std::move(reply)});
        if (delayMs >= 0 && !m_timer.isActive())
            m_timer.start(delayMs);
    }
    void next()
    {
        if (m_queue.empty())
            return;
        Call c = std::move(m_queue.front());
        m_queue.pop_front();
        if (!m_queue.empty())
            m_timer.start(delayMs);
        // The change happens whoever is waiting; the answer only reaches a caller still there.
        if (c.effect)
            c.effect();
        if (c.reply && c.context)
            c.reply();
    }

    std::deque<Call> m_queue;
    QTimer m_timer;
};

// The item's value as `s` answers it (none when absent or when no answer comes in time). An answer
// inside the call breaks the store's promise and stops the test at once.
inline std::optional<QString> readNow(SecretStore &s, const QString &key, int timeoutMs = 10000)
{
    QObject context;
    std::optional<std::optional<QString>> got;
    s.readItem(key, &context, [&](const std::optional<QString> &v) { got = v; });
    if (got.has_value())
        qFatal("the secret store answered inside the call");
    (void)QTest::qWaitFor([&] { return got.has_value(); }, timeoutMs);
    return got.value_or(std::nullopt);
}
