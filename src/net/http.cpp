#include "http.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace {

const char kRefusedRedirect[] = "corvaneRefusedRedirect";
const char kTimedOut[] = "corvaneTimedOut";
const char kPastDeadline[] = "corvanePastDeadline";
const char kTooLarge[] = "corvaneTooLarge";

// An origin as browsers compare them: scheme, host and effective port.
bool sameOrigin(const QUrl &a, const QUrl &b)
{
    const auto defaultPort = [](const QUrl &u) { return u.scheme() == QLatin1String("https") ? 443 : 80; };
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0
        && a.host().compare(b.host(), Qt::CaseInsensitive) == 0
        && a.port(defaultPort(a)) == b.port(defaultPort(b));
}

bool acceptableUrl(const QUrl &url)
{
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    // Anything else (file:, data:, ftp:) would let a configured address read local files or
    // reach other services through QNetworkAccessManager.
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

// Errors in these ranges come with a complete HTTP answer; the status tells the caller the rest.
bool isHttpStatusError(QNetworkReply::NetworkError code)
{
    // Qt files a 400 answer under ProtocolInvalidOperationError; it is still an HTTP answer.
    return code == QNetworkReply::ProtocolInvalidOperationError
        || (code >= QNetworkReply::ContentAccessDenied && code <= QNetworkReply::UnknownContentError)
        || (code >= QNetworkReply::InternalServerError && code <= QNetworkReply::UnknownServerError);
}

} // namespace

bool isSafeCredential(const QString &value)
{
    // Qt 6.4 writes raw header values as they are, so a line break in a token (which comes from
    // the server) would end the header and start another one.
    return std::none_of(value.cbegin(), value.cend(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

QString bearerFor(const QString &session, const QString &token)
{
    return session.isEmpty() ? token : session;
}

QString describeTransportError(QNetworkReply::NetworkError code, const QString &detail)
{
    switch (code) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
        return QStringLiteral("Сервер недоступен.");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("Сервер не найден.");
    case QNetworkReply::TimeoutError:
        return QStringLiteral("Сервер не ответил вовремя.");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("Ошибка защищённого соединения.");
    case QNetworkReply::OperationCanceledError:
        return QStringLiteral("Запрос отменён.");
    case QNetworkReply::InsecureRedirectError:
    case QNetworkReply::TooManyRedirectsError:
        return QStringLiteral("Сервер перенаправил запрос на недопустимый адрес.");
    default:
        break;
    }
    return QStringLiteral("Ошибка сети: %1").arg(detail);
}

Http::Http(QObject *parent) : QObject(parent), m_nam(new QNetworkAccessManager(this)) {}

void Http::setTimeoutMs(int ms)
{
    m_timeoutMs = ms;
}

int Http::timeoutMs() const
{
    return m_timeoutMs;
}

QNetworkAccessManager *Http::nam()
{
    return m_nam;
}

void Http::deliver(QObject *context, std::function<void(const HttpReply &)> done, HttpReply reply)
{
    // Queued even when already on the right thread, so `done` never runs inside send(); Qt drops
    // the call if `context` is destroyed before it is delivered.
    QMetaObject::invokeMethod(
        context, [done = std::move(done), reply = std::move(reply)] { done(reply); }, Qt::QueuedConnection);
}

void Http::send(HttpMethod method, const QString &url, const QString &bearer, const QJsonObject *body,
                QObject *context, std::function<void(const HttpReply &)> done, bool parseJson,
                const QByteArray &ifNoneMatch)
{
    if (!context)
        context = this;
    // Counted until the last copy of the callback is gone: run, or dropped with its context.
    ++*m_inFlight;
    done = [count = std::shared_ptr<int>(m_inFlight.get(), [keep = m_inFlight](int *n) { --*n; }),
            done = std::move(done)](const HttpReply &r) { done(r); };
    // Tolerant parsing, as a browser would: a path or query the caller did not encode is sent
    // percent-encoded instead of being refused; the host, port and scheme are still checked.
    const QUrl target(url, QUrl::TolerantMode);
    if (!acceptableUrl(target)) {
        HttpReply r;
        r.error = QStringLiteral("Неверный адрес сервера.");
        deliver(context, std::move(done), std::move(r));
        return;
    }

    if (!isSafeCredential(bearer)) {
        HttpReply r;
        r.error = QStringLiteral("Недопустимые данные входа.");
        deliver(context, std::move(done), std::move(r));
        return;
    }

    QNetworkRequest request(target);
    if (!bearer.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + bearer.toUtf8());
    if (!ifNoneMatch.isEmpty() && !ifNoneMatch.contains('\r') && !ifNoneMatch.contains('\n'))
        request.setRawHeader("If-None-Match", ifNoneMatch);
    // Qt keeps raw headers (and a 307/308 keeps the body) across redirects, to any host; every
    // hop is vetted below.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);

    QByteArray payload;
    if (body) {
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        payload = QJsonDocument(*body).toJson(QJsonDocument::Compact);
    }

    QNetworkReply *reply = nullptr;
    switch (method) {
    case HttpMethod::Get:
        reply = body ? m_nam->sendCustomRequest(request, "GET", payload) : m_nam->get(request);
        break;
    case HttpMethod::Post:
        reply = m_nam->post(request, payload);
        break;
    case HttpMethod::Delete:
        reply = body ? m_nam->sendCustomRequest(request, "DELETE", payload) : m_nam->deleteResource(request);
        break;
    }

    // A transfer time-out of our own rather than QNetworkRequest's: Qt 6.4 reports its own as a
    // plain cancellation, which would be indistinguishable from other aborts. Like Qt's, it counts
    // from the last sign of life, not from the start.
    auto *idle = new QTimer(reply);
    idle->setSingleShot(true);
    connect(idle, &QTimer::timeout, reply, [reply] {
        reply->setProperty(kTimedOut, true);
        reply->abort();
    });
    const auto alive = [idle, ms = m_timeoutMs] { idle->start(ms); };
    connect(reply, &QNetworkReply::uploadProgress, idle, alive);
    connect(reply, &QNetworkReply::downloadProgress, idle, alive);
    connect(reply, &QNetworkReply::metaDataChanged, idle, alive);
    connect(reply, &QNetworkReply::finished, idle, &QTimer::stop);
    alive();

    // A server that keeps the connection alive with a byte now and then never trips the idle
    // time-out; this one counts from the start.
    auto *deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, reply, [reply] {
        reply->setProperty(kPastDeadline, true);
        reply->abort();
    });
    connect(reply, &QNetworkReply::finished, deadline, &QTimer::stop);
    deadline->start(m_deadlineMs);

    // The whole body is kept in memory: an answer announced or arriving larger than the cap ends
    // the exchange as soon as that is known.
    const auto tooLarge = [reply] {
        reply->setProperty(kTooLarge, true);
        reply->abort();
    };
    connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, tooLarge, cap = m_maxBodyBytes] {
        if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > cap)
            tooLarge();
    });
    connect(reply, &QNetworkReply::downloadProgress, reply, [tooLarge, cap = m_maxBodyBytes](qint64 received, qint64) {
        if (received > cap)
            tooLarge();
    });

    connect(reply, &QNetworkReply::redirected, reply, [reply, target](const QUrl &to) {
        const QUrl next = reply->url().resolved(to);
        if (sameOrigin(next, target)) {
            emit reply->redirectAllowed();
        } else {
            reply->setProperty(kRefusedRedirect, next.toDisplayString(QUrl::RemoveUserInfo));
            reply->abort();
        }
    });

    QPointer<QObject> guard(context);
    connect(reply, &QNetworkReply::finished, this, [this, reply, guard, parseJson, done = std::move(done)]() mutable {
        if (guard)
            finish(reply, guard, std::move(done), parseJson);
        reply->deleteLater();
    });
}

void Http::finish(QNetworkReply *reply, QObject *context, std::function<void(const HttpReply &)> done,
                  bool parseJson)
{
    HttpReply r;
    const QVariant statusAttr = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError code = reply->error();

    if (reply->property(kTimedOut).toBool()) {
        r.error = QStringLiteral("Сервер не ответил вовремя.");
    } else if (reply->property(kPastDeadline).toBool()) {
        r.error = QStringLiteral("Сервер отвечал слишком долго.");
    } else if (reply->property(kTooLarge).toBool()) {
        r.error = QStringLiteral("Ответ сервера слишком большой.");
    } else if (reply->property(kRefusedRedirect).isValid()) {
        r.error = QStringLiteral("Сервер перенаправил запрос на другой адрес.");
    } else if (code == QNetworkReply::NoError || (isHttpStatusError(code) && statusAttr.isValid())) {
        r.ok = true;
        r.status = statusAttr.toInt();
        r.body = reply->readAll();
        r.etag = reply->rawHeader("ETag");
        QJsonParseError err;
        const QJsonDocument doc = parseJson ? QJsonDocument::fromJson(r.body, &err) : QJsonDocument();
        if (parseJson && err.error == QJsonParseError::NoError && doc.isObject())
            r.json = doc.object();
    } else {
        r.error = describeTransportError(code, reply->errorString());
    }
    deliver(context, std::move(done), std::move(r));
}
