// PlatformSecretStore: the Secret Service when it answers, else the private file; decided by the
// first read, without waiting.
#include "secretstore.h"

#include <QFile>

#include <cstdio>

using Outcome = KeychainSecretStore::Outcome;
using Result = KeychainSecretStore::Result;

PlatformSecretStore::PlatformSecretStore(QString service, int timeoutMs, QString fallbackPath)
    : m_keychain(std::move(service), timeoutMs), m_file(std::move(fallbackPath))
{
    // "token" is the item start-up reads first, and whether the service holds one decides what
    // happens to a fallback file.
    m_keychain.run(Op::Read, QStringLiteral("token"), {}, &m_anchor, [this](const Result &r) { decide(r); });
}

PlatformSecretStore::~PlatformSecretStore() = default;

void PlatformSecretStore::decide(const Result &probe)
{
    if (probe.outcome == Outcome::Ok || probe.outcome == Outcome::NotFound) {
        m_mode = Mode::Keychain;
        if (QFile::exists(m_file.path())) {
            // The secret service's own session wins: a newer sign-in may have happened there.
            if (probe.outcome == Outcome::NotFound && m_file.get(QStringLiteral("token")))
                adoptFile();
            else
                QFile::remove(m_file.path());
        }
    } else {
        useFile(probe.error);
    }
    while (!m_waiting.empty()) {
        Call c = std::move(m_waiting.front());
        m_waiting.pop_front();
        dispatch(std::move(c));
    }
}

void PlatformSecretStore::adoptFile()
{
    // An earlier run kept the session in the file because the service did not answer then. Queued
    // ahead of everything waiting, so start-up reads the adopted session from the service.
    const auto noteStall = [this](const Result &r) {
        if (r.outcome == Outcome::Stalled)
            useFile(r.error);
    };
    for (const QString &key : Keychain::items()) {
        if (const auto v = m_file.get(key)) {
            m_keychain.run(Op::Delete, key, {}, &m_anchor, noteStall);
            m_keychain.run(Op::Write, key, *v, &m_anchor, noteStall);
        }
    }
    // The file goes only once the service really holds the session; otherwise it stays, and
    // a service that stops answering meanwhile hands everything back to it.
    m_keychain.run(Op::Read, QStringLiteral("token"), {}, &m_anchor,
                   [this, token = m_file.get(QStringLiteral("token"))](const Result &r) {
                       if (r.outcome == Outcome::Ok && decodeUtf8(r.data) == token && m_mode == Mode::Keychain)
                           QFile::remove(m_file.path());
                   });
}

void PlatformSecretStore::useFile(const QString &why)
{
    if (m_mode == Mode::File)
        return;
    m_mode = Mode::File;
    static bool logged = false;
    if (!logged) {
        logged = true;
        std::fprintf(stderr,
                     "corvane-team: secret service unavailable (%s); keeping the session credentials in %s "
                     "(readable by this user only)\n",
                     qPrintable(why), qPrintable(m_file.path()));
        std::fflush(stderr);
    }
}

void PlatformSecretStore::dispatch(Call call)
{
    switch (m_mode) {
    case Mode::Deciding:
        m_waiting.push_back(std::move(call));
        return;
    case Mode::File:
        onFile(call);
        return;
    case Mode::Keychain:
        break;
    }
    if (call.op == Op::Write) {
        // The removal that goes first may be the job that hangs; say so with its own reason.
        m_keychain.run(Op::Delete, call.key, {}, &m_anchor, [this](const Result &r) {
            if (r.outcome == Outcome::Stalled)
                useFile(r.error);
        });
    }
    const Op op = call.op;
    const QString key = call.key, value = call.value;
    m_keychain.run(op, key, value, &m_anchor, [this, call = std::move(call)](const Result &r) {
        if (r.outcome == Outcome::Stalled) {
            // The service stopped answering: this and everything after it go to the file.
            useFile(r.error);
            onFile(call);
            return;
        }
        if (call.done && call.context)
            call.done(r);
    });
}

void PlatformSecretStore::onFile(const Call &call)
{
    Result r;
    switch (call.op) {
    case Op::Read:
        if (const auto v = m_file.get(call.key)) {
            r.outcome = Outcome::Ok;
            r.data = v->toUtf8();
        } else {
            r.outcome = Outcome::NotFound;
        }
        break;
    case Op::Write:
        r.outcome = m_file.set(call.key, call.value) ? Outcome::Ok : Outcome::Failed;
        break;
    case Op::Delete:
        r.outcome = m_file.remove(call.key) ? Outcome::Ok : Outcome::Failed;
        break;
    }
    if (call.done)
        callLater(call.context, [done = call.done, r] { done(r); });
}

void PlatformSecretStore::readItem(const QString &key, QObject *context, ReadFn done)
{
    dispatch(Call{Op::Read, key, {}, context, [done = std::move(done)](const Result &r) {
                      done(r.outcome == Outcome::Ok ? decodeUtf8(r.data) : std::nullopt);
                  }});
}

void PlatformSecretStore::writeItem(const QString &key, const QString &value, QObject *context, DoneFn done)
{
    std::function<void(const Result &)> fn;
    if (done)
        fn = [done = std::move(done)](const Result &r) { done(r.outcome == Outcome::Ok); };
    dispatch(Call{Op::Write, key, value, context, std::move(fn)});
}

void PlatformSecretStore::removeItem(const QString &key, QObject *context, DoneFn done)
{
    std::function<void(const Result &)> fn;
    if (done)
        fn = [done = std::move(done)](const Result &r) {
            done(r.outcome == Outcome::Ok || r.outcome == Outcome::NotFound);
        };
    dispatch(Call{Op::Delete, key, {}, context, std::move(fn)});
}

QString PlatformSecretStore::backendName() const
{
    return m_mode == Mode::File ? QStringLiteral("file") : QStringLiteral("keychain");
}
