// Sign-in, password change, the own profile and member photos.
#include "secrets.h"
#include "server.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QSqlQuery>

#include <algorithm>

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

// Failed sign-ins within the window, counted three ways:
//  - for this login from this address (signInFailures): the pair is refused with 429, and no
//    password is even checked until the oldest counted failure leaves the window;
//  - from this address for any logins (four times as many): the address is refused the same way;
//  - for this login from anywhere (signInFailures): every further attempt is answered only after
//    a delay, a second per failure past the limit, ten at most. Guessing one login from many
//    addresses is slowed down, while its owner, signing in from elsewhere, is never locked out
//    by a stranger. The delay holds no thread: the request is parked and run again.
void TeamServer::checkBackOff(const QString &login, const QString &address, int heldMs) {
    const double t = now(), since = t - m_opt.signInWindow;
    // The time of the n-th most recent failure matching `where`, if there are that many.
    const auto nth = [&](const char *where, QVariantList args, int n) {
        args << since << n - 1;
        return m_db.scalar(QStringLiteral("SELECT ts FROM signin_failures WHERE %1 AND ts > ? ORDER BY ts DESC "
                                          "LIMIT 1 OFFSET ?").arg(QLatin1String(where)), args);
    };
    double retry = 0;
    for (const QVariant &ts : {nth("login = ? AND address = ?", {login, address}, m_opt.signInFailures),
                               nth("address = ?", {address}, 4 * m_opt.signInFailures)})
        if (ts.isValid()) retry = std::max(retry, ts.toDouble() + m_opt.signInWindow - t);
    if (retry <= 0) {
        if (heldMs > 0 || !nth("login = ?", {login}, m_opt.signInFailures).isValid()) return;
        const int failures = m_db.scalar("SELECT COUNT(*) FROM signin_failures WHERE login = ? AND ts > ?",
                                         {login, since}).toInt();
        throw Defer{Lane::Crypto, 1000 * std::clamp(failures - m_opt.signInFailures + 1, 1, 10)};
    }
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
    checkBackOff(id, c.req.peer, c.req.heldMs);
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
    m_db.exec("DELETE FROM signin_failures WHERE login = ? AND address = ?", {id, c.req.peer});
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
    checkBackOff(id, c.req.peer, c.req.heldMs);
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
    m_db.exec("DELETE FROM signin_failures WHERE login = ? AND address = ?", {id, c.req.peer});
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
    offload(Lane::Photo);
    QByteArray png;
    if (const QString error = decodePhoto(c.body.value("avatar_base64"), &png); !error.isEmpty()) return fail(400, error);
    Tx tx(m_db);
    storePhoto(c.who.id, png);
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

namespace {

// A PNG's image data, inflated, is a filter byte and the packed pixels of each row; deflate makes
// even data it cannot compress only a little larger. Image data far bigger than its dimensions
// need is no photo but a decompression bomb (a few hundred kilobytes that inflate to hundreds of
// megabytes), refused before the decoder spends time on it.
bool imageDataInProportion(const QByteArray &file) {
    const auto be32 = [&](qsizetype at) {
        return quint32(quint8(file[at])) << 24 | quint32(quint8(file[at + 1])) << 16 |
               quint32(quint8(file[at + 2])) << 8 | quint32(quint8(file[at + 3]));
    };
    qint64 rawBytes = -1, compressed = 0;
    for (qsizetype at = 8; at + 12 <= file.size();) {
        const qint64 length = be32(at);
        const QByteArray type = file.mid(at + 4, 4);
        if (type == "IHDR" && length >= 13 && at + 8 + 13 <= file.size()) {
            const qint64 width = be32(at + 8), height = be32(at + 12);
            const int depth = quint8(file[at + 16]), colour = quint8(file[at + 17]);
            const int channels = colour == 2 ? 3 : colour == 4 ? 2 : colour == 6 ? 4 : 1;
            // Interlacing adds a filter byte per row of each of its seven passes.
            rawBytes = height * (1 + (width * channels * depth + 7) / 8) + (quint8(file[at + 20]) ? 7 * height + 7 : 0);
        }
        if (type == "IDAT") compressed += length;
        at += 12 + length;
    }
    return rawBytes > 0 && compressed <= rawBytes + rawBytes / 64 + 1024;
}

} // namespace

// Validates an uploaded member photo and makes our own encoding of it. A photo must be a real PNG
// that decodes, at most 256 pixels on each side. Runs on the photo lane (see offload()).
QString TeamServer::decodePhoto(const QJsonValue &base64, QByteArray *png) {
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
    if (!imageDataInProportion(*decoded)) return QStringLiteral("Фото не читается");
    const QImage image = reader.read();
    if (image.isNull()) return QStringLiteral("Фото не читается");
    // Stored as our own encoding of the pixels alone: text chunks, colour profiles, times and
    // anything else the uploader's file carried stay behind.
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    const QImage bare(rgba.constBits(), rgba.width(), rgba.height(), rgba.bytesPerLine(), QImage::Format_RGBA8888);
    QBuffer out(png);
    out.open(QIODevice::WriteOnly);
    if (!bare.copy().save(&out, "PNG")) return QStringLiteral("Фото не читается");
    return {};
}

// Stores a photo made by decodePhoto() inside the caller's transaction.
void TeamServer::storePhoto(const QString &memberId, const QByteArray &png) {
    // The version only ever grows, so two uploads within one millisecond still differ.
    const double t = std::max(now(), photoTime(memberId) + 0.001);
    m_db.exec("INSERT INTO photos(member_id, png, updated_at) VALUES(?,?,?) "
              "ON CONFLICT(member_id) DO UPDATE SET png = excluded.png, updated_at = excluded.updated_at",
              {memberId, png, t});
}

double TeamServer::photoTime(const QString &memberId) {
    return m_db.scalar("SELECT updated_at FROM photos WHERE member_id = ?", {memberId}).toDouble();
}

void TeamServer::revokeCredentials(const QString &memberId) {
    m_db.exec("DELETE FROM credentials WHERE member_id = ?", {memberId});
}

// Checked after the change, inside its serialized transaction: two administrators demoting each
// other at once cannot both pass a check made before either wrote.
void TeamServer::requireActiveAdmin(const QString &error) {
    if (m_db.scalar("SELECT COUNT(*) FROM members WHERE role = 'admin' AND active = 1").toInt() == 0) refuse(409, error);
}
