#include "server.h"

#include "secrets.h"

#include <QDateTime>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSqlQuery>
#include <QTcpSocket>

#include <cmath>

using Method = QHttpServerRequest::Method;

TeamServer::TeamServer(Db &db, ServerOptions options, QObject *parent)
    : QAbstractHttpServer(parent), m_db(db), m_opt(std::move(options)) {
    addRoutes();
}

double TeamServer::now() { return QDateTime::currentMSecsSinceEpoch() / 1000.0; }

Reply TeamServer::json(const QJsonObject &obj, int status) {
    Reply r;
    r.status = status;
    r.body = QJsonDocument(obj).toJson(QJsonDocument::Compact);
    return r;
}

Reply TeamServer::fail(int status, const QString &error) {
    return json(QJsonObject{{"ok", false}, {"error", error}}, status);
}

void TeamServer::add(Method m, const QString &path, Access a, std::function<Reply(Ctx &)> fn) {
    const bool jsonBody = m == Method::Post;
    m_routes.append(Route{m, path, a, jsonBody, std::move(fn)});
}

void TeamServer::addRoutes() {
    using A = Access;
    auto bind = [this](Reply (TeamServer::*h)(Ctx &)) {
        return [this, h](Ctx &c) { return (this->*h)(c); };
    };
    add(Method::Post, "/api/provision", A::Open, bind(&TeamServer::provision));
    add(Method::Post, "/api/member/change-password", A::Open, bind(&TeamServer::changePassword));
    add(Method::Get, "/api/my/status", A::Member, bind(&TeamServer::myStatus));
    add(Method::Get, "/api/me", A::Member, bind(&TeamServer::getMe));
    add(Method::Post, "/api/me", A::Member, bind(&TeamServer::postMe));
    add(Method::Post, "/api/me/avatar", A::Member, bind(&TeamServer::postMyAvatar));
    add(Method::Get, "/api/avatar", A::Member, bind(&TeamServer::getAvatar));
    add(Method::Get, "/api/events", A::Admin, bind(&TeamServer::events));
    add(Method::Get, "/api/accounts", A::Admin, bind(&TeamServer::getAccounts));
    add(Method::Post, "/api/refresh-limits", A::Admin, bind(&TeamServer::refreshLimits));
    add(Method::Get, "/api/accounts/breakdown", A::Admin, bind(&TeamServer::breakdown));
    add(Method::Get, "/api/stats", A::Admin, bind(&TeamServer::stats));
    add(Method::Get, "/api/mirrors/limits", A::Admin, bind(&TeamServer::mirrors));
    add(Method::Get, "/api/team/result", A::Admin, bind(&TeamServer::teamResult));
    add(Method::Get, "/api/team/analytics", A::Admin, bind(&TeamServer::analytics));
    add(Method::Get, "/api/members", A::Admin, bind(&TeamServer::getMembers));
    add(Method::Post, "/api/members", A::Admin, bind(&TeamServer::postMembers));
    add(Method::Delete, "/api/members", A::Admin, bind(&TeamServer::deleteMembers));
    add(Method::Post, "/api/registry", A::Admin, bind(&TeamServer::postRegistry));
    add(Method::Delete, "/api/registry", A::Admin, bind(&TeamServer::deleteRegistry));
    add(Method::Get, "/raw/install.sh", A::Open, bind(&TeamServer::installScript));
    add(Method::Get, "/appcast.xml", A::Open, bind(&TeamServer::appcast));
    add(Method::Get, "/", A::Open, bind(&TeamServer::index));
}

namespace {

QByteArray header(const QHttpServerRequest &r, const QByteArray &name) {
    for (const auto &h : r.headers())
        if (h.first.compare(name, Qt::CaseInsensitive) == 0) return h.second.trimmed();
    return {};
}

QByteArray methodName(Method m) {
    switch (m) {
    case Method::Get: return "GET";
    case Method::Post: return "POST";
    case Method::Delete: return "DELETE";
    default: return "OTHER";
    }
}

} // namespace

bool TeamServer::authenticate(const QHttpServerRequest &request, Caller *who) {
    const QByteArray auth = header(request, "authorization");
    if (!auth.startsWith("Bearer ") && !auth.startsWith("bearer ")) return false;
    const QString credential = QString::fromUtf8(auth.mid(7).trimmed());
    if (credential.isEmpty() || credential.size() > 256) return false;
    QSqlQuery q = m_db.exec(
        "SELECT m.id, m.name, m.role FROM credentials c JOIN members m ON m.id = c.member_id "
        "WHERE c.hash = ? AND m.active = 1",
        {secrets::credentialHash(credential)});
    if (!q.next()) return false;
    who->id = q.value(0).toString();
    who->name = q.value(1).toString();
    who->role = q.value(2).toString();
    return true;
}

Reply TeamServer::dispatch(const QHttpServerRequest &request) {
    const QString path = request.url().path();
    QList<const Route *> onPath;
    for (const Route &r : m_routes)
        if (r.path == path) onPath.append(&r);
    if (onPath.isEmpty()) return fail(404, QStringLiteral("Не найдено"));
    const Route *route = nullptr;
    for (const Route *r : onPath)
        if (r->method == request.method()) route = r;
    if (!route) {
        QByteArrayList allowed;
        for (const Route *r : onPath) allowed << methodName(r->method);
        Reply r = fail(405, QStringLiteral("Метод не поддерживается"));
        r.headers.append(qMakePair(QByteArray("Allow"), allowed.join(", ")));
        return r;
    }

    // Size first: the declared length may already be too much, whatever arrived.
    const QByteArray declared = header(request, "content-length");
    bool lengthOk = true;
    const qlonglong length = declared.isEmpty() ? 0 : declared.toLongLong(&lengthOk);
    if (!lengthOk || length < 0) return fail(400, QStringLiteral("Неверный Content-Length"));
    if (length > kMaxBody || request.body().size() > kMaxBody)
        return fail(413, QStringLiteral("Слишком большой запрос"));

    Ctx ctx{request, QUrlQuery(request.url()), {}, {}};
    if (route->access != Access::Open) {
        if (!authenticate(request, &ctx.who)) {
            Reply r = fail(401, QStringLiteral("Требуется вход"));
            r.headers.append(qMakePair(QByteArray("WWW-Authenticate"), QByteArray("Bearer")));
            return r;
        }
        if (route->access == Access::Admin && !ctx.who.admin())
            return fail(403, QStringLiteral("Недостаточно прав"));
    }
    if (route->jsonBody) {
        const QByteArray type = header(request, "content-type").toLower();
        const QByteArray mime = type.split(';').first().trimmed();
        if (mime != "application/json") return fail(415, QStringLiteral("Нужен JSON (Content-Type: application/json)"));
        QJsonParseError err{};
        const QJsonDocument doc = QJsonDocument::fromJson(request.body(), &err);
        if (err.error != QJsonParseError::NoError || !doc.isObject())
            return fail(400, QStringLiteral("Неверный JSON: ожидается объект"));
        ctx.body = doc.object();
    }
    return route->fn(ctx);
}

bool TeamServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) {
    Reply reply;
    try {
        reply = dispatch(request);
    } catch (const Refusal &r) {
        reply = fail(r.status, r.error);
    } catch (const DbError &e) {
        qWarning("database error: %s", e.what());
        reply = fail(500, QStringLiteral("Ошибка базы данных"));
    } catch (const std::exception &e) {
        qWarning("internal error: %s", e.what());
        reply = fail(500, QStringLiteral("Внутренняя ошибка сервера"));
    }
    QHttpServerResponse response(reply.contentType, reply.body,
                                 static_cast<QHttpServerResponse::StatusCode>(reply.status));
    response.addHeader("Cache-Control", "no-store");
    response.addHeader("X-Content-Type-Options", "nosniff");
    for (const auto &h : reply.headers) response.addHeader(h.first, h.second);
    // Headers and body leave in separate writes; without this the second one waits for the
    // peer's delayed acknowledgement (about 40 ms per request on loopback).
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    response.write(makeResponder(request, socket));
    return true;
}

void TeamServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) {
    // handleRequest answers everything; this stays as a safety net.
    QHttpServerResponse response("application/json",
                                 QByteArray(R"({"ok":false,"error":"Не найдено"})"),
                                 QHttpServerResponse::StatusCode::NotFound);
    response.write(makeResponder(request, socket));
}

namespace body {

bool has(const QJsonObject &o, const QString &key) { return o.contains(key) && !o.value(key).isNull(); }

QString text(const QJsonObject &o, const QString &key, int maxLen) {
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull()) return {};
    if (!v.isString()) TeamServer::refuse(400, QStringLiteral("Поле «%1» должно быть строкой").arg(key));
    const QString s = v.toString();
    if (s.size() > maxLen) TeamServer::refuse(400, QStringLiteral("Поле «%1» слишком длинное").arg(key));
    for (const QChar ch : s)
        if (ch.category() == QChar::Other_Control && ch != u'\n' && ch != u'\t')
            TeamServer::refuse(400, QStringLiteral("Поле «%1» содержит управляющие символы").arg(key));
    return s;
}

bool flag(const QJsonObject &o, const QString &key) {
    const QJsonValue v = o.value(key);
    if (!v.isBool()) TeamServer::refuse(400, QStringLiteral("Поле «%1» должно быть true или false").arg(key));
    return v.toBool();
}

double number(const QJsonObject &o, const QString &key) {
    const QJsonValue v = o.value(key);
    if (!v.isDouble() || !std::isfinite(v.toDouble()))
        TeamServer::refuse(400, QStringLiteral("Поле «%1» должно быть числом").arg(key));
    return v.toDouble();
}

const QStringList kProfileText = {"specialization", "department", "email", "telegram", "timezone"};

void profileEdits(const QJsonObject &o, QStringList &sets, QVariantList &args) {
    for (const QString &key : kProfileText)
        if (has(o, key)) {
            sets << key + " = ?";
            args << text(o, key).trimmed();
        }
    if (has(o, "note")) {
        sets << "note = ?";
        args << text(o, "note", 2000);
    }
}

} // namespace body
