// The user's own limits and telemetry, and the team's alerts.
#include "store/store.h"

#include "core/decode.h"
#include "store/writes.h"

#include <QJsonArray>

#include <algorithm>
#include <limits>

namespace {
const QString kAlertsPath = QStringLiteral("/api/events?limit=100");
} // namespace

void Store::refreshHome()
{
    if (m_home->accounts().isEmpty())
        m_home->setLoading(true);
    static const QString path = QStringLiteral("/api/my/status");
    getKept(path, [this](const HttpReply &r) {
        // A failed load keeps the gauges it showed; the screens say how old they are. A refusal
        // here is not read as a lost role: this is the call that learns the role after one.
        if (answer::sort(r, answer::Kind::Load) == answer::Verdict::Refused || loaded(r) != answer::Verdict::Ok) {
            m_home->setLoading(false);
            return;
        }
        const decode::HomeStatus h = decode::homeStatus(r.json);
        m_home->setAccounts(h.accounts);
        if (h.hasTelemetry) {
            m_home->setTelemetryOk(h.telemetryOk);
            m_home->setLastSeen(h.lastSeen);
        }
        if (h.hasMember) {
            setName(h.memberName.value_or(m_name));
            setRole(h.memberRole.value_or(m_role));
        }
        keepTag(path, r.etag);
        m_home->setLoading(false);
    });
}

void Store::loadAlerts()
{
    if (!isAdmin())
        return;
    getKept(kAlertsPath, [this](const HttpReply &r) {
        if (!isAdmin())
            return; // the server made the user a non-administrator meanwhile
        if (loaded(r) != answer::Verdict::Ok)
            return;
        const decode::Alerts a = decode::alerts(r.json);
        m_home->setAlerts(a.events);
        m_home->setAlertsUnread(int(std::clamp<qint64>(a.unread, 0, std::numeric_limits<int>::max())));
        keepTag(kAlertsPath, r.etag);
    });
}

void Store::markAlertsRead()
{
    if (!isAdmin())
        return;
    QJsonArray ids;
    for (const AlertEvent &e : std::as_const(m_home->alerts()))
        if (!e.ack && e.evId > 0)
            ids.append(e.evId);
    if (ids.isEmpty())
        return;
    postAuthedStatus(QStringLiteral("/api/events/read"), QJsonObject{{QStringLiteral("ids"), ids}},
                     [this, ids](const HttpReply &r) {
        // A failure changes nothing: the events stay unread and the next opening sends them again.
        if (!isAdmin() || !writes::settle(*this, writes::outcome(writes::Write::MarkAlertsRead, r)))
            return;
        QList<AlertEvent> list = m_home->alerts();
        for (AlertEvent &e : list)
            if (ids.contains(QJsonValue(e.evId)))
                e.ack = true;
        m_home->setAlerts(list);
        forgetTag(kAlertsPath); // the list shown is no longer that answer
        const QJsonValue unread = r.json.value(QLatin1String("unread"));
        if (unread.isDouble())
            m_home->setAlertsUnread(int(std::clamp<double>(unread.toDouble(), 0, std::numeric_limits<int>::max())));
    });
}
