#include "fakeserver.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QMetaEnum>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>

struct FakeServer::Pending {
    QString path;
    QHttpServerResponder resp;
};

FakeServer::FakeServer()
{
    m_server.setMissingHandler([this](const QHttpServerRequest &req, QHttpServerResponder &&resp) {
        handle(req, std::move(resp));
    });
    m_port = m_server.listen(QHostAddress::LocalHost, 0);
}

FakeServer::~FakeServer() = default;

QString FakeServer::url() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

QString FakeServer::refusedUrl()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

void FakeServer::handle(const QHttpServerRequest &req, QHttpServerResponder &&resp)
{
    Request r;
    // "GET", "POST", "DELETE", "PUT", ... as the enum names them.
    r.method = QByteArray(QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(int(req.method()))).toUpper();
    r.path = req.url().path();
    // QUrl keeps the percent-encoding of reserved characters as received ("%2B" stays apart from "+").
    r.target = req.url().toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority);
    for (const auto &item : req.query().queryItems(QUrl::FullyDecoded))
        r.query.insert(item.first, item.second);
    r.auth = req.value("Authorization");
    r.contentType = req.value("Content-Type");
    r.body = req.body();
    r.json = QJsonDocument::fromJson(r.body).object();
    seen.append(r);

    Reply reply;
    if (auto it = m_routes.constFind(QString::fromLatin1(r.method) + r.path); it != m_routes.cend())
        reply = *it;
    else if (auto any = m_routes.constFind(QStringLiteral("*") + r.path); any != m_routes.cend())
        reply = *any;
    else if (answer)
        reply = answer(r);

    if (reply.wait == Reply::Wait::Release) {
        m_held.push_back(Pending{r.path, std::move(resp)});
        return;
    }
    if (reply.wait == Reply::Wait::Forever) {
        m_waiting.push_back(Pending{r.path, std::move(resp)});
        return;
    }
    if (reply.delayMs > 0) {
        auto it = m_waiting.insert(m_waiting.end(), Pending{r.path, std::move(resp)});
        QTimer::singleShot(reply.delayMs, this, [this, it, reply] {
            write(it->resp, reply);
            m_waiting.erase(it);
        });
        return;
    }
    write(resp, reply);
}

void FakeServer::write(QHttpServerResponder &resp, const Reply &r)
{
    QHttpServerResponse response(r.type, r.body, QHttpServerResponder::StatusCode(r.status));
    response.addHeaders(r.headers);
    response.write(std::move(resp));
}

QList<Request> FakeServer::to(const QString &path) const
{
    QList<Request> out;
    for (const Request &r : seen)
        if (r.path == path)
            out.append(r);
    return out;
}

Request FakeServer::last(const QString &path) const
{
    const QList<Request> l = to(path);
    return l.isEmpty() ? Request() : l.last();
}

Request FakeServer::first(const QByteArray &method, const QString &path) const
{
    for (const Request &r : seen)
        if (r.method == method && r.path == path)
            return r;
    return {};
}

bool FakeServer::waitFor(const QString &path, int n, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return count(path) >= n; }, timeoutMs);
}

int FakeServer::heldCount() const
{
    return int(m_held.size());
}

bool FakeServer::release(const QString &path, const Reply &reply)
{
    for (auto it = m_held.begin(); it != m_held.end(); ++it) {
        if (path.isEmpty() || it->path == path) {
            write(it->resp, reply);
            m_held.erase(it);
            return true;
        }
    }
    return false;
}

void FakeServer::releaseAll(const Reply &reply)
{
    while (release(QString(), reply)) {
    }
}
