#pragma once
// A scripted stand-in for the team server: records every request it gets (method, path, the
// fully decoded query, JSON body, credential) and answers each with what the test chose. A
// reply marked `hang` is never answered, so the client's own time-out ends the exchange.

#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QUrlQuery>

#include <functional>
#include <list>

struct Seen {
    QString method, path;
    QHash<QString, QString> query; // decoded values
    QJsonObject body;
    QByteArray auth;
    QString q(const char *key) const { return query.value(QLatin1String(key)); }
};

struct Canned {
    int status = 200;
    QByteArray body = "{}";
    QByteArray type = "application/json";
    bool hang = false;
    int delayMs = 0; // answer this much later (to reorder overlapping requests)

    static Canned json(const QJsonObject &o, int status = 200)
    {
        return {status, QJsonDocument(o).toJson(QJsonDocument::Compact), "application/json", false};
    }
    static Canned raw(int status, const QByteArray &body, const QByteArray &type)
    {
        return {status, body, type, false};
    }
    static Canned html500() { return raw(500, "<html><body>Internal error</body></html>", "text/html"); }
    static Canned array() { return raw(200, "[1,2,3]", "application/json"); }
    static Canned empty(int status = 200) { return raw(status, QByteArray(), "application/json"); }
    static Canned silence() { Canned c; c.hang = true; return c; }
    Canned later(int ms) const { Canned c = *this; c.delayMs = ms; return c; }
};

Q_DECLARE_METATYPE(Canned)

class FakeServer
{
public:
    // Answers every request; replace it at any time.
    std::function<Canned(const Seen &)> answer = [](const Seen &) { return Canned(); };
    QList<Seen> seen;

    FakeServer()
    {
        m_server.setMissingHandler([this](const QHttpServerRequest &req, QHttpServerResponder &&resp) {
            Seen s;
            switch (req.method()) {
            case QHttpServerRequest::Method::Get: s.method = QStringLiteral("GET"); break;
            case QHttpServerRequest::Method::Post: s.method = QStringLiteral("POST"); break;
            case QHttpServerRequest::Method::Delete: s.method = QStringLiteral("DELETE"); break;
            default: s.method = QStringLiteral("OTHER"); break;
            }
            s.path = req.url().path();
            for (const auto &item : req.query().queryItems(QUrl::FullyDecoded))
                s.query.insert(item.first, item.second);
            s.body = QJsonDocument::fromJson(req.body()).object();
            s.auth = req.value("Authorization");
            seen.append(s);
            const Canned c = answer(s);
            if (c.hang) {
                m_held.push_back(std::move(resp)); // keep the connection open, say nothing
                return;
            }
            if (c.delayMs > 0) {
                auto it = m_held.insert(m_held.end(), std::move(resp));
                QTimer::singleShot(c.delayMs, &m_guard, [this, it, c] {
                    write(*it, c);
                    m_held.erase(it);
                });
                return;
            }
            write(resp, c);
        });
        m_port = m_server.listen(QHostAddress::LocalHost, 0);
    }

    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    bool listening() const { return m_port != 0; }
    QList<Seen> requestsTo(const QString &path) const
    {
        QList<Seen> out;
        for (const Seen &s : seen)
            if (s.path == path)
                out.append(s);
        return out;
    }

    // The first request with this method and path (an empty Seen when there was none).
    Seen first(const QString &method, const QString &path) const
    {
        for (const Seen &s : seen)
            if (s.method == method && s.path == path)
                return s;
        return {};
    }

private:
    static void write(QHttpServerResponder &resp, const Canned &c)
    {
        resp.write(c.body, {{"Content-Type", c.type}}, QHttpServerResponder::StatusCode(c.status));
    }

    QObject m_guard; // delayed answers die with the server
    QHttpServer m_server;
    quint16 m_port = 0;
    std::list<QHttpServerResponder> m_held;
};
