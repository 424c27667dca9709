// Team statistics: three endpoints fetched together, published as five lists.
#include "store/store.h"

#include "core/decode.h"

#include <QUrl>
#include <memory>

namespace {
// What the three requests of one load bring back; published once all have answered.
struct StatsAnswers {
    QJsonObject stats, results, mirrors;
    QString statsPath;
    QByteArray statsTag; // empty when the statistics were unchanged
    int pending = 3;
    bool failed = false; // one of the three had no usable answer: nothing of this load is shown
};
} // namespace

void Store::loadStats()
{
    if (!isAdmin())
        return;
    m_stats->setLoading(m_stats->members().isEmpty() && m_stats->results().isEmpty());

    // Only the newest load publishes: a slow answer for a scope the user has already left
    // must not overwrite the one now selected.
    const quint64 seq = m_statsLoads.take();
    auto answers = std::make_shared<StatsAnswers>();

    auto finish = [this, seq, answers] {
        if (--answers->pending > 0)
            return;
        // The session passed to a non-administrator meanwhile: nothing of this is theirs, and no
        // newer load will come to end the spinner.
        if (!isAdmin()) {
            m_stats->setLoading(false);
            return;
        }
        if (!m_statsLoads.isNewest(seq))
            return; // a newer load owns the spinner and the lists
        if (answers->failed) {
            m_stats->setLoading(false);
            return;
        }
        const decode::Stats s = decode::stats(answers->stats);
        m_stats->setMembers(s.members);
        m_stats->setAccounts(s.accounts);
        m_stats->setSources(s.sources);
        m_stats->setResults(decode::results(answers->results));
        m_stats->setMirrors(decode::mirrors(answers->mirrors));
        if (!answers->statsTag.isEmpty())
            keepTag(answers->statsPath, answers->statsTag, answers->stats);
        m_stats->setLoading(false);
    };
    // The lists are published together or not at all: a screen never mixes a fresh answer
    // with an emptied one.
    auto into = [this, finish](QJsonObject StatsAnswers::*slot, const std::shared_ptr<StatsAnswers> &a) {
        return [this, finish, slot, a](const HttpReply &r) {
            if (isAdmin() && loaded(r) == answer::Verdict::Ok)
                (*a).*slot = r.json;
            else
                a->failed = true;
            finish();
        };
    };

    // The team's statistics are polled: unchanged, they are published again from the answer kept.
    const QString statsPath = QStringLiteral("/api/stats?scope=") + keys::toKey(m_stats->scope());
    getKept(statsPath, [this, finish, answers, statsPath](const HttpReply &r) {
        const answer::Verdict v = isAdmin() ? loaded(r) : answer::Verdict::Refused;
        if (v == answer::Verdict::Unchanged && m_keptJson.contains(statsPath))
            answers->stats = m_keptJson.value(statsPath);
        else if (v == answer::Verdict::Ok)
            answers->stats = r.json, answers->statsTag = r.etag;
        else
            answers->failed = true;
        answers->statsPath = statsPath;
        finish();
    });
    getStatus(QStringLiteral("/api/team/result?days=7"), into(&StatsAnswers::results, answers));
    getStatus(QStringLiteral("/api/mirrors/limits?days=30"), into(&StatsAnswers::mirrors, answers));
}

void Store::setStatScopeAndLoad(Stat::Scope scope)
{
    if (scope == m_stats->scope())
        return;
    m_stats->setScope(scope);
    loadStats();
}
