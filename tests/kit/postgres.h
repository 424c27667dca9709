#pragma once
// PostgresCluster: a throwaway PostgreSQL cluster from Debian's packages, in a temporary folder,
// listening on 127.0.0.1 only, stopped and deleted with the object. initdb and postgres refuse
// to run as root (and CI runs as root): then they run as "nobody".
//
//   PostgresCluster pg;
//   QVERIFY2(pg.start(), qPrintable(pg.error()));
//   server.setDatabase(pg.createDatabase("api"));   // postgresql://postgres@127.0.0.1:PORT/api
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class PostgresCluster
{
public:
    ~PostgresCluster() { stop(); }
    bool start();
    void stop();
    QString error() const { return m_error; }
    // Creates an empty database and returns its URL; "" on failure (see error()).
    QString createDatabase(const QString &name);

private:
    bool run(const QString &program, const QStringList &args, bool asOwner);
    QStringList asOwner(const QString &program, const QStringList &args) const;

    QTemporaryDir m_dir;
    QProcess m_server;
    QString m_bin;
    QString m_error;
    int m_port = 0;
};
