#include "referenceserver.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QTest>
#include <QTimer>

#include <algorithm>

QJsonObject ReferenceServer::Answer::json() const { return QJsonDocument::fromJson(body).object(); }
bool ReferenceServer::Answer::isJsonObject() const { return QJsonDocument::fromJson(body).isObject(); }

QJsonObject objectWith(const QJsonArray &list, const QString &field, const QString &value)
{
    for (const QJsonValue &v : list)
        if (v.toObject().value(field).toString() == value)
            return v.toObject();
    return {};
}

QJsonObject ReferenceServer::Answer::find(const QString &key, const QString &field, const QString &value) const
{
    return objectWith(list(key), field, value);
}

QByteArray ReferenceServer::Answer::header(const QByteArray &name) const
{
    for (const auto &h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return {};
}

bool ReferenceServer::start(const QStringList &extraArgs, Seed seed)
{
    stop();
    const QString bin = qEnvironmentVariable("CORVANE_SERVER_BIN");
    if (bin.isEmpty() || !m_dir.isValid())
        return false;
    QStringList args{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--db"),
                     m_database.isEmpty() ? dbPath() : m_database};
    if (!m_database.isEmpty())
        args << QStringLiteral("--key-file") << m_dir.filePath(QStringLiteral("registry.key"));
    if (seed == Seed::Demo)
        args << QStringLiteral("--demo") << QStringLiteral("--seed") << QStringLiteral("5");
    m_proc.setProgram(bin);
    m_proc.setArguments(args + extraArgs);
    m_proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_proc.start();
    if (!m_proc.waitForStarted(5000))
        return false;
    m_url = readLine(20000);
    if (!m_url.startsWith(QLatin1String("http://")))
        return false;
    m_logins.clear();
    // The sign-ins follow in one burst once their passwords are hashed: the first may take a few
    // seconds (many more in a sanitizer build on a busy machine), the rest come together. A restart
    // prints one only when it had to give the team's administrator a new one-time password.
    for (int wait = seed == Seed::None ? 3000 : 60000;; wait = 1000) {
        const QString line = readLine(wait);
        const QStringList w = line.split(u' ');
        if (w.size() != 6 || w[0] != QLatin1String("login"))
            break;
        m_logins.append({w[1], w[3], w[5]});
    }
    return seed == Seed::None || !m_logins.isEmpty();
}

QString ReferenceServer::readLine(int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!m_proc.canReadLine() && t.elapsed() < timeoutMs && m_proc.state() == QProcess::Running)
        m_proc.waitForReadyRead(int(std::max<qint64>(1, std::min<qint64>(200, timeoutMs - t.elapsed()))));
    return m_proc.canReadLine() ? QString::fromUtf8(m_proc.readLine()).trimmed() : QString();
}

void ReferenceServer::stop()
{
    if (m_proc.state() == QProcess::NotRunning)
        return;
    m_proc.terminate();
    if (!m_proc.waitForFinished(5000)) {
        m_proc.kill();
        m_proc.waitForFinished(2000);
    }
}

ReferenceServer::Login ReferenceServer::loginFor(const QString &role) const
{
    for (const Login &l : m_logins)
        if (l.role == role)
            return l;
    return {};
}

ReferenceServer::Login ReferenceServer::login(const QString &name) const
{
    for (const Login &l : m_logins)
        if (l.login == name)
            return l;
    return {};
}

ReferenceServer::Answer ReferenceServer::send(const QByteArray &method, const QString &path, const QByteArray &body,
                                              const QString &bearer, const QByteArray &contentType)
{
    QNetworkRequest req(QUrl(m_url + path));
    if (!bearer.isEmpty())
        req.setRawHeader("Authorization", "Bearer " + bearer.toUtf8());
    if (!m_forwardedFor.isEmpty())
        req.setRawHeader("X-Forwarded-For", m_forwardedFor.toLatin1());
    for (const auto &[name, value] : m_headers)
        req.setRawHeader(name, value);
    if (!contentType.isEmpty() && !body.isNull())
        req.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    if (!m_nam)
        m_nam = std::make_unique<QNetworkAccessManager>();
    QNetworkReply *reply = m_nam->sendCustomRequest(req, method, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    Answer a;
    a.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    a.body = reply->readAll();
    a.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    a.headers = reply->rawHeaderPairs();
    reply->deleteLater();
    return a;
}

ReferenceServer::Answer ReferenceServer::get(const QString &path, const QString &bearer)
{
    return send("GET", path, QByteArray(), bearer, {});
}

ReferenceServer::Answer ReferenceServer::post(const QString &path, const QJsonObject &body, const QString &bearer)
{
    return send("POST", path, QJsonDocument(body).toJson(QJsonDocument::Compact), bearer);
}

ReferenceServer::Answer ReferenceServer::del(const QString &path, const QString &bearer)
{
    return send("DELETE", path, QByteArray(), bearer, {});
}

QList<int> ReferenceServer::burst(const QString &path, const QList<QJsonObject> &bodies, const QStringList &bearers)
{
    if (!m_nam)
        m_nam = std::make_unique<QNetworkAccessManager>();
    QList<QNetworkReply *> replies;
    for (qsizetype i = 0; i < bodies.size(); ++i) {
        QNetworkRequest req(QUrl(m_url + path));
        req.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
        if (!bearers.isEmpty())
            req.setRawHeader("Authorization", "Bearer " + bearers.value(i, bearers.last()).toUtf8());
        if (!m_forwardedFor.isEmpty())
            req.setRawHeader("X-Forwarded-For", m_forwardedFor.toLatin1());
        replies << m_nam->post(req, QJsonDocument(bodies[i]).toJson(QJsonDocument::Compact));
    }
    QList<int> statuses;
    for (QNetworkReply *r : replies) {
        if (!r->isFinished() && !QTest::qWaitFor([r] { return r->isFinished(); }, 60000))
            r->abort();
        statuses << r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        r->deleteLater();
    }
    return statuses;
}

QString ReferenceServer::signIn(const QString &login, const QString &password, QJsonObject *answer)
{
    const Answer a = post(QStringLiteral("/api/provision"), {{QStringLiteral("login"), login},
                                                            {QStringLiteral("password"), password}});
    if (answer)
        *answer = a.json();
    return a.status == 200 ? a.json().value(QStringLiteral("session")).toString() : QString();
}
