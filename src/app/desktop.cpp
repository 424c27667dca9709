#include "desktop.h"

#include "app/csvexport.h"
#include "app/dbusnotify.h"
#include "app/notifier.h"
#include "store/forecasts.h"
#include "store/store.h"

#include <QSystemTrayIcon>
#include <cstdio>

DesktopServices::DesktopServices(Store *store, bool notify, QObject *parent)
    : QObject(parent)
{
    m_forecasts = new Forecasts(store, this);
    Forecasts::setInstance(m_forecasts);
    m_csv = new CsvExport(store, this);
    CsvExport::setInstance(m_csv);
    if (!notify)
        return;
    m_dbus = new DBusNotifications(this);
    m_dbus->setFallback([this](const QString &title, const QString &body) {
        if (m_tray && m_tray->isVisible() && QSystemTrayIcon::supportsMessages()) {
            m_trayNotice = true;
            m_tray->showMessage(title, body, QSystemTrayIcon::Warning, 15000);
        } else {
            std::fprintf(stderr, "corvane-team: %s: %s\n", qPrintable(title), qPrintable(body));
        }
    });
    m_notifier = new Notifier(store, m_forecasts, m_dbus, this);
    Notifier::setInstance(m_notifier);
}

DesktopServices::~DesktopServices()
{
    if (Notifier::instance() == m_notifier)
        Notifier::setInstance(nullptr);
    if (CsvExport::instance() == m_csv)
        CsvExport::setInstance(nullptr);
    if (Forecasts::instance() == m_forecasts)
        Forecasts::setInstance(nullptr);
}

void DesktopServices::setTrayIcon(QSystemTrayIcon *icon)
{
    m_tray = icon;
}
