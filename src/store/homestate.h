#pragma once
// What the dashboard and the tray show of the user's own machine (the accounts it reports, its
// telemetry) and, for an administrator, the team's alerts. All of it comes from the server.

#include "core/records.h"
#include "store/fields.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

class HomeState : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Store.home")

    CV_LIST(Acct, accounts, Accounts)
    CV_FIELD(bool, telemetryOk, TelemetryOk, false)
    CV_FIELD(double, lastSeen, LastSeen, 0)
    CV_FIELD(bool, loading, Loading, false)   // a first load runs with nothing shown yet
    CV_LIST(AlertEvent, alerts, Alerts)
    CV_FIELD(int, alertsUnread, AlertsUnread, 0)

public:
    using QObject::QObject;
};
