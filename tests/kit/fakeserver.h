#pragma once
// FakeServer: a scripted stand-in for the team server (or any HTTP server) on 127.0.0.1, on a
// port of its own, for tests that drive client code over real HTTP.
//
//   FakeServer server;                                   // listening once constructed
//   server.on("/api/accounts", Reply::json({{"accounts", QJsonArray{}}}));
//   server.on("POST", "/api/members", Reply::json({{"error", "нет"}}, 409));
//   server.answer = [](const Request &r) { return Reply::json({{"ok", true}}); }; // no route matched
//   store.setServerUrl(server.url());
//   ... QTRY_COMPARE(server.count("/api/accounts"), 1);
//   server.last("/api/accounts").auth == "Bearer S1"; server.seen[0].target == "/api/x?id=a%2Bb"
//
// Every request is recorded in `seen` in arrival order: method, decoded path and query, the raw
// target as it came on the wire (to check percent-encoding), the Authorization header and the body.
// A reply can come late (Reply::later), never (Reply::silence: the client's own time-out ends the
// exchange) or when the test says so (Reply::held, then release()/releaseAll()), which lets a test
// order overlapping answers however it likes (each held reply keeps a connection busy, and the
// client opens at most six to one server). Reply::redirect answers with a Location.
#include <QByteArray>
#include <QHash>
#include <QHttpServer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <list>

class QHttpServerResponder;

struct Request {
    QByteArray method;             // "GET", "POST", "DELETE", "PUT", ...
    QString path;                  // decoded path, no query
    QByteArray target;             // path and query exactly as sent: "/api/x?id=a%2Bb"
    QHash<QString, QString> query; // decoded query items
    QByteArray auth;               // the Authorization header, empty when absent
    QByteArray contentType;
    QByteArray body;               // raw body
    QJsonObject json;              // the body when it is a JSON object, else empty
    QString q(const char *key) const { return query.value(QLatin1String(key)); }
};

struct Reply {
    int status = 200;
    QByteArray body = "{}";
    QByteArray type = "application/json";
    QList<QPair<QByteArray, QByteArray>> headers; // extra headers
    int delayMs = 0;                              // answer this much later
    enum class Wait { No, Forever, Release } wait = Wait::No;

    static Reply json(const QJsonObject &o, int status = 200)
    {
        return raw(status, QJsonDocument(o).toJson(QJsonDocument::Compact), "application/json");
    }
    static Reply raw(int status, const QByteArray &body, const QByteArray &type = "text/plain")
    {
        return Reply{status, body, type};
    }
    static Reply empty(int status = 200) { return raw(status, QByteArray(), "application/json"); }
    static Reply html500() { return raw(500, "<html><body>Internal error</body></html>", "text/html"); }
    static Reply redirect(const QString &location, int status = 302)
    {
        return Reply{status, {}, "text/plain", {{"Location", location.toUtf8()}}};
    }
    static Reply silence() { return Reply{.wait = Wait::Forever}; } // the connection stays open, nothing is said
    static Reply held() { return Reply{.wait = Wait::Release}; }    // answered by release() with what it gives
    Reply later(int ms) const
    {
        Reply r = *this;
        r.delayMs = ms;
        return r;
    }
};
Q_DECLARE_METATYPE(Reply)

class FakeServer : public QObject
{
public:
    FakeServer();
    ~FakeServer() override;

    QString url() const;                   // "http://127.0.0.1:PORT"
    bool listening() const { return m_port != 0; }
    // A URL where nothing listens (connection refused).
    static QString refusedUrl();

    // Routes by exact path, for any method or for one; the latest wins. Unrouted requests go to
    // `answer`, which by default says 200 {}.
    void on(const QString &path, const Reply &reply) { m_routes.insert(QStringLiteral("*") + path, reply); }
    void on(const QByteArray &method, const QString &path, const Reply &reply)
    {
        m_routes.insert(QString::fromLatin1(method) + path, reply);
    }
    std::function<Reply(const Request &)> answer;

    QList<Request> seen;
    QList<Request> to(const QString &path) const;          // requests to this path, in order
    int count(const QString &path) const { return int(to(path).size()); }
    Request last(const QString &path) const;               // empty Request when none
    Request first(const QByteArray &method, const QString &path) const;
    // Waits (event loop running) until `n` requests to `path` have arrived.
    bool waitFor(const QString &path, int n = 1, int timeoutMs = 5000) const;

    // Held replies, oldest first. release() answers the oldest held request to `path` (any path
    // when empty) with `reply`; false when none is held.
    int heldCount() const;
    bool release(const QString &path = {}, const Reply &reply = Reply());
    void releaseAll(const Reply &reply = Reply());

private:
    struct Pending;
    void handle(const class QHttpServerRequest &req, QHttpServerResponder &&resp);
    static void write(QHttpServerResponder &resp, const Reply &r);

    QHttpServer m_server;
    quint16 m_port = 0;
    QHash<QString, Reply> m_routes;
    std::list<Pending> m_held;     // Wait::Release
    std::list<Pending> m_waiting;  // Wait::Forever and delayed replies
};
