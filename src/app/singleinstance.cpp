#include "app/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QByteArray kRaise = "raise\n";
}

SingleInstance::SingleInstance(const QString &path, QObject *parent)
    : QObject(parent)
    , m_path(path)
{
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::isPrivateDir(const QString &dir)
{
    struct stat st {};
    // lstat: a symlink, even to a private folder, could be switched to another one later.
    if (dir.isEmpty() || ::lstat(QFile::encodeName(dir).constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

QString SingleInstance::privateRuntimeDir()
{
    const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(xdg) && isPrivateDir(xdg))
        return QDir::cleanPath(xdg);

    // No usable runtime folder (a bare session, su without a login): a folder of our own in the
    // temporary directory. Another user may have made one under this name first; then it is not
    // ours and the check below refuses it.
    const QString dir = QDir::tempPath() + QStringLiteral("/corvane-team-%1").arg(::getuid());
    ::mkdir(QFile::encodeName(dir).constData(), 0700);
    return isPrivateDir(dir) ? dir : QString();
}

QString SingleInstance::defaultPath()
{
    const QString dir = privateRuntimeDir();
    if (dir.isEmpty())
        return QString();
    return dir + QStringLiteral("/" CORVANE_APP_ID ".sock");
}

bool SingleInstance::notifyRunning(int timeoutMs)
{
    if (m_path.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(m_path);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kRaise);
    socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

bool SingleInstance::listen()
{
    if (m_server)
        return m_server->isListening();
    if (m_path.isEmpty())
        return false;
    m_server = new QLocalServer(this);
    // The folder is private already; the socket itself is owner-only as well.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_path)) {
        // A socket left behind by a crashed instance: nobody answered notifyRunning(), so it
        // is stale and can go.
        QLocalServer::removeServer(m_path);
        if (!m_server->listen(m_path))
            return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *s = m_server->nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                // Only the one known request; anything else (or too much) is dropped.
                if (s->bytesAvailable() > 64) {
                    s->abort();
                    return;
                }
                if (!s->canReadLine())
                    return;
                if (s->readLine() == kRaise)
                    Q_EMIT raiseRequested();
                s->disconnectFromServer();
            });
        }
    });
    return true;
}

bool SingleInstance::listening() const
{
    return m_server && m_server->isListening();
}
