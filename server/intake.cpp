#include "intake.h"

#include "readings.h"

#include "history.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QSqlQuery>
#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace intake {
namespace {

constexpr double kDay = 86400.0;

QString text(const QJsonObject &o, const char *key, int maxLen = 200) {
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isString() ? v.toString().left(maxLen) : QString();
}

QString projectOf(const QString &cwd) { return cwd.section(u'/', -1, -1, QString::SectionSkipEmpty).left(200); }

QString providerOf(const QString &serviceName) {
    return serviceName.contains(QLatin1String("codex"), Qt::CaseInsensitive) ? QStringLiteral("codex")
                                                                             : QStringLiteral("claude");
}

// A machine's clock may run a little ahead; a time from the future counts as now. Old times
// stay (a report spooled while the server was away arrives late but tells of its own moment),
// unless older than any spool keeps them: then the clock that wrote it was wrong.
double timeOf(double t, double now) { return t > now - 30 * kDay && t < now ? t : now; }

// Epoch seconds from a number, a numeric string or an ISO date; milliseconds are recognised.
double epochOf(const QJsonValue &v) {
    double t = 0;
    if (v.isDouble()) t = v.toDouble();
    else if (v.isString()) {
        bool ok = false;
        t = v.toString().toDouble(&ok);
        if (!ok) t = QDateTime::fromString(v.toString(), Qt::ISODateWithMs).toMSecsSinceEpoch() / 1000.0;
    }
    if (!std::isfinite(t) || t <= 0) return 0;
    return t > 1e12 ? t / 1000 : t;
}

std::optional<Window> windowOf(const QJsonValue &v, const char *pctKey) {
    const QJsonObject o = v.toObject();
    const QJsonValue pct = o.value(QLatin1String(pctKey));
    if (!pct.isDouble() || !std::isfinite(pct.toDouble()) || pct.toDouble() < 0 || pct.toDouble() > 1000)
        return std::nullopt;
    return Window{pct.toDouble(), epochOf(o.value("resets_at"))};
}

// Telemetry names the account of a subscription; a session whose telemetry names none runs on an
// API key. Its spend and activity go to the member's own key account, which says what it is,
// rather than to an account without a name that no one could tell apart from another.
QString keyAccount(const Source &src) { return QStringLiteral("API-ключ · %1").arg(src.member); }

// A report's field changes what is stored only when it says something, and something else.
bool differs(const QString &given, const QVariant &stored) { return !given.isEmpty() && given != stored.toString(); }

QString dayOf(double t) {
    return QDateTime::fromSecsSinceEpoch(qint64(t), QTimeZone::utc()).date().toString(Qt::ISODate);
}

// Presence of the member: any report; telemetry: a report from the coding tools themselves.
void presence(Db &db, Tx &tx, const Source &src, bool telemetry) {
    if (db.exec("UPDATE members SET online = 1 WHERE id = ? AND online = 0", {src.member}).numRowsAffected() > 0)
        tx.touch(Topic::Team);
    db.exec(QStringLiteral("UPDATE members SET last_seen = %1, reported_at = ?%2 WHERE id = ?")
                .arg(db.greatest("last_seen", "?"), telemetry ? QStringLiteral(", telemetry_at = ?") : QString()),
            telemetry ? QVariantList{src.now, src.now, src.now, src.member} : QVariantList{src.now, src.now, src.member});
}

void touchAccount(Db &db, Tx &tx, const QString &provider, const QString &email, const QString &model,
                  const QString &version, double now) {
    if (email.isEmpty()) return;
    QSqlQuery q = db.exec("SELECT has_telemetry, online, model, version FROM account_state "
                          "WHERE provider = ? AND email = ?", {provider, email});
    if (!q.next()) {
        db.exec("INSERT INTO account_state(provider, email, has_telemetry, online, last_seen, model, version) "
                "VALUES(?,?,1,1,?,?,?)", {provider, email, now, model, version});
        tx.touch(Topic::Team);
        return;
    }
    if (!q.value(0).toBool() || !q.value(1).toBool() || differs(model, q.value(2)) || differs(version, q.value(3)))
        tx.touch(Topic::Team);
    q.finish();
    db.exec(QStringLiteral("UPDATE account_state SET has_telemetry = 1, online = 1, last_seen = %1, "
                           "model = CASE WHEN ? <> '' THEN ? ELSE model END, "
                           "version = CASE WHEN ? <> '' THEN ? ELSE version END WHERE provider = ? AND email = ?")
                .arg(db.greatest("last_seen", "?")),
            {now, model, model, version, version, provider, email});
}

void touchDevice(Db &db, Tx &tx, const Source &src, const QString &provider, const QString &email,
                 const QString &model, const QString &version, const QString &project) {
    if (email.isEmpty() || src.member.isEmpty()) return;
    QSqlQuery q = db.exec("SELECT id, online, model, version, project FROM devices WHERE provider = ? AND email = ? "
                          "AND member_id = ? AND device_host = ? ORDER BY id LIMIT 1",
                          {provider, email, src.member, src.host});
    if (!q.next()) {
        // A new machine on this account: what its heartbeat told of it fills the rest.
        QString osUser, claudeVersion, codexVersion, tooling = src.tooling;
        if (QSqlQuery h = db.exec("SELECT os_user, claude_version, codex_version, tooling FROM member_hosts "
                                  "WHERE member_id = ? AND host = ?", {src.member, src.host});
            h.next()) {
            osUser = h.value(0).toString();
            claudeVersion = h.value(1).toString();
            codexVersion = h.value(2).toString();
            if (tooling.isEmpty()) tooling = h.value(3).toString();
        }
        const QString known = provider == QLatin1String("codex") ? codexVersion : claudeVersion;
        // It shows the account's windows as they stand until it reports its own.
        db.exec("INSERT INTO devices(provider, email, device_host, os_user, member_id, model, version, br_rev, "
                "project, last_seen, online, five_hour_pct, seven_day_pct) VALUES(?,?,?,?,?,?,?,?,?,?,1, "
                "COALESCE((SELECT five_hour_pct FROM account_state WHERE provider = ? AND email = ?), 0), "
                "COALESCE((SELECT seven_day_pct FROM account_state WHERE provider = ? AND email = ?), 0))",
                {provider, email, src.host, osUser, src.member, model, version.isEmpty() ? known : version, tooling,
                 project, src.now, provider, email, provider, email});
        tx.touch(Topic::Team);
        return;
    }
    const qint64 id = q.value(0).toLongLong();
    if (!q.value(1).toBool() || differs(model, q.value(2)) || differs(version, q.value(3)) || differs(project, q.value(4)))
        tx.touch(Topic::Team);
    q.finish();
    db.exec("UPDATE devices SET online = 1, last_seen = ?, model = CASE WHEN ? <> '' THEN ? ELSE model END, "
            "version = CASE WHEN ? <> '' THEN ? ELSE version END, project = CASE WHEN ? <> '' THEN ? ELSE project END, "
            "br_rev = CASE WHEN ? <> '' THEN ? ELSE br_rev END WHERE id = ?",
            {src.now, model, model, version, version, project, project, src.tooling, src.tooling, id});
}

// What one session did on one day.
struct Work {
    double seconds = 0, cost = 0, points = 0, outputTokens = 0;
    double added = 0, removed = 0, commits = 0, prs = 0, accepts = 0, rejects = 0;
    double at = 0;  // the earliest moment it tells of
};

// Adds to the member's row for this session and day (one row per session and day, so that
// active time falls on the day it was spent).
void addActivity(Db &db, Tx &tx, const QString &member, const QString &provider, const QString &email,
                 const QString &project, const QString &session, const Work &w) {
    const double dayStart = std::floor(w.at / kDay) * kDay;
    QSqlQuery q = db.exec("SELECT id FROM activity WHERE member_id = ? AND session_id = ? AND provider = ? "
                          "AND started_at >= ? AND started_at < ? ORDER BY id LIMIT 1",
                          {member, session, provider, dayStart, dayStart + kDay});
    // Whole numbers for the integer columns (PostgreSQL takes no fraction there).
    auto whole = [](double v) { return QVariant(qint64(std::llround(v))); };
    const QVariantList values{whole(w.seconds), w.cost, w.points, whole(w.added), whole(w.removed), whole(w.commits),
                              whole(w.prs), whole(w.accepts), whole(w.rejects), whole(w.outputTokens)};
    if (q.next()) {
        const qint64 id = q.value(0).toLongLong();
        q.finish();
        db.exec("UPDATE activity SET seconds = seconds + ?, cost_usd = cost_usd + ?, points = points + ?, "
                "lines_added = lines_added + ?, lines_removed = lines_removed + ?, commits = commits + ?, "
                "prs = prs + ?, accepts = accepts + ?, rejects = rejects + ?, output_tokens = output_tokens + ?, "
                "started_at = CASE WHEN ? < started_at THEN ? ELSE started_at END, "
                "project = CASE WHEN project = '' THEN ? ELSE project END, "
                "email = CASE WHEN email = '' THEN ? ELSE email END WHERE id = ?",
                values + QVariantList{w.at, w.at, project, email, id});
    } else {
        db.exec("INSERT INTO activity(seconds, cost_usd, points, lines_added, lines_removed, commits, prs, accepts, "
                "rejects, output_tokens, member_id, provider, email, project, session_id, started_at, is_work, "
                "source, sessions) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,1,'terminal',1)",
                values + QVariantList{member, provider, email, project, session, w.at});
    }
    tx.touch(Topic::Activity);
}

// A reading whose account is known: the rise of the seven-day window since the account's last
// reading is this session's share of the week (what the statistics count as points), then the
// reading itself goes to the one place every reading goes.
void deliver(Db &db, Tx &tx, const QString &session, const QString &project, WindowReading r) {
    if (r.seven && !r.member.isEmpty()) {
        QSqlQuery q = db.exec("SELECT seven_day_pct, seven_day_resets_at, seven_day_at FROM account_state "
                              "WHERE provider = ? AND email = ?", {r.provider, r.email});
        if (q.next() && std::abs(q.value(1).toDouble() - r.seven->resetsAt) < 120 && r.at >= q.value(2).toDouble() &&
            r.seven->pct > q.value(0).toDouble()) {
            Work w;
            w.points = r.seven->pct - q.value(0).toDouble();
            w.at = r.at;
            q.finish();
            addActivity(db, tx, r.member, r.provider, r.email, project, session, w);
        }
    }
    recordWindowReading(db, tx, r);
}

struct SessionInfo {
    QString email, project;
};

// Finds or starts the member's session and notes what this report tells of it. The account a
// session first reports under holds; when it becomes known, what waited for it is attached.
SessionInfo touchSession(Db &db, Tx &tx, const Source &src, const QString &provider, const QString &id,
                         QString email, QString project, const QString &model, double at, bool start) {
    if (id.isEmpty()) return {email, project};
    QSqlQuery q = db.exec("SELECT id, email, project, model, active, ended_at FROM live_sessions "
                          "WHERE member_id = ? AND session_id = ? ORDER BY id DESC LIMIT 1", {src.member, id});
    if (!q.next()) {
        db.exec("INSERT INTO live_sessions(provider, email, project, member_id, model, active, started_at, session_id, "
                "device_host, last_activity) VALUES(?,?,?,?,?,1,?,?,?,?)",
                {provider, email, project, src.member, model, at, id, src.host, at});
        tx.touch(Topic::Team);
        return {email, project};
    }
    const qint64 row = q.value(0).toLongLong();
    const QString had = q.value(1).toString();
    const bool learnt = had.isEmpty() && !email.isEmpty();
    if (!had.isEmpty()) email = had;
    if (project.isEmpty()) project = q.value(2).toString();
    // A session over stays over (its last telemetry is flushed after the end); a new start revives it.
    const bool ended = q.value(5).toDouble() > 0 && !start;
    const bool active = !ended;
    if (learnt || project != q.value(2).toString() || differs(model, q.value(3)) || active != q.value(4).toBool())
        tx.touch(Topic::Team);
    q.finish();
    db.exec(QStringLiteral("UPDATE live_sessions SET email = ?, project = ?, model = CASE WHEN ? <> '' THEN ? ELSE model END, "
                           "device_host = CASE WHEN ? <> '' THEN ? ELSE device_host END, last_activity = %1, active = ?, "
                           "ended_at = CASE WHEN ? = 1 THEN 0 ELSE ended_at END WHERE id = ?")
                .arg(db.greatest("last_activity", "?")),
            {email, project, model, model, src.host, src.host, at, active, start, row});
    if (learnt) {
        db.exec("UPDATE activity SET email = ? WHERE member_id = ? AND session_id = ? AND email = ''",
                {email, src.member, id});
        QSqlQuery p = db.exec("SELECT reading FROM pending_readings WHERE member_id = ? AND session_id = ?",
                              {src.member, id});
        const QByteArray pending = p.next() ? p.value(0).toByteArray() : QByteArray();
        p.finish();
        if (auto r = readingFromJson(pending)) {
            db.exec("DELETE FROM pending_readings WHERE member_id = ? AND session_id = ?", {src.member, id});
            r->email = email;
            r->member = src.member;
            deliver(db, tx, id, project, *r);
        }
    }
    return {email, project};
}

// A reading from a session: delivered when its account is known, otherwise kept (the newest per
// session) until the session's account arrives with its telemetry.
void reading(Db &db, Tx &tx, const Source &src, const QString &session, const SessionInfo &info, WindowReading r) {
    if (!r.five && !r.seven) return;
    r.member = src.member;
    r.host = src.host;
    if (!info.email.isEmpty()) {
        r.email = info.email;
        deliver(db, tx, session, info.project, r);
    } else if (!session.isEmpty()) {
        db.exec("INSERT INTO pending_readings(member_id, session_id, provider, ts, reading) VALUES(?,?,?,?,?) "
                "ON CONFLICT(member_id, session_id) DO UPDATE SET ts = excluded.ts, reading = excluded.reading "
                "WHERE excluded.ts >= pending_readings.ts",
                {src.member, session, r.provider, r.at, QString::fromUtf8(readingToJson(r))});
    }
}

QString lineOf(const std::optional<Window> &five, const std::optional<Window> &seven, double cost) {
    QStringList parts;
    if (five) parts << QStringLiteral("5ч %1%").arg(std::lround(five->pct));
    if (seven) parts << QStringLiteral("7д %1%").arg(std::lround(seven->pct));
    // Without windows (a key instead of a subscription) the session's spend is what there is.
    if (parts.isEmpty() && cost > 0) parts << QStringLiteral("$%1").arg(cost, 0, 'f', 2);
    return parts.join(QStringLiteral(" · "));
}

// A cumulative series sends running totals: what it adds is the growth since the total stored
// for it last.
double deltaOf(Db &db, const QString &member, const otlp::Point &p, double now) {
    QStringList parts{p.name};
    for (auto it = p.attrs.constBegin(); it != p.attrs.constEnd(); ++it) parts << it.key() + u'=' + it.value();
    std::sort(parts.begin() + 1, parts.end());
    const QString series = QString::fromLatin1(
        QCryptographicHash::hash(parts.join(QChar(0x1f)).toUtf8(), QCryptographicHash::Sha1).toHex());
    QSqlQuery q = db.exec("SELECT value, start_at FROM otlp_series WHERE member_id = ? AND series = ?", {member, series});
    double delta = p.value;
    // The same start and no fall: the same counter, grown since. Otherwise it started over.
    if (q.next() && q.value(1).toString() == p.start && p.value >= q.value(0).toDouble())
        delta = p.value - q.value(0).toDouble();
    q.finish();
    db.exec("INSERT INTO otlp_series(member_id, series, start_at, value, updated_at) VALUES(?,?,?,?,?) "
            "ON CONFLICT(member_id, series) DO UPDATE SET start_at = excluded.start_at, value = excluded.value, "
            "updated_at = excluded.updated_at",
            {member, series, p.start, p.value, now});
    return delta;
}

struct Usage {
    double cost = 0, input = 0, output = 0, cacheRead = 0, cacheCreation = 0;
};

// Adds spend per account, day and model (keys as provider, e-mail, day, model) everywhere it shows.
void addUsage(Db &db, Tx &tx, const Source &src, const QHash<QString, Usage> &usage);

QString sessionOf(const otlp::Point &p) {
    return p.attrs.value("session.id", p.attrs.value("conversation.id")).left(100);
}

// Codex's log record of an answer's end, which carries the answer's tokens.
bool spends(const otlp::Point &p) {
    return p.name == QLatin1String("sse_event") && p.attrs.value("event.kind") == QLatin1String("response.completed") &&
           p.attrs.contains("input_token_count");
}

// The sessions a batch tells of, each touched once with the newest of what the batch says.
struct BatchSession {
    QString provider, email, model, version;
    double at = 0;
    SessionInfo info;
};

QHash<QString, BatchSession> sessionsNamed(const Source &src, const otlp::Batch &batch) {
    QHash<QString, BatchSession> out;
    for (const otlp::Point &p : batch.points) {
        BatchSession &s = out[sessionOf(p)];
        const double at = timeOf(p.time, src.now);
        if (s.provider.isEmpty()) s.provider = providerOf(p.attrs.value("service.name"));
        if (s.email.isEmpty()) s.email = p.attrs.value("user.email").left(200);
        if (s.version.isEmpty()) s.version = p.attrs.value("service.version").left(40);
        if (!p.attrs.value("model").isEmpty() && at >= s.at) s.model = p.attrs.value("model").left(100);
        s.at = std::max(s.at, at);
    }
    for (BatchSession &s : out) {
        // The machine's account (from Claude Code's own state) stands for Claude Code only.
        if (s.email.isEmpty() && s.provider == QLatin1String("claude")) s.email = src.account;
        if (s.email.isEmpty()) s.email = keyAccount(src);
    }
    return out;
}

QHash<QString, BatchSession> sessionsOf(Db &db, Tx &tx, const Source &src, const otlp::Batch &batch) {
    QHash<QString, BatchSession> out = sessionsNamed(src, batch);
    for (auto it = out.begin(); it != out.end(); ++it) {
        BatchSession &s = it.value();
        s.info = touchSession(db, tx, src, s.provider, it.key(), s.email, {}, s.model, s.at, false);
        touchAccount(db, tx, s.provider, s.info.email, s.model, s.version, src.now);
        touchDevice(db, tx, src, s.provider, s.info.email, s.model, s.version, s.info.project);
    }
    return out;
}

QString slotOf(const Source &src, const char *kind, const QString &session) {
    return src.member + QChar(0x1e) + QLatin1String(kind) + QChar(0x1e) + src.host + QChar(0x1e) + session;
}

QByteArray joined(const QStringList &parts) { return parts.join(QChar(0x1f)).toUtf8(); }

QString number(const std::optional<Window> &w) {
    return w ? QString::number(w->pct, 'g', 12) + u'@' + QString::number(w->resetsAt, 'f', 0) : QString();
}

struct StatusInput {
    QString session, cwd, model, version;
    std::optional<Window> five, seven;
};

StatusInput statusInput(const QJsonObject &body) {
    StatusInput in;
    in.session = text(body, "session_id", 100);
    in.cwd = text(body.value("workspace").toObject(), "current_dir", 1000);
    if (in.cwd.isEmpty()) in.cwd = text(body, "cwd", 1000);
    const QJsonValue m = body.value("model");
    in.model = m.isObject() ? text(m.toObject(), "id", 100) : text(body, "model", 100);
    in.version = text(body, "version", 40);
    const QJsonObject limits = body.value("rate_limits").toObject();
    in.five = windowOf(limits.value("five_hour"), "used_percentage");
    in.seven = windowOf(limits.value("seven_day"), "used_percentage");
    return in;
}

} // namespace

QString statusLineText(const QJsonObject &body) {
    const StatusInput in = statusInput(body);
    const QJsonValue cost = body.value("cost").toObject().value("total_cost_usd");
    return lineOf(in.five, in.seven, cost.isDouble() ? cost.toDouble() : 0);
}

Said statusLineSays(const Source &src, const QJsonObject &body) {
    const StatusInput in = statusInput(body);
    return {slotOf(src, "statusline", in.session),
            joined({in.cwd, in.model, in.version, number(in.five), number(in.seven), src.account, src.tooling})};
}

QList<Said> logsSay(const Source &src, const otlp::Batch &batch) {
    QList<Said> out;
    // A batch that adds spend is never a repeat.
    if (std::any_of(batch.points.begin(), batch.points.end(), spends)) return out;
    const QHash<QString, BatchSession> sessions = sessionsNamed(src, batch);
    for (auto it = sessions.constBegin(); it != sessions.constEnd(); ++it)
        out.append({slotOf(src, "logs", it.key()), joined({it->provider, it->email, it->model, it->version,
                                                            src.account, src.tooling})});
    return out;
}

QString statusLine(Db &db, Tx &tx, const Source &src, const QJsonObject &body) {
    const StatusInput in = statusInput(body);
    WindowReading r;
    r.provider = QStringLiteral("claude");
    r.at = src.now;
    r.five = in.five;
    r.seven = in.seven;
    r.model = in.model;
    r.version = in.version;
    presence(db, tx, src, true);
    const SessionInfo info = touchSession(db, tx, src, r.provider, in.session, src.account, projectOf(in.cwd), in.model,
                                          src.now, false);
    touchAccount(db, tx, r.provider, info.email, in.model, in.version, src.now);
    touchDevice(db, tx, src, r.provider, info.email, in.model, in.version, info.project);
    reading(db, tx, src, in.session, info, r);
    return statusLineText(body);
}

void hook(Db &db, Tx &tx, const Source &src, const QJsonObject &body) {
    // Only these keys are read; "prompt" (UserPromptSubmit) never is.
    const QString event = text(body, "hook_event_name", 64);
    const QString session = text(body, "session_id", 100);
    const QString project = projectOf(text(body, "cwd", 1000));
    const QJsonValue m = body.value("model");
    const QString model = m.isObject() ? text(m.toObject(), "id", 100) : text(body, "model", 100);
    presence(db, tx, src, true);
    const SessionInfo info = touchSession(db, tx, src, QStringLiteral("claude"), session, src.account, project, model,
                                          src.now, event == QLatin1String("SessionStart"));
    if (event == QLatin1String("SessionEnd") && !session.isEmpty()) {
        db.exec("UPDATE live_sessions SET active = 0, ended_at = ? WHERE member_id = ? AND session_id = ?",
                {src.now, src.member, session});
        tx.touch(Topic::Team);
    }
    touchAccount(db, tx, QStringLiteral("claude"), info.email, model, {}, src.now);
    touchDevice(db, tx, src, QStringLiteral("claude"), info.email, model, {}, info.project);
}

void heartbeat(Db &db, Tx &tx, const Source &given, const QJsonObject &body) {
    Source src = given;
    if (const QString host = text(body, "host", 200); !host.isEmpty()) src.host = host;
    if (const QString tooling = text(body, "tooling", 64); !tooling.isEmpty()) src.tooling = tooling;
    const QString osUser = text(body, "os_user", 64), claude = text(body, "claude_version", 40),
                  codex = text(body, "codex_version", 40);
    presence(db, tx, src, false);
    QSqlQuery q = db.exec("SELECT os_user, claude_version, codex_version, tooling FROM member_hosts "
                          "WHERE member_id = ? AND host = ?", {src.member, src.host});
    const bool same = q.next() && q.value(0).toString() == osUser && q.value(1).toString() == claude &&
                      q.value(2).toString() == codex && q.value(3).toString() == src.tooling;
    q.finish();
    db.exec("INSERT INTO member_hosts(member_id, host, os_user, claude_version, codex_version, tooling, last_seen) "
            "VALUES(?,?,?,?,?,?,?) ON CONFLICT(member_id, host) DO UPDATE SET os_user = excluded.os_user, "
            "claude_version = excluded.claude_version, codex_version = excluded.codex_version, "
            "tooling = excluded.tooling, last_seen = excluded.last_seen",
            {src.member, src.host, osUser, claude, codex, src.tooling, src.now});
    if (db.exec("UPDATE devices SET online = 1 WHERE member_id = ? AND device_host = ? AND online = 0",
                {src.member, src.host}).numRowsAffected() > 0 || !same)
        tx.touch(Topic::Team);
    db.exec("UPDATE devices SET last_seen = ?, os_user = CASE WHEN ? <> '' THEN ? ELSE os_user END, "
            "br_rev = CASE WHEN ? <> '' THEN ? ELSE br_rev END, "
            "version = CASE WHEN provider = 'codex' AND ? <> '' THEN ? WHEN provider <> 'codex' AND ? <> '' THEN ? "
            "ELSE version END WHERE member_id = ? AND device_host = ?",
            {src.now, osUser, osUser, src.tooling, src.tooling, codex, codex, claude, claude, src.member, src.host});
}

void codex(Db &db, Tx &tx, const Source &src, const QJsonObject &body) {
    const QString session = text(body, "session_id", 100);
    const QString model = text(body, "model", 100);
    // Without an account the reading waits for the session's telemetry to name one; the
    // machine's account header tells of Claude Code's sign-in, not Codex's.
    const QString account = text(body, "account", 200);
    WindowReading r;
    r.provider = QStringLiteral("codex");
    r.at = timeOf(epochOf(body.value("ts")), src.now);
    r.model = model;
    // Which window is which is told by its length, not by its name.
    const QJsonObject limits = body.value("rate_limits").toObject();
    for (const char *name : {"primary", "secondary"}) {
        const QJsonObject w = limits.value(QLatin1String(name)).toObject();
        std::optional<Window> win = windowOf(w, "used_percent");
        if (!win) continue;
        if (win->resetsAt == 0 && w.value("resets_in_seconds").isDouble())
            win->resetsAt = r.at + w.value("resets_in_seconds").toDouble();
        const int minutes = w.value("window_minutes").toInt();
        if (minutes == 300) r.five = win;
        else if (minutes == 10080) r.seven = win;
    }
    presence(db, tx, src, true);
    const SessionInfo info = touchSession(db, tx, src, r.provider, session, account, projectOf(text(body, "cwd", 1000)),
                                          model, r.at, false);
    touchAccount(db, tx, r.provider, info.email, model, {}, src.now);
    touchDevice(db, tx, src, r.provider, info.email, model, {}, info.project);
    reading(db, tx, src, session, info, r);
}

void metrics(Db &db, Tx &tx, const Source &src, const otlp::Batch &batch) {
    presence(db, tx, src, true);
    const QHash<QString, BatchSession> sessions = sessionsOf(db, tx, src, batch);
    QHash<QString, Work> work;          // by session and day
    QHash<QString, Usage> usage;        // by account, day and model
    for (const otlp::Point &p : batch.points) {
        const QString sid = sessionOf(p);
        const BatchSession &s = sessions[sid];
        const double v = p.cumulative ? deltaOf(db, src.member, p, src.now) : p.value;
        if (v <= 0) continue;
        const double at = timeOf(p.time, src.now);
        const QString day = dayOf(at);
        Work &w = work[sid + QChar(0x1f) + day];
        if (w.at == 0 || at < w.at) w.at = at;
        const QString type = p.attrs.value("type");
        const QString model = p.attrs.value("model").left(100);
        const QString name = p.name.section(u'.', 1);  // without the tool's prefix
        const bool spend = name == QLatin1String("cost.usage") || name == QLatin1String("token.usage");
        Usage *u = s.info.email.isEmpty() || !spend
                       ? nullptr
                       : &usage[QStringList{s.provider, s.info.email, day, model}.join(QChar(0x1f))];
        if (name == QLatin1String("cost.usage")) {
            w.cost += v;
            if (u) u->cost += v;
        } else if (name == QLatin1String("token.usage")) {
            if (type == QLatin1String("output")) w.outputTokens += v;
            if (u) (type == QLatin1String("input") ? u->input : type == QLatin1String("output") ? u->output
                    : type == QLatin1String("cacheRead") ? u->cacheRead : u->cacheCreation) += v;
        } else if (name == QLatin1String("active_time.total")) {
            w.seconds += v;
        } else if (name == QLatin1String("lines_of_code.count")) {
            (type == QLatin1String("removed") ? w.removed : w.added) += v;
        } else if (name == QLatin1String("commit.count")) {
            w.commits += v;
        } else if (name == QLatin1String("pull_request.count")) {
            w.prs += v;
        } else if (name == QLatin1String("code_edit_tool.decision")) {
            (p.attrs.value("decision") == QLatin1String("reject") ? w.rejects : w.accepts) += 1;
        }
    }
    for (auto it = work.constBegin(); it != work.constEnd(); ++it) {
        const QString sid = it.key().section(QChar(0x1f), 0, 0);
        const BatchSession &s = sessions[sid];
        addActivity(db, tx, src.member, s.provider, s.info.email, s.info.project, sid, it.value());
    }
    addUsage(db, tx, src, usage);
}

void logs(Db &db, Tx &tx, const Source &src, const otlp::Batch &batch) {
    // Log records tell who works in which session with which model, and Codex's the tokens of
    // each answer (it exports no metrics); Claude Code's spend is in its metrics. Texts (a
    // prompt, a tool's output) are never read.
    presence(db, tx, src, true);
    const QHash<QString, BatchSession> sessions = sessionsOf(db, tx, src, batch);
    QHash<QString, Usage> usage;
    for (const otlp::Point &p : batch.points) {
        if (!spends(p)) continue;
        const QString sid = sessionOf(p);
        const BatchSession &s = sessions[sid];
        const double at = timeOf(p.time, src.now);
        const auto count = [&p](const char *key) { return std::max(0.0, p.attrs.value(QLatin1String(key)).toDouble()); };
        Usage &u = usage[QStringList{s.provider, s.info.email, dayOf(at), p.attrs.value("model").left(100)}.join(QChar(0x1f))];
        u.input += count("input_token_count");
        u.output += count("output_token_count");
        u.cacheRead += count("cached_token_count");
        Work w;
        w.outputTokens = count("output_token_count");
        w.at = at;
        addActivity(db, tx, src.member, s.provider, s.info.email, s.info.project, sid, w);
    }
    addUsage(db, tx, src, usage);
}

namespace {

void addUsage(Db &db, Tx &tx, const Source &src, const QHash<QString, Usage> &usage) {
    for (auto it = usage.constBegin(); it != usage.constEnd(); ++it) {
        const QStringList k = it.key().split(QChar(0x1f));
        const Usage &u = it.value();
        db.exec("INSERT INTO usage_model_daily(provider, email, usage_day, model, cost_usd, input_tokens, output_tokens, "
                "cache_read_tokens, cache_creation_tokens) VALUES(?,?,?,?,?,?,?,?,?) "
                "ON CONFLICT(provider, email, usage_day, model) DO UPDATE SET "
                "cost_usd = usage_model_daily.cost_usd + excluded.cost_usd, "
                "input_tokens = usage_model_daily.input_tokens + excluded.input_tokens, "
                "output_tokens = usage_model_daily.output_tokens + excluded.output_tokens, "
                "cache_read_tokens = usage_model_daily.cache_read_tokens + excluded.cache_read_tokens, "
                "cache_creation_tokens = usage_model_daily.cache_creation_tokens + excluded.cache_creation_tokens",
                {k[0], k[1], k[2], k[3], u.cost, u.input, u.output, u.cacheRead, u.cacheCreation});
        if (u.cost == 0 && u.input == 0 && u.output == 0) continue;
        // The day's row for the member too, which the cost history answers from (noon UTC of that day).
        const double noon = QDateTime(QDate::fromString(k[2], Qt::ISODate), QTime(12, 0), QTimeZone::utc())
                                .toSecsSinceEpoch();
        history::recordUsage(db, k[0], k[1], src.member, noon, u.cost, u.input, u.output);
        db.exec("UPDATE account_state SET cost_usd = cost_usd + ?, total_input = total_input + ?, "
                "total_output = total_output + ? WHERE provider = ? AND email = ?",
                {u.cost, u.input, u.output, k[0], k[1]});
        db.exec("UPDATE devices SET cost_usd = cost_usd + ? WHERE provider = ? AND email = ? AND member_id = ? "
                "AND device_host = ?", {u.cost, k[0], k[1], src.member, src.host});
        // Spend is history: what shows it is built on that topic too, and the members' own
        // status, which shows none, is not rebuilt for every metrics batch.
        tx.touch(Topic::Activity);
    }
}

} // namespace

bool firstSight(Db &db, const QByteArray &fingerprint, double now) {
    return db.exec("INSERT INTO intake_batches(hash, received_at) VALUES(?,?) ON CONFLICT(hash) DO NOTHING",
                   {QString::fromLatin1(fingerprint.toHex()), now})
               .numRowsAffected() > 0;
}

int sweep(Db &db, Tx &tx, double now) {
    int changed = db.exec("UPDATE live_sessions SET active = 0 WHERE active = 1 AND session_id <> '' "
                          "AND last_activity < ?", {now - kSessionSilence}).numRowsAffected();
    // Only those that report through the intake age out; the demo's seeded people stay as seeded.
    changed += db.exec("UPDATE devices SET online = 0 WHERE online = 1 AND last_seen < ? AND member_id IN "
                       "(SELECT id FROM members WHERE reported_at > 0)", {now - kPresence}).numRowsAffected();
    changed += db.exec("UPDATE members SET online = 0 WHERE online = 1 AND reported_at > 0 AND last_seen < ?",
                       {now - kPresence}).numRowsAffected();
    changed += db.exec("UPDATE account_state SET online = 0 WHERE online = 1 AND NOT EXISTS(SELECT 1 FROM devices d "
                       "WHERE d.provider = account_state.provider AND d.email = account_state.email AND d.online = 1)")
                   .numRowsAffected();
    db.exec("DELETE FROM intake_batches WHERE received_at < ?", {now - kDay});
    db.exec("DELETE FROM pending_readings WHERE ts < ?", {now - kDay});
    db.exec("DELETE FROM otlp_series WHERE updated_at < ?", {now - 2 * kDay});
    if (changed > 0) tx.touch(Topic::Team);
    return changed;
}

} // namespace intake
