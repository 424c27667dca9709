// SQLite storage of the team server: one connection, bound parameters only,
// schema versioned through PRAGMA user_version and migrated forward at start.
#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <stdexcept>

struct DbError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Db {
public:
    // The newest schema this build knows. A database written by a newer build is refused
    // rather than guessed at.
    static constexpr int kSchemaVersion = 2;

    ~Db();
    bool open(const QString &path, QString *error);
    int schemaVersion();

    // Runs one statement with positional bound values; throws DbError on failure so that a
    // handler never carries on after a failed write.
    QSqlQuery exec(const QString &sql, const QVariantList &args = {});
    // First column of the first row, or an invalid QVariant when there is no row.
    QVariant scalar(const QString &sql, const QVariantList &args = {});
    bool isEmpty();

    void begin();
    void commit();
    void rollback();

private:
    void migrate();
    QSqlDatabase m_db;
    QString m_name;
};

// Scoped transaction: rolled back unless commit() ran, so an exception or an early refusal
// never leaves half a write behind.
class Tx {
public:
    explicit Tx(Db &db) : m_db(db) { m_db.begin(); }
    ~Tx() {
        if (!m_done) m_db.rollback();
    }
    void commit() {
        m_db.commit();
        m_done = true;
    }
    Tx(const Tx &) = delete;
    Tx &operator=(const Tx &) = delete;

private:
    Db &m_db;
    bool m_done = false;
};
