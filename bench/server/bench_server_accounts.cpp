// Starts corvane-team-server with the demo team (and again with 500 accounts), signs in as the
// administrator and measures GET /api/accounts from this process over loopback. The number of
// requests and the time are bounded; figures are printed.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

struct Run {
    int requests = 0, failures = 0, accounts = 0;
    qint64 bytes = 0;
    double seconds = 0;
    QList<double> latenciesMs;
};

QString serverBin() {
    const QByteArray env = qgetenv("CORVANE_SERVER_BIN");
    return env.isEmpty() ? QStringLiteral(CORVANE_SERVER_PATH) : QString::fromLocal8Bit(env);
}

// `concurrency` requests are kept in flight until `total` have been sent or `maxMs` has passed.
Run measure(const QString &url, const QString &bearer, int total, int concurrency, int maxMs) {
    QNetworkAccessManager nam;
    Run run;
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    int sent = 0, inFlight = 0;
    std::function<void()> sendOne = [&] {
        QNetworkRequest req(QUrl(url + "/api/accounts"));
        req.setRawHeader("Authorization", "Bearer " + bearer.toUtf8());
        QElapsedTimer *t = new QElapsedTimer;
        t->start();
        QNetworkReply *reply = nam.get(req);
        ++sent;
        ++inFlight;
        QObject::connect(reply, &QNetworkReply::finished, [&, reply, t] {
            run.latenciesMs.append(t->nsecsElapsed() / 1e6);
            delete t;
            const QByteArray body = reply->readAll();
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (status != 200) ++run.failures;
            else run.accounts = int(QJsonDocument::fromJson(body).object().value("accounts").toArray().size());
            run.bytes += body.size();
            reply->deleteLater();
            --inFlight;
            if (sent < total && clock.elapsed() < maxMs) sendOne();
            else if (inFlight == 0) loop.quit();
        });
    };
    for (int i = 0; i < concurrency && i < total; ++i) sendOne();
    loop.exec();
    run.seconds = clock.nsecsElapsed() / 1e9;
    run.requests = int(run.latenciesMs.size());
    std::sort(run.latenciesMs.begin(), run.latenciesMs.end());
    return run;
}

double pct(const QList<double> &sorted, double p) {
    if (sorted.isEmpty()) return 0;
    return sorted.at(std::min<qsizetype>(sorted.size() - 1, qsizetype(p * (sorted.size() - 1) + 0.5)));
}

bool scenario(const char *name, int extraAccounts) {
    QTemporaryDir dir;
    QProcess server;
    QStringList args{"--port", "0", "--db", dir.filePath("bench.sqlite"), "--demo", "--seed", "1"};
    if (extraAccounts > 0) args << "--demo-accounts" << QString::number(extraAccounts);
    server.start(serverBin(), args);
    if (!server.waitForStarted(5000)) return false;
    QStringList lines;
    QElapsedTimer t;
    t.start();
    while (lines.size() < 2 && t.elapsed() < 30000) {
        server.waitForReadyRead(200);
        while (server.canReadLine()) lines << QString::fromUtf8(server.readLine()).trimmed();
    }
    if (lines.size() < 2) return false;
    const QString url = lines.first();
    const QStringList admin = lines.at(1).split(' ');  // login admin password P role admin

    QNetworkAccessManager nam;
    QNetworkRequest req(QUrl(url + "/api/provision"));
    req.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    QNetworkReply *reply = nam.post(req, QJsonDocument(QJsonObject{{"login", admin.value(1)},
                                                                   {"password", admin.value(3)}}).toJson());
    QEventLoop wait;
    QObject::connect(reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
    wait.exec();
    const QString session = QJsonDocument::fromJson(reply->readAll()).object().value("session").toString();
    reply->deleteLater();
    if (session.isEmpty()) return false;

    measure(url, session, 20, 1, 5000);  // warm-up
    for (int concurrency : {1, 4}) {
        const Run r = measure(url, session, 400, concurrency, 15000);
        std::printf("%-22s accounts=%4d conc=%d  %5d req in %.2fs  %7.1f req/s  p50 %7.2f ms  p99 %7.2f ms  "
                    "%6.1f KiB/answer  failures=%d\n",
                    name, r.accounts, concurrency, r.requests, r.seconds, r.requests / r.seconds,
                    pct(r.latenciesMs, 0.5), pct(r.latenciesMs, 0.99),
                    r.requests ? r.bytes / 1024.0 / r.requests : 0.0, r.failures);
        std::fflush(stdout);
    }
    server.terminate();
    server.waitForFinished(5000);
    return true;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    std::printf("GET /api/accounts on loopback, server: %s\n", qPrintable(serverBin()));
    bool ok = scenario("demo team", 0);
    ok = scenario("500 accounts", 478) && ok;
    return ok ? 0 : 1;
}
