// Decoding and formatting costs of the core, on answers of realistic (large-team) size.
// Prints the median of several runs for each step, as CPU time of the running thread (the
// build machine is shared, so wall time mostly measures the neighbours); no pass/fail thresholds.

#include "core/clock.h"
#include "core/decode.h"
#include "core/format.h"
#include "core/teamacct.h"
#include "core/uirules.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const double NOW = 1764925200; // a fixed "now" so every run formats the same inputs

double cpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double medianMs(const std::function<void()> &fn, int runs = 15)
{
    fn(); // warm-up
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const double start = cpuMs();
        fn();
        t.push_back(cpuMs() - start);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

void report(const char *what, double ms) { std::printf("%-58s %9.3f ms\n", what, ms); }

QJsonObject statusAnswer(int n)
{
    QJsonArray accts;
    for (int i = 0; i < n; ++i)
        accts.append(QJsonObject{{"account_email", QString("dev%1@corvane.dev").arg(i)},
                                 {"project", QString("project-%1").arg(i % 7)},
                                 {"five_hour_pct", 12.5 + i}, {"five_hour_resets_at", NOW + 3600 + i},
                                 {"seven_day_pct", 40.0 + i % 50}, {"seven_day_resets_at", NOW + 86400 * 3},
                                 {"limits_ok", i % 5 != 0}});
    return {{"accounts", accts},
            {"telemetry", QJsonObject{{"push_ok", true}, {"last_seen", NOW - 20}}},
            {"member", QJsonObject{{"name", "Анна Смирнова"}, {"role", "admin"}}}};
}

QJsonObject eventsAnswer(int n)
{
    QJsonArray ev;
    for (int i = 0; i < n; ++i)
        ev.append(QJsonObject{{"id", 1000 + i}, {"ts", NOW - i * 60}, {"severity", i % 3 ? "warn" : "crit"},
                              {"title", QString("Лимит 7д на %1% у аккаунта").arg(80 + i % 20)},
                              {"account_email", QString("dev%1@corvane.dev").arg(i % 40)}, {"ack", i % 2 == 0}});
    return {{"events", ev}, {"unread", 37}};
}

QJsonObject accountsAnswer(int n)
{
    QJsonArray accts;
    for (int i = 0; i < n; ++i) {
        QJsonArray devices, sessions, users;
        for (int d = 0; d < 3; ++d)
            devices.append(QJsonObject{{"device_host", QString("mbp-%1-%2").arg(i).arg(d)}, {"os_user", "dev"},
                                       {"person", QString("Человек %1").arg(d)}, {"model", "claude-opus-4-5-20251101"},
                                       {"version", "2.0.150"}, {"br_rev", "r42"}, {"project", "corvane"},
                                       {"five_hour_pct", 10.0 + d}, {"seven_day_pct", 30.0 + d}, {"cost_usd", 1.25 * d},
                                       {"last_seen", NOW - 30 * d}, {"online", d == 0}});
        for (int s = 0; s < 2; ++s)
            sessions.append(QJsonObject{{"project", QString("p%1").arg(s)}, {"person", "Анна"},
                                        {"model", "claude-sonnet-4-5"}, {"active", s == 0}});
        for (int u = 0; u < 3; ++u)
            users.append(QJsonObject{{"name", QString("Участник %1").arg(u)}, {"online", u == 1}});
        accts.append(QJsonObject{
            {"email", QString("acct%1@corvane.dev").arg(i)}, {"provider", i % 4 ? "claude" : "Codex"},
            {"member_name", QString("Сотрудник %1").arg(i % 50)}, {"member_id", QString("m%1").arg(i % 50)},
            {"group_name", "core"}, {"status", i % 9 ? "active" : "HOLD"}, {"auth_type", "oauth"},
            {"has_key", i % 2 == 0}, {"has_monitor", true}, {"in_registry", true},
            {"five_hour_pct", (i * 7) % 100}, {"five_hour_resets_at", NOW + 4000}, {"seven_day_pct", (i * 13) % 100},
            {"seven_day_resets_at", NOW + 200000}, {"cost_usd", i * 0.37}, {"total_input", i * 1000},
            {"total_output", i * 3000}, {"model", "claude-opus-4-5"}, {"version", "2.0.150"},
            {"last_seen", NOW - i}, {"online", i % 3 == 0}, {"has_telemetry", i % 5 != 0},
            {"limits", QJsonObject{{"source", "oauth"}, {"fetched_at", NOW - 100}, {"severity", "ok"},
                                   {"extra_usage_pct", 5},
                                   {"weekly_scoped", QJsonArray{QJsonObject{{"model", "opus"}, {"pct", 20}},
                                                                QJsonObject{{"model", "sonnet"}, {"pct", 40}}}}}},
            {"plan", "Max 20x"}, {"price", 200}, {"currency", "USD"}, {"pay_method", "card"},
            {"renew_date", "2026-12-20"}, {"notes", "общий"}, {"five_hour_burn", QJsonObject{{"eta", NOW + 900}}},
            {"live_sessions", sessions}, {"users", users}, {"devices", devices}});
    }
    return {{"accounts", accts}};
}

QJsonObject activityAnswer(int people, int projects)
{
    QJsonArray arr;
    for (int i = 0; i < people; ++i) {
        QJsonArray pr;
        for (int p = 0; p < projects; ++p)
            pr.append(QJsonObject{{"name", QString("project-%1").arg(p)}, {"is_work", p % 4 != 0},
                                  {"seconds", (p * 7919 + i * 31) % 40000}, {"cost_usd", p * 0.5}});
        arr.append(QJsonObject{{"name", QString("Человек %1").arg(i)}, {"member_id", QString("m%1").arg(i)},
                               {"active_seconds", (i * 104729) % 400000}, {"work_seconds", 1000 * i},
                               {"offwork_seconds", 100 * i}, {"cost_usd", 12.5 * i}, {"lines_added", 40 * i},
                               {"sessions", i}, {"last_seen", NOW - i * 10}, {"online", i % 2 == 0},
                               {"projects", pr}});
    }
    return {{"people", arr}};
}

QJsonObject statsAnswer(int members, int accounts)
{
    QJsonArray m, a, s;
    for (int i = 0; i < members; ++i)
        m.append(QJsonObject{{"member_id", QString("m%1").arg(i)}, {"name", QString("Человек %1").arg(i)},
                             {"points", i * 3.5}, {"cost_usd", i * 1.5}});
    for (int i = 0; i < accounts; ++i)
        a.append(QJsonObject{{"provider", i % 3 ? "claude" : "GLM"}, {"email", QString("acct%1@corvane.dev").arg(i)},
                             {"total_points", i * 2.0}, {"residual_points", i * 0.5},
                             {"window", QJsonObject{{"resets_at", NOW + i}}}});
    for (int i = 0; i < 6; ++i)
        s.append(QJsonObject{{"source", QString("src%1").arg(i)}, {"cost_usd", i * 10.0}, {"sessions", i * 4},
                             {"pct", i * 5.0}});
    return {{"members", m}, {"accounts", a}, {"sources", s}};
}

template <class F>
double perInput(F &&f, const std::vector<double> &in)
{
    return medianMs([&] {
        qsizetype sink = 0;
        for (double v : in)
            sink += f(v).size();
        if (sink == -1)
            std::puts("");
    });
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Clock::setFixed(NOW);
    Clock::setZone(QTimeZone("Europe/Moscow"));

    const QJsonObject status = statusAnswer(50), events = eventsAnswer(100);
    report("/api/my/status, 50 accounts: decode", medianMs([&] { decode::homeStatus(status); }));
    report("/api/events, 100 events: decode", medianMs([&] { decode::alerts(events); }));

    // Decoded from text, as the request layer hands it over.
    const QByteArray accountsBytes = QJsonDocument(accountsAnswer(2000)).toJson(QJsonDocument::Compact);
    const QJsonObject accounts = QJsonDocument::fromJson(accountsBytes).object();
    std::printf("  (accounts answer: %.1f MB of JSON)\n", accountsBytes.size() / 1e6);
    report("/api/accounts, 2000 accounts: parse JSON text",
           medianMs([&] { QJsonDocument::fromJson(accountsBytes); }, 7));
    report("/api/accounts, 2000 accounts: decode + sort + rev",
           medianMs([&] { decodeTeamAccounts(accounts); }, 7));
    const QList<TeamAcct> team = decodeTeamAccounts(accounts);
    report("  rev recomputed for all 2000", medianMs([&] {
               qint64 x = 0;
               for (const TeamAcct &a : team)
                   x ^= a.computeRev();
               if (x == 42)
                   std::puts("");
           }));
    report("  teamCounts over 2000", medianMs([&] { teamCounts(team); }));

    std::vector<double> times, pcts, tokens;
    for (int i = 0; i < 10000; ++i) {
        times.push_back(NOW + (i - 5000) * 97.3);
        pcts.push_back((i % 2000) / 10.0 - 20);
        tokens.push_back(i * 397.0);
    }
    report("resetText x 10000", perInput(fmt::resetText, times));
    report("dateShort x 10000", perInput(fmt::dateShort, times));
    report("fmtDateLong x 10000", perInput(fmt::fmtDateLong, times));
    report("countdown x 10000", perInput(fmt::countdown, times));
    report("remainShort x 10000", perInput(fmt::remainShort, times));
    report("relSeen x 10000", perInput(fmt::relSeen, times));
    report("fmtTokens x 10000", perInput(fmt::fmtTokens, tokens));
    report("fmtDur x 10000", perInput([](double v) { return fmt::fmtDur(qint64(v) % 400000); }, tokens));
    QStringList dates, models, versions;
    for (int i = 0; i < 10000; ++i) {
        dates << QString("20%1-%2-%3").arg(26 + i % 3).arg(1 + i % 12, 2, 10, QChar('0')).arg(1 + i % 28, 2, 10, QChar('0'));
        models << (i % 2 ? QString("claude-sonnet-4-5-2025%1").arg(1000 + i % 1000, 4, 10, QChar('0'))
                         : QString("claude-3-5-haiku-latest"));
        versions << QString("%1.%2.%3").arg(i % 3).arg(i % 10).arg(i % 300);
    }
    auto overStrings = [](const QStringList &in, auto f) {
        return medianMs([&] {
            qsizetype sink = 0;
            for (const QString &s : in)
                sink += f(s);
            if (sink == -1)
                std::puts("");
        });
    };
    report("renewInfo x 10000", overStrings(dates, [](const QString &s) { return fmt::renewInfo(s).days.size(); }));
    report("shortModel x 10000", overStrings(models, [](const QString &s) { return fmt::shortModel(s).size(); }));
    report("ccOld x 10000", overStrings(versions, [](const QString &s) { return qsizetype(fmt::ccOld(s)); }));
    report("gaugeText + gaugeTone x 10000",
           perInput([](double v) { return ui::gaugeText(v) + ui::gaugeTone(v); }, pcts));

    const QJsonObject activity = activityAnswer(50, 30);
    report("/api/team/analytics, 30 days, 50 people x 30 projects", medianMs([&] { decode::activity(activity); }));
    const QJsonObject stats = statsAnswer(50, 2000);
    report("/api/stats, 50 members + 2000 accounts", medianMs([&] { decode::stats(stats); }));
    return 0;
}
