#pragma once
// The request layer's transport: one shared QNetworkAccessManager, JSON in and out, and the rules
// that keep the bearer credential on the server it was issued by.
#include <QByteArray>
#include <QJsonObject>
#include <QNetworkReply>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QNetworkAccessManager;

struct HttpReply {
    bool ok = false;   // false: transport failure, nothing usable came back (status 0, json and body empty)
    QString error;     // Russian, user-facing description of the transport failure
    int status = 0;    // HTTP status; never an error by itself, callers decide what it means
    QJsonObject json;  // body parsed as JSON when it is an object, else empty
    QByteArray body;   // raw bytes
    QByteArray etag;   // the answer's entity tag, when the server sent one
};

enum class HttpMethod { Get, Post, Delete };

// The credential a signed-in request carries: the session token if there is one, else the member token.
QString bearerFor(const QString &session, const QString &token);

// True when `value` can go into a header: no control characters (C0, DEL, C1; a line break would end the
// header and start another one).
bool isSafeCredential(const QString &value);

// The user-facing text for a transport failure of a reply.
QString describeTransportError(QNetworkReply::NetworkError code, const QString &detail);

class Http : public QObject {
    Q_OBJECT
public:
    explicit Http(QObject *parent = nullptr);

    // Transfer time-out: the request fails when no data moves for this long (default 60 s).
    void setTimeoutMs(int ms);
    int timeoutMs() const;
    // Overall deadline of one exchange, however steadily data trickles in (default 120 s).
    void setDeadlineMs(int ms) { m_deadlineMs = ms; }
    int deadlineMs() const { return m_deadlineMs; }
    // Largest answer body taken (default 32 MiB); a larger one ends the exchange at once.
    void setMaxBodyBytes(qint64 bytes) { m_maxBodyBytes = bytes; }
    qint64 maxBodyBytes() const { return m_maxBodyBytes; }

    // Sends one request. `url` is the server URL and the path concatenated by the caller; it must be
    // an absolute http or https URL with a host, otherwise nothing is sent and the reply says
    // "Неверный адрес сервера.". An empty `bearer` sends no Authorization header; one holding control
    // characters (a line break would smuggle in headers) sends nothing and ends with
    // "Недопустимые данные входа.". `body` null sends
    // no body, else compact JSON as application/json.
    //
    // Redirects are followed only within the request's own origin (scheme, host, port); a redirect
    // elsewhere is not followed and ends as a transport failure, so neither a bearer credential
    // nor a password in a sign-in body ever reaches another server.
    //
    // Each exchange is bounded three ways, each ending as a transport failure with a message of
    // its own: the idle time-out, the overall deadline and the body size cap.
    //
    // `done` runs exactly once, always later (never inside send), on `context`'s thread, and not at
    // all if `context` is destroyed first. A null context means this object. Call from the thread
    // this object lives in.
    //
    // With `parseJson` false the body is left unparsed (`json` stays empty): for large answers
    // that the caller parses off the main thread.
    //
    // A non-empty `ifNoneMatch` (the tag of an answer the caller still holds) lets the server answer
    // 304 with no body when nothing has changed.
    void send(HttpMethod method, const QString &url, const QString &bearer, const QJsonObject *body,
              QObject *context, std::function<void(const HttpReply &)> done, bool parseJson = true,
              const QByteArray &ifNoneMatch = {});

    QNetworkAccessManager *nam();
    // Exchanges whose callback has neither run nor been dropped yet (tests wait for 0).
    int inFlight() const { return *m_inFlight; }

private:
    void deliver(QObject *context, std::function<void(const HttpReply &)> done, HttpReply reply);
    void finish(QNetworkReply *reply, QObject *context, std::function<void(const HttpReply &)> done,
                bool parseJson);

    QNetworkAccessManager *m_nam;
    std::shared_ptr<int> m_inFlight = std::make_shared<int>(0);
    int m_timeoutMs = 60000;
    int m_deadlineMs = 120000;
    qint64 m_maxBodyBytes = qint64(32) * 1024 * 1024;
};
