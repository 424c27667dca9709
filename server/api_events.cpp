// Marking alerts read: the administrator's alert list sends the events it has shown, so the
// unread count on the dashboard falls to what nobody has seen yet.
#include "server.h"

#include <QSqlQuery>

namespace {
constexpr int kMaxIds = 1000; // the list shows at most this many; more is no honest request
} // namespace

Reply TeamServer::readEvents(Ctx &c) {
    const QJsonValue ids = c.body.value(QStringLiteral("ids"));
    if (!ids.isArray()) return fail(400, QStringLiteral("ids: список номеров событий"));
    const QJsonArray list = ids.toArray();
    if (list.size() > kMaxIds) return fail(400, QStringLiteral("ids: не больше 1000 номеров"));
    QVariantList numbers;
    for (const QJsonValue &v : list) {
        const double d = v.toDouble(-1);
        if (!v.isDouble() || d < 1 || d > 9e15 || d != qint64(d))
            return fail(400, QStringLiteral("ids: целые номера событий"));
        numbers.append(qint64(d));
    }
    Tx tx(m_db);
    for (const QVariant &id : numbers)
        m_db.exec("UPDATE events SET ack = 1 WHERE id = ? AND ack = 0", {id});
    tx.commit();
    const qint64 unread = m_db.scalar("SELECT COUNT(*) FROM events WHERE ack = 0").toLongLong();
    return json(QJsonObject{{"ok", true}, {"unread", unread}});
}
