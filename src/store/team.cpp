// The team's accounts: load, server-side limits refresh, and the counts the screens show.
#include "store/store.h"

void Store::loadTeam()
{
    if (!isAdmin())
        return;
    setLoadingTeam(m_teamAccounts.isEmpty());
    // Only the newest load applies: a reload after a write must not be overwritten by an older
    // load that happens to answer last. The newest one also ends the spinner.
    const quint64 ticket = m_teamLoads.take();
    getStatus(QStringLiteral("/api/accounts"), [this, ticket](const HttpReply &r) {
        if (!m_teamLoads.isNewest(ticket))
            return;
        // The server may have made the user a non-administrator meanwhile: not theirs to see.
        if (!isAdmin()) {
            setLoadingTeam(false);
            return;
        }
        if (!r.ok) {
            setLoadingTeam(false);
            return;
        }
        if (r.status == 401) {
            setAuthExpired(true);
            setLoadingTeam(false);
            return;
        }
        setAuthExpired(false);
        setTeamAccounts(decodeTeamAccounts(r.json));
        setLoadingTeam(false);
    });
}

void Store::refreshLimits()
{
    if (!isAdmin() || m_refreshingLimits)
        return;
    setRefreshingLimits(true);
    postAuthedStatus(QStringLiteral("/api/refresh-limits"), QJsonObject(), [this](const HttpReply &) {
        setRefreshingLimits(false);
        loadTeam();
    });
}

int Store::teamOnline() const { return teamCounts(m_teamAccounts).online; }
int Store::teamWithTelemetry() const { return teamCounts(m_teamAccounts).withTelemetry; }
double Store::totalCost() const { return teamCounts(m_teamAccounts).totalCost; }
int Store::hotAccounts() const { return teamCounts(m_teamAccounts).hot; }
