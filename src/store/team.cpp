// The team's accounts: load, server-side limits refresh, and the counts the screens show.
#include "store/store.h"

#include "core/teamanswer.h"
#include "store/writes.h"

#include <QtConcurrent/QtConcurrentRun>

void Store::loadTeam()
{
    if (!isAdmin())
        return;
    setLoadingTeam(m_teamAccounts.isEmpty());
    // Only the newest load applies: a reload after a write must not be overwritten by an older
    // load that happens to answer last. The newest one also ends the spinner.
    const quint64 ticket = m_teamLoads.take();
    // The body is parsed and decoded on a worker thread: a team of thousands of accounts is an
    // answer of megabytes, and the window must not stall on it every 30 seconds. The list is
    // still assigned here, on the main thread.
    static const QString path = QStringLiteral("/api/accounts");
    getKept(path, [this, ticket](const HttpReply &r) {
        if (!m_teamLoads.isNewest(ticket))
            return;
        // The server may have made the user a non-administrator meanwhile: not theirs to see.
        if (!isAdmin()) {
            setLoadingTeam(false);
            return;
        }
        if (loaded(r) != answer::Verdict::Ok) {
            setLoadingTeam(false);
            return;
        }
        QtConcurrent::run(decodeTeamAnswer, r.body).then(this, [this, ticket, gen = generation(), tag = r.etag](const QList<TeamAcct> &list) {
            // While it was decoded a newer load may have started, or the session ended.
            if (!m_teamLoads.isNewest(ticket) || gen != generation() || !isAdmin())
                return;
            applyTeamAccounts(list);
            keepTag(path, tag);
            setLoadingTeam(false);
        });
    }, false);
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
    postAuthedStatus(QStringLiteral("/api/refresh-limits"), QJsonObject(), [this](const HttpReply &r) {
        setRefreshingLimits(false);
        if (writes::settle(*this, writes::outcome(writes::Write::RefreshLimits, r)))
            loadTeam();
    });
}

int Store::teamOnline() const { return teamCounts(m_teamAccounts).online; }
int Store::teamWithTelemetry() const { return teamCounts(m_teamAccounts).withTelemetry; }
double Store::totalCost() const { return teamCounts(m_teamAccounts).totalCost; }
int Store::hotAccounts() const { return teamCounts(m_teamAccounts).hot; }
