// Sign-in, password change, the own profile and member photos.
#include "secrets.h"
#include "server.h"

#include <QBuffer>
#include <QImageReader>
#include <QSqlQuery>

namespace {

// Credentials kept per member and kind; the oldest beyond this are dropped at sign-in so that
// repeated sign-ins do not grow the table without bound.
constexpr int kKeepCredentials = 20;

secrets::PasswordHash storedHash(QSqlQuery &q, int first) {
    secrets::PasswordHash h;
    h.salt = q.value(first).toByteArray();
    h.hash = q.value(first + 1).toByteArray();
    h.iterations = q.value(first + 2).toInt();
    return h;
}


} // namespace

Reply TeamServer::provision(Ctx &c) {
    const QJsonValue login = c.body.value("login"), password = c.body.value("password");
    if (!login.isString() || !password.isString() || login.toString().size() > 200 ||
        password.toString().size() > 1024)
        return fail(400, QStringLiteral("Нужны логин и пароль"));
    const QString id = login.toString().trimmed();
    QSqlQuery q = m_db.exec("SELECT name, role, active, must_change, pw_salt, pw_hash, pw_iter "
                            "FROM members WHERE id = ?", {id});
    const bool known = q.next();
    const bool valid = known ? secrets::verifyPassword(password.toString(), storedHash(q, 4))
                             : (secrets::dummyVerify(password.toString()), false);
    if (!valid || !q.value(2).toBool())
        return json(QJsonObject{{"ok", false}, {"error", "invalid_credentials"}}, 401);

    const QString token = secrets::newCredential("ctm_");
    const QString session = secrets::newCredential("cts_");
    const double t = now();
    Tx tx(m_db);
    for (const auto &[kind, value] : {std::pair{"member", token}, std::pair{"session", session}}) {
        m_db.exec("INSERT INTO credentials(hash, member_id, kind, created_at) VALUES(?,?,?,?)",
                  {secrets::credentialHash(value), id, QString::fromLatin1(kind), t});
        m_db.exec("DELETE FROM credentials WHERE member_id = ? AND kind = ? AND hash NOT IN "
                  "(SELECT hash FROM credentials WHERE member_id = ? AND kind = ? "
                  "ORDER BY created_at DESC LIMIT ?)",
                  {id, QString::fromLatin1(kind), id, QString::fromLatin1(kind), kKeepCredentials});
    }
    tx.commit();
    return json(QJsonObject{{"ok", true},
                            {"token", token},
                            {"session", session},
                            {"role", q.value(1).toString()},
                            {"name", q.value(0).toString()},
                            {"url", m_opt.publicUrl},
                            {"must_change", q.value(3).toBool()},
                            {"member_id", id}});
}

Reply TeamServer::changePassword(Ctx &c) {
    const QJsonValue login = c.body.value("login"), cur = c.body.value("current_password"),
                     next = c.body.value("new_password");
    if (!login.isString() || !cur.isString() || !next.isString())
        return fail(400, QStringLiteral("Нужны логин, текущий и новый пароль"));
    if (secrets::graphemes(next.toString()) < 8) return fail(400, QStringLiteral("Минимум 8 символов"));
    if (next.toString().size() > 1024) return fail(400, QStringLiteral("Слишком длинный пароль"));
    const QString id = login.toString().trimmed();
    QSqlQuery q = m_db.exec("SELECT active, pw_salt, pw_hash, pw_iter FROM members WHERE id = ?", {id});
    const bool known = q.next();
    const bool valid = known ? secrets::verifyPassword(cur.toString(), storedHash(q, 1))
                             : (secrets::dummyVerify(cur.toString()), false);
    if (!valid || !q.value(0).toBool()) return fail(401, QStringLiteral("Неверный логин или пароль"));
    const secrets::PasswordHash h = secrets::hashPassword(next.toString());
    Tx tx(m_db);
    m_db.exec("UPDATE members SET pw_salt = ?, pw_hash = ?, pw_iter = ?, must_change = 0 WHERE id = ?",
              {h.salt, h.hash, h.iterations, id});
    tx.commit();
    return json(QJsonObject{{"ok", true}});
}

Reply TeamServer::getMe(Ctx &c) {
    QJsonObject me = memberJson(c.who.id);
    me.insert("ok", true);
    me.insert("member_id", c.who.id);
    return json(me);
}

Reply TeamServer::postMe(Ctx &c) {
    // Only the profile: role, active state, member type and joining date stay the administrator's.
    QStringList sets;
    QVariantList args;
    if (body::has(c.body, "name")) {
        const QString name = body::text(c.body, "name").trimmed();
        if (name.isEmpty()) refuse(400, QStringLiteral("Имя не может быть пустым"));
        sets << "name = ?";
        args << name;
    }
    body::profileEdits(c.body, sets, args);
    if (!sets.isEmpty()) {
        Tx tx(m_db);
        args << c.who.id;
        m_db.exec("UPDATE members SET " + sets.join(", ") + " WHERE id = ?", args);
        tx.commit();
    }
    QJsonObject me = memberJson(c.who.id);
    me.insert("ok", true);
    me.insert("member_id", c.who.id);
    return json(me);
}

Reply TeamServer::postMyAvatar(Ctx &c) {
    Tx tx(m_db);
    const QString error = storePhoto(c.who.id, c.body.value("avatar_base64"));
    if (!error.isEmpty()) return fail(400, error);
    tx.commit();
    return json(QJsonObject{{"ok", true}, {"avatar_updated_at", photoTime(c.who.id)}});
}

Reply TeamServer::getAvatar(Ctx &c) {
    const QString id = c.param("member_id");
    if (id.isEmpty()) return fail(400, QStringLiteral("Не указан member_id"));
    if (id != c.who.id && !c.who.admin()) return fail(403, QStringLiteral("Недостаточно прав"));
    QSqlQuery q = m_db.exec("SELECT png, updated_at FROM photos WHERE member_id = ?", {id});
    if (!q.next()) return fail(404, QStringLiteral("Фото нет"));
    Reply r;
    r.body = q.value(0).toByteArray();
    r.contentType = "image/png";
    r.headers.append(qMakePair(QByteArray("X-Avatar-Updated-At"), QByteArray::number(q.value(1).toDouble(), 'f', 3)));
    return r;
}

// Validates and stores a member photo inside the caller's transaction. A photo must be a real
// PNG that decodes, at most 256 pixels on each side.
QString TeamServer::storePhoto(const QString &memberId, const QJsonValue &base64) {
    if (!base64.isString() || base64.toString().isEmpty()) return QStringLiteral("Нужно фото в avatar_base64");
    const auto decoded = QByteArray::fromBase64Encoding(base64.toString().toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) return QStringLiteral("Фото: неверный Base64");
    const QByteArray png = *decoded;
    QBuffer buffer;
    buffer.setData(png);
    buffer.open(QIODevice::ReadOnly);
    if (QImageReader::imageFormat(&buffer) != "png") return QStringLiteral("Фото должно быть в формате PNG");
    buffer.seek(0);
    QImageReader reader(&buffer, "png");
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() < 1 || size.height() < 1) return QStringLiteral("Фото не читается");
    if (size.width() > 256 || size.height() > 256) return QStringLiteral("Фото больше 256 пикселей");
    if (reader.read().isNull()) return QStringLiteral("Фото не читается");
    // The version only ever grows, so two uploads within one millisecond still differ.
    const double t = std::max(now(), photoTime(memberId) + 0.001);
    m_db.exec("INSERT INTO photos(member_id, png, updated_at) VALUES(?,?,?) "
              "ON CONFLICT(member_id) DO UPDATE SET png = excluded.png, updated_at = excluded.updated_at",
              {memberId, png, t});
    return {};
}

double TeamServer::photoTime(const QString &memberId) {
    return m_db.scalar("SELECT updated_at FROM photos WHERE member_id = ?", {memberId}).toDouble();
}

void TeamServer::revokeCredentials(const QString &memberId) {
    m_db.exec("DELETE FROM credentials WHERE member_id = ?", {memberId});
}

int TeamServer::activeAdmins(const QString &except) {
    return m_db.scalar("SELECT COUNT(*) FROM members WHERE role = 'admin' AND active = 1 AND id <> ?",
                       {except}).toInt();
}
