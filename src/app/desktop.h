#pragma once
// The application's desktop services, created with the Store and gone before it: run-out
// forecasts, limit notifications, CSV export and the login autostart entry. Each is registered
// as the instance its QML singleton hands out.

#include <QObject>
#include <QPointer>

class Store;
class Forecasts;
class CsvExport;
class Notifier;
class DBusNotifications;
class QSystemTrayIcon;

class DesktopServices : public QObject
{
    Q_OBJECT
public:
    // `notify` false (screenshots): no notifications are decided or shown.
    DesktopServices(Store *store, bool notify, QObject *parent);
    ~DesktopServices() override;

    Forecasts *forecasts() const { return m_forecasts; }
    CsvExport *csvExport() const { return m_csv; }
    Notifier *notifier() const { return m_notifier; }
    // The tray icon shows notifications when the desktop has no notification service.
    void setTrayIcon(QSystemTrayIcon *icon);
    // Whether the tray's last message was a limit notice (a click on it then only opens the
    // window); the update announcement clears it.
    bool trayShowsNotice() const { return m_trayNotice; }
    void clearTrayNotice() { m_trayNotice = false; }

private:
    Forecasts *m_forecasts = nullptr;
    CsvExport *m_csv = nullptr;
    DBusNotifications *m_dbus = nullptr;
    Notifier *m_notifier = nullptr;
    QPointer<QSystemTrayIcon> m_tray;
    bool m_trayNotice = false;
};
