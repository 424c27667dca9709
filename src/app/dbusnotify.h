#pragma once
// Shows a notification through the desktop's notification service
// (org.freedesktop.Notifications on the session bus). When there is no session bus, no such
// service, or it answers with an error, the fallback (the tray icon's message) shows it instead.

#include <QDBusConnection>
#include <QObject>
#include <functional>

class NotificationSink
{
public:
    virtual ~NotificationSink() = default;
    virtual void show(const QString &title, const QString &body) = 0;
};

class DBusNotifications : public QObject, public NotificationSink
{
    Q_OBJECT
public:
    using Fallback = std::function<void(const QString &title, const QString &body)>;

    explicit DBusNotifications(QObject *parent = nullptr,
                               const QDBusConnection &bus = QDBusConnection::sessionBus());
    void setFallback(Fallback f) { m_fallback = std::move(f); }
    void show(const QString &title, const QString &body) override;

Q_SIGNALS:
    // The outcome of each show(): delivered by the service, or handed to the fallback.
    void delivered(uint id);
    void fellBack(const QString &reason);

private:
    void fallBack(const QString &title, const QString &body, const QString &reason);

    QDBusConnection m_bus;
    Fallback m_fallback;
};
