#include "server.h"

#include "conditional.h"
#include "handover.h"

#include "otlp.h"
#include "secrets.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSqlQuery>
#include <QThreadPool>

#include <cmath>

TeamServer::TeamServer(Db &db, Vault &vault, ServerOptions options)
    : m_db(db), m_vault(vault), m_opt(std::move(options)), m_intake(db) {
    m_throttle.configure(m_opt.intakeRate, m_opt.intakeRate * 10);
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

void TeamServer::add(const QByteArray &m, const QString &path, Access a, Reply (TeamServer::*h)(Ctx &),
                     bool beforeChange) {
    m_routes.append(Route{m, path, a, beforeChange, [this, h](Ctx &c) { return (this->*h)(c); }});
}

void TeamServer::addRoutes() {
    using A = Access;
    using T = TeamServer;
    add("POST", "/api/provision", A::Open, &T::provision);
    add("POST", "/api/member/change-password", A::Open, &T::changePassword);
    add("GET", "/api/my/status", A::Member, &T::myStatus);
    // Reading the own profile stays open before the one-time password is replaced: the client
    // loads it right after signing in and does not ask again after the change.
    add("GET", "/api/me", A::Member, &T::getMe, true);
    add("POST", "/api/me", A::Member, &T::postMe);
    add("POST", "/api/me/avatar", A::Member, &T::postMyAvatar);
    add("GET", "/api/avatar", A::Member, &T::getAvatar, true);
    add("GET", "/api/events", A::Admin, &T::events);
    add("POST", "/api/events/read", A::Admin, &T::readEvents);
    add("GET", "/api/accounts", A::Admin, &T::getAccounts);
    add("POST", "/api/refresh-limits", A::Admin, &T::refreshLimits);
    add("GET", "/api/accounts/breakdown", A::Admin, &T::breakdown);
    add("GET", "/api/stats", A::Admin, &T::stats);
    add("GET", "/api/accounts/history", A::Member, &T::accountHistory);
    add("GET", "/api/stats/cost", A::Admin, &T::costHistory);
    add("GET", "/api/mirrors/limits", A::Admin, &T::mirrors);
    add("GET", "/api/team/result", A::Admin, &T::teamResult);
    add("GET", "/api/team/analytics", A::Admin, &T::analytics);
    add("GET", "/api/members", A::Admin, &T::getMembers);
    add("POST", "/api/members", A::Admin, &T::postMembers);
    add("DELETE", "/api/members", A::Admin, &T::deleteMembers);
    add("POST", "/api/registry", A::Admin, &T::postRegistry);
    add("DELETE", "/api/registry", A::Admin, &T::deleteRegistry);
    add("POST", "/v1/metrics", A::Member, &T::intakeMetrics);
    add("POST", "/v1/logs", A::Member, &T::intakeLogs);
    add("POST", "/api/intake/statusline", A::Member, &T::intakeStatusLine);
    add("POST", "/api/intake/hook", A::Member, &T::intakeHook);
    add("POST", "/api/intake/heartbeat", A::Member, &T::intakeHeartbeat);
    add("POST", "/api/intake/codex", A::Member, &T::intakeCodex);
    add("GET", "/raw/install.sh", A::Open, &T::installScript);
    add("GET", "/appcast.xml", A::Open, &T::appcast);
    if (!m_opt.feedPackageName.isEmpty())
        add("GET", "/download/" + m_opt.feedPackageName, A::Open, &T::package);
    add("GET", "/", A::Open, &T::index);
}

bool TeamServer::authenticate(const HttpRequest &request, Caller *who) {
    const QByteArray auth = request.header("authorization");
    if (!auth.startsWith("Bearer ") && !auth.startsWith("bearer ")) return false;
    const QString credential = QString::fromUtf8(auth.mid(7).trimmed());
    if (credential.isEmpty() || credential.size() > 256) return false;
    const QString hash = secrets::credentialHash(credential);
    const quint64 version = m_db.version(Topic::Access);  // before the lookup: a later revocation wins
    Known known;
    bool cached = false;
    {
        std::lock_guard lock(m_authMutex);
        const auto it = m_known.constFind(hash);
        if (it != m_known.constEnd() && it->version == version) {
            known = *it;
            cached = true;
        }
    }
    if (!cached) {
        QSqlQuery q = m_db.exec(
            "SELECT m.id, m.name, m.role, m.must_change, c.kind, c.last_used, c.last_address "
            "FROM credentials c JOIN members m ON m.id = c.member_id WHERE c.hash = ? AND m.active = 1",
            {hash});
        if (!q.next()) return false;
        known.who = Caller{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                           q.value(4).toString() == QLatin1String("session"), q.value(3).toBool(), {}};
        known.version = version;
        known.lastUsed = q.value(5).toDouble();
        known.lastAddress = q.value(6).toString();
    }
    *who = known.who;
    who->credential = hash;
    // Where and when a credential was last used decides which survive a password change; a
    // minute's precision is enough, so most requests write nothing.
    const double t = now();
    const bool note = t - known.lastUsed > 60 || known.lastAddress != request.peer;
    if (note) {
        known.lastUsed = t;
        known.lastAddress = request.peer;
    }
    if (note || !cached) {
        std::lock_guard lock(m_authMutex);
        if (m_known.size() > 100000) m_known.clear();
        m_known.insert(hash, known);
    }
    if (note) noteUse(hash, request.peer, t);
    return true;
}

void TeamServer::noteUse(const QString &hash, const QString &address, double t) {
    // Written off the request's path: the answer does not wait for it.
    handover::start(*QThreadPool::globalInstance(), [this, hash, address, t] {
        try {
            Tx tx(m_db);
            m_db.exec("UPDATE credentials SET last_used = ?, last_address = ? WHERE hash = ?", {t, address, hash});
            tx.commit();
        } catch (const DbError &e) {
            qWarning("credential use not recorded: %s", e.what());
        }
    });
}

Reply TeamServer::dispatch(const HttpRequest &request) {
    const QString &path = request.path;
    const Route *route = nullptr;
    QByteArrayList allowed;
    for (const Route &r : m_routes)
        if (r.path == path) {
            allowed << r.method;
            if (r.method == request.method) route = &r;
        }
    if (allowed.isEmpty()) return fail(404, QStringLiteral("Не найдено"));
    if (!route) {
        Reply r = fail(405, QStringLiteral("Метод не поддерживается"));
        r.headers.append(qMakePair(QByteArray("Allow"), allowed.join(", ")));
        return r;
    }

    Ctx ctx{request, {}, {}, {}};
    if (route->access != Access::Open) {
        if (!authenticate(request, &ctx.who)) {
            Reply r = fail(401, QStringLiteral("Требуется вход"));
            r.headers.append(qMakePair(QByteArray("WWW-Authenticate"), QByteArray("Bearer")));
            return r;
        }
        if (ctx.who.mustChange && !route->beforeChange)
            return fail(403, QStringLiteral("Сначала смени одноразовый пароль"));
        if (route->access == Access::Admin) {
            if (!ctx.who.admin()) return fail(403, QStringLiteral("Недостаточно прав"));
            // The member token lives in a file on the member's machine and in its set-up
            // script; it reaches the member's own data only. Team data needs a signed-in session.
            if (!ctx.who.session) return fail(403, QStringLiteral("Нужен вход по паролю: токен машины не даёт прав администратора"));
        }
    }
    if (request.method == "POST") {
        const QByteArray type = request.header("content-type").toLower();
        const QByteArray mime = type.split(';').first().trimmed();
        if (mime != "application/json") return fail(415, QStringLiteral("Нужен JSON (Content-Type: application/json)"));
        // Telemetry exporters compress their batches; nothing else may arrive encoded.
        ctx.raw = request.body;
        const QByteArray encoding = request.header("content-encoding").trimmed().toLower();
        if (encoding == "gzip") {
            bool tooBig = false;
            if (!otlp::gunzip(request.body, 8 * 1024 * 1024, &ctx.raw, &tooBig))
                return tooBig ? fail(413, QStringLiteral("Слишком большой запрос после распаковки"))
                              : fail(400, QStringLiteral("Неверный gzip"));
        } else if (!encoding.isEmpty() && encoding != "identity") {
            return fail(415, QStringLiteral("Поддерживается только Content-Encoding: gzip"));
        }
        QJsonParseError err{};
        const QJsonDocument doc = QJsonDocument::fromJson(ctx.raw, &err);
        if (err.error != QJsonParseError::NoError || !doc.isObject())
            return fail(400, QStringLiteral("Неверный JSON: ожидается объект"));
        ctx.body = doc.object();
    }
    return route->fn(ctx);
}

Reply TeamServer::handle(HttpRequest &request) {
    try {
        Reply reply = dispatch(request);
        conditional::apply(request, reply);
        return reply;
    } catch (const Defer &) {
        throw;
    } catch (const Refusal &r) {
        Reply reply = fail(r.status, r.error);
        reply.headers += r.headers;
        return reply;
    } catch (const DbError &e) {
        qWarning("database error: %s", e.what());
        return fail(500, QStringLiteral("Ошибка базы данных"));
    } catch (const std::exception &e) {
        qWarning("internal error: %s", e.what());
        return fail(500, QStringLiteral("Внутренняя ошибка сервера"));
    }
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
