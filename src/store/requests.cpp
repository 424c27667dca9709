// The request layer: every exchange with the team server goes through these five calls.
// They never turn an HTTP status into an error; each caller reads the status itself.
#include "store/store.h"

#include "core/clock.h"

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

Store::ReplyFn Store::counted(ReplyFn done)
{
    ++m_loadsRunning;
    Q_EMIT loadsRunningChanged();
    return [this, done = std::move(done)](const HttpReply &r) {
        --m_loadsRunning;
        Q_EMIT loadsRunningChanged();
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
                 counted(inSession(std::move(done))));
}

void Store::getKept(const QString &path, ReplyFn done, bool parseJson)
{
    const QByteArray tag = m_tags.value(path);
    m_http->send(HttpMethod::Get, m_serverUrl + path, bearerFor(m_session, m_token), nullptr, this,
                 counted(inSession([tag, done = std::move(done)](const HttpReply &r) {
                     if (r.status != 304 || !tag.isEmpty())
                         return done(r);
                     // "Not modified" to a question that named nothing: there is nothing to keep.
                     HttpReply failed;
                     failed.error = QStringLiteral("Неожиданный ответ сервера.");
                     done(failed);
                 })),
                 parseJson, tag);
}

void Store::keepTag(const QString &path, const QByteArray &tag, const QJsonObject &json)
{
    if (tag.isEmpty()) {
        forgetTag(path);
        return;
    }
    m_tags.insert(path, tag);
    if (!json.isEmpty())
        m_keptJson.insert(path, json);
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
                     // A photo that is missing is no news about the server: no state changes here.
                     if (answer::sort(r, answer::Kind::Data) == answer::Verdict::Ok)
                         done(r.body);
                     else
                         done(std::nullopt);
                 }));
}

answer::Verdict Store::loaded(const HttpReply &r)
{
    const answer::Verdict v = answer::sort(r, answer::Kind::Load);
    switch (v) {
    case answer::Verdict::Ok:
    case answer::Verdict::Unchanged:
        if (m_authExpired)
            setAuthExpired(false);
        if (m_serverLost)
            setServerLost(false);
        setDataAt(Clock::now());
        break;
    case answer::Verdict::Failed:
        if (!m_serverLost)
            setServerLost(true);
        break;
    case answer::Verdict::Expired:
        if (!m_authExpired)
            setAuthExpired(true);
        break;
    case answer::Verdict::Refused:
        // The server no longer takes this user for an administrator: what only an administrator
        // may see goes now, and the user's own status says what the role has become.
        if (isAdmin()) {
            clearAdminData();
            refreshHome();
        }
        break;
    }
    return v;
}

bool Store::needsRelogin() const
{
    // Every authorised request that came back 401 asks for a new sign-in; an administrator also
    // needs a session of their own (the member token does not reach the team's data).
    return m_authExpired || (isAdmin() && m_session.isEmpty());
}
