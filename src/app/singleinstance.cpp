#include "app/singleinstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <unistd.h>


namespace {
const QByteArray kRaise = "raise\n";
}

SingleInstance::SingleInstance(const QString &name, QObject *parent)
    : QObject(parent)
    , m_name(name)
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultName()
{
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("LOGNAME");
    if (user.isEmpty())
        user = QString::number(::getuid());
    QString name = QStringLiteral(CORVANE_APP_ID) + u'-' + user;
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    return name.replace(unsafe, QStringLiteral("_"));
}

bool SingleInstance::notifyRunning(int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
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
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // A socket left behind by a crashed instance: nobody answered notifyRunning(), so it
        // is stale and can go.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name))
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
