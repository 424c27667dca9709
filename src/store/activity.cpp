// Team activity over the chosen range of days.
#include "store/store.h"

#include "core/clock.h"
#include "core/decode.h"

#include <QDateTime>
#include <cmath>

void Store::loadActivity()
{
    if (!isAdmin())
        return;
    m_activity->setLoading(m_activity->people().isEmpty());

    const qint64 to = qint64(std::trunc(Clock::now()));
    const qint64 from = to - qint64(m_activity->range()) * 86400;
    // Minutes west of UTC, as a browser's getTimezoneOffset gives it: UTC+3 is -180.
    const int eastSeconds = Clock::zone().offsetFromUtc(QDateTime::fromSecsSinceEpoch(to, Qt::UTC));
    const int tz = -eastSeconds / 60;
    const QString path = QStringLiteral("/api/team/analytics?from=%1&to=%2&tz=%3").arg(from).arg(to).arg(tz);

    // Only the newest load publishes, so an answer for a range the user has left is dropped.
    const quint64 seq = m_activityLoads.take();
    getStatus(path, [this, seq](const HttpReply &r) {
        if (!isAdmin()) {
            m_activity->setLoading(false); // the session changed hands; no newer load will end it
            return;
        }
        if (!m_activityLoads.isNewest(seq))
            return;
        if (loaded(r) == answer::Verdict::Ok)
            m_activity->setPeople(decode::activity(r.json));
        m_activity->setLoading(false);
    });
}

void Store::setActRangeAndLoad(int days)
{
    m_activity->setRange(days > 0 ? days : 7);
    loadActivity();
}
