#include "db.h"

#include <QSqlError>
#include <QUuid>

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
};
static_assert(sizeof(kMigrations) / sizeof(kMigrations[0]) == Db::kSchemaVersion);

} // namespace

Db::~Db() {
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
}

bool Db::open(const QString &path, QString *error) {
    m_name = QStringLiteral("team-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    m_db.setDatabaseName(path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!m_db.open()) {
        *error = m_db.lastError().text();
        return false;
    }
    try {
        exec(QStringLiteral("PRAGMA foreign_keys = ON"));
        exec(QStringLiteral("PRAGMA journal_mode = WAL"));
        exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
        migrate();
    } catch (const DbError &e) {
        *error = QString::fromUtf8(e.what());
        return false;
    }
    return true;
}

int Db::schemaVersion() { return scalar(QStringLiteral("PRAGMA user_version")).toInt(); }

void Db::migrate() {
    const int have = schemaVersion();
    if (have > kSchemaVersion)
        throw DbError("database was written by a newer server (schema " + std::to_string(have) + ")");
    for (int v = have; v < kSchemaVersion; ++v) {
        Tx tx(*this);
        const QStringList statements =
            QString::fromUtf8(kMigrations[v]).split(u';', Qt::SkipEmptyParts);
        for (const QString &s : statements)
            if (!s.trimmed().isEmpty()) exec(s);
        // PRAGMA takes no bound parameters; the value is our own constant.
        exec(QStringLiteral("PRAGMA user_version = %1").arg(v + 1));
        tx.commit();
    }
}

QSqlQuery Db::exec(const QString &sql, const QVariantList &args) {
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.prepare(sql)) throw DbError(("prepare: " + q.lastError().text() + " in " + sql).toStdString());
    for (const QVariant &a : args) {
        // A null QString means "no text", not SQL NULL: columns that may be NULL are bound with
        // an invalid QVariant instead.
        if (a.typeId() == QMetaType::QString && a.toString().isNull()) q.addBindValue(QStringLiteral(""));
        else q.addBindValue(a);
    }
    if (!q.exec()) throw DbError(("exec: " + q.lastError().text() + " in " + sql).toStdString());
    return q;
}

QVariant Db::scalar(const QString &sql, const QVariantList &args) {
    QSqlQuery q = exec(sql, args);
    return q.next() ? q.value(0) : QVariant();
}

bool Db::isEmpty() { return scalar(QStringLiteral("SELECT COUNT(*) FROM members")).toLongLong() == 0; }

void Db::begin() {
    if (!m_db.transaction()) throw DbError("begin: " + m_db.lastError().text().toStdString());
}

void Db::commit() {
    if (!m_db.commit()) throw DbError("commit: " + m_db.lastError().text().toStdString());
}

void Db::rollback() { m_db.rollback(); }
