#pragma once
// ReferenceServer: runs the reference team server (CORVANE_SERVER_BIN, set for every test by
// corvane_test) on port 0 with a throwaway database, waits for its printed URL and sign-ins, and
// stops it when it goes. It also speaks plain HTTP to it, for tests of the server itself.
//
//   ReferenceServer server;
//   QVERIFY(server.start());                          // demo team, fixed seed: same people each run
//   const auto admin = server.loginFor("admin");      // {login, password, role} as printed
//   store.setServerUrl(server.url()); store.signIn(admin.login, admin.password);
//   const QString session = server.signIn(admin.login, admin.password);   // "" when refused
//   server.get("/api/accounts", session).find("accounts", "email", "a@b.c")   // one of the list
//
// start(args, Seed::FirstAdmin) starts on an empty database (one administrator with a one-time
// password); Seed::None restarts on the database of an earlier start() of the same object (and
// reads the one sign-in a restart prints when it revives an administrator).
// setDatabase(url) puts it on a PostgreSQL database instead of its own SQLite file (see
// PostgresCluster); setForwardedFor(addr) makes every request claim to come through a proxy from
// that address (start the server with "--trusted-proxy 127.0.0.1" for it to count).
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// The first object of `list` whose `field` is the text `value`; {} when there is none.
QJsonObject objectWith(const QJsonArray &list, const QString &field, const QString &value);

class ReferenceServer
{
public:
    struct Login { QString login, password, role; };
    struct Answer {
        int status = 0;
        QByteArray body;
        QByteArray contentType;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray header(const QByteArray &name) const;
        QJsonObject json() const;
        bool isJsonObject() const;
        QJsonArray list(const QString &key) const { return json().value(key).toArray(); }
        // The first object of the list `key` whose `field` is `value`; {} when there is none.
        QJsonObject find(const QString &key, const QString &field, const QString &value) const;
    };
    enum class Seed { Demo, FirstAdmin, None };

    ~ReferenceServer() { stop(); }

    // Extra arguments go after "--port 0 --db <file>" (and "--demo --seed 5" for Seed::Demo).
    bool start(const QStringList &extraArgs = {}, Seed seed = Seed::Demo);
    void stop();

    QString url() const { return m_url; }
    QString dbPath() const { return m_dir.filePath(QStringLiteral("team.sqlite")); }
    qint64 pid() const { return m_proc.processId(); }
    void setDatabase(const QString &url) { m_database = url; }
    void setForwardedFor(const QString &address) { m_forwardedFor = address; }
    // Headers sent with every request from now on (a machine's name, a body's encoding).
    void setHeaders(const QList<QPair<QByteArray, QByteArray>> &headers) { m_headers = headers; }
    // Runs in the server's process between fork and exec (resource limits, say).
    void setChildSetup(std::function<void()> setup) { m_proc.setChildProcessModifier(std::move(setup)); }
    const QList<Login> &logins() const { return m_logins; }
    Login loginFor(const QString &role) const;      // the first printed sign-in with this role
    Login login(const QString &name) const;         // the printed sign-in of this login

    Answer send(const QByteArray &method, const QString &path, const QByteArray &body = {},
                const QString &bearer = {}, const QByteArray &contentType = "application/json");
    Answer get(const QString &path, const QString &bearer = {});
    Answer post(const QString &path, const QJsonObject &body, const QString &bearer = {});
    Answer del(const QString &path, const QString &bearer);
    // POSTs every body to `path` at once, the i-th with bearers[i] (or the last one given), as a
    // flood or a race would send them; the statuses in the order of the bodies.
    QList<int> burst(const QString &path, const QList<QJsonObject> &bodies, const QStringList &bearers = {});
    // Signs in; the session credential, or "" when refused. `answer` gets the whole reply.
    QString signIn(const QString &login, const QString &password, QJsonObject *answer = nullptr);

private:
    QString readLine(int timeoutMs);

    QTemporaryDir m_dir;
    QProcess m_proc;
    std::unique_ptr<QNetworkAccessManager> m_nam; // made on first use, after the application
    QString m_url;
    QString m_database;
    QString m_forwardedFor;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    QList<Login> m_logins;
};
