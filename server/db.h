// Storage of the team server: SQLite (one file, WAL) or PostgreSQL, through QtSql. Every thread
// gets its own connection on first use, so readers never queue behind each other or behind a
// writer; bound parameters only; the schema is versioned and migrated forward at start.
#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <atomic>
#include <mutex>
#include <stdexcept>

struct DbError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// What a write changed, for what is kept in memory: each topic has a counter in the database
// that every writer bumps, so that every server process sharing the database learns that its
// copies are stale. Team: accounts, devices, people's names and presence; Activity: the history
// behind the statistics and what accounts spent; Access: who holds which credential with which role.
enum class Topic { Team, Activity, Access };
constexpr int kTopics = 3;

class Db {
public:
    // The newest schema this build knows. A database written by a newer build is refused
    // rather than guessed at.
    static constexpr int kSchemaVersion = 5;

    Db();
    ~Db();
    // `where` is a file path (SQLite) or a postgresql:// URL.
    bool open(const QString &where, QString *error);
    bool isPostgres() const { return m_postgres; }
    QString filePath() const { return m_postgres ? QString() : m_path; }
    int schemaVersion();

    // Runs one statement with positional bound values on the calling thread's connection; throws
    // DbError on failure so that a handler never carries on after a failed write.
    QSqlQuery exec(const QString &sql, const QVariantList &args = {});
    // First column of the first row, or an invalid QVariant when there is no row.
    QVariant scalar(const QString &sql, const QVariantList &args = {});
    bool isEmpty();

    // The counter of a topic as this process last knew it. Changes made by this process are known
    // at once; those of other processes are read from the database at most every 200 ms.
    quint64 version(Topic t);

    // SQL spelling that differs between the two databases.
    QString greatest(const QString &a, const QString &b) const;

private:
    friend class Tx;
    struct Conn;
    QSqlDatabase &conn();
    Conn &connection();
    void configure(QSqlDatabase &db);
    void migrate();
    void afterMigration(int version);
    void setSchemaVersion(int v);
    void noteVersion(int topic, quint64 n);

    bool m_postgres = false;
    QString m_path;
    QString m_host, m_user, m_password, m_name, m_options;
    int m_port = -1;
    int m_id = 0;
    std::mutex m_writer;  // SQLite takes one writer at a time; queue here rather than spin on busy
    std::atomic<quint64> m_versions[kTopics] = {};
    std::atomic<qint64> m_polledAt{0};
};

// Scoped write transaction: rolled back unless commit() ran, so an exception or an early refusal
// never leaves half a write behind. Writes never run on an I/O thread: opening one there defers
// the request to a worker (see offload()).
class Tx {
public:
    explicit Tx(Db &db);
    ~Tx();
    void touch(Topic t) { m_touched |= 1u << int(t); }
    // Runs this transaction after every other one that asked the same: a rule that reads across
    // rows (the team keeps an active administrator) then holds when two writes race. SQLite's
    // writers already take turns; PostgreSQL's only wait for each other's rows.
    void serialize();
    void commit();
    Tx(const Tx &) = delete;
    Tx &operator=(const Tx &) = delete;

private:
    Db &m_db;
    std::unique_lock<std::mutex> m_lock;
    unsigned m_touched = 0;
    bool m_done = false;
};
