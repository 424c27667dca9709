#pragma once
// A scripted HTTP server on 127.0.0.1 for request-level tests: each path answers with a
// configured status, content type and body, and every request is recorded.

#include <QHash>
#include <QHostAddress>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

class FakeServer
{
public:
    struct Answer {
        int status = 200;
        QByteArray contentType = "application/json";
        QByteArray body = "{}";
    };
    struct Seen {
        QByteArray method;
        QString path;
        QString query;
        QByteArray authorization;
        QByteArray body;
    };

    // Registers every path the test will use (QHttpServer routes by path; queries are recorded).
    explicit FakeServer(const QStringList &paths)
    {
        for (const QString &p : paths) {
            m_server.route(p, [this, p](const QHttpServerRequest &req) {
                Seen s;
                switch (req.method()) {
                case QHttpServerRequest::Method::Get: s.method = "GET"; break;
                case QHttpServerRequest::Method::Post: s.method = "POST"; break;
                case QHttpServerRequest::Method::Delete: s.method = "DELETE"; break;
                default: s.method = "OTHER"; break;
                }
                s.path = p;
                s.query = req.url().query(QUrl::FullyEncoded);
                s.authorization = req.value("Authorization");
                s.body = req.body();
                seen.append(s);
                const Answer a = m_answers.value(p, Answer{});
                return QHttpServerResponse(a.contentType, a.body,
                                           static_cast<QHttpServerResponse::StatusCode>(a.status));
            });
        }
        m_port = m_server.listen(QHostAddress::LocalHost, 0);
    }

    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

    void answer(const QString &path, int status, const QByteArray &body,
                const QByteArray &type = "application/json")
    {
        m_answers.insert(path, Answer{status, type, body});
    }
    void answerJson(const QString &path, const QJsonObject &o, int status = 200)
    {
        answer(path, status, QJsonDocument(o).toJson(QJsonDocument::Compact));
    }

    int count(const QString &path) const
    {
        int n = 0;
        for (const Seen &s : seen)
            n += s.path == path;
        return n;
    }
    Seen last(const QString &path) const
    {
        for (qsizetype i = seen.size() - 1; i >= 0; --i)
            if (seen[i].path == path)
                return seen[i];
        return {};
    }

    QList<Seen> seen;

private:
    QHttpServer m_server;
    quint16 m_port = 0;
    QHash<QString, Answer> m_answers;
};
