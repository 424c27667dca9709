#pragma once
// What the server benches share: the team server in a child process, blocking HTTP through
// QNetworkAccessManager, wrk and nginx runs, and a process's memory. Loopback only; every run is
// bounded in time.
#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

struct Served {
    int status = 0;
    QByteArray body;
};

class TeamServerProcess {
public:
    ~TeamServerProcess() { stop(); }
    // Starts with "--port 0 --db DIR/bench.sqlite" and `args`; waits for the URL and the sign-ins.
    bool start(const QStringList &args, bool expectLogins = true);
    void stop();
    void kill();  // SIGKILL, no goodbye
    QString url;
    QString password(const QString &login) const;
    QString dbPath() const { return dir.filePath("bench.sqlite"); }
    qint64 pid() const { return proc.processId(); }
    QTemporaryDir dir;

private:
    QProcess proc;
    QStringList lines;
};

Served request(const QByteArray &method, const QString &url, const QString &bearer = {}, const QByteArray &body = {},
               int timeoutMs = 30000);
// Signs in; "session" and "token" of the answer, empty when refused.
QJsonObject signIn(const QString &url, const QString &login, const QString &password);

struct WrkResult {
    double rps = 0;
    double p50 = 0, p99 = 0;  // milliseconds
    qint64 requests = 0, errors = 0;
    bool ok = false;
};
WrkResult wrk(const QString &url, const QString &bearer, int connections, int seconds, int threads = 2);
// Starts wrk in the background for a load that runs beside a measurement.
std::unique_ptr<QProcess> wrkInBackground(const QString &url, const QString &bearer, int connections, int seconds);

// nginx serving fixed files at fixed paths, the floor a static server sets on this machine.
class Nginx {
public:
    ~Nginx();
    bool start(const QList<QPair<QString, QByteArray>> &files);  // path -> body
    QString url;

private:
    QTemporaryDir m_dir;
    QProcess m_proc;
};

qint64 statusKiB(qint64 pid, const char *field);  // VmRSS, VmHWM from /proc/PID/status
void figure(const char *name, double value, const char *unit);
