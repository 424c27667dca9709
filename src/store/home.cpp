// The user's own limits and telemetry, and the team's alerts.
#include "store/store.h"

#include "core/decode.h"

#include <algorithm>
#include <limits>

void Store::refreshHome()
{
    if (m_accounts.isEmpty())
        setLoadingHome(true);
    getStatus(QStringLiteral("/api/my/status"), [this](const HttpReply &r) {
        if (!r.ok) {
            setLoadingHome(false);
            return;
        }
        const decode::HomeStatus h = decode::homeStatus(r.json);
        setAccounts(h.accounts);
        if (h.hasTelemetry) {
            setTelemetryOk(h.telemetryOk);
            setLastSeen(h.lastSeen);
        }
        if (h.hasMember) {
            setName(h.memberName.value_or(m_name));
            setRole(h.memberRole.value_or(m_role));
        }
        setLoadingHome(false);
    });
}

void Store::loadAlerts()
{
    if (!isAdmin())
        return;
    getStatus(QStringLiteral("/api/events?limit=100"), [this](const HttpReply &r) {
        if (!isAdmin())
            return; // the server made the user a non-administrator meanwhile
        const decode::Alerts a = decode::alerts(r.ok ? r.json : QJsonObject());
        setAlerts(a.events);
        setAlertsUnread(int(std::clamp<qint64>(a.unread, 0, std::numeric_limits<int>::max())));
    });
}
