// Statistics, mirror spend, seven-day results and activity, all computed from the activity
// history (one row per session: who, which account and project, time, cost, points, code).
#include "server.h"

#include <QDateTime>
#include <QHash>
#include <QSqlQuery>
#include <QTimeZone>

#include <algorithm>
#include <cmath>

int intParam(const Ctx &c, const QString &key, int fallback, int lo, int hi) {
    if (!c.has(key)) return fallback;
    bool ok = false;
    const int v = c.param(key).toInt(&ok);
    if (!ok || v < lo || v > hi)
        TeamServer::refuse(400, QStringLiteral("%1: число от %2 до %3").arg(key).arg(lo).arg(hi));
    return v;
}

namespace {

constexpr double kDay = 86400.0;

qint64 longParam(const Ctx &c, const QString &key) {
    bool ok = false;
    const qint64 v = c.param(key).toLongLong(&ok);
    if (!c.has(key) || !ok || v < 0 || v > 32503680000LL)
        TeamServer::refuse(400, QStringLiteral("%1: время в секундах Unix").arg(key));
    return v;
}

QJsonValue orNull(bool has, double v) { return has ? QJsonValue(v) : QJsonValue(QJsonValue::Null); }

} // namespace

// Built once per change of the history (or of the names in it) and kept for a minute at most,
// since the window slides with the clock.
Reply TeamServer::stats(Ctx &c) {
    const QString scope = c.has("scope") ? c.param("scope") : QStringLiteral("week");
    if (scope != QLatin1String("week") && scope != QLatin1String("month"))
        return fail(400, QStringLiteral("scope: week или month"));
    if (auto r = m_stats.fresh(scope, {m_db.version(Topic::Team), m_db.version(Topic::Activity)}, now())) return *r;
    offload();
    std::lock_guard building(m_stats.building);
    const Stamp current{m_db.version(Topic::Team), m_db.version(Topic::Activity)};
    if (auto r = m_stats.fresh(scope, current, now())) return *r;
    return m_stats.store(scope, current, now() + 60, buildStats(scope));
}

QByteArray TeamServer::buildStats(const QString &scope) {
    const double t = now();
    const double from = t - (scope == QLatin1String("week") ? 7 : 30) * kDay;
    const QVariantList range{from};

    QJsonArray members;
    for (QSqlQuery q = m_db.exec(
             "SELECT a.member_id, COALESCE(m.name, a.member_id), SUM(a.points), SUM(a.cost_usd) FROM activity a "
             "LEFT JOIN members m ON m.id = a.member_id WHERE a.member_id <> '' AND a.started_at >= ? "
             "GROUP BY a.member_id, m.name ORDER BY SUM(a.points) DESC",
             range);
         q.next();)
        members.append(QJsonObject{{"member_id", q.value(0).toString()}, {"name", q.value(1).toString()},
                                   {"points", q.value(2).toDouble()}, {"cost_usd", q.value(3).toDouble()}});

    // Per account: all points, and the part used outside the coding tool (no person attached).
    QJsonArray accounts;
    for (QSqlQuery q = m_db.exec(
             "SELECT a.provider, a.email, SUM(a.points), SUM(CASE WHEN a.member_id = '' THEN a.points ELSE 0 END), "
             "COALESCE(s.seven_day_resets_at, 0) FROM activity a LEFT JOIN account_state s "
             "ON s.provider = a.provider AND s.email = a.email WHERE a.started_at >= ? "
             "GROUP BY a.provider, a.email, s.seven_day_resets_at ORDER BY SUM(a.points) DESC",
             range);
         q.next();) {
        double resetsAt = q.value(4).toDouble();
        if (resetsAt > 0 && resetsAt <= t) resetsAt += std::ceil((t - resetsAt) / (7 * kDay) + 1e-9) * 7 * kDay;
        accounts.append(QJsonObject{{"provider", q.value(0).toString()}, {"email", q.value(1).toString()},
                                    {"total_points", q.value(2).toDouble()}, {"residual_points", q.value(3).toDouble()},
                                    {"window", QJsonObject{{"resets_at", resetsAt}}}});
    }

    QJsonArray sources;
    double total = 0;
    QList<QJsonObject> rows;
    for (QSqlQuery q = m_db.exec("SELECT source, SUM(cost_usd), SUM(sessions) FROM activity WHERE started_at >= ? "
                                 "GROUP BY source ORDER BY SUM(cost_usd) DESC",
                                 range);
         q.next();) {
        total += q.value(1).toDouble();
        rows.append(QJsonObject{{"source", q.value(0).toString()}, {"cost_usd", q.value(1).toDouble()},
                                {"sessions", q.value(2).toLongLong()}});
    }
    for (QJsonObject &r : rows) {
        r["pct"] = total > 0 ? r.value("cost_usd").toDouble() / total * 100.0 : 0.0;
        sources.append(r);
    }
    return json(QJsonObject{{"ok", true}, {"scope", scope}, {"members", members}, {"accounts", accounts},
                            {"sources", sources}})
        .body;
}

Reply TeamServer::mirrors(Ctx &c) {
    const int days = intParam(c, "days", 30, 1, 365);
    offload();
    // Mirror accounts are the key-based ones with a budget: their price is spend per `days`
    // days, so one day's share of it is today's limit.
    const QDateTime midnight = QDateTime(QDateTime::currentDateTimeUtc().date(), QTime(0, 0), QTimeZone::utc());
    const double dayStart = midnight.toSecsSinceEpoch();
    QJsonArray list;
    for (QSqlQuery q = m_db.exec(
             "SELECT r.provider, r.email, r.price, r.currency, "
             "(SELECT COALESCE(SUM(a.cost_usd), 0) FROM activity a WHERE a.provider = r.provider "
             " AND a.email = r.email AND a.started_at >= ?) FROM registry r "
             "WHERE r.auth_type = 'api_key' AND r.price > 0 ORDER BY r.provider, r.email",
             {dayStart});
         q.next();) {
        const double limit = std::round(q.value(2).toDouble() / days * 100.0) / 100.0;
        const double today = q.value(4).toDouble();
        list.append(QJsonObject{{"provider", q.value(0).toString()}, {"account_email", q.value(1).toString()},
                                {"today_usd", std::round(today * 100) / 100}, {"computed_limit_usd", limit},
                                {"pct", limit > 0 ? std::round(today / limit * 1000.0) / 10 : 0.0}, {"days", days}});
    }
    return json(QJsonObject{{"ok", true}, {"mirrors", list}});
}

Reply TeamServer::teamResult(Ctx &c) {
    const int days = intParam(c, "days", 7, 1, 90);
    offload();
    QList<QJsonObject> rows;
    for (QSqlQuery q = m_db.exec(
             "SELECT a.member_id, COALESCE(m.name, a.member_id), SUM(lines_added), SUM(lines_removed), SUM(commits), "
             "SUM(prs), SUM(accepts), SUM(rejects), SUM(output_tokens), SUM(cost_usd), SUM(seconds) "
             "FROM activity a LEFT JOIN members m ON m.id = a.member_id "
             "WHERE a.member_id <> '' AND a.started_at >= ? GROUP BY a.member_id, m.name",
             {now() - days * kDay});
         q.next();) {
        const qint64 added = q.value(2).toLongLong(), commits = q.value(4).toLongLong(), prs = q.value(5).toLongLong();
        const qint64 accepts = q.value(6).toLongLong(), rejects = q.value(7).toLongLong();
        const double cost = q.value(9).toDouble();
        const bool hasRate = accepts + rejects > 0;
        const double rate = hasRate ? double(accepts) / double(accepts + rejects) : 0;
        // Shipped work weighs most; a low acceptance rate pulls the score down.
        const double score = std::round((added / 100.0 + commits * 2.0 + prs * 5.0) * (hasRate ? 0.5 + rate / 2 : 0.75) * 10) / 10;
        rows.append(QJsonObject{{"member_id", q.value(0).toString()}, {"name", q.value(1).toString()},
                                {"lines_added", added}, {"lines_removed", q.value(3).toLongLong()},
                                {"commits", commits}, {"prs", prs}, {"accepts", accepts}, {"rejects", rejects},
                                {"accept_rate", orNull(hasRate, rate)}, {"output_tokens", q.value(8).toLongLong()},
                                {"cost_usd", cost}, {"active_user_s", q.value(10).toLongLong()},
                                {"cost_per_line", orNull(added > 0, added > 0 ? cost / added : 0)},
                                {"result_score", score}});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const QJsonObject &a, const QJsonObject &b) {
        return a.value("result_score").toDouble() > b.value("result_score").toDouble();
    });
    QJsonArray out;
    for (const QJsonObject &r : rows) out.append(r);
    return json(QJsonObject{{"ok", true}, {"days", days}, {"members", out}});
}

Reply TeamServer::analytics(Ctx &c) {
    const qint64 to = longParam(c, "to");
    qint64 from = longParam(c, "from");
    const int tz = intParam(c, "tz", 0, -840, 840);
    if (from >= to || to - from > 366 * qint64(kDay)) return fail(400, QStringLiteral("Неверный период"));
    offload();
    // The range starts at the viewer's local midnight of its first day, so "7 days" covers whole
    // local days; tz is minutes west of UTC.
    const qint64 local = from - tz * 60LL;
    from = local - ((local % qint64(kDay)) + qint64(kDay)) % qint64(kDay) + tz * 60LL;

    struct Project { QString name; bool work; qint64 seconds; double cost; };
    struct Person { QJsonObject obj; QList<Project> projects; qint64 active = 0; };
    QHash<QString, Person> people;
    QStringList order;
    for (QSqlQuery q = m_db.exec(
             "SELECT a.member_id, COALESCE(m.name, a.member_id), "
             "CASE WHEN COALESCE(m.online, 0) <> 0 AND COALESCE(m.active, 0) <> 0 THEN 1 ELSE 0 END, "
             "COALESCE(m.last_seen, 0), a.project, a.is_work, SUM(a.seconds), SUM(a.cost_usd), "
             "SUM(a.lines_added), SUM(a.sessions), MAX(a.started_at + a.seconds) FROM activity a "
             "LEFT JOIN members m ON m.id = a.member_id WHERE a.member_id <> '' AND a.started_at >= ? "
             "AND a.started_at < ? GROUP BY a.member_id, m.name, m.online, m.active, m.last_seen, a.project, a.is_work "
             "ORDER BY a.member_id",
             {double(from), double(to)});
         q.next();) {
        const QString id = q.value(0).toString();
        if (!people.contains(id)) {
            order << id;
            people.insert(id, Person{QJsonObject{{"member_id", id}, {"name", q.value(1).toString()},
                                                 {"online", q.value(2).toBool()}, {"last_seen", q.value(3).toDouble()},
                                                 {"work_seconds", 0}, {"offwork_seconds", 0}, {"cost_usd", 0},
                                                 {"lines_added", 0}, {"sessions", 0}},
                                     {}});
        }
        Person &p = people[id];
        const bool work = q.value(5).toBool();
        const qint64 secs = q.value(6).toLongLong();
        const double cost = q.value(7).toDouble();
        p.active += secs;
        const char *bucket = work ? "work_seconds" : "offwork_seconds";
        p.obj[bucket] = p.obj.value(bucket).toInteger() + secs;
        p.obj["cost_usd"] = p.obj.value("cost_usd").toDouble() + cost;
        p.obj["lines_added"] = p.obj.value("lines_added").toInteger() + q.value(8).toLongLong();
        p.obj["sessions"] = p.obj.value("sessions").toInteger() + q.value(9).toLongLong();
        p.obj["last_seen"] = std::max(p.obj.value("last_seen").toDouble(), q.value(10).toDouble());
        p.projects.append({q.value(4).toString(), work, secs, cost});
    }
    QList<Person> list;
    for (const QString &id : order) list.append(people.value(id));
    std::stable_sort(list.begin(), list.end(), [](const Person &a, const Person &b) { return a.active > b.active; });
    QJsonArray out;
    for (Person &p : list) {
        std::stable_sort(p.projects.begin(), p.projects.end(),
                         [](const Project &a, const Project &b) { return a.seconds > b.seconds; });
        QJsonArray projects;
        for (const Project &pr : p.projects)
            projects.append(QJsonObject{{"name", pr.name}, {"is_work", pr.work}, {"seconds", pr.seconds},
                                        {"cost_usd", pr.cost}});
        p.obj["active_seconds"] = p.active;
        p.obj["projects"] = projects;
        out.append(p.obj);
    }
    return json(QJsonObject{{"ok", true}, {"from", from}, {"to", to}, {"tz", tz}, {"people", out}});
}
