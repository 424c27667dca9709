// The roster: listing, creating, updating, password reset and deletion (administrators only).
#include "secrets.h"
#include "server.h"

#include <QSqlQuery>

namespace {

const QStringList kRoles = {"admin", "viewer"};
const QStringList kTypes = {"member", "contractor"};

QString requireChoice(const QJsonObject &o, const QString &key, const QStringList &allowed,
                      const QString &error) {
    const QString v = body::text(o, key);
    if (!allowed.contains(v)) TeamServer::refuse(400, error);
    return v;
}

} // namespace

QJsonArray TeamServer::membersJson(const QString &onlyId) {
    QString sql =
        "SELECT m.id, m.name, m.role, m.active, m.online, m.last_seen, m.specialization, m.department, "
        "m.member_type, m.email, m.telegram, m.timezone, m.note, m.joined_at, m.must_change, "
        "(SELECT COUNT(*) FROM credentials c WHERE c.member_id = m.id AND c.kind = 'member'), "
        "(SELECT COUNT(*) FROM registry r WHERE r.owner = m.id), p.updated_at "
        "FROM members m LEFT JOIN photos p ON p.member_id = m.id";
    QVariantList args;
    if (!onlyId.isNull()) {
        sql += " WHERE m.id = ?";
        args << onlyId;
    }
    sql += " ORDER BY m.name, m.id";
    QSqlQuery q = m_db.exec(sql, args);
    QJsonArray out;
    while (q.next()) {
        const bool hasPhoto = !q.value(17).isNull();
        out.append(QJsonObject{
            {"id", q.value(0).toString()},
            {"name", q.value(1).toString()},
            {"role", q.value(2).toString()},
            {"active", q.value(3).toBool()},
            {"online", q.value(3).toBool() && q.value(4).toBool()},
            {"last_seen", q.value(5).toDouble()},
            {"specialization", q.value(6).toString()},
            {"department", q.value(7).toString()},
            {"member_type", q.value(8).toString()},
            {"email", q.value(9).toString()},
            {"telegram", q.value(10).toString()},
            {"timezone", q.value(11).toString()},
            {"note", q.value(12).toString()},
            {"joined_at", q.value(13).toDouble()},
            {"must_change", q.value(14).toBool()},
            {"has_token", q.value(15).toLongLong() > 0},
            {"n_accounts", q.value(16).toLongLong()},
            {"has_avatar", hasPhoto},
            {"avatar_updated_at", hasPhoto ? q.value(17).toDouble() : 0.0},
        });
    }
    return out;
}

QJsonObject TeamServer::memberJson(const QString &id) {
    const QJsonArray one = membersJson(id);
    return one.isEmpty() ? QJsonObject{} : one.first().toObject();
}

Reply TeamServer::getMembers(Ctx &) {
    offload();  // grows with the team
    return json(QJsonObject{{"ok", true}, {"members", membersJson({})}});
}

Reply TeamServer::postMembers(Ctx &c) {
    const QJsonValue actionValue = c.body.value("action");
    if (!actionValue.isString()) return fail(400, QStringLiteral("Не указано действие"));
    const QString action = actionValue.toString();

    if (action == QLatin1String("create")) {
        offload(Lane::Crypto);  // the one-time password is hashed
        const QString name = body::text(c.body, "name").trimmed();
        if (name.isEmpty()) return fail(400, QStringLiteral("Укажи имя"));
        QString login = body::text(c.body, "login", 64).trimmed();
        const QString role = body::has(c.body, "role")
                                 ? requireChoice(c.body, "role", kRoles, QStringLiteral("Неизвестная роль"))
                                 : QStringLiteral("viewer");
        const QString type = body::has(c.body, "member_type")
                                 ? requireChoice(c.body, "member_type", kTypes, QStringLiteral("Неизвестный тип"))
                                 : QStringLiteral("member");
        QVariantList profile;
        for (const QString &key : body::kProfileText) profile << body::text(c.body, key).trimmed();
        const QString note = body::text(c.body, "note", 2000);
        const double joined = body::has(c.body, "joined_at") ? body::number(c.body, "joined_at") : now();
        if (joined < 0) return fail(400, QStringLiteral("Неверная дата"));

        Tx tx(m_db);
        if (login.isEmpty()) {
            // Made from the name; a number is appended until it is free.
            const QString base = secrets::loginFromName(name);
            login = base;
            for (int n = 2; m_db.scalar("SELECT 1 FROM members WHERE id = ?", {login}).isValid(); ++n)
                login = base + QString::number(n);
        } else if (m_db.scalar("SELECT 1 FROM members WHERE id = ?", {login}).isValid()) {
            return fail(409, QStringLiteral("Логин уже занят"));
        }
        const QString password = secrets::oneTimePassword();
        const secrets::PasswordHash h = secrets::hashPassword(password);
        m_db.exec("INSERT INTO members(id, name, role, member_type, specialization, department, email, "
                  "telegram, timezone, note, joined_at, pw_salt, pw_hash, pw_iter, must_change, created_at, pw_set_at) "
                  "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,1,?,?)",
                  QVariantList{login, name, role, type} + profile +
                      QVariantList{note, joined, h.salt, h.hash, h.iterations, now(), now()});
        tx.touch(Topic::Team);  // an account's owner may be this login
        tx.touch(Topic::Activity);
        tx.commit();
        return json(QJsonObject{{"ok", true}, {"id", login}, {"login", login}, {"password", password}});
    }

    const QJsonValue idValue = c.body.value("id");
    if (!idValue.isString() || idValue.toString().isEmpty()) return fail(400, QStringLiteral("Не указан сотрудник"));
    const QString id = idValue.toString();
    if (!m_db.scalar("SELECT 1 FROM members WHERE id = ?", {id}).isValid())
        return fail(404, QStringLiteral("Сотрудник не найден"));

    if (action == QLatin1String("reset_password")) {
        offload(Lane::Crypto);
        const QString password = secrets::oneTimePassword();
        const secrets::PasswordHash h = secrets::hashPassword(password);
        Tx tx(m_db);
        m_db.exec("UPDATE members SET pw_salt = ?, pw_hash = ?, pw_iter = ?, must_change = 1, pw_set_at = ? WHERE id = ?",
                  {h.salt, h.hash, h.iterations, now(), id});
        // Whoever held the old password may hold its credentials too.
        revokeCredentials(id);
        tx.touch(Topic::Access);
        tx.commit();
        return json(QJsonObject{{"ok", true}, {"id", id}, {"login", id}, {"password", password}});
    }
    if (action != QLatin1String("update")) return fail(400, QStringLiteral("Неизвестное действие"));

    QStringList sets;
    QVariantList args;
    if (body::has(c.body, "name")) {
        const QString name = body::text(c.body, "name").trimmed();
        if (name.isEmpty()) return fail(400, QStringLiteral("Имя не может быть пустым"));
        sets << "name = ?";
        args << name;
    }
    QString role;
    if (body::has(c.body, "role")) {
        role = requireChoice(c.body, "role", kRoles, QStringLiteral("Неизвестная роль"));
        sets << "role = ?";
        args << role;
    }
    int active = -1;
    if (body::has(c.body, "active")) {
        active = body::flag(c.body, "active") ? 1 : 0;
        sets << "active = ?";
        args << active;
    }
    if (body::has(c.body, "member_type")) {
        sets << "member_type = ?";
        args << requireChoice(c.body, "member_type", kTypes, QStringLiteral("Неизвестный тип"));
    }
    body::profileEdits(c.body, sets, args);
    if (body::has(c.body, "joined_at")) {
        const double joined = body::number(c.body, "joined_at");
        if (joined < 0) return fail(400, QStringLiteral("Неверная дата"));
        sets << "joined_at = ?";
        args << joined;
    }
    QByteArray png;
    if (body::has(c.body, "avatar_base64")) {
        offload(Lane::Photo);
        if (const QString error = decodePhoto(c.body.value("avatar_base64"), &png); !error.isEmpty())
            return fail(400, error);
    }
    Tx tx(m_db);
    tx.serialize();
    if (!png.isEmpty()) storePhoto(id, png);
    if (!sets.isEmpty()) {
        args << id;
        m_db.exec("UPDATE members SET " + sets.join(", ") + " WHERE id = ?", args);
    }
    if (active == 0) revokeCredentials(id);
    requireActiveAdmin(QStringLiteral("Нельзя убрать последнего администратора"));
    tx.touch(Topic::Team);
    tx.touch(Topic::Activity);
    tx.touch(Topic::Access);  // role, state and name of the callers behind known credentials
    tx.commit();
    QJsonObject out{{"ok", true}, {"member", memberJson(id)}};
    return json(out);
}

Reply TeamServer::deleteMembers(Ctx &c) {
    const QString id = c.param("id");
    if (id.isEmpty()) return fail(400, QStringLiteral("Не указан сотрудник"));
    Tx tx(m_db);
    tx.serialize();
    // Credentials and the photo go with the member (foreign keys cascade); registry entries keep
    // the owner's login so that the owner stays visible on the account.
    if (m_db.exec("DELETE FROM members WHERE id = ?", {id}).numRowsAffected() < 1)
        return fail(404, QStringLiteral("Сотрудник не найден"));
    requireActiveAdmin(QStringLiteral("Нельзя удалить последнего администратора"));
    tx.touch(Topic::Team);
    tx.touch(Topic::Activity);
    tx.touch(Topic::Access);
    tx.commit();
    return json(QJsonObject{{"ok", true}});
}
