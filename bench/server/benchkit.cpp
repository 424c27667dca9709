#include "benchkit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTimer>
#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <unistd.h>

#include <cstdio>

bool TeamServerProcess::start(const QStringList &args, bool expectLogins) {
    QString bin = qEnvironmentVariable("CORVANE_SERVER_BIN");
    if (bin.isEmpty()) bin = QStringLiteral(CORVANE_SERVER_PATH);
    proc.setProgram(bin);
    proc.setArguments(QStringList{"--port", "0", "--db", dbPath()} + args);
    proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    proc.start();
    if (!proc.waitForStarted(5000)) return false;
    lines.clear();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 120000 && proc.state() == QProcess::Running) {
        proc.waitForReadyRead(200);
        while (proc.canReadLine()) lines << QString::fromUtf8(proc.readLine()).trimmed();
        if (!lines.isEmpty() && (!expectLogins || lines.size() >= 2)) break;
    }
    if (lines.isEmpty()) return false;
    url = lines.first();
    // The sign-ins come in one burst: read until it has ended.
    while (expectLogins && proc.waitForReadyRead(500))
        while (proc.canReadLine()) lines << QString::fromUtf8(proc.readLine()).trimmed();
    return !expectLogins || lines.size() >= 2;
}

void TeamServerProcess::stop() {
    if (proc.state() == QProcess::NotRunning) return;
    proc.terminate();
    if (!proc.waitForFinished(5000)) kill();
}

void TeamServerProcess::kill() {
    proc.kill();
    proc.waitForFinished(5000);
}

QString TeamServerProcess::password(const QString &login) const {
    for (const QString &l : lines) {
        const QStringList w = l.split(' ');
        if (w.size() == 6 && w[1] == login) return w[3];
    }
    return {};
}

Served request(const QByteArray &method, const QString &url, const QString &bearer, const QByteArray &body, int timeoutMs) {
    // One per thread: the soak bench writes from several.
    thread_local QNetworkAccessManager *nam = new QNetworkAccessManager;
    QNetworkRequest req{QUrl(url)};
    if (!bearer.isEmpty()) req.setRawHeader("Authorization", "Bearer " + bearer.toUtf8());
    if (!body.isNull()) req.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    QNetworkReply *reply = nam->sendCustomRequest(req, method, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) loop.exec();
    Served s;
    s.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    s.body = reply->readAll();
    reply->abort();
    reply->deleteLater();
    return s;
}

QJsonObject signIn(const QString &url, const QString &login, const QString &password) {
    const Served s = request("POST", url + "/api/provision", {},
                             QJsonDocument(QJsonObject{{"login", login}, {"password", password}}).toJson());
    return QJsonDocument::fromJson(s.body).object();
}

namespace {

double millis(const QString &value) {
    static const QRegularExpression re(QStringLiteral("^([0-9.]+)(us|ms|s)$"));
    const auto m = re.match(value.trimmed());
    if (!m.hasMatch()) return 0;
    const double v = m.captured(1).toDouble();
    return m.captured(2) == "us" ? v / 1000 : m.captured(2) == "s" ? v * 1000 : v;
}

QStringList wrkArgs(const QString &url, const QString &bearer, int connections, int seconds, int threads) {
    QStringList args{"-t", QString::number(threads), "-c", QString::number(connections), "-d",
                     QString::number(seconds) + "s", "--latency", "--timeout", "10s"};
    if (!bearer.isEmpty()) args << "-H" << "Authorization: Bearer " + bearer;
    return args << url;
}

} // namespace

WrkResult wrk(const QString &url, const QString &bearer, int connections, int seconds, int threads) {
    QProcess p;
    p.start("wrk", wrkArgs(url, bearer, connections, seconds, std::min(threads, connections)));
    WrkResult r;
    if (!p.waitForFinished((seconds + 30) * 1000)) {
        p.kill();
        return r;
    }
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    for (const QString &line : out.split('\n')) {
        const QStringList w = line.simplified().split(' ');
        if (w.size() >= 2 && w[0] == "Requests/sec:") r.rps = w[1].toDouble();
        if (w.size() == 2 && w[0] == "50%") r.p50 = millis(w[1]);
        if (w.size() == 2 && w[0] == "99%") r.p99 = millis(w[1]);
        if (w.size() >= 4 && w[1] == "requests" && w[2] == "in") r.requests = w[0].toLongLong();
        if (line.contains("Non-2xx or 3xx responses:")) r.errors += w.last().toLongLong();
        if (line.contains("Socket errors:")) r.errors += 1;
    }
    r.ok = r.rps > 0;
    return r;
}

std::unique_ptr<QProcess> wrkInBackground(const QString &url, const QString &bearer, int connections, int seconds) {
    auto p = std::make_unique<QProcess>();
    p->setStandardOutputFile(QProcess::nullDevice());
    p->start("wrk", wrkArgs(url, bearer, connections, seconds, 1));
    p->waitForStarted(5000);
    return p;
}

Nginx::~Nginx() {
    if (m_proc.state() != QProcess::NotRunning) {
        m_proc.terminate();
        if (!m_proc.waitForFinished(5000)) m_proc.kill();
        m_proc.waitForFinished(2000);
    }
}

bool Nginx::start(const QList<QPair<QString, QByteArray>> &files) {
    const QString root = m_dir.filePath("www");
    for (const auto &[path, body] : files) {
        QDir().mkpath(QFileInfo(root + path).absolutePath());
        QFile f(root + path);
        if (!f.open(QIODevice::WriteOnly)) return false;
        f.write(body);
    }
    int port;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    const QString d = m_dir.path();
    QFile conf(d + "/nginx.conf");
    if (!conf.open(QIODevice::WriteOnly)) return false;
    conf.write(QStringLiteral(
                   "%1worker_processes 2;\ndaemon off;\npid %2/nginx.pid;\nerror_log %2/error.log;\n"
                   "events { worker_connections 4096; }\n"
                   "http {\n access_log off;\n client_body_temp_path %2/tmp;\n proxy_temp_path %2/tmp;\n"
                   " fastcgi_temp_path %2/tmp;\n uwsgi_temp_path %2/tmp;\n scgi_temp_path %2/tmp;\n"
                   " keepalive_requests 1000000;\n default_type application/json;\n"
                   " server { listen 127.0.0.1:%3; root %4; location / { } }\n}\n")
                   .arg(geteuid() == 0 ? "user root root;\n" : "", d, QString::number(port), root)
                   .toUtf8());
    conf.close();
    m_proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_proc.start("/usr/sbin/nginx", {"-c", d + "/nginx.conf", "-p", d, "-e", d + "/error.log"});
    if (!m_proc.waitForStarted(5000)) return false;
    url = QStringLiteral("http://127.0.0.1:%1").arg(port);
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000) {
        if (request("GET", url + files.first().first, {}, {}, 1000).status == 200) return true;
        QThread::msleep(50);
    }
    return false;
}

qint64 statusKiB(qint64 pid, const char *field) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field)) return line.mid(qstrlen(field) + 1).trimmed().split(' ').first().toLongLong();
    return -1;
}

void figure(const char *name, double value, const char *unit) {
    std::printf("%s: %.2f %s\n", name, value, unit);
    std::fflush(stdout);
}
