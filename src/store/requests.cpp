// The request layer: every exchange with the team server goes through these five calls.
// They never turn an HTTP status into an error; each caller reads the status itself.
#include "store/store.h"

Store::ReplyFn Store::inSession(ReplyFn done) const
{
    // An answer belongs to the session that asked. Once a sign-in, sign-out or restore has begun
    // another one, a late answer (an administrator's team, alerts or role, a write's toast and
    // reload) must not land in it; nothing is waiting for it there either.
    return [this, gen = m_generation, done = std::move(done)](const HttpReply &r) {
        if (gen == m_generation)
            done(r);
    };
}

void Store::post(const QString &path, const QJsonObject &body, ReplyFn done)
{
    m_http->send(HttpMethod::Post, m_serverUrl + path, QString(), &body, this, inSession(std::move(done)));
}

void Store::getStatus(const QString &path, ReplyFn done)
{
    m_http->send(HttpMethod::Get, m_serverUrl + path, bearerFor(m_session, m_token), nullptr, this,
                 inSession(std::move(done)));
}

void Store::getStatusUnparsed(const QString &path, ReplyFn done)
{
    m_http->send(HttpMethod::Get, m_serverUrl + path, bearerFor(m_session, m_token), nullptr, this,
                 inSession(std::move(done)), false);
}

void Store::postAuthedStatus(const QString &path, const QJsonObject &body, ReplyFn done)
{
    m_http->send(HttpMethod::Post, m_serverUrl + path, bearerFor(m_session, m_token), &body, this,
                 inSession(std::move(done)));
}

void Store::deleteAuthed(const QString &path, ReplyFn done)
{
    m_http->send(HttpMethod::Delete, m_serverUrl + path, bearerFor(m_session, m_token), nullptr, this,
                 inSession(std::move(done)));
}

void Store::getData(const QString &path, std::function<void(const std::optional<QByteArray> &)> done)
{
    m_http->send(HttpMethod::Get, m_serverUrl + path, bearerFor(m_session, m_token), nullptr, this,
                 inSession([done = std::move(done)](const HttpReply &r) {
                     if (r.ok && r.status >= 200 && r.status <= 299 && !r.body.isEmpty())
                         done(r.body);
                     else
                         done(std::nullopt);
                 }));
}

bool Store::needsRelogin() const
{
    return isAdmin() && (m_session.isEmpty() || m_authExpired);
}
