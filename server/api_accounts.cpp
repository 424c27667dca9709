// Team accounts (registry merged with limits and telemetry), the registry writes, the member's
// own status, alerts and the per-person breakdown of an account.
#include "server.h"

#include "intake.h"

#include <QDate>
#include <QHash>
#include <QJsonDocument>
#include <QSet>
#include <QSqlQuery>

#include <algorithm>
#include <cmath>

namespace {

const QStringList kProviders = {"claude", "codex", "gemini", "kimi", "minimax",
                                "glm", "deepseek", "qwen", "openrouter", "other"};
constexpr double kFiveHours = 5 * 3600.0;
constexpr double kWeek = 7 * 86400.0;

QString key(const QString &provider, const QString &email) { return provider + QChar(0x1f) + email; }

// A window whose reset has passed has started over: its use is unknown until new figures arrive,
// so it reads as 0 and its next reset is carried forward by whole windows.
void roll(double &pct, double &resetsAt, double length, double now) {
    if (resetsAt <= 0 || resetsAt > now) return;
    pct = 0;
    resetsAt += std::ceil((now - resetsAt) / length + 1e-9) * length;
}

QString severityOf(double five, double seven) {
    const double worst = std::max(five, seven);
    return worst >= 90 ? "critical" : worst >= 75 ? "warning" : "ok";
}

struct Person {
    QString name;
    bool online = false;
};

} // namespace

// Served from memory while the team's data and the clock leave it as it was: a rebuild for 2,000
// accounts takes the better part of a second, a copy from memory nothing.
Reply TeamServer::getAccounts(Ctx &) {
    // The accounts show what they spent, which is kept with the activity.
    if (auto r = m_accounts.fresh({m_db.version(Topic::Team), m_db.version(Topic::Activity)}, now())) return *r;
    offload();
    std::lock_guard building(m_accounts.building);
    const Stamp current{m_db.version(Topic::Team), m_db.version(Topic::Activity)};
    if (auto r = m_accounts.fresh(current, now())) return *r;  // built meanwhile by another request
    double until = 0;
    const QByteArray body = buildAccounts(&until);
    return m_accounts.store(current, until, body);
}

QByteArray TeamServer::buildAccounts(double *validUntil) {
    const double t = now();
    // A window that resets or a burn forecast that passes changes the answer by itself.
    double until = t + 3600;
    auto expires = [&](double at) {
        if (at > t) until = std::min(until, at);
    };
    QHash<QString, Person> people;
    for (QSqlQuery q = m_db.exec("SELECT id, name, online, active FROM members"); q.next();)
        people.insert(q.value(0).toString(), {q.value(1).toString(), q.value(2).toBool() && q.value(3).toBool()});
    auto personName = [&](const QString &id) {
        const auto it = people.constFind(id);
        return it == people.constEnd() || it->name.isEmpty() ? id : it->name;
    };

    QHash<QString, QJsonObject> accounts;
    QStringList order;
    auto entry = [&](const QString &provider, const QString &email) -> QJsonObject & {
        const QString k = key(provider, email);
        if (!accounts.contains(k)) {
            order << k;
            accounts.insert(k, QJsonObject{
                {"email", email}, {"account_email", email}, {"provider", provider}, {"member_id", ""},
                {"member_name", ""}, {"group_name", ""}, {"status", "active"}, {"auth_type", ""},
                {"has_key", false}, {"has_monitor", false}, {"in_registry", false},
                {"five_hour_pct", 0}, {"five_hour_resets_at", 0}, {"seven_day_pct", 0},
                {"seven_day_resets_at", 0}, {"cost_usd", 0}, {"total_input", 0}, {"total_output", 0},
                {"model", ""}, {"version", ""}, {"last_seen", 0}, {"online", false},
                {"has_telemetry", false}, {"plan", ""}, {"price", 0}, {"currency", ""},
                {"pay_method", ""}, {"renew_date", ""}, {"notes", ""}, {"cc_provider", ""},
                {"base_url", ""},
                {"limits", QJsonObject{{"source", ""}, {"fetched_at", 0}, {"severity", "ok"},
                                       {"extra_usage_pct", -1}, {"weekly_scoped", QJsonArray{}}}},
                {"five_hour_burn", QJsonObject{{"eta", 0}}},
            });
        }
        return accounts[k];
    };

    QHash<QString, QString> registryModel;
    for (QSqlQuery q = m_db.exec(
             "SELECT provider, email, group_name, owner, plan, price, currency, pay_method, renew_date, "
             "status, notes, auth_type, cc_provider, base_url, model, "
             "CASE WHEN api_key_box IS NOT NULL OR (api_key IS NOT NULL AND api_key <> '') THEN 1 ELSE 0 END "
             "FROM registry");
         q.next();) {
        QJsonObject &a = entry(q.value(0).toString(), q.value(1).toString());
        const QString owner = q.value(3).toString();
        a["in_registry"] = true;
        a["group_name"] = q.value(2).toString();
        a["member_id"] = owner;
        a["member_name"] = people.contains(owner) ? personName(owner) : QString();
        a["plan"] = q.value(4).toString();
        a["price"] = q.value(5).isNull() ? 0.0 : q.value(5).toDouble();
        a["currency"] = q.value(6).toString();
        a["pay_method"] = q.value(7).toString();
        a["renew_date"] = q.value(8).toString();
        a["status"] = q.value(9).toString();
        a["notes"] = q.value(10).toString();
        a["auth_type"] = q.value(11).toString();
        a["cc_provider"] = q.value(12).toString();
        a["base_url"] = q.value(13).toString();
        a["has_key"] = q.value(15).toBool();
        if (!q.value(14).toString().isEmpty()) registryModel.insert(key(q.value(0).toString(), q.value(1).toString()), q.value(14).toString());
    }

    for (QSqlQuery q = m_db.exec(
             "SELECT provider, email, five_hour_pct, five_hour_resets_at, seven_day_pct, seven_day_resets_at, "
             "limits_source, fetched_at, extra_usage_pct, weekly_scoped, burn_eta, has_monitor, has_telemetry, "
             "cost_usd, total_input, total_output, model, version, last_seen, online FROM account_state");
         q.next();) {
        QJsonObject &a = entry(q.value(0).toString(), q.value(1).toString());
        double five = q.value(2).toDouble(), fiveAt = q.value(3).toDouble();
        double seven = q.value(4).toDouble(), sevenAt = q.value(5).toDouble();
        roll(five, fiveAt, kFiveHours, t);
        roll(seven, sevenAt, kWeek, t);
        expires(fiveAt);
        expires(sevenAt);
        expires(q.value(10).toDouble());
        a["five_hour_pct"] = five;
        a["five_hour_resets_at"] = fiveAt;
        a["seven_day_pct"] = seven;
        a["seven_day_resets_at"] = sevenAt;
        const double eta = q.value(10).toDouble();
        a["five_hour_burn"] = QJsonObject{{"eta", eta > t && eta < fiveAt ? eta : 0.0}};
        a["has_monitor"] = q.value(11).toBool();
        a["has_telemetry"] = q.value(12).toBool();
        a["cost_usd"] = q.value(13).toDouble();
        a["total_input"] = q.value(14).toDouble();
        a["total_output"] = q.value(15).toDouble();
        a["model"] = q.value(16).toString();
        a["version"] = q.value(17).toString();
        a["last_seen"] = q.value(18).toDouble();
        a["online"] = q.value(19).toBool();
        QJsonArray scoped;
        for (const QJsonValue &v : QJsonDocument::fromJson(q.value(9).toByteArray()).array())
            if (v.isObject()) scoped.append(v);
        a["limits"] = QJsonObject{
            {"source", q.value(6).toString()},
            {"fetched_at", q.value(7).toDouble()},
            {"severity", severityOf(five, seven)},
            {"extra_usage_pct", q.value(8).isNull() ? -1.0 : q.value(8).toDouble()},
            {"weekly_scoped", scoped},
        };
    }

    QHash<QString, QJsonArray> devices, sessions;
    QHash<QString, QList<QPair<QString, bool>>> users;
    auto addUser = [&](const QString &k, const QString &memberId, bool online) {
        if (memberId.isEmpty()) return;
        auto &list = users[k];
        const QString name = personName(memberId);
        for (auto &u : list)
            if (u.first == name) {
                u.second = u.second || online;
                return;
            }
        list.append({name, online});
    };
    for (QSqlQuery q = m_db.exec(
             "SELECT provider, email, device_host, os_user, member_id, model, version, br_rev, project, "
             "five_hour_pct, seven_day_pct, cost_usd, last_seen, online FROM devices ORDER BY id");
         q.next();) {
        const QString k = key(q.value(0).toString(), q.value(1).toString());
        if (!accounts.contains(k)) continue;
        const QString member = q.value(4).toString();
        devices[k].append(QJsonObject{
            {"device_host", q.value(2).toString()}, {"os_user", q.value(3).toString()},
            {"person", personName(member)}, {"member_id", member}, {"model", q.value(5).toString()},
            {"version", q.value(6).toString()}, {"br_rev", q.value(7).toString()},
            {"project", q.value(8).toString()}, {"five_hour_pct", q.value(9).toDouble()},
            {"seven_day_pct", q.value(10).toDouble()}, {"cost_usd", q.value(11).toDouble()},
            {"last_seen", q.value(12).toDouble()}, {"online", q.value(13).toBool()}});
        addUser(k, member, q.value(13).toBool());
    }
    for (QSqlQuery q = m_db.exec("SELECT provider, email, project, member_id, model, active, device_host, started_at, "
                                 "last_activity FROM live_sessions ORDER BY active DESC, started_at DESC, id");
         q.next();) {
        const QString k = key(q.value(0).toString(), q.value(1).toString());
        if (!accounts.contains(k)) continue;
        sessions[k].append(QJsonObject{{"project", q.value(2).toString()},
                                       {"person", personName(q.value(3).toString())},
                                       {"model", q.value(4).toString()},
                                       {"active", q.value(5).toBool()},
                                       {"device_host", q.value(6).toString()},
                                       {"started_at", q.value(7).toDouble()},
                                       {"last_activity", q.value(8).toDouble()}});
        addUser(k, q.value(3).toString(), q.value(5).toBool());
    }

    QList<QJsonObject> list;
    list.reserve(order.size());
    for (const QString &k : order) {
        QJsonObject a = accounts.value(k);
        if (registryModel.contains(k) && a.value("auth_type").toString() == QLatin1String("api_key"))
            a["model"] = registryModel.value(k);
        a["devices"] = devices.value(k);
        a["live_sessions"] = sessions.value(k);
        QJsonArray u;
        for (const auto &p : users.value(k)) u.append(QJsonObject{{"name", p.first}, {"online", p.second}});
        a["users"] = u;
        list.append(a);
    }
    std::stable_sort(list.begin(), list.end(), [](const QJsonObject &a, const QJsonObject &b) {
        return a.value("seven_day_pct").toDouble() > b.value("seven_day_pct").toDouble();
    });
    QJsonArray out;
    for (const QJsonObject &a : list) out.append(a);
    *validUntil = until;
    return json(QJsonObject{{"ok", true}, {"accounts", out}, {"generated_at", t}}).body;
}

Reply TeamServer::refreshLimits(Ctx &) {
    // Nothing is fetched from the providers: window figures arrive only with members' reports,
    // and "fetched_at" stays the moment the newest of them was measured. A refresh ends silent
    // sessions and takes silent machines offline now rather than at the next sweep; a window
    // whose reset has passed already reads 0 % in every answer. The answer tells how fresh the
    // newest reading is.
    Tx tx(m_db);
    const int aged = intake::sweep(m_db, tx, now());
    const double newest = m_db.scalar("SELECT MAX(fetched_at) FROM account_state").toDouble();
    tx.commit();
    return json(QJsonObject{{"ok", true}, {"aged_out", aged}, {"newest_reading_at", newest}});
}

Reply TeamServer::postRegistry(Ctx &c) {
    const QString email = body::text(c.body, "email").trimmed();
    if (email.isEmpty()) return fail(400, QStringLiteral("Укажи email аккаунта"));
    const QString provider = body::text(c.body, "provider").trimmed().toLower();
    if (!kProviders.contains(provider)) return fail(400, QStringLiteral("Неизвестный провайдер"));
    const QString status = body::has(c.body, "status") ? body::text(c.body, "status") : QStringLiteral("active");
    if (status != QLatin1String("active") && status != QLatin1String("hold"))
        return fail(400, QStringLiteral("Статус: active или hold"));
    QString auth = body::text(c.body, "auth_type");
    if (auth.isEmpty()) auth = QStringLiteral("oauth");
    if (auth != QLatin1String("oauth") && auth != QLatin1String("api_key"))
        return fail(400, QStringLiteral("Авторизация: oauth или api_key"));
    QVariant price;  // null: no price
    if (body::has(c.body, "price")) {
        const double p = body::number(c.body, "price");
        if (p < 0 || p > 1e9) return fail(400, QStringLiteral("Неверная цена"));
        price = p;
    }
    const QString renew = body::text(c.body, "renew_date").trimmed();
    if (!renew.isEmpty() && !QDate::fromString(renew, QStringLiteral("yyyy-MM-dd")).isValid())
        return fail(400, QStringLiteral("Дата продления: ГГГГ-ММ-ДД"));
    const QString apiKey = body::text(c.body, "api_key", 4096);
    const QVariantList values{provider, email,
                              body::text(c.body, "group_name").trimmed(), body::text(c.body, "owner", 64).trimmed(),
                              body::text(c.body, "plan").trimmed(), price,
                              body::text(c.body, "currency", 16).trimmed(), body::text(c.body, "pay_method").trimmed(),
                              renew, status, body::text(c.body, "notes", 2000), auth,
                              body::text(c.body, "cc_provider").trimmed(), body::text(c.body, "base_url", 500).trimmed(),
                              body::text(c.body, "model").trimmed(),
                              apiKey.isEmpty() ? QVariant() : QVariant(m_vault.seal(apiKey.toUtf8())), now()};
    Tx tx(m_db);
    const bool existed = m_db.scalar("SELECT 1 FROM registry WHERE provider = ? AND email = ?", {provider, email}).isValid();
    // An empty key field keeps the stored key: COALESCE takes the old value when no new one came.
    m_db.exec("INSERT INTO registry(provider, email, group_name, owner, plan, price, currency, pay_method, "
              "renew_date, status, notes, auth_type, cc_provider, base_url, model, api_key_box, updated_at) "
              "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?) ON CONFLICT(provider, email) DO UPDATE SET "
              "group_name = excluded.group_name, owner = excluded.owner, plan = excluded.plan, "
              "price = excluded.price, currency = excluded.currency, pay_method = excluded.pay_method, "
              "renew_date = excluded.renew_date, status = excluded.status, notes = excluded.notes, "
              "auth_type = excluded.auth_type, cc_provider = excluded.cc_provider, base_url = excluded.base_url, "
              "model = excluded.model, api_key_box = COALESCE(excluded.api_key_box, registry.api_key_box), "
              "api_key = CASE WHEN excluded.api_key_box IS NULL THEN registry.api_key ELSE NULL END, "
              "updated_at = excluded.updated_at",
              values);
    tx.touch(Topic::Team);
    tx.commit();
    return json(QJsonObject{{"ok", true}, {"created", !existed}}, existed ? 200 : 201);
}

Reply TeamServer::deleteRegistry(Ctx &c) {
    const QString provider = c.param("provider"), email = c.param("email");
    if (provider.isEmpty() || email.isEmpty()) return fail(400, QStringLiteral("Нужны provider и email"));
    const QVariantList k{provider, email};
    Tx tx(m_db);
    int removed = 0;
    // The account leaves the team list entirely; its history stays for the statistics.
    for (const char *table : {"registry", "account_state", "devices", "live_sessions"})
        removed += m_db.exec(QStringLiteral("DELETE FROM %1 WHERE provider = ? AND email = ?").arg(QLatin1String(table)), k)
                       .numRowsAffected();
    if (removed == 0) return fail(404, QStringLiteral("Аккаунт не найден"));
    tx.touch(Topic::Team);
    tx.commit();
    m_recent.forget();  // the account's next report from a machine brings it back at once
    return json(QJsonObject{{"ok", true}});
}

// Kept per member until the team's data changes or a window resets; every member's client asks
// for it every 30 seconds.
Reply TeamServer::myStatus(Ctx &c) {
    if (auto r = m_status.fresh(c.who.id, {m_db.version(Topic::Team), 0}, now())) return *r;
    offload();
    std::lock_guard building(m_status.building);
    const Stamp current{m_db.version(Topic::Team), 0};
    if (auto r = m_status.fresh(c.who.id, current, now())) return *r;
    double until = 0;
    const QByteArray body = buildStatus(c.who, &until);
    return m_status.store(c.who.id, current, until, body);
}

QByteArray TeamServer::buildStatus(const Caller &who, double *validUntil) {
    const double t = now();
    double until = t + 3600;
    // The member's own accounts: those used on the member's machines and those the member owns.
    QSqlQuery q = m_db.exec(
        "SELECT a.provider, a.email, s.five_hour_pct, s.five_hour_resets_at, s.seven_day_pct, "
        "s.seven_day_resets_at, s.limits_source, "
        "(SELECT d.project FROM devices d WHERE d.provider = a.provider AND d.email = a.email "
        " AND d.member_id = ? ORDER BY d.last_seen DESC LIMIT 1) "
        "FROM (SELECT provider, email FROM devices WHERE member_id = ? "
        "      UNION SELECT provider, email FROM registry WHERE owner = ?) a "
        "LEFT JOIN account_state s ON s.provider = a.provider AND s.email = a.email "
        "ORDER BY a.provider, a.email",
        {who.id, who.id, who.id});
    QJsonArray accounts;
    while (q.next()) {
        double five = q.value(2).toDouble(), fiveAt = q.value(3).toDouble();
        double seven = q.value(4).toDouble(), sevenAt = q.value(5).toDouble();
        roll(five, fiveAt, kFiveHours, t);
        roll(seven, sevenAt, kWeek, t);
        for (const double at : {fiveAt, sevenAt})
            if (at > t) until = std::min(until, at);
        accounts.append(QJsonObject{{"provider", q.value(0).toString()}, {"account_email", q.value(1).toString()},
                                    {"project", q.value(7).toString()}, {"five_hour_pct", five},
                                    {"five_hour_resets_at", fiveAt}, {"seven_day_pct", seven},
                                    {"seven_day_resets_at", sevenAt},
                                    {"limits_ok", !q.value(6).isNull() && !q.value(6).toString().isEmpty()}});
    }
    QSqlQuery d = m_db.exec("SELECT MAX(last_seen), MAX(online) FROM devices WHERE member_id = ?", {who.id});
    d.next();
    const double lastSeen = std::max(d.value(0).toDouble(),
                                     m_db.scalar("SELECT last_seen FROM members WHERE id = ?", {who.id}).toDouble());
    // Telemetry counts as arriving while the member's tools reported within ten minutes; a
    // heartbeat alone is presence, not telemetry.
    const double telemetryAt = m_db.scalar("SELECT telemetry_at FROM members WHERE id = ?", {who.id}).toDouble();
    const bool pushOk = telemetryAt > 0 && t - telemetryAt < kTelemetryWindow;
    if (pushOk) until = std::min(until, telemetryAt + kTelemetryWindow);
    *validUntil = until;
    return json(QJsonObject{{"ok", true},
                            {"accounts", accounts},
                            {"telemetry", QJsonObject{{"push_ok", pushOk}, {"last_seen", lastSeen}}},
                            {"member", QJsonObject{{"name", who.name}, {"role", who.role}}}})
        .body;
}

Reply TeamServer::events(Ctx &c) {
    int limit = 100;
    if (c.has("limit")) {
        bool ok = false;
        limit = c.param("limit").toInt(&ok);
        if (!ok || limit < 1 || limit > 1000) return fail(400, QStringLiteral("limit: число от 1 до 1000"));
    }
    QJsonArray list;
    for (QSqlQuery q = m_db.exec("SELECT id, ts, severity, title, account_email, ack FROM events "
                                 "ORDER BY ts DESC, id DESC LIMIT ?", {limit});
         q.next();)
        list.append(QJsonObject{{"id", q.value(0).toLongLong()}, {"ts", q.value(1).toDouble()},
                                {"severity", q.value(2).toString()}, {"title", q.value(3).toString()},
                                {"account_email", q.value(4).toString()}, {"ack", q.value(5).toBool()}});
    const qint64 unread = m_db.scalar("SELECT COUNT(*) FROM events WHERE ack = 0").toLongLong();
    return json(QJsonObject{{"ok", true}, {"events", list}, {"unread", unread}});
}

Reply TeamServer::breakdown(Ctx &c) {
    offload();
    const QString provider = c.param("provider"), email = c.param("email");
    const QString scope = c.has("scope") ? c.param("scope") : QStringLiteral("week");
    const QString metric = c.has("metric") ? c.param("metric") : QStringLiteral("seven_day");
    if (provider.isEmpty() || email.isEmpty()) return fail(400, QStringLiteral("Нужны provider и email"));
    if (scope != QLatin1String("week") && scope != QLatin1String("month"))
        return fail(400, QStringLiteral("scope: week или month"));
    if (metric != QLatin1String("seven_day")) return fail(400, QStringLiteral("metric: seven_day"));
    const QVariantList k{provider, email};
    const bool known = m_db.scalar("SELECT 1 FROM registry WHERE provider = ? AND email = ? UNION "
                                   "SELECT 1 FROM account_state WHERE provider = ? AND email = ?",
                                   k + k).isValid();
    if (!known) return fail(404, QStringLiteral("Аккаунт не найден"));

    const double t = now();
    double seven = 0, sevenAt = 0;
    if (QSqlQuery s = m_db.exec("SELECT seven_day_pct, seven_day_resets_at FROM account_state "
                                "WHERE provider = ? AND email = ?", k); s.next()) {
        seven = s.value(0).toDouble();
        sevenAt = s.value(1).toDouble();
        roll(seven, sevenAt, kWeek, t);
    }
    const bool week = scope == QLatin1String("week");
    // Points are percent of one weekly limit; a month holds 30/7 of them.
    const double divisor = week ? 1.0 : 30.0 / 7.0;
    const double from = week ? (sevenAt > 0 ? sevenAt - kWeek : t - kWeek) : t - 30 * 86400.0;
    QJsonArray members;
    double attributed = 0, unattributed = 0;
    for (QSqlQuery q = m_db.exec(
             "SELECT a.member_id, COALESCE(m.name, a.member_id), SUM(a.points), SUM(a.cost_usd) FROM activity a "
             "LEFT JOIN members m ON m.id = a.member_id WHERE a.provider = ? AND a.email = ? AND a.started_at >= ? "
             "GROUP BY a.member_id, m.name ORDER BY SUM(a.points) DESC",
             k + QVariantList{from});
         q.next();) {
        const double pct = q.value(2).toDouble() / divisor;
        if (q.value(0).toString().isEmpty()) {
            unattributed += pct;
            continue;
        }
        attributed += pct;
        members.append(QJsonObject{{"member_id", q.value(0).toString()}, {"name", q.value(1).toString()},
                                   {"pct_of_window", pct}, {"cost_usd", q.value(3).toDouble()}});
    }
    double observed = week ? seven : attributed + unattributed;
    double residual = week ? std::max(0.0, observed - attributed) : unattributed;
    if (observed < attributed) observed = attributed;
    return json(QJsonObject{{"ok", true}, {"scope", scope}, {"metric", metric}, {"members", members},
                            {"residual_pct_of_window", residual}, {"observed_pct", observed},
                            {"window", QJsonObject{{"starts_at", from}, {"resets_at", week ? sevenAt : 0.0}}}});
}
