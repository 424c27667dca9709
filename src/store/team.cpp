// The team's accounts: load, server-side limits refresh, and the counts the screens show.
#include "store/store.h"

#include "core/teamanswer.h"

#include <QtConcurrent/QtConcurrentRun>

void Store::loadTeam()
{
    if (!isAdmin())
        return;
    setLoadingTeam(m_teamAccounts.isEmpty());
    // The body is parsed and decoded on a worker thread: a team of thousands of accounts is a
    // answer of megabytes, and the window must not stall on it every 30 seconds. The list is
    // still assigned here, on the main thread.
    getStatusUnparsed(QStringLiteral("/api/accounts"), [this](const HttpReply &r) {
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
        const quint64 arrival = ++m_teamArrivals;
        QtConcurrent::run(decodeTeamAnswer, r.body).then(this, [this, arrival](const QList<TeamAcct> &list) {
            // Answers are ordered by arrival, as if decoded at once: a later one already
            // assigned wins over this one.
            if (arrival < m_teamApplied || !isAdmin())
                return; // or the session that asked has ended meanwhile
            m_teamApplied = arrival;
            applyTeamAccounts(list);
            setLoadingTeam(false);
        });
    });
}

void Store::applyTeamAccounts(const QList<TeamAcct> &list)
{
    // The list being replaced is let go of on a worker thread: freeing thousands of records,
    // with their devices and sessions, would cost the main thread more than everything else.
    QList<TeamAcct> previous = m_teamAccounts;
    setTeamAccounts(list);
    if (previous.size() > 64)
        (void)QtConcurrent::run([old = std::move(previous)]() mutable { old = QList<TeamAcct>(); });
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
