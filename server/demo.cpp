#include "demo.h"

#include "intake.h"
#include "readings.h"
#include "secrets.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTimeZone>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kDay = 86400.0;

struct DemoMember {
    const char *login, *name, *role, *dept, *spec, *type;
    bool online, mustChange, disabled;
};

const DemoMember kMembers[] = {
    {"admin", "Алексей Воронов", "admin", "Backend", "Тимлид", "member", true, false, false},
    {"olga", "Ольга Кузнецова", "admin", "Frontend", "Project Manager", "member", false, false, false},
    {"anna", "Анна Смирнова", "viewer", "Frontend", "Frontend-разработчик", "member", true, false, false},
    {"dmitry", "Дмитрий Соколов", "viewer", "Backend", "Backend-разработчик", "member", true, false, false},
    {"sergey", "Сергей Морозов", "viewer", "Backend", "DevOps", "member", true, false, false},
    {"maria", "Мария Лебедева", "viewer", "Дизайн", "UX/UI-дизайнер", "member", false, false, false},
    {"nikita", "Никита Попов", "viewer", "Мобильная разработка", "Мобильный разработчик", "member", true, false, false},
    {"elena", "Елена Новикова", "viewer", "Backend", "QA-инженер", "member", false, false, false},
    {"pavel", "Павел Фёдоров", "viewer", "Frontend", "Fullstack-разработчик", "member", false, true, false},
    {"igor", "Игорь Волков", "viewer", "Backend", "Backend-разработчик", "member", false, false, true},
    {"kirill", "Кирилл Егоров", "viewer", "Мобильная разработка", "Мобильный разработчик", "contractor", true, false, false},
    {"tatiana", "Татьяна Орлова", "viewer", "Дизайн", "Дизайнер", "contractor", false, false, false},
    {"artem", "Артём Зайцев", "viewer", "Frontend", "Frontend-разработчик", "member", false, false, false},
    {"yulia", "Юлия Павлова", "viewer", "Дизайн", "Аналитик", "member", false, false, false},
};

struct DemoAccount {
    const char *provider, *email, *group, *owner, *plan;
    double price;  // < 0: no price
    const char *currency, *pay, *status, *auth, *ccProvider, *baseUrl, *model;
    int renewDays;       // days from today; 9999: none
    double five, seven;  // percent
    double extra;        // < 0: no extra-usage figure
    bool inRegistry, telemetry, monitor;
    const char *users;   // comma-separated logins
};

const DemoAccount kAccounts[] = {
    {"claude", "core-1@corvane.dev", "CORE", "admin", "Max 20x", 200, "USD", "карта *4417", "active", "oauth", "", "", "", 12, 42, 67, 15, true, true, true, "admin,dmitry,elena"},
    {"claude", "core-2@corvane.dev", "CORE", "dmitry", "Max 20x", 200, "USD", "карта *4417", "active", "oauth", "", "", "", -3, 97, 92, 40, true, true, true, "dmitry,sergey,igor"},
    {"claude", "core-3@corvane.dev", "CORE", "sergey", "Max 5x", 100, "USD", "карта *9051", "active", "oauth", "", "", "", 4, 12, 78, -1, true, true, true, "sergey,yulia"},
    {"claude", "ops@corvane.dev", "CORE", "olga", "Max 20x", 200, "USD", "счёт", "active", "oauth", "", "", "", 21, 88, 73, 0, true, true, true, "olga,admin"},
    {"claude", "front-1@corvane.dev", "WEB", "anna", "Max 5x", 100, "USD", "карта *9051", "active", "oauth", "", "", "", 17, 120, 104, 65, true, true, true, "anna,artem,pavel"},
    {"claude", "front-2@corvane.dev", "WEB", "artem", "Pro", 20, "USD", "карта *9051", "active", "oauth", "", "", "", 26, 0, 8, -1, true, true, false, "artem"},
    {"claude", "mobile-1@corvane.dev", "MOBILE", "nikita", "Max 20x", 200, "USD", "карта *2290", "active", "oauth", "", "", "", 9, 66, 88, 5, true, true, true, "nikita,kirill"},
    {"claude", "mobile-2@corvane.dev", "MOBILE", "kirill", "Pro", 20, "USD", "карта *2290", "active", "oauth", "", "", "", 30, 33, 45, -1, true, true, false, "kirill"},
    {"claude", "design@corvane.dev", "DESIGN", "maria", "Pro", 1990, "RUB", "корп. карта", "active", "oauth", "", "", "", 14, 5, 20, -1, true, true, false, "maria,tatiana"},
    {"claude", "qa@corvane.dev", "CORE", "elena", "Pro", 20, "USD", "карта *4417", "hold", "oauth", "", "", "", 40, 0, 0, -1, true, false, false, ""},
    {"claude", "vendor@partner.example", "EXT", "ext-vendor", "Max 5x", 100, "USD", "счёт подрядчика", "active", "oauth", "", "", "", 19, 51, 59, -1, true, true, false, "kirill,tatiana"},
    {"claude", "sandbox@corvane.dev", "", "", "", -1, "", "", "active", "", "", "", "", 9999, 22, 31, -1, false, true, false, "admin,olga"},
    {"codex", "codex-team@corvane.dev", "CORE", "dmitry", "ChatGPT Pro", 200, "USD", "карта *4417", "active", "oauth", "", "", "", 8, 18, 40, -1, true, true, true, "dmitry,sergey"},
    {"codex", "codex-web@corvane.dev", "WEB", "olga", "ChatGPT Plus", 20, "USD", "карта *9051", "active", "oauth", "", "", "", 23, 75, 61, -1, true, true, false, "olga,anna"},
    {"gemini", "gemini@corvane.dev", "R&D", "yulia", "AI Pro", 20, "USD", "карта *2290", "active", "oauth", "", "", "", 35, 3, 9, -1, true, false, false, ""},
    {"kimi", "kimi@corvane.dev", "R&D", "yulia", "API", 60, "USD", "пополнение", "active", "api_key", "moonshot", "https://api.moonshot.ai/anthropic", "kimi-k2-0905", 27, 0, 0, -1, true, true, false, "yulia"},
    {"glm", "glm@corvane.dev", "CORE", "dmitry", "Coding Max", 30, "USD", "пополнение", "active", "api_key", "zai", "https://api.z.ai/api/anthropic", "glm-4.6", 11, 0, 0, -1, true, true, false, "dmitry,admin"},
    {"deepseek", "deepseek@corvane.dev", "R&D", "sergey", "API", 45, "USD", "пополнение", "active", "api_key", "deepseek", "https://api.deepseek.com/anthropic", "deepseek-chat", 16, 0, 0, -1, true, true, false, "sergey"},
    {"qwen", "qwen@corvane.dev", "MOBILE", "nikita", "API", -1, "USD", "", "active", "api_key", "dashscope", "https://dashscope-intl.aliyuncs.com/api/v2/apps/claude-code-proxy", "qwen3-coder-plus", 9999, 0, 0, -1, true, false, false, ""},
    {"openrouter", "openrouter@corvane.dev", "CORE", "anna", "Кредиты", 90, "USD", "пополнение", "active", "api_key", "openrouter", "https://openrouter.ai/api", "anthropic/claude-sonnet-4.5", 20, 0, 0, -1, true, true, false, "anna,nikita"},
    {"minimax", "minimax@corvane.dev", "DESIGN", "maria", "Coding Plan", 15, "USD", "пополнение", "active", "api_key", "minimax", "https://api.minimax.io/anthropic", "MiniMax-M2", 6, 0, 0, -1, true, true, false, "maria"},
    {"other", "local-llm@corvane.dev", "R&D", "", "свой сервер", -1, "", "", "hold", "api_key", "ollama", "http://gpu-box.local:11434", "qwen2.5-coder:32b", 9999, 0, 0, -1, true, false, false, ""},
};

// Today's spend of the key-based accounts, as a share of their daily budget, so that the mirror
// list shows every colour band.
const QHash<QString, double> kMirrorToday = {{"glm@corvane.dev", 0.95}, {"deepseek@corvane.dev", 0.83},
                                             {"openrouter@corvane.dev", 0.4}, {"kimi@corvane.dev", 0.15},
                                             {"minimax@corvane.dev", 1.2}};

const QStringList kWorkProjects = {"corvane-api", "corvane-web", "mobile-app", "design-system",
                                   "billing", "analytics", "infra"};
const QStringList kOffProjects = {"pet-project", "курс-ml", "hackathon"};
const QStringList kVersions = {"2.0.170", "2.0.170", "2.0.170", "2.0.150", "1.0.128"};
const QStringList kModels = {"claude-opus-4-1-20250805", "claude-sonnet-4-5-20250929", "claude-sonnet-4-5-20250929"};

struct ActivityRow {
    QString member, provider, email, project, source;
    bool work;
    double startedAt, seconds, cost, weight, points = 0;
    int added, removed, commits, prs, accepts, rejects;
    qint64 outTokens;
};

double uniform(QRandomGenerator &rng, double lo, double hi) { return lo + rng.generateDouble() * (hi - lo); }

QString projectsFor(const QString &dept, int i) {
    if (dept == QLatin1String("Frontend")) return i % 2 ? "corvane-web" : "design-system";
    if (dept == QLatin1String("Мобильная разработка")) return i % 2 ? "mobile-app" : "corvane-api";
    if (dept == QLatin1String("Дизайн")) return i % 2 ? "design-system" : "analytics";
    return kWorkProjects.at(i % 3 == 0 ? 0 : i % 3 == 1 ? 4 : 6);
}

void insertAccountState(Db &db, const QString &provider, const QString &email, double five, double seven,
                        double extra, bool monitor, bool telemetry, double now, QRandomGenerator &rng,
                        const QString &model, const QString &scoped) {
    const double fiveAt = now + uniform(rng, 0.2, 4.8) * 3600;
    const double sevenAt = now + uniform(rng, 0.5, 6.5) * kDay;
    // Burning fast enough to run out before the reset: tell when.
    const double eta = five >= 60 && five < 100 ? now + (100 - five) / five * (5 * 3600 - (fiveAt - now)) : 0;
    db.exec("INSERT INTO account_state(provider, email, five_hour_pct, five_hour_resets_at, seven_day_pct, "
            "seven_day_resets_at, limits_source, fetched_at, extra_usage_pct, weekly_scoped, burn_eta, "
            "has_monitor, has_telemetry, model) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
            {provider, email, five, fiveAt, seven, sevenAt,
             monitor ? "pull" : telemetry ? "push" : "", monitor ? now - uniform(rng, 60, 900) : 0.0,
             extra >= 0 ? QVariant(extra) : QVariant(), scoped, eta > now && eta < fiveAt ? eta : 0.0,
             monitor, telemetry, model});
}

} // namespace

QList<DemoLogin> seedDemo(Db &db, std::optional<quint32> seed, int extraAccounts) {
    QRandomGenerator rng(seed ? *seed : QRandomGenerator::system()->generate());
    const double now = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    QList<DemoLogin> logins;
    QList<QString> passwords;
    for (const DemoMember &m : kMembers) {
        const QString login = QString::fromUtf8(m.login);
        passwords << login + "-" + QString::number(1000 + rng.bounded(9000));
    }
    // Hashing is the slow part of seeding; both cores share it.
    const QList<secrets::PasswordHash> hashes =
        QtConcurrent::blockingMapped<QList<secrets::PasswordHash>>(passwords, secrets::hashPassword);

    Tx tx(db);
    QHash<QString, const DemoMember *> byLogin;
    for (int i = 0; i < int(std::size(kMembers)); ++i) {
        const DemoMember &m = kMembers[i];
        const QString login = QString::fromUtf8(m.login);
        byLogin.insert(login, &m);
        const double lastSeen = m.online ? now - uniform(rng, 5, 90) : now - uniform(rng, 2, 72) * 3600;
        db.exec("INSERT INTO members(id, name, role, active, member_type, specialization, department, email, "
                "telegram, timezone, note, joined_at, pw_salt, pw_hash, pw_iter, must_change, online, last_seen, "
                "created_at, pw_set_at) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                {login, QString::fromUtf8(m.name), m.role, !m.disabled, m.type, QString::fromUtf8(m.spec),
                 QString::fromUtf8(m.dept), login + "@corvane.dev", "@" + login + "_dev",
                 i % 5 == 3 ? "Asia/Yekaterinburg" : "Europe/Moscow",
                 m.disabled ? QStringLiteral("Уволился, доступ отключён") : QString(),
                 now - (60 + rng.bounded(900)) * kDay, hashes[i].salt, hashes[i].hash, hashes[i].iterations,
                 m.mustChange, m.online && !m.disabled, lastSeen, now - 120 * kDay, now});
        if (!m.disabled) logins.append({login, passwords[i], m.role});
    }

    QList<ActivityRow> rows;
    const QDate today = QDateTime::currentDateTimeUtc().date();
    const double midnight = QDateTime(today, QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch();
    int deviceNo = 0;
    for (const DemoAccount &a : kAccounts) {
        const QString provider = a.provider, email = a.email;
        const QStringList users = QString::fromLatin1(a.users).split(u',', Qt::SkipEmptyParts);
        const bool claude = provider == QLatin1String("claude");
        if (a.inRegistry) {
            const QString renew = a.renewDays == 9999 ? QString() : today.addDays(a.renewDays).toString(Qt::ISODate);
            db.exec("INSERT INTO registry(provider, email, group_name, owner, plan, price, currency, pay_method, "
                    "renew_date, status, notes, auth_type, cc_provider, base_url, model, api_key, updated_at) "
                    "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                    {provider, email, a.group, a.owner, QString::fromUtf8(a.plan),
                     a.price < 0 ? QVariant() : QVariant(a.price), a.currency, QString::fromUtf8(a.pay), renew, a.status,
                     a.status == QLatin1String("hold") ? QStringLiteral("Приостановлен до конца месяца") : QString(),
                     a.auth, a.ccProvider, a.baseUrl, a.model,
                     QString::fromLatin1(a.auth) == "api_key" && rng.bounded(4) ? QVariant("sk-demo-" + QString::number(rng.generate(), 16))
                                                                                : QVariant(),
                     now});
        }
        if (!a.telemetry && !a.monitor && a.five == 0 && a.seven == 0) continue;
        QJsonArray scoped;
        if (claude && a.plan[0] == 'M')
            scoped = {QJsonObject{{"model", "opus"}, {"pct", std::round(a.seven * 0.8)}},
                      QJsonObject{{"model", "sonnet"}, {"pct", std::round(a.seven * 0.45)}}};
        const QString model = QString::fromLatin1(a.model).isEmpty() ? kModels.at(rng.bounded(kModels.size())) : a.model;
        insertAccountState(db, provider, email, a.five, a.seven, a.extra, a.monitor, a.telemetry, now, rng, model,
                           QString::fromUtf8(QJsonDocument(scoped).toJson(QJsonDocument::Compact)));
        if (!a.telemetry) continue;

        // Devices and sessions of the people who use the account.
        for (const QString &u : users) {
            const DemoMember *m = byLogin.value(u);
            const bool online = m->online && !m->disabled && rng.bounded(5) != 0;
            const double seen = online ? now - uniform(rng, 5, 120)
                                       : m->disabled ? now - uniform(rng, 12, 20) * kDay : now - uniform(rng, 1, 60) * 3600;
            const QString project = projectsFor(QString::fromUtf8(m->dept), deviceNo);
            const QString version = m->disabled ? "1.0.128" : kVersions.at((deviceNo * 7 + 3) % kVersions.size());
            db.exec("INSERT INTO devices(provider, email, device_host, os_user, member_id, model, version, br_rev, "
                    "project, five_hour_pct, seven_day_pct, cost_usd, last_seen, online) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                    {provider, email, (deviceNo % 3 ? "mbp-" : "imac-") + u, u, u, model, version,
                     version == "2.0.170" ? "r412" : "r377", project, a.five * uniform(rng, 0.3, 1.0),
                     a.seven * uniform(rng, 0.3, 1.0), uniform(rng, 3, 140), seen, online});
            ++deviceNo;
            if (online)
                db.exec("INSERT INTO live_sessions(provider, email, project, member_id, model, active, started_at) "
                        "VALUES(?,?,?,?,?,1,?)", {provider, email, project, u, model, now - uniform(rng, 300, 7200)});
            db.exec("INSERT INTO live_sessions(provider, email, project, member_id, model, active, started_at) "
                    "VALUES(?,?,?,?,?,0,?)", {provider, email, kWorkProjects.at(rng.bounded(kWorkProjects.size())), u,
                                              model, now - uniform(rng, 3, 30) * 3600});
        }

        // Thirty days of sessions on this account.
        const bool mirror = kMirrorToday.contains(email);
        for (int d = 29; d >= 0; --d) {
            const double dayStart = midnight - d * kDay;
            const int dow = today.addDays(-d).dayOfWeek();
            for (const QString &u : users) {
                const DemoMember *m = byLogin.value(u);
                if (m->disabled && d < 10) continue;  // left ten days ago
                if (dow >= 6 && rng.bounded(5) != 0) continue;
                if (d == 0 && mirror) continue;       // today's mirror spend is set below
                const int n = 1 + int(rng.bounded(mirror ? 1 : 3));
                for (int s = 0; s < n; ++s) {
                    const bool work = rng.bounded(100) >= 12;
                    const double secs = std::round(uniform(rng, 0.3, 2.5) * 3600);
                    double start = dayStart + uniform(rng, 7, work ? 20 : 23) * 3600;
                    if (start + secs > now) start = now - secs - uniform(rng, 60, 3600);
                    const double rate = mirror ? 0.25 : uniform(rng, 1.2, 4.0);
                    const int added = int(secs / 60 * uniform(rng, 2, 12));
                    rows.append({u, provider, email,
                                 work ? projectsFor(QString::fromUtf8(m->dept), s + d) : kOffProjects.at(rng.bounded(3)),
                                 rng.bounded(100) < 15 ? "cowork" : "terminal", work, start, secs,
                                 secs / 3600 * rate, secs / 3600, 0, added, int(added * uniform(rng, 0.1, 0.6)),
                                 int(rng.bounded(4)), rng.bounded(5) == 0 ? 1 : 0, int(rng.bounded(5, 40)),
                                 int(rng.bounded(12)), qint64(secs * uniform(rng, 8, 30))});
                }
            }
            if (claude && rng.bounded(3) != 0)  // chat in the app or the browser: no person attached
                rows.append({"", provider, email, "", "chat", true, dayStart + uniform(rng, 9, 18) * 3600, 0,
                             uniform(rng, 0.2, 1.5), uniform(rng, 0.2, 1.0), 0, 0, 0, 0, 0, 0, 0, 0});
        }
        if (mirror) {
            const double limit = a.price / 30.0;
            const QString u = users.first();
            rows.append({u, provider, email, projectsFor(QString::fromUtf8(byLogin.value(u)->dept), 1), "terminal", true,
                         midnight + (now - midnight) * 0.4, std::min(5400.0, (now - midnight) * 0.5),
                         limit * kMirrorToday.value(email), 1, 0, 120, 40, 1, 0, 12, 3, 90000});
        }
    }

    // Points are percent of the account's weekly limit: the current window's attributed sessions
    // add up to 85 % of the seven-day figure and the unattributed chat to the rest; earlier weeks
    // run at a steady 40-90 % of the limit.
    struct Scale { double start = 0, seven = 0, past = 0; double inWindow[2] = {0, 0}; double all = 0; };
    QHash<QString, Scale> scale;
    for (const DemoAccount &a : kAccounts) {
        Scale &sc = scale[QString::fromLatin1(a.email)];
        sc.seven = a.seven;
        sc.past = uniform(rng, 40, 90);
        sc.start = db.scalar("SELECT seven_day_resets_at FROM account_state WHERE email = ?", {a.email}).toDouble() - 7 * kDay;
    }
    for (const ActivityRow &r : rows) {
        Scale &sc = scale[r.email];
        sc.all += r.weight;
        if (r.startedAt >= sc.start) sc.inWindow[r.member.isEmpty() ? 1 : 0] += r.weight;
    }
    for (ActivityRow &r : rows) {
        const Scale &sc = scale.value(r.email);
        if (r.startedAt >= sc.start) {
            const int k = r.member.isEmpty() ? 1 : 0;
            r.points = sc.inWindow[k] > 0 ? r.weight / sc.inWindow[k] * (k ? 0.15 : 0.85) * sc.seven : 0;
        } else {
            r.points = sc.all > 0 ? r.weight / (sc.all / 30 * 7) * sc.past : 0;
        }
    }
    for (const ActivityRow &r : rows)
        db.exec("INSERT INTO activity(member_id, provider, email, project, is_work, source, started_at, seconds, "
                "cost_usd, points, lines_added, lines_removed, commits, prs, accepts, rejects, output_tokens, sessions) "
                "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,1)",
                {r.member, r.provider, r.email, r.project, r.work, r.source, r.startedAt, qint64(r.seconds), r.cost,
                 r.points, r.added, r.removed, r.commits, r.prs, r.accepts, r.rejects, r.outTokens});

    // Telemetry totals of each account follow from its devices and history.
    db.exec("UPDATE account_state SET "
            "cost_usd = (SELECT COALESCE(SUM(cost_usd), 0) FROM activity a WHERE a.provider = account_state.provider AND a.email = account_state.email), "
            "total_output = (SELECT COALESCE(SUM(output_tokens), 0) FROM activity a WHERE a.provider = account_state.provider AND a.email = account_state.email), "
            "last_seen = (SELECT COALESCE(MAX(last_seen), 0) FROM devices d WHERE d.provider = account_state.provider AND d.email = account_state.email), "
            "online = (SELECT COALESCE(MAX(online), 0) FROM devices d WHERE d.provider = account_state.provider AND d.email = account_state.email), "
            "version = COALESCE((SELECT version FROM devices d WHERE d.provider = account_state.provider AND d.email = account_state.email ORDER BY last_seen DESC LIMIT 1), '')");
    db.exec("UPDATE account_state SET total_input = total_output * 7 WHERE has_telemetry = 1");

    const struct { double hoursAgo; const char *severity, *title, *email; bool ack; } events[] = {
        {0.2, "critical", "Лимит 5 часов превышен: 120%", "front-1@corvane.dev", false},
        {0.5, "critical", "Лимит 7 дней превышен: 104%", "front-1@corvane.dev", false},
        {1.5, "critical", "Лимит 7 дней: 92%", "core-2@corvane.dev", false},
        {2.0, "warning", "Лимит 5 часов: 97%, сгорит до сброса", "core-2@corvane.dev", false},
        {3.0, "warning", "Зеркало glm: 95% дневного лимита", "glm@corvane.dev", false},
        {5.0, "warning", "Продление просрочено на 3 дн.", "core-2@corvane.dev", true},
        {8.0, "warning", "Продление через 4 дн.", "core-3@corvane.dev", false},
        {12.0, "info", "Устаревший Claude Code 1.0.128 на mbp-igor", "core-2@corvane.dev", true},
        {20.0, "info", "Новое устройство: imac-kirill", "vendor@partner.example", true},
        {30.0, "warning", "Лимит 5 часов: 88%", "ops@corvane.dev", true},
        {46.0, "info", "Телеметрия не приходит 2 дня", "qa@corvane.dev", true},
        {60.0, "info", "Аккаунт приостановлен (hold)", "local-llm@corvane.dev", true},
    };
    for (const auto &e : events)
        db.exec("INSERT INTO events(ts, severity, title, account_email, ack) VALUES(?,?,?,?,?)",
                {now - e.hoursAgo * 3600, e.severity, QString::fromUtf8(e.title), e.email, e.ack});
    if (extraAccounts > 0) addSyntheticAccounts(db, rng, extraAccounts);
    // Those at work have their tools' telemetry arriving.
    db.exec("UPDATE members SET telemetry_at = last_seen WHERE online = 1");
    tx.touch(Topic::Team);
    tx.touch(Topic::Activity);
    tx.commit();
    return logins;
}

DemoLogin seedFirstAdmin(Db &db) {
    const QString password = secrets::oneTimePassword();
    const secrets::PasswordHash h = secrets::hashPassword(password);
    const double now = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    Tx tx(db);
    db.exec("INSERT INTO members(id, name, role, pw_salt, pw_hash, pw_iter, must_change, joined_at, created_at, pw_set_at) "
            "VALUES('admin', 'Администратор', 'admin', ?, ?, ?, 1, ?, ?, ?)",
            {h.salt, h.hash, h.iterations, now, now, now});
    tx.commit();
    return {"admin", password, "admin"};
}

void addSyntheticAccounts(Db &db, QRandomGenerator &rng, int count) {
    static const char *providers[] = {"claude", "codex", "gemini", "kimi", "glm", "deepseek", "openrouter"};
    static const char *owners[] = {"admin", "anna", "dmitry", "sergey", "nikita", "maria"};
    const double now = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    for (int i = 0; i < count; ++i) {
        const QString provider = providers[i % std::size(providers)];
        const QString email = QStringLiteral("load-%1@corvane.dev").arg(i, 4, 10, QLatin1Char('0'));
        const QString owner = owners[i % std::size(owners)];
        db.exec("INSERT INTO registry(provider, email, group_name, owner, plan, price, currency, renew_date, status, "
                "auth_type, updated_at) VALUES(?,?,?,?,?,?,?,?,?,?,?)",
                {provider, email, QStringLiteral("LOAD-%1").arg(i % 8), owner, "Max 5x", 100.0, "USD",
                 QDate::currentDate().addDays(i % 40).toString(Qt::ISODate), "active", "oauth", now});
        insertAccountState(db, provider, email, rng.bounded(120), rng.bounded(110), -1, i % 2, true, now, rng,
                           kModels.at(i % kModels.size()), R"([{"model":"opus","pct":40}])");
        for (int d = 0; d < 2; ++d)
            db.exec("INSERT INTO devices(provider, email, device_host, os_user, member_id, model, version, br_rev, "
                    "project, five_hour_pct, seven_day_pct, cost_usd, last_seen, online) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                    {provider, email, QStringLiteral("host-%1-%2").arg(i).arg(d), owner, owner, kModels.at(0),
                     kVersions.at((i + d) % kVersions.size()), "r412", kWorkProjects.at((i + d) % kWorkProjects.size()),
                     rng.bounded(100), rng.bounded(100), rng.bounded(200), now - rng.bounded(7200), d == 0});
        db.exec("INSERT INTO live_sessions(provider, email, project, member_id, model, active, started_at) "
                "VALUES(?,?,?,?,?,?,?)", {provider, email, kWorkProjects.at(i % kWorkProjects.size()), owner,
                                          kModels.at(1), i % 3 == 0, now - 600});
    }
}

Simulator::Simulator(Db &db, quint32 seed, int intervalMs, QObject *parent)
    : QObject(parent), m_db(db), m_rng(seed) {
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &Simulator::tick);
    m_timer.start();
}

void Simulator::tick() {
    // The demo's machines report as real ones do, through the intake: heartbeats, status lines
    // (Claude), window readings (Codex), hooks at the end of a session.
    const double now = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    try {
        Tx tx(m_db);
        if (!m_started) {
            // The seeded Claude and Codex sessions were a snapshot; from now on those are the
            // machines' own. Key-based accounts (other providers) keep theirs: their machines
            // only send heartbeats here, having no windows to report.
            m_db.exec("UPDATE live_sessions SET active = 0 WHERE active = 1 AND session_id = '' "
                      "AND provider IN ('claude', 'codex')");
            tx.touch(Topic::Team);
        }
        struct Machine { qint64 id; QString provider, email, member, host, model, version, project; bool online; };
        QList<Machine> machines;
        for (QSqlQuery q = m_db.exec("SELECT d.id, d.provider, d.email, d.member_id, d.device_host, d.model, d.version, "
                                     "d.project, d.online FROM devices d JOIN members m ON m.id = d.member_id "
                                     "WHERE m.active = 1 ORDER BY d.id");
             q.next();)
            machines.append({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                             q.value(4).toString(), q.value(5).toString(), q.value(6).toString(), q.value(7).toString(),
                             q.value(8).toBool()});
        QHash<QString, QPair<Window, Window>> windows;  // by account
        for (QSqlQuery q = m_db.exec("SELECT provider, email, five_hour_pct, five_hour_resets_at, seven_day_pct, "
                                     "seven_day_resets_at FROM account_state");
             q.next();)
            windows.insert(q.value(0).toString() + u'/' + q.value(1).toString(),
                           {Window{q.value(2).toDouble(), q.value(3).toDouble()},
                            Window{q.value(4).toDouble(), q.value(5).toDouble()}});
        QSet<QString> reported;
        for (const Machine &m : machines) {
            intake::Source src{m.member, m.host, m.email, QStringLiteral("r412"), now};
            bool &atWork = m_atWork[m.id];
            if (!m_started) atWork = m.online;
            else if (rngChance(4)) {
                atWork = !atWork;
                if (!atWork) {
                    // Claude Code says when a session ends; a Codex session just falls silent.
                    if (m.provider == QLatin1String("claude"))
                        intake::hook(m_db, tx, src, QJsonObject{{"hook_event_name", "SessionEnd"},
                                                            {"session_id", m_sessions.value(m.id)},
                                                            {"reason", "logout"}});
                    m_sessions.remove(m.id);
                    continue;
                }
            }
            if (!atWork) continue;
            if (!m_sessions.contains(m.id) || m_sessions.value(m.id).isEmpty())
                m_sessions[m.id] = QStringLiteral("sim-%1-%2").arg(m.id).arg(qint64(now));
            const QString session = m_sessions.value(m.id);
            const QString cwd = QStringLiteral("/home/%1/%2").arg(m.member, m.project);
            intake::heartbeat(m_db, tx, src, QJsonObject{{"host", m.host}, {"os_user", m.member},
                                                         {"claude_version", m.version}, {"tooling", "r412"}});
            const QString account = m.provider + u'/' + m.email;
            const bool windowed = m.provider == QLatin1String("claude") || m.provider == QLatin1String("codex");
            if (!windowed) continue;
            if (reported.contains(account) || !windows.contains(account)) {
                if (m.provider == QLatin1String("codex"))
                    intake::codex(m_db, tx, src, QJsonObject{{"session_id", session}, {"ts", now}, {"model", m.model},
                                                             {"cwd", cwd}, {"account", m.email}});
                else
                    intake::hook(m_db, tx, src, QJsonObject{{"hook_event_name", "Stop"}, {"session_id", session},
                                                            {"cwd", cwd}});
                continue;
            }
            // One reading per account and step: the account's windows rise while it is in use and
            // start over when they reset.
            reported.insert(account);
            auto [five, seven] = windows.value(account);
            if (five.resetsAt <= now) five = Window{uniform(m_rng, 0, 5), now + 5 * 3600};
            if (seven.resetsAt <= now) seven = Window{uniform(m_rng, 0, 5), now + 7 * kDay};
            five.pct = std::round(std::min(130.0, five.pct + uniform(m_rng, 0, 1.5)) * 10) / 10;
            seven.pct = std::round(std::min(130.0, seven.pct + uniform(m_rng, 0, 0.2)) * 10) / 10;
            if (m.provider == QLatin1String("codex")) {
                auto w = [](const Window &x, int minutes) {
                    return QJsonObject{{"used_percent", x.pct}, {"window_minutes", minutes}, {"resets_at", x.resetsAt}};
                };
                intake::codex(m_db, tx, src, QJsonObject{{"session_id", session}, {"ts", now}, {"model", m.model},
                                                         {"cwd", cwd}, {"account", m.email},
                                                         {"rate_limits", QJsonObject{{"primary", w(five, 300)},
                                                                                     {"secondary", w(seven, 10080)}}}});
            } else {
                auto w = [](const Window &x) { return QJsonObject{{"used_percentage", x.pct}, {"resets_at", x.resetsAt}}; };
                intake::statusLine(m_db, tx, src, QJsonObject{
                    {"session_id", session}, {"cwd", cwd}, {"version", m.version},
                    {"model", QJsonObject{{"id", m.model}, {"display_name", m.model}}},
                    {"rate_limits", QJsonObject{{"five_hour", w(five)}, {"seven_day", w(seven)}}}});
            }
        }
        intake::sweep(m_db, tx, now);
        m_started = true;
        tx.commit();
    } catch (const DbError &e) {
        qWarning("simulation step failed: %s", e.what());
    }
}

bool Simulator::rngChance(int percent) { return int(m_rng.bounded(100)) < percent; }
