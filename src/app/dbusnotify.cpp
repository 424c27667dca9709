#include "dbusnotify.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

DBusNotifications::DBusNotifications(QObject *parent, const QDBusConnection &bus)
    : QObject(parent)
    , m_bus(bus)
{
}

void DBusNotifications::show(const QString &title, const QString &body)
{
    if (!m_bus.isConnected()) {
        fallBack(title, body, QStringLiteral("no session bus"));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The body is plain text: servers that understand markup must not read server-supplied
    // strings as such.
    QString plain = body.toHtmlEscaped();
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("com.corvane.team")},
                            {QStringLiteral("urgency"), QVariant::fromValue(uchar(1))}};
    call << QStringLiteral("Corvane Team") << uint(0) << QStringLiteral("com.corvane.team") << title << plain
         << QStringList() << hints << int(-1);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, 10000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, title, body] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isError())
            fallBack(title, body, reply.error().name());
        else
            Q_EMIT delivered(reply.value());
    });
}

void DBusNotifications::fallBack(const QString &title, const QString &body, const QString &reason)
{
    if (m_fallback)
        m_fallback(title, body);
    Q_EMIT fellBack(reason);
}
