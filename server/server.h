// The team server: one QAbstractHttpServer that routes every request itself, so that unknown
// paths, wrong methods, oversized bodies and bad JSON all get a JSON refusal of their own.
#pragma once

#include "db.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QUrlQuery>
#include <QVariantList>

#include <functional>

struct ServerOptions {
    QString publicUrl;        // base URL handed out at sign-in
    int installExit = 0;      // exit status of the served install script
    QString feedVersion = QStringLiteral("0.1.0");
    int feedBuild = 1;
};

struct Reply {
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    QList<QPair<QByteArray, QByteArray>> headers;
};

// The signed-in member behind a bearer credential.
struct Caller {
    QString id;
    QString name;
    QString role;
    bool admin() const { return role == QLatin1String("admin"); }
};

struct Ctx {
    const QHttpServerRequest &req;
    QUrlQuery query;
    QJsonObject body;
    Caller who;
    bool has(const QString &key) const { return query.hasQueryItem(key); }
    QString param(const QString &key) const { return query.queryItemValue(key, QUrl::FullyDecoded); }
};

// A refusal raised anywhere inside a handler; the dispatcher turns it into the JSON answer.
struct Refusal {
    int status;
    QString error;
};

class TeamServer : public QAbstractHttpServer {
public:
    static constexpr qsizetype kMaxBody = 1024 * 1024;
    static constexpr double kOnlineWindow = 300; // a presence report this recent counts as online

    TeamServer(Db &db, ServerOptions options, QObject *parent = nullptr);
    void setPublicUrl(const QString &url) { m_opt.publicUrl = url; }
    QString publicUrl() const { return m_opt.publicUrl; }

    // Answer helpers shared by the handler files.
    static Reply json(const QJsonObject &obj, int status = 200);
    static Reply fail(int status, const QString &error);
    [[noreturn]] static void refuse(int status, const QString &error) { throw Refusal{status, error}; }
    static double now();

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    enum class Access { Open, Member, Admin };
    struct Route {
        QHttpServerRequest::Method method;
        QString path;
        Access access;
        bool jsonBody;
        std::function<Reply(Ctx &)> fn;
    };
    void addRoutes();
    void add(QHttpServerRequest::Method m, const QString &path, Access a, std::function<Reply(Ctx &)> fn);
    Reply dispatch(const QHttpServerRequest &request);
    bool authenticate(const QHttpServerRequest &request, Caller *who);

    // Sign-in and own profile (api_auth.cpp).
    Reply provision(Ctx &c);
    Reply changePassword(Ctx &c);
    Reply getMe(Ctx &c);
    Reply postMe(Ctx &c);
    Reply postMyAvatar(Ctx &c);
    Reply getAvatar(Ctx &c);
    // Roster (api_members.cpp).
    Reply getMembers(Ctx &c);
    Reply postMembers(Ctx &c);
    Reply deleteMembers(Ctx &c);
    // Accounts, registry, home status, alerts (api_accounts.cpp).
    Reply getAccounts(Ctx &c);
    Reply refreshLimits(Ctx &c);
    Reply postRegistry(Ctx &c);
    Reply deleteRegistry(Ctx &c);
    Reply myStatus(Ctx &c);
    Reply events(Ctx &c);
    Reply breakdown(Ctx &c);
    // Statistics and activity (api_stats.cpp).
    Reply stats(Ctx &c);
    Reply mirrors(Ctx &c);
    Reply teamResult(Ctx &c);
    Reply analytics(Ctx &c);
    // Pages without credential (pages.cpp).
    Reply installScript(Ctx &c);
    Reply appcast(Ctx &c);
    Reply index(Ctx &c);

    // Shared pieces.
    QJsonObject memberJson(const QString &id);
    QJsonArray membersJson(const QString &onlyId);
    QString storePhoto(const QString &memberId, const QJsonValue &base64); // returns error text or ""
    double photoTime(const QString &memberId);
    void revokeCredentials(const QString &memberId);
    int activeAdmins(const QString &except);

    Db &m_db;
    ServerOptions m_opt;
    QList<Route> m_routes;
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
