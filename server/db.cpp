#include "db.h"

#include "httpcore.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QUrl>
#include <QUrlQuery>

#include <chrono>
#include <memory>
#include <unordered_map>

namespace {

// Each step moves the schema from version i to i + 1. Steps are only ever appended.
const char *const kMigrations[] = {
    // 0 -> 1: members, credentials, photos, registry, account state, telemetry, history.
    R"(
CREATE TABLE members(
  id TEXT PRIMARY KEY, name TEXT NOT NULL, role TEXT NOT NULL DEFAULT 'viewer',
  active INTEGER NOT NULL DEFAULT 1, member_type TEXT NOT NULL DEFAULT 'member',
  specialization TEXT NOT NULL DEFAULT '', department TEXT NOT NULL DEFAULT '',
  email TEXT NOT NULL DEFAULT '', telegram TEXT NOT NULL DEFAULT '', timezone TEXT NOT NULL DEFAULT '',
  note TEXT NOT NULL DEFAULT '', joined_at REAL NOT NULL DEFAULT 0,
  pw_salt BLOB NOT NULL, pw_hash BLOB NOT NULL, pw_iter INTEGER NOT NULL,
  must_change INTEGER NOT NULL DEFAULT 0, online INTEGER NOT NULL DEFAULT 0,
  last_seen REAL NOT NULL DEFAULT 0, created_at REAL NOT NULL DEFAULT 0);
CREATE TABLE credentials(
  hash TEXT PRIMARY KEY, member_id TEXT NOT NULL REFERENCES members(id) ON DELETE CASCADE,
  kind TEXT NOT NULL, created_at REAL NOT NULL);
CREATE INDEX credentials_member ON credentials(member_id, kind, created_at);
CREATE TABLE photos(
  member_id TEXT PRIMARY KEY REFERENCES members(id) ON DELETE CASCADE,
  png BLOB NOT NULL, updated_at REAL NOT NULL);
CREATE TABLE registry(
  provider TEXT NOT NULL, email TEXT NOT NULL, group_name TEXT NOT NULL DEFAULT '',
  owner TEXT NOT NULL DEFAULT '', plan TEXT NOT NULL DEFAULT '', price REAL,
  currency TEXT NOT NULL DEFAULT '', pay_method TEXT NOT NULL DEFAULT '',
  renew_date TEXT NOT NULL DEFAULT '', status TEXT NOT NULL DEFAULT 'active',
  notes TEXT NOT NULL DEFAULT '', auth_type TEXT NOT NULL DEFAULT 'oauth',
  cc_provider TEXT NOT NULL DEFAULT '', base_url TEXT NOT NULL DEFAULT '',
  model TEXT NOT NULL DEFAULT '', api_key TEXT, updated_at REAL NOT NULL DEFAULT 0,
  PRIMARY KEY(provider, email));
CREATE TABLE account_state(
  provider TEXT NOT NULL, email TEXT NOT NULL,
  five_hour_pct REAL NOT NULL DEFAULT 0, five_hour_resets_at REAL NOT NULL DEFAULT 0,
  seven_day_pct REAL NOT NULL DEFAULT 0, seven_day_resets_at REAL NOT NULL DEFAULT 0,
  limits_source TEXT NOT NULL DEFAULT '', fetched_at REAL NOT NULL DEFAULT 0,
  extra_usage_pct REAL, weekly_scoped TEXT NOT NULL DEFAULT '[]', burn_eta REAL NOT NULL DEFAULT 0,
  has_monitor INTEGER NOT NULL DEFAULT 0, has_telemetry INTEGER NOT NULL DEFAULT 0,
  cost_usd REAL NOT NULL DEFAULT 0, total_input REAL NOT NULL DEFAULT 0,
  total_output REAL NOT NULL DEFAULT 0, model TEXT NOT NULL DEFAULT '',
  version TEXT NOT NULL DEFAULT '', last_seen REAL NOT NULL DEFAULT 0,
  online INTEGER NOT NULL DEFAULT 0, PRIMARY KEY(provider, email));
CREATE TABLE devices(
  id INTEGER PRIMARY KEY, provider TEXT NOT NULL, email TEXT NOT NULL,
  device_host TEXT NOT NULL DEFAULT '', os_user TEXT NOT NULL DEFAULT '',
  member_id TEXT NOT NULL DEFAULT '', model TEXT NOT NULL DEFAULT '',
  version TEXT NOT NULL DEFAULT '', br_rev TEXT NOT NULL DEFAULT '',
  project TEXT NOT NULL DEFAULT '', five_hour_pct REAL NOT NULL DEFAULT 0,
  seven_day_pct REAL NOT NULL DEFAULT 0, cost_usd REAL NOT NULL DEFAULT 0,
  last_seen REAL NOT NULL DEFAULT 0, online INTEGER NOT NULL DEFAULT 0);
CREATE INDEX devices_account ON devices(provider, email);
CREATE TABLE live_sessions(
  id INTEGER PRIMARY KEY, provider TEXT NOT NULL, email TEXT NOT NULL,
  project TEXT NOT NULL DEFAULT '', member_id TEXT NOT NULL DEFAULT '',
  model TEXT NOT NULL DEFAULT '', active INTEGER NOT NULL DEFAULT 0,
  started_at REAL NOT NULL DEFAULT 0);
CREATE TABLE events(
  id INTEGER PRIMARY KEY AUTOINCREMENT, ts REAL NOT NULL, severity TEXT NOT NULL,
  title TEXT NOT NULL, account_email TEXT NOT NULL DEFAULT '', ack INTEGER NOT NULL DEFAULT 0);
CREATE TABLE activity(
  id INTEGER PRIMARY KEY, member_id TEXT NOT NULL DEFAULT '', provider TEXT NOT NULL,
  email TEXT NOT NULL, project TEXT NOT NULL DEFAULT '', is_work INTEGER NOT NULL DEFAULT 1,
  source TEXT NOT NULL DEFAULT 'terminal', started_at REAL NOT NULL, seconds INTEGER NOT NULL DEFAULT 0,
  cost_usd REAL NOT NULL DEFAULT 0, points REAL NOT NULL DEFAULT 0,
  lines_added INTEGER NOT NULL DEFAULT 0, lines_removed INTEGER NOT NULL DEFAULT 0,
  commits INTEGER NOT NULL DEFAULT 0, prs INTEGER NOT NULL DEFAULT 0,
  accepts INTEGER NOT NULL DEFAULT 0, rejects INTEGER NOT NULL DEFAULT 0,
  output_tokens INTEGER NOT NULL DEFAULT 0, sessions INTEGER NOT NULL DEFAULT 1);
CREATE INDEX activity_time ON activity(started_at);
)",
    // 1 -> 2: lookups of a member's own devices and of an account's history.
    R"(
CREATE INDEX devices_member ON devices(member_id);
CREATE INDEX activity_account ON activity(provider, email, started_at);
)",
    // 2 -> 3: credentials remember where they were last used, one-time passwords their age,
    // registry keys are sealed, sign-in failures are counted, cached answers learn of changes.
    R"(
ALTER TABLE credentials ADD COLUMN last_used REAL NOT NULL DEFAULT 0;
ALTER TABLE credentials ADD COLUMN last_address TEXT NOT NULL DEFAULT '';
ALTER TABLE members ADD COLUMN pw_set_at REAL NOT NULL DEFAULT 0;
ALTER TABLE registry ADD COLUMN api_key_box BLOB;
CREATE TABLE signin_failures(
  id INTEGER PRIMARY KEY, login TEXT NOT NULL, address TEXT NOT NULL, ts REAL NOT NULL);
CREATE INDEX signin_failures_login ON signin_failures(login, ts);
CREATE INDEX signin_failures_address ON signin_failures(address, ts);
CREATE TABLE changes(topic TEXT PRIMARY KEY, n BIGINT NOT NULL DEFAULT 0);
INSERT INTO changes(topic, n) VALUES('team', 0);
INSERT INTO changes(topic, n) VALUES('activity', 0);
INSERT INTO changes(topic, n) VALUES('access', 0);
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);
)",
    // 3 -> 4: what members' machines report. Windows keep when they were measured (the newest
    // reading wins) and which alert was raised in them; sessions are known by the tool's own
    // id; presence and telemetry are told apart; usage per model and day; retried batches and
    // running totals are recognised; readings wait for their account.
    R"(
ALTER TABLE account_state ADD COLUMN five_hour_at REAL NOT NULL DEFAULT 0;
ALTER TABLE account_state ADD COLUMN seven_day_at REAL NOT NULL DEFAULT 0;
ALTER TABLE account_state ADD COLUMN five_hour_alert INTEGER NOT NULL DEFAULT 0;
ALTER TABLE account_state ADD COLUMN five_hour_alert_reset REAL NOT NULL DEFAULT 0;
ALTER TABLE account_state ADD COLUMN seven_day_alert INTEGER NOT NULL DEFAULT 0;
ALTER TABLE account_state ADD COLUMN seven_day_alert_reset REAL NOT NULL DEFAULT 0;
ALTER TABLE members ADD COLUMN reported_at REAL NOT NULL DEFAULT 0;
ALTER TABLE members ADD COLUMN telemetry_at REAL NOT NULL DEFAULT 0;
ALTER TABLE live_sessions ADD COLUMN session_id TEXT NOT NULL DEFAULT '';
ALTER TABLE live_sessions ADD COLUMN device_host TEXT NOT NULL DEFAULT '';
ALTER TABLE live_sessions ADD COLUMN last_activity REAL NOT NULL DEFAULT 0;
ALTER TABLE live_sessions ADD COLUMN ended_at REAL NOT NULL DEFAULT 0;
CREATE INDEX live_sessions_session ON live_sessions(member_id, session_id);
ALTER TABLE activity ADD COLUMN session_id TEXT NOT NULL DEFAULT '';
CREATE INDEX activity_session ON activity(member_id, session_id, started_at);
CREATE INDEX devices_host ON devices(member_id, device_host);
CREATE TABLE member_hosts(
  member_id TEXT NOT NULL, host TEXT NOT NULL, os_user TEXT NOT NULL DEFAULT '',
  claude_version TEXT NOT NULL DEFAULT '', codex_version TEXT NOT NULL DEFAULT '',
  tooling TEXT NOT NULL DEFAULT '', last_seen REAL NOT NULL DEFAULT 0, PRIMARY KEY(member_id, host));
CREATE TABLE usage_model_daily(
  provider TEXT NOT NULL, email TEXT NOT NULL, usage_day TEXT NOT NULL, model TEXT NOT NULL,
  cost_usd REAL NOT NULL DEFAULT 0, input_tokens REAL NOT NULL DEFAULT 0, output_tokens REAL NOT NULL DEFAULT 0,
  cache_read_tokens REAL NOT NULL DEFAULT 0, cache_creation_tokens REAL NOT NULL DEFAULT 0,
  PRIMARY KEY(provider, email, usage_day, model));
CREATE TABLE pending_readings(
  member_id TEXT NOT NULL, session_id TEXT NOT NULL, provider TEXT NOT NULL, ts REAL NOT NULL,
  reading TEXT NOT NULL, PRIMARY KEY(member_id, session_id));
CREATE TABLE otlp_series(
  member_id TEXT NOT NULL, series TEXT NOT NULL, start_at TEXT NOT NULL DEFAULT '', value REAL NOT NULL,
  updated_at REAL NOT NULL, PRIMARY KEY(member_id, series));
CREATE TABLE intake_batches(hash TEXT PRIMARY KEY, received_at REAL NOT NULL);
CREATE INDEX intake_batches_time ON intake_batches(received_at);
)",
    // 4 -> 5: usage history: readings of every limit window over time, cost and tokens per
    // account, member and day.
    R"(
CREATE TABLE history_series(
  id INTEGER PRIMARY KEY, provider TEXT NOT NULL, email TEXT NOT NULL, win TEXT NOT NULL,
  UNIQUE(provider, email, win));
CREATE TABLE window_readings(
  series BIGINT NOT NULL REFERENCES history_series(id) ON DELETE CASCADE, ts REAL NOT NULL,
  pct REAL NOT NULL, resets_at REAL NOT NULL, source TEXT NOT NULL DEFAULT '',
  kind INTEGER NOT NULL DEFAULT 0, PRIMARY KEY(series, ts));
CREATE INDEX window_readings_raw ON window_readings(series, ts) WHERE kind = 0;
CREATE TABLE usage_daily(
  day TEXT NOT NULL, provider TEXT NOT NULL, email TEXT NOT NULL, member_id TEXT NOT NULL DEFAULT '',
  cost_usd REAL NOT NULL DEFAULT 0, tokens_in REAL NOT NULL DEFAULT 0, tokens_out REAL NOT NULL DEFAULT 0,
  PRIMARY KEY(day, provider, email, member_id));
)",
};
static_assert(sizeof(kMigrations) / sizeof(kMigrations[0]) == Db::kSchemaVersion);

const char *const kTopicNames[kTopics] = {"team", "activity", "access"};

// The schema is written once, in SQLite's words; PostgreSQL gets the same tables with its own
// names for the types (REAL there is single precision, far too coarse for epoch seconds).
QString forPostgres(QString sql) {
    sql.replace(QLatin1String("INTEGER PRIMARY KEY AUTOINCREMENT"), QLatin1String("BIGSERIAL PRIMARY KEY"));
    sql.replace(QLatin1String("id INTEGER PRIMARY KEY"), QLatin1String("id BIGSERIAL PRIMARY KEY"));
    static const QRegularExpression real(QStringLiteral("\\bREAL\\b")), blob(QStringLiteral("\\bBLOB\\b"));
    sql.replace(real, QStringLiteral("DOUBLE PRECISION"));
    sql.replace(blob, QStringLiteral("BYTEA"));
    return sql;
}

qint64 steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::atomic<int> g_nextId{1};

} // namespace

struct Db::Conn {
    QString name;
    QSqlDatabase db;
    QHash<QString, QSqlQuery> statements;  // prepared writes, by their text
    ~Conn() {
        statements.clear();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
};

Db::Db() : m_id(g_nextId++) {}

Db::~Db() = default;

QSqlDatabase &Db::conn() { return connection().db; }

Db::Conn &Db::connection() {
    // One connection per thread and database, made on first use and closed when the thread ends.
    thread_local std::unordered_map<int, std::unique_ptr<Conn>> conns;
    auto &slot = conns[m_id];
    if (!slot) {
        auto c = std::make_unique<Conn>();
        c->name = QStringLiteral("team-%1-%2").arg(m_id).arg(quintptr(&conns), 0, 16);
        c->db = QSqlDatabase::addDatabase(m_postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), c->name);
        if (m_postgres) {
            c->db.setHostName(m_host);
            if (m_port > 0) c->db.setPort(m_port);
            c->db.setUserName(m_user);
            c->db.setPassword(m_password);
            c->db.setDatabaseName(m_name);
            c->db.setConnectOptions(m_options);
        } else {
            c->db.setDatabaseName(m_path);
            c->db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        }
        if (!c->db.open()) throw DbError("open: " + c->db.lastError().text().toStdString());
        configure(c->db);
        slot = std::move(c);
    }
    return *slot;
}

void Db::configure(QSqlDatabase &db) {
    if (m_postgres) return;
    QSqlQuery q(db);
    // FULL: a write is on disk before it is acknowledged, power cut included. secure_delete:
    // what a write replaces (a key sealed in place of its clear text) is overwritten, not left
    // behind in free pages.
    for (const char *pragma : {"PRAGMA foreign_keys = ON", "PRAGMA synchronous = FULL", "PRAGMA secure_delete = ON"})
        if (!q.exec(QLatin1String(pragma))) throw DbError(("pragma: " + q.lastError().text()).toStdString());
}

bool Db::open(const QString &where, QString *error) {
    if (where.startsWith(QLatin1String("postgresql://")) || where.startsWith(QLatin1String("postgres://"))) {
        const QUrl url(where, QUrl::StrictMode);
        if (!url.isValid()) {
            *error = QStringLiteral("not a valid URL");
            return false;
        }
        m_postgres = true;
        m_host = url.host();
        m_port = url.port(-1);
        m_user = url.userName();
        m_password = url.password();
        m_name = url.path().mid(1);
        // Everything in the query is a libpq option (sslmode, connect_timeout, ...); "host" may
        // name a socket folder.
        QStringList options;
        for (const auto &[k, v] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
            if (k == QLatin1String("host")) m_host = v;
            else options << k + u'=' + v;
        }
        m_options = options.join(u';');
    } else {
        m_path = where;
    }
    try {
        QSqlDatabase &db = conn();
        if (!m_postgres) {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("PRAGMA journal_mode = WAL")))
                throw DbError(("journal: " + q.lastError().text()).toStdString());
        }
        migrate();
        version(Topic::Team);
    } catch (const DbError &e) {
        *error = QString::fromUtf8(e.what());
        return false;
    }
    return true;
}

int Db::schemaVersion() {
    if (!m_postgres) return scalar(QStringLiteral("PRAGMA user_version")).toInt();
    exec(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version(v INTEGER NOT NULL)"));
    return scalar(QStringLiteral("SELECT MAX(v) FROM schema_version")).toInt();
}

void Db::setSchemaVersion(int v) {
    // PRAGMA takes no bound parameters; the value is our own constant.
    if (!m_postgres) exec(QStringLiteral("PRAGMA user_version = %1").arg(v));
    else {
        exec(QStringLiteral("DELETE FROM schema_version"));
        exec(QStringLiteral("INSERT INTO schema_version(v) VALUES(?)"), {v});
    }
}

void Db::migrate() {
    Tx tx(*this);
    // Several processes may start on one PostgreSQL database at once: one migrates, the others
    // wait here and then find nothing left to do.
    if (m_postgres) exec(QStringLiteral("SELECT pg_advisory_xact_lock(7243001)"));
    const int have = schemaVersion();
    if (have > kSchemaVersion)
        throw DbError("database was written by a newer server (schema " + std::to_string(have) + ")");
    for (int v = have; v < kSchemaVersion; ++v) {
        QString sql = QString::fromUtf8(kMigrations[v]);
        if (m_postgres) sql = forPostgres(sql);
        for (const QString &s : sql.split(u';', Qt::SkipEmptyParts))
            if (!s.trimmed().isEmpty()) exec(s);
        afterMigration(v + 1);
        setSchemaVersion(v + 1);
    }
    tx.commit();
}

void Db::afterMigration(int version) {
    if (version == 3) {
        // One-time passwords handed out before their age was kept run from the upgrade on.
        exec(QStringLiteral("UPDATE members SET pw_set_at = ? WHERE pw_set_at = 0"),
             {QDateTime::currentMSecsSinceEpoch() / 1000.0});
    }
}

QSqlQuery Db::exec(const QString &sql, const QVariantList &args) {
    Conn &c = connection();
    // Without values there is nothing to bind: run it as it stands (PostgreSQL's driver would
    // otherwise wrap it in PREPARE, which takes no DDL).
    if (args.isEmpty()) {
        QSqlQuery q(c.db);
        q.setForwardOnly(true);
        if (!q.exec(sql)) throw DbError(("exec: " + q.lastError().text() + " in " + sql).toStdString());
        return q;
    }
    // The intake runs the same few writes for every report: each connection keeps their prepared
    // statements rather than parse them again. A write without RETURNING is done (its statement
    // reset) once it has run; a read is not kept, as one left unfinished between two uses would
    // hold its connection's snapshot open.
    const bool keep = (sql.startsWith(QLatin1String("INSERT")) || sql.startsWith(QLatin1String("UPDATE")) ||
                       sql.startsWith(QLatin1String("DELETE"))) && !sql.contains(QLatin1String("RETURNING"));
    const auto kept = keep ? c.statements.constFind(sql) : c.statements.constEnd();
    // Copies of a QSqlQuery share one prepared statement: the connection keeps one copy, the
    // caller gets another (Qt frowns on copying only because the copies share it).
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QSqlQuery q = kept != c.statements.constEnd() ? QSqlQuery(*kept) : QSqlQuery(c.db);
    if (kept == c.statements.constEnd()) {
        q.setForwardOnly(true);
        if (!q.prepare(sql)) throw DbError(("prepare: " + q.lastError().text() + " in " + sql).toStdString());
        if (keep && c.statements.size() < 256) c.statements.insert(sql, q);
    }
    QT_WARNING_POP
    for (int i = 0; i < args.size(); ++i) {
        const QVariant &a = args[i];
        // A null QString means "no text", not SQL NULL: columns that may be NULL are bound with
        // an invalid QVariant instead. Booleans go in as 0/1, which both databases store alike.
        if (a.typeId() == QMetaType::QString && a.toString().isNull()) q.bindValue(i, QStringLiteral(""));
        else if (a.typeId() == QMetaType::Bool) q.bindValue(i, a.toBool() ? 1 : 0);
        else q.bindValue(i, a);
    }
    if (!q.exec()) throw DbError(("exec: " + q.lastError().text() + " in " + sql).toStdString());
    return q;
}

QVariant Db::scalar(const QString &sql, const QVariantList &args) {
    QSqlQuery q = exec(sql, args);
    return q.next() ? q.value(0) : QVariant();
}

bool Db::isEmpty() { return scalar(QStringLiteral("SELECT COUNT(*) FROM members")).toLongLong() == 0; }

QString Db::greatest(const QString &a, const QString &b) const {
    return (m_postgres ? QStringLiteral("GREATEST(%1, %2)") : QStringLiteral("MAX(%1, %2)")).arg(a, b);
}

void Db::noteVersion(int topic, quint64 n) {
    quint64 seen = m_versions[topic];
    while (n > seen && !m_versions[topic].compare_exchange_weak(seen, n)) {
    }
}

quint64 Db::version(Topic t) {
    const qint64 now = steadyMs();
    qint64 polled = m_polledAt;
    if (now - polled >= 200 && m_polledAt.compare_exchange_strong(polled, now)) {
        // Another process may have written; this thread's connection tells.
        for (QSqlQuery q = exec(QStringLiteral("SELECT topic, n FROM changes")); q.next();)
            for (int i = 0; i < kTopics; ++i)
                if (q.value(0).toString() == QLatin1String(kTopicNames[i])) noteVersion(i, q.value(1).toULongLong());
    }
    return m_versions[int(t)];
}

Tx::Tx(Db &db) : m_db(db) {
    offload(Lane::Work);
    if (!db.m_postgres) m_lock = std::unique_lock<std::mutex>(db.m_writer);
    QSqlQuery q(db.conn());
    // IMMEDIATE takes SQLite's write lock at once: a transaction that read first and wrote later
    // could otherwise fail when another connection wrote in between.
    if (!q.exec(db.m_postgres ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE")))
        throw DbError("begin: " + q.lastError().text().toStdString());
}

Tx::~Tx() {
    if (m_done) return;
    QSqlQuery q(m_db.conn());
    q.exec(QStringLiteral("ROLLBACK"));
}

void Tx::serialize() {
    if (m_db.m_postgres) m_db.exec(QStringLiteral("SELECT pg_advisory_xact_lock(7243002)"));
}

void Tx::commit() {
    quint64 seen[kTopics] = {};
    for (int i = 0; i < kTopics; ++i)
        if (m_touched & (1u << i)) {
            QSqlQuery q = m_db.exec(QStringLiteral("UPDATE changes SET n = n + 1 WHERE topic = ? RETURNING n"),
                                    {QString::fromLatin1(kTopicNames[i])});
            if (q.next()) seen[i] = q.value(0).toULongLong();
        }
    QSqlQuery q(m_db.conn());
    if (!q.exec(QStringLiteral("COMMIT"))) throw DbError("commit: " + q.lastError().text().toStdString());
    m_done = true;
    for (int i = 0; i < kTopics; ++i)
        if (seen[i]) m_db.noteVersion(i, seen[i]);
}
