// The intake under load: status-line reports and OTLP batches per second (Claude Code's sizes:
// about 6 KB of metrics, 11 KB of logs) beside nginx serving a static file in the same run, then
// GET /api/my/status one request at a time while 2,000 simulated machines report (a status line
// and a log batch every 5 s, metrics and a heartbeat every 60 s), with the server's CPU use, once
// the fleet has been reporting for a while. Status lines are also sent with new figures in every
// one, which is what a write costs.
// wrk drives the load through Lua scripts written here; loopback only, about a minute in all.
#include "benchkit.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QThread>

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kSeconds = 5;

QString luaText(const QByteArray &s) {  // a Lua long string
    return "[==[" + QString::fromUtf8(s) + "]==]";
}

QByteArray attr(const char *key, const QString &value) {
    return QByteArray(R"({"key":")") + key + R"(","value":{"stringValue":")" + value.toUtf8() + "\"}}";
}

// A metrics batch as Claude Code sends one a minute: its usual series for a few models.
QByteArray metricsBody() {
    QByteArrayList metrics;
    const QByteArray common = attr("session.id", "SESSION") + "," + attr("user.email", "bench@load.test") + "," +
                              attr("user.account_uuid", "6f1c2a34-0000-4000-8000-000000000000") + "," +
                              attr("organization.id", "0b7e9e61-0000-4000-8000-000000000000") + "," +
                              attr("user.id", QString(64, u'a'));  // about 400 bytes a point
    auto sum = [&](const char *name, const QByteArrayList &extra) {
        QByteArrayList points;
        for (const QByteArray &e : extra)
            points << R"({"startTimeUnixNano":"1","timeUnixNano":"NOW","asDouble":1.5,"attributes":[)" + common +
                          (e.isEmpty() ? "" : "," + e) + "]}";
        metrics << QByteArray(R"({"name":")") + name + R"(","unit":"1","sum":{"aggregationTemporality":1,"isMonotonic":true,"dataPoints":[)" +
                       points.join(',') + "]}}";
    };
    QByteArrayList tokenTypes;
    for (const char *model : {"claude-sonnet-4-5", "claude-haiku-4-5"})
        for (const char *type : {"input", "output", "cacheRead"})
            tokenTypes << attr("model", model) + "," + attr("type", type);
    sum("claude_code.token.usage", tokenTypes);
    sum("claude_code.cost.usage", {attr("model", "claude-sonnet-4-5"), attr("model", "claude-haiku-4-5")});
    sum("claude_code.active_time.total", {attr("type", "user"), attr("type", "cli")});
    sum("claude_code.session.count", {""});
    return R"({"resourceMetrics":[{"resource":{"attributes":[)" + attr("service.name", "claude-code") + "," +
           attr("service.version", "2.1.3") + "," + attr("os.type", "linux") + "," + attr("host.arch", "amd64") +
           R"(]},"scopeMetrics":[{"scope":{"name":"com.anthropic.claude_code","version":"2.1.3"},"metrics":[)" +
           metrics.join(',') + "]}]}]}";
}

// A log batch as Claude Code sends one every few seconds while working.
QByteArray logsBody() {
    QByteArrayList records;
    for (int i = 0; i < 14; ++i) {
        const char *event = i % 3 == 0 ? "api_request" : i % 3 == 1 ? "tool_result" : "user_prompt";
        records << R"({"timeUnixNano":"NOW","observedTimeUnixNano":"NOW","body":{"stringValue":"claude_code.)" + QByteArray(event) +
                       R"("},"attributes":[)" + attr("event.name", event) + "," + attr("session.id", "SESSION") + "," +
                       attr("user.email", "bench@load.test") + "," + attr("model", "claude-sonnet-4-5") + "," +
                       attr("input_tokens", "1200") + "," + attr("output_tokens", "350") + "," +
                       attr("cost_usd", "0.0123") + "," + attr("duration_ms", "2300") + "," + attr("prompt", "<REDACTED>") +
                       "," + attr("request_id", "req_011CUZ000000000000000000") + "," +
                       attr("event.timestamp", "2026-01-01T00:00:00.000Z") + "]}";
    }
    return R"({"resourceLogs":[{"resource":{"attributes":[)" + attr("service.name", "claude-code") + "," +
           attr("service.version", "2.1.3") + R"(]},"scopeLogs":[{"scope":{"name":"com.anthropic.claude_code.events"},"logRecords":[)" +
           records.join(',') + "]}]}]}";
}

QByteArray statusBody() {
    const double now = QDateTime::currentSecsSinceEpoch();
    return QJsonDocument(QJsonObject{
        {"session_id", "SESSION"}, {"transcript_path", "/home/m/.claude/projects/x/SESSION.jsonl"},
        {"cwd", "/home/m/src/billing"}, {"version", "2.1.3"},
        {"model", QJsonObject{{"id", "claude-sonnet-4-5"}, {"display_name", "Sonnet 4.5"}}},
        {"workspace", QJsonObject{{"current_dir", "/home/m/src/billing"}, {"project_dir", "/home/m/src/billing"}}},
        {"cost", QJsonObject{{"total_cost_usd", 1.25}, {"total_duration_ms", 600000}, {"total_lines_added", 120}, {"total_lines_removed", 30}}},
        {"rate_limits", QJsonObject{{"five_hour", QJsonObject{{"used_percentage", 37.25}, {"resets_at", now + 3600}}},
                                    {"seven_day", QJsonObject{{"used_percentage", 61}, {"resets_at", now + 86400}}}}}})
        .toJson(QJsonDocument::Compact);
}

// A wrk script: each request one of `kinds` (path, body, weight) from one of 2,000 machines, each
// with its member's token (one of `tokens`) and one Claude Code session of its own; NOW is the
// second and a nanosecond part unique to the request (so that no batch is a retry), PCT a new
// five-hour figure per request when `moving` (otherwise a status line repeats what the machine
// said last, as Claude Code's does between answers); `delayMs` between a connection's requests
// (0: as fast as it goes).
QString script(const QList<std::tuple<QString, QByteArray, int>> &kinds, const QStringList &tokens, int delayMs,
               bool moving = false) {
    QString lua = "local kinds = {\n";
    for (const auto &[path, body, weight] : kinds)
        lua += QStringLiteral("  {path=\"%1\", body=%2, weight=%3},\n").arg(path, luaText(body)).arg(weight);
    lua += "}\nlocal tokens = {";
    for (const QString &t : tokens) lua += "\"" + t + "\",";
    lua += QStringLiteral(R"(}
local total = 0
for _, k in ipairs(kinds) do total = total + k.weight end
local n = 0
local moving = %MOVING%
math.randomseed(os.time())
function request()
  n = n + 1
  local r = math.random(total)
  local k = kinds[1]
  for _, c in ipairs(kinds) do
    if r <= c.weight then k = c break end
    r = r - c.weight
  end
  local machine = math.random(2000)
  local body = k.body:gsub("SESSION", "s" .. machine):gsub("NOW", tostring(os.time()) .. string.format("%03d%06d", math.random(999), n % 1000000))
  if moving then body = body:gsub("37.25", tostring(math.random(1, 9999) / 100)) end
  return wrk.format("POST", k.path, {["Content-Type"]="application/json", ["Authorization"]="Bearer " .. tokens[machine % #tokens + 1],
    ["X-Corvane-Host"]="host-" .. machine, ["X-Corvane-Account"]="bench@load.test"}, body)
end
)");
    lua.replace(QLatin1String("%MOVING%"), moving ? QLatin1String("true") : QLatin1String("false"));
    if (delayMs > 0) lua += QStringLiteral("function delay() return %1 end\n").arg(delayMs);
    return lua;
}

WrkResult wrkScript(const QString &url, const QString &lua, int connections, int seconds, const QString &dir) {
    const QString file = dir + "/load.lua";
    QFile f(file);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(lua.toUtf8());
    f.close();
    QProcess p;
    p.start("wrk", {"-t", "2", "-c", QString::number(connections), "-d", QString::number(seconds) + "s", "--latency",
                    "--timeout", "10s", "-s", file, url});
    WrkResult r;
    if (!p.waitForFinished((seconds + 30) * 1000)) return p.kill(), r;
    for (const QString &line : QString::fromUtf8(p.readAllStandardOutput()).split('\n')) {
        const QStringList w = line.simplified().split(' ');
        if (w.size() >= 2 && w[0] == "Requests/sec:") r.rps = w[1].toDouble();
        if (line.contains("Non-2xx or 3xx responses:")) r.errors += w.last().toLongLong();
    }
    r.ok = r.rps > 0;
    return r;
}

double cpuSeconds(qint64 pid) {  // user + system time of a process
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QByteArray s = f.readAll();
    const QList<QByteArray> w = s.mid(s.lastIndexOf(')') + 2).split(' ');
    return (w.value(11).toDouble() + w.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    TeamServerProcess server;
    if (!server.start({"--demo", "--seed", "1", "--intake-rate", "1000000"}))
        return std::fprintf(stderr, "the server did not start\n"), 1;
    QStringList tokens;
    for (const char *login : {"anna", "dmitry", "sergey", "maria", "nikita", "elena", "kirill", "yulia"})
        tokens << signIn(server.url, login, server.password(login)).value("token").toString();
    const QString viewer = tokens.first();
    const QString dir = server.dir.path();

    const QByteArray metrics = metricsBody(), logs = logsBody(), status = statusBody();
    figure("otlp_metrics_batch_size", metrics.size() / 1024.0, "KB");
    figure("otlp_logs_batch_size", logs.size() / 1024.0, "KB");

    Nginx nginx;
    if (!nginx.start({{"/static.txt", QByteArray("5ч 37% · 7д 61%")}})) return std::fprintf(stderr, "nginx did not start\n"), 1;
    const WrkResult floor = wrk(nginx.url + "/static.txt", {}, 32, kSeconds);
    const WrkResult lines = wrkScript(server.url, script({{"/api/intake/statusline", status, 1}}, tokens, 0), 32, kSeconds, dir);
    figure("nginx_static_rps", floor.rps, "req/s");
    figure("statusline_reports_per_s", lines.rps, "req/s");
    figure("statusline_share_of_nginx", floor.rps > 0 ? lines.rps / floor.rps * 100 : 0, "%");
    figure("statusline_errors", double(lines.errors), "responses");
    // Every report with new figures: each one is written.
    const WrkResult moving = wrkScript(server.url, script({{"/api/intake/statusline", status, 1}}, tokens, 0, true), 32,
                                       kSeconds, dir);
    figure("statusline_new_figures_per_s", moving.rps, "req/s");
    figure("statusline_new_figures_share_of_nginx", floor.rps > 0 ? moving.rps / floor.rps * 100 : 0, "%");
    const WrkResult m = wrkScript(server.url, script({{"/v1/metrics", metrics, 1}}, tokens, 0), 32, kSeconds, dir);
    figure("otlp_metrics_batches_per_s", m.rps, "req/s");
    const WrkResult l = wrkScript(server.url, script({{"/v1/logs", logs, 1}}, tokens, 0), 32, kSeconds, dir);
    figure("otlp_logs_batches_per_s", l.rps, "req/s");

    // 2,000 machines: per 5 s a status line and a log batch each (800 a second), per minute a
    // metrics batch and a heartbeat each (67 a second): 867 reports a second from 100
    // connections, each sending one report every 115 ms.
    const QByteArray beat = R"({"host":"h","os_user":"m","claude_version":"2.1.3","codex_version":"","tooling":"t1"})";
    const QString fleet = script({{"/api/intake/statusline", status, 12}, {"/v1/logs", logs, 12}, {"/v1/metrics", metrics, 1},
                                  {"/api/intake/heartbeat", beat, 1}}, tokens, 115);
    QFile f(dir + "/fleet.lua");
    f.open(QIODevice::WriteOnly);
    f.write(fleet.toUtf8());
    f.close();
    // Measured once every machine has reported for a while: a machine's first report after it
    // appears is written whatever it says, its repeats within 30 s are not.
    const int loadSeconds = 26, settleSeconds = 8;
    QProcess load;
    load.start("wrk", {"-t", "2", "-c", "100", "-d", QString::number(loadSeconds) + "s", "--timeout", "10s", "-s", dir + "/fleet.lua",
                       server.url});
    QThread::msleep(settleSeconds * 1000);
    const double cpu0 = cpuSeconds(server.pid());
    QElapsedTimer wall;
    wall.start();
    QList<double> ms;
    int failures = 0;
    while (wall.elapsed() < (loadSeconds - settleSeconds - 2) * 1000) {
        QElapsedTimer t;
        t.start();
        if (request("GET", server.url + "/api/my/status", viewer).status != 200) ++failures;
        ms << t.nsecsElapsed() / 1e6;
        QThread::msleep(20);
    }
    const double cores = (cpuSeconds(server.pid()) - cpu0) / (wall.elapsed() / 1000.0);
    load.waitForFinished((loadSeconds + 30) * 1000);
    double fleetRps = 0;
    for (const QString &line : QString::fromUtf8(load.readAllStandardOutput()).split('\n'))
        if (line.startsWith("Requests/sec:")) fleetRps = line.simplified().split(' ').value(1).toDouble();
    std::sort(ms.begin(), ms.end());
    figure("fleet_2000_reports_per_s", fleetRps, "req/s");
    figure("fleet_2000_server_cpu", cores, "cores");
    figure("fleet_2000_my_status_p50", ms.value(ms.size() / 2), "ms");
    figure("fleet_2000_my_status_p99", ms.value(int(ms.size() * 0.99)), "ms");
    figure("fleet_2000_my_status_failures", failures, "requests");
    return 0;
}
