#include "postgres.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QThread>

#include <unistd.h>

namespace {
const char kOwner[] = "nobody";

// Fixed arguments written as one line (paths, which may hold spaces, go apart).
QStringList words(const QString &line) { return line.split(u' '); }
}

QStringList PostgresCluster::asOwner(const QString &program, const QStringList &args) const
{
    if (geteuid() != 0)
        return QStringList{program} + args;
    // setpriv runs the program itself (no parent left in between), so stopping it stops postgres.
    return QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=") + kOwner,
                       QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups"), program} + args;
}

bool PostgresCluster::run(const QString &program, const QStringList &args, bool owner)
{
    const QStringList cmd = owner ? asOwner(program, args) : QStringList{program} + args;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(m_dir.path());
    p.start(cmd.first(), cmd.mid(1));
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_error = cmd.join(u' ') + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAll());
        return false;
    }
    return true;
}

bool PostgresCluster::start()
{
    for (const QString &version : {QStringLiteral("15"), QStringLiteral("16"), QStringLiteral("17")})
        if (QFile::exists(QStringLiteral("/usr/lib/postgresql/%1/bin/initdb").arg(version)))
            m_bin = QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(version);
    if (m_bin.isEmpty()) {
        m_error = QStringLiteral("PostgreSQL is not installed (scripts/install-deps.sh installs it)");
        return false;
    }
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    if (geteuid() == 0 && !run(QStringLiteral("chown"), {kOwner, m_dir.path()}, false))
        return false;
    const QString data = m_dir.filePath(QStringLiteral("data"));
    if (!run(m_bin + QStringLiteral("initdb"), words("-U postgres -A trust --no-locale -E UTF8 --no-sync -D") << data, true))
        return false;
    {
        QTcpServer probe;  // a free port; postgres takes it a moment later
        probe.listen(QHostAddress::LocalHost, 0);
        m_port = probe.serverPort();
    }
    const QStringList cmd = asOwner(m_bin + QStringLiteral("postgres"),
                                    words("-c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=200 "
                                          "-c log_min_messages=warning -p " + QString::number(m_port))
                                        << QStringLiteral("-D") << data << QStringLiteral("-k") << m_dir.path());
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_server.setStandardOutputFile(QProcess::nullDevice());
    m_server.start(cmd.first(), cmd.mid(1));
    if (!m_server.waitForStarted(10000)) {
        m_error = QStringLiteral("postgres did not start");
        return false;
    }
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 30000 && m_server.state() == QProcess::Running) {
        QProcess ready;
        ready.start(m_bin + QStringLiteral("pg_isready"), words("-q -h 127.0.0.1 -U postgres -p") << QString::number(m_port));
        if (ready.waitForFinished(5000) && ready.exitCode() == 0)
            return true;
        QThread::msleep(100);
    }
    m_error = QStringLiteral("postgres did not become ready");
    return false;
}

QString PostgresCluster::createDatabase(const QString &name)
{
    if (!run(m_bin + QStringLiteral("psql"),
             words("-h 127.0.0.1 -U postgres -d postgres -v ON_ERROR_STOP=1 -p") << QString::number(m_port)
                 << QStringLiteral("-c") << QStringLiteral("CREATE DATABASE \"%1\"").arg(name),
             false))
        return {};
    return QStringLiteral("postgresql://postgres@127.0.0.1:%1/%2").arg(m_port).arg(name);
}

void PostgresCluster::stop()
{
    if (m_server.state() == QProcess::NotRunning)
        return;
    m_server.terminate();  // a smart shutdown: waits for the clients, which are gone by now
    if (!m_server.waitForFinished(15000)) {
        m_server.kill();
        m_server.waitForFinished(5000);
    }
}
