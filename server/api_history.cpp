// Usage history: one account's limit windows over the last days, and the team's cost per day.
#include "history.h"
#include "server.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QTimeZone>

#include <cmath>

namespace {

constexpr double kDay = 86400.0;

// Percent and times as the client shows them: a tenth of a percent, whole seconds.
double tenth(double v) { return std::round(v * 10) / 10; }

} // namespace

// Administrators (with a session) see every account; anyone else the accounts used on their own
// machines or owned by them, which are the accounts of their own status.
Reply TeamServer::accountHistory(Ctx &c) {
    const QString provider = c.param("provider"), email = c.param("email");
    if (provider.isEmpty() || email.isEmpty() || provider.size() > 64 || email.size() > 320)
        return fail(400, QStringLiteral("Нужны provider и email"));
    const int days = intParam(c, QStringLiteral("days"), 7, 1, 30);
    offload();
    const QVariantList k{provider, email};
    if (!(c.who.admin() && c.who.session)) {
        const bool own = m_db.scalar("SELECT 1 FROM devices WHERE provider = ? AND email = ? AND member_id = ? UNION "
                                     "SELECT 1 FROM registry WHERE provider = ? AND email = ? AND owner = ?",
                                     k + QVariantList{c.who.id} + k + QVariantList{c.who.id})
                                 .isValid();
        if (!own) return fail(403, QStringLiteral("Недостаточно прав"));
    }
    const double t = now();
    QJsonObject windows;
    bool any = false;
    for (const char *window : {"five_hour", "seven_day"}) {
        QJsonArray list;
        for (const history::Point &p : history::points(m_db, provider, email, QLatin1String(window), t - days * kDay))
            list.append(QJsonArray{std::round(p.ts), tenth(p.pct), std::round(p.resetsAt)});
        any = any || !list.isEmpty();
        windows.insert(QLatin1String(window), QJsonObject{{"points", list}});
    }
    if (!any) {
        const bool known = m_db.scalar("SELECT 1 FROM registry WHERE provider = ? AND email = ? UNION "
                                       "SELECT 1 FROM account_state WHERE provider = ? AND email = ?",
                                       k + k)
                               .isValid();
        if (!known) return fail(404, QStringLiteral("Аккаунт не найден"));
    }
    return json(QJsonObject{{"ok", true}, {"provider", provider}, {"email", email}, {"days", days},
                            {"now", std::round(t)}, {"windows", windows}});
}

// Days are UTC days; a day without use has no rows.
Reply TeamServer::costHistory(Ctx &c) {
    const int days = intParam(c, QStringLiteral("days"), 30, 1, history::kCostDays);
    offload();
    const QDate today = QDateTime::currentDateTimeUtc().date();
    const QString from = today.addDays(1 - days).toString(Qt::ISODate);
    QJsonArray rows;
    for (QSqlQuery q = m_db.exec("SELECT day, provider, SUM(cost_usd), SUM(tokens_in), SUM(tokens_out) FROM usage_daily "
                                 "WHERE day >= ? GROUP BY day, provider ORDER BY day, provider",
                                 {from});
         q.next();)
        rows.append(QJsonObject{{"day", q.value(0).toString()}, {"provider", q.value(1).toString()},
                                {"cost_usd", std::round(q.value(2).toDouble() * 100) / 100},
                                {"tokens_in", q.value(3).toDouble()}, {"tokens_out", q.value(4).toDouble()}});
    return json(QJsonObject{{"ok", true}, {"days", days}, {"from", from},
                            {"to", today.toString(Qt::ISODate)}, {"rows", rows}});
}
