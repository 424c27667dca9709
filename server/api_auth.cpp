// Sign-in, password change, the own profile and member photos.
#include "secrets.h"
#include "server.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QSqlQuery>

namespace {

secrets::PasswordHash storedHash(QSqlQuery &q, int first) {
    secrets::PasswordHash h;
    h.salt = q.value(first).toByteArray();
    h.hash = q.value(first + 1).toByteArray();
    h.iterations = q.value(first + 2).toInt();
    return h;
}

// A credential used from the same address as a password change, this recently, belongs to the
// client that makes the change and survives it; every other credential of the member goes.
constexpr double kSameClientWindow = 10 * 60;

} // namespace

// Too many failed sign-ins for this login or from this address within the window: 429, and
// no password is even checked until the oldest of the counted failures leaves the window.
void TeamServer::checkBackOff(const QString &login, const QString &address) {
    const double t = now(), since = t - m_opt.signInWindow;
    double retry = 0;
    for (const auto &[column, value] : {std::pair{"login", login}, std::pair{"address", address}}) {
        const QVariant nth = m_db.scalar(
            QStringLiteral("SELECT ts FROM signin_failures WHERE %1 = ? AND ts > ? ORDER BY ts DESC LIMIT 1 OFFSET ?")
                .arg(QLatin1String(column)),
            {value, since, m_opt.signInFailures - 1});
        if (nth.isValid()) retry = std::max(retry, nth.toDouble() + m_opt.signInWindow - t);
    }
    if (retry <= 0) return;
    const int seconds = std::max(1, int(std::ceil(retry)));
    throw Refusal{429, QStringLiteral("Слишком много неудачных попыток входа. Повтори через %1 мин.").arg((seconds + 59) / 60),
                  {{"Retry-After", QByteArray::number(seconds)}}};
}

void TeamServer::noteFailure(const QString &login, const QString &address) {
    const double t = now();
    Tx tx(m_db);
    m_db.exec("DELETE FROM signin_failures WHERE ts <= ?", {t - m_opt.signInWindow});
    m_db.exec("INSERT INTO signin_failures(login, address, ts) VALUES(?,?,?)", {login, address, t});
    tx.commit();
}

Reply TeamServer::provision(Ctx &c) {
    const QJsonValue login = c.body.value("login"), password = c.body.value("password");
    if (!login.isString() || !password.isString() || login.toString().size() > 200 ||
        password.toString().size() > 1024)
        return fail(400, QStringLiteral("Нужны логин и пароль"));
    // Hashing takes a good fraction of a second of one core: never on a thread that serves others.
    offload(Lane::Crypto);
    const QString id = login.toString().trimmed();
    checkBackOff(id, c.req.peer);
    QSqlQuery q = m_db.exec("SELECT name, role, active, must_change, pw_salt, pw_hash, pw_iter, pw_set_at "
                            "FROM members WHERE id = ?", {id});
    const bool known = q.next();
    const bool valid = known ? secrets::verifyPassword(password.toString(), storedHash(q, 4))
                             : (secrets::dummyVerify(password.toString()), false);
    const QString name = known ? q.value(0).toString() : QString(), role = known ? q.value(1).toString() : QString();
    const bool active = known && q.value(2).toBool(), mustChange = known && q.value(3).toBool();
    const double passwordSet = known ? q.value(7).toDouble() : 0;
    // A statement left open would pin this connection to an old snapshot, and a write on it
    // would then fail at once instead of waiting its turn.
    q.finish();
    if (!valid || !active) {
        noteFailure(id, c.req.peer);
        return json(QJsonObject{{"ok", false}, {"error", "invalid_credentials"}}, 401);
    }
    if (mustChange && passwordSet + m_opt.oneTimePasswordLife < now())
        return fail(401, QStringLiteral("Одноразовый пароль истёк: попроси администратора выдать новый"));

    // Every sign-in gets a token and a session of its own, kept until the member is disabled,
    // reset or deleted or changes the password elsewhere: a new sign-in never ends an older one.
    const QString token = secrets::newCredential("ctm_");
    const QString session = secrets::newCredential("cts_");
    const double t = now();
    Tx tx(m_db);
    for (const auto &[kind, value] : {std::pair{"member", token}, std::pair{"session", session}})
        m_db.exec("INSERT INTO credentials(hash, member_id, kind, created_at, last_used, last_address) "
                  "VALUES(?,?,?,?,?,?)",
                  {secrets::credentialHash(value), id, QString::fromLatin1(kind), t, t, c.req.peer});
    m_db.exec("DELETE FROM signin_failures WHERE login = ?", {id});
    tx.commit();
    return json(QJsonObject{{"ok", true},
                            {"token", token},
                            {"session", session},
                            {"role", role},
                            {"name", name},
                            {"url", m_opt.publicUrl},
                            {"must_change", mustChange},
                            {"member_id", id}});
}

Reply TeamServer::changePassword(Ctx &c) {
    const QJsonValue login = c.body.value("login"), cur = c.body.value("current_password"),
                     next = c.body.value("new_password");
    if (!login.isString() || !cur.isString() || !next.isString())
        return fail(400, QStringLiteral("Нужны логин, текущий и новый пароль"));
    if (secrets::graphemes(next.toString()) < 8) return fail(400, QStringLiteral("Минимум 8 символов"));
    if (next.toString().size() > 1024 || cur.toString().size() > 1024)
        return fail(400, QStringLiteral("Слишком длинный пароль"));
    offload(Lane::Crypto);
    const QString id = login.toString().trimmed();
    checkBackOff(id, c.req.peer);
    QSqlQuery q = m_db.exec("SELECT active, pw_salt, pw_hash, pw_iter, must_change, pw_set_at FROM members WHERE id = ?", {id});
    const bool known = q.next();
    const bool valid = known ? secrets::verifyPassword(cur.toString(), storedHash(q, 1))
                             : (secrets::dummyVerify(cur.toString()), false);
    const bool active = known && q.value(0).toBool();
    const bool expired = known && q.value(4).toBool() && q.value(5).toDouble() + m_opt.oneTimePasswordLife < now();
    q.finish();  // no statement open across the writes below
    if (!valid || !active) {
        noteFailure(id, c.req.peer);
        return fail(401, QStringLiteral("Неверный логин или пароль"));
    }
    if (expired) return fail(401, QStringLiteral("Одноразовый пароль истёк: попроси администратора выдать новый"));
    if (next.toString() == cur.toString())
        return fail(400, QStringLiteral("Новый пароль должен отличаться от текущего"));
    const secrets::PasswordHash h = secrets::hashPassword(next.toString());
    const double t = now();
    Tx tx(m_db);
    m_db.exec("UPDATE members SET pw_salt = ?, pw_hash = ?, pw_iter = ?, must_change = 0, pw_set_at = ? WHERE id = ?",
              {h.salt, h.hash, h.iterations, t, id});
    // Whoever else learnt the old password loses what they signed in with; the client making
    // the change (same address, in use just now) keeps its session and its machine's token.
    m_db.exec("DELETE FROM credentials WHERE member_id = ? AND NOT (last_address = ? AND last_used >= ?)",
              {id, c.req.peer, t - kSameClientWindow});
    m_db.exec("DELETE FROM signin_failures WHERE login = ?", {id});
    tx.touch(Topic::Access);
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
        tx.touch(Topic::Team);  // names show in the team's accounts and statistics
        tx.touch(Topic::Activity);
        tx.touch(Topic::Access);
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
    QBuffer buffer;
    buffer.setData(*decoded);
    buffer.open(QIODevice::ReadOnly);
    if (QImageReader::imageFormat(&buffer) != "png") return QStringLiteral("Фото должно быть в формате PNG");
    buffer.seek(0);
    QImageReader reader(&buffer, "png");
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() < 1 || size.height() < 1) return QStringLiteral("Фото не читается");
    if (size.width() > 256 || size.height() > 256) return QStringLiteral("Фото больше 256 пикселей");
    const QImage image = reader.read();
    if (image.isNull()) return QStringLiteral("Фото не читается");
    // Stored as our own encoding of the pixels alone: text chunks, colour profiles, times and
    // anything else the uploader's file carried stay behind.
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    const QImage bare(rgba.constBits(), rgba.width(), rgba.height(), rgba.bytesPerLine(), QImage::Format_RGBA8888);
    QByteArray png;
    QBuffer out(&png);
    out.open(QIODevice::WriteOnly);
    if (!bare.copy().save(&out, "PNG")) return QStringLiteral("Фото не читается");
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
