// The team server's routes: every request is routed here, so that unknown paths, wrong methods
// and bad JSON all get a JSON refusal of their own. Handlers run on the HTTP service's I/O
// threads; one that needs to write, hash a password or rebuild a cached answer moves itself to
// a worker (offload(), Tx) and runs again there from the start.
#pragma once

#include "cache.h"
#include "db.h"
#include "groupcommit.h"
#include "httpcore.h"
#include "recent.h"
#include "throttle.h"
#include "vault.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <mutex>

struct ServerOptions {
    QString publicUrl;        // base URL handed out at sign-in
    int installExit = 0;      // exit status of the served install script
    QString feedVersion = QStringLiteral("0.1.0");
    int feedBuild = 1;
    // The client's package offered by the feed and served at /download/<name>; none when empty.
    QString feedPackageName;
    QByteArray feedPackage;
    double signInWindow = 15 * 60;        // failures counted over this many seconds
    int signInFailures = 5;               // this many failures in the window lock the login/address
    double oneTimePasswordLife = 7 * 86400;
    double intakeRate = 20;  // reports per second and credential, on average (ten times that at once)
};

// The signed-in member behind a bearer credential.
struct Caller {
    QString id;
    QString name;
    QString role;
    bool session = false;      // a session credential (sign-in), not the machine's member token
    bool mustChange = false;   // signed in with a one-time password not yet replaced
    QString credential;        // the credential's hash: what the intake's flood limit counts by
    bool admin() const { return role == QLatin1String("admin"); }
};

struct Ctx {
    const HttpRequest &req;
    QJsonObject body;
    QByteArray raw;  // the body as JSON text (inflated when it came compressed)
    Caller who;
    bool has(const QString &key) const { return req.query.hasQueryItem(key); }
    QString param(const QString &key) const { return req.query.queryItemValue(key, QUrl::FullyDecoded); }
};

// A whole-number query parameter within [lo, hi], `fallback` when absent; otherwise a 400 refusal.
int intParam(const Ctx &c, const QString &key, int fallback, int lo, int hi);

// A refusal raised anywhere inside a handler; the dispatcher turns it into the JSON answer.
struct Refusal {
    int status;
    QString error;
    QList<QPair<QByteArray, QByteArray>> headers = {};
};

class TeamServer {
public:
    static constexpr double kTelemetryWindow = 600;  // telemetry this recent counts as arriving

    TeamServer(Db &db, Vault &vault, ServerOptions options);
    void setPublicUrl(const QString &url) { m_opt.publicUrl = url; }
    QString publicUrl() const { return m_opt.publicUrl; }

    // Answers one request; may throw Defer (see httpcore.h).
    Reply handle(HttpRequest &request);

    // Answer helpers shared by the handler files.
    static Reply json(const QJsonObject &obj, int status = 200);
    static Reply fail(int status, const QString &error);
    [[noreturn]] static void refuse(int status, const QString &error) { throw Refusal{status, error}; }
    static double now();

private:
    enum class Access { Open, Member, Admin };
    struct Route {
        QByteArray method;
        QString path;
        Access access;
        bool beforeChange;  // reachable while the caller still has to change a one-time password
        std::function<Reply(Ctx &)> fn;
    };
    void addRoutes();
    void add(const QByteArray &m, const QString &path, Access a, Reply (TeamServer::*h)(Ctx &),
             bool beforeChange = false);
    Reply dispatch(const HttpRequest &request);
    bool authenticate(const HttpRequest &request, Caller *who);
    void noteUse(const QString &hash, const QString &address, double t);

    // Sign-in and own profile (api_auth.cpp).
    Reply provision(Ctx &c);
    Reply changePassword(Ctx &c);
    Reply getMe(Ctx &c);
    Reply postMe(Ctx &c);
    Reply postMyAvatar(Ctx &c);
    Reply getAvatar(Ctx &c);
    void checkBackOff(const QString &login, const QString &address, int heldMs);
    void noteFailure(const QString &login, const QString &address);
    // Roster (api_members.cpp).
    Reply getMembers(Ctx &c);
    Reply postMembers(Ctx &c);
    Reply deleteMembers(Ctx &c);
    // Accounts, registry, home status, alerts (api_accounts.cpp).
    Reply getAccounts(Ctx &c);
    QByteArray buildAccounts(double *validUntil);
    Reply refreshLimits(Ctx &c);
    Reply postRegistry(Ctx &c);
    Reply deleteRegistry(Ctx &c);
    Reply myStatus(Ctx &c);
    QByteArray buildStatus(const Caller &who, double *validUntil);
    Reply events(Ctx &c);
    Reply readEvents(Ctx &c); // api_events.cpp
    Reply breakdown(Ctx &c);
    // Statistics and activity (api_stats.cpp).
    Reply stats(Ctx &c);
    QByteArray buildStats(const QString &scope);
    Reply mirrors(Ctx &c);
    Reply teamResult(Ctx &c);
    Reply analytics(Ctx &c);
    // Usage history (api_history.cpp).
    Reply accountHistory(Ctx &c);
    Reply costHistory(Ctx &c);
    // Reports from members' machines (api_intake.cpp).
    Reply intakeMetrics(Ctx &c);
    Reply intakeLogs(Ctx &c);
    Reply intakeOtlp(Ctx &c, bool metrics);
    Reply intakeStatusLine(Ctx &c);
    Reply intakeHook(Ctx &c);
    Reply intakeHeartbeat(Ctx &c);
    Reply intakeCodex(Ctx &c);
    void throttleIntake(const Ctx &c);
    // Pages without credential (pages.cpp).
    Reply installScript(Ctx &c);
    Reply appcast(Ctx &c);
    Reply package(Ctx &c);
    Reply index(Ctx &c);

    // Shared pieces.
    QJsonObject memberJson(const QString &id);
    QJsonArray membersJson(const QString &onlyId);
    QString decodePhoto(const QJsonValue &base64, QByteArray *png);  // returns error text or ""
    void storePhoto(const QString &memberId, const QByteArray &png);
    double photoTime(const QString &memberId);
    void revokeCredentials(const QString &memberId);
    void requireActiveAdmin(const QString &error);  // refuses (409) a change that left none

    Db &m_db;
    Vault &m_vault;
    ServerOptions m_opt;
    QList<Route> m_routes;
    Throttle m_throttle;
    GroupCommit m_intake;
    RecentReports m_recent;
    Cached m_accounts;
    CachedMap m_status;
    CachedMap m_stats;
    // Credentials seen lately (by hash), valid while the Access counter stays where it was: a
    // revocation in this process takes effect at once, one in another process within 200 ms.
    struct Known {
        Caller who;
        quint64 version = 0;
        double lastUsed = 0;
        QString lastAddress;
    };
    std::mutex m_authMutex;
    QHash<QString, Known> m_known;
};

// Typed readers of request bodies: a present key of the wrong type is a refusal, never a guess.
namespace body {
bool has(const QJsonObject &o, const QString &key);
QString text(const QJsonObject &o, const QString &key, int maxLen = 200);
bool flag(const QJsonObject &o, const QString &key);
double number(const QJsonObject &o, const QString &key);

// The free-text profile fields a member may edit, in the column order of the members table.
extern const QStringList kProfileText;
// Adds "column = ?" and its value for each free-text profile field (and the note) the body
// carries, so the own-profile and the administrator's edit change them alike.
void profileEdits(const QJsonObject &o, QStringList &sets, QVariantList &args);
} // namespace body
