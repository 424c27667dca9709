// Throughput and latency of the team server under wrk, beside nginx serving the same bodies as
// static files in the same run: GET /api/my/status and /api/accounts for the demo team, then
// /api/accounts for 2,000 accounts, and /api/my/status while five administrators load those
// 2,000 accounts without pause. Loopback only; about two minutes in all.
#include "benchkit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kSeconds = 5;
constexpr int kConnections = 32;

struct Team {
    TeamServerProcess server;
    QString admin, viewer;  // session credentials
    bool up(const QStringList &extra) {
        if (!server.start(QStringList{"--demo", "--seed", "1"} + extra)) return false;
        admin = signIn(server.url, "admin", server.password("admin")).value("session").toString();
        viewer = signIn(server.url, "anna", server.password("anna")).value("session").toString();
        return !admin.isEmpty() && !viewer.isEmpty();
    }
};

void compare(const char *name, const WrkResult &ours, const WrkResult &nginx, double targetPct) {
    std::printf("# %s\n", name);
    figure((QByteArray(name) + "_server_rps").constData(), ours.rps, "req/s");
    figure((QByteArray(name) + "_nginx_rps").constData(), nginx.rps, "req/s");
    figure((QByteArray(name) + "_server_p50").constData(), ours.p50, "ms");
    figure((QByteArray(name) + "_server_p99").constData(), ours.p99, "ms");
    figure((QByteArray(name) + "_nginx_p99").constData(), nginx.p99, "ms");
    const double pct = nginx.rps > 0 ? ours.rps / nginx.rps * 100 : 0;
    figure((QByteArray(name) + "_share_of_nginx").constData(), pct, "%");
    std::printf("%s_target: %s (at least %.0f %% of nginx; %lld errors)\n", name, pct >= targetPct ? "met" : "MISSED",
                targetPct, static_cast<long long>(ours.errors));
}

// A member's view: one request at a time, as clients poll, timed one by one.
struct Probe {
    double p50 = 0, p99 = 0, worst = 0;
    int failures = 0;
};
Probe probe(const QString &url, const QString &bearer, int count, int maxMs) {
    QList<double> ms;
    Probe p;
    QElapsedTimer all;
    all.start();
    for (int i = 0; i < count && all.elapsed() < maxMs; ++i) {
        QElapsedTimer t;
        t.start();
        if (request("GET", url, bearer).status != 200) ++p.failures;
        ms << t.nsecsElapsed() / 1e6;
    }
    std::sort(ms.begin(), ms.end());
    p.p50 = ms.value(ms.size() / 2);
    p.p99 = ms.value(int(ms.size() * 0.99));
    p.worst = ms.isEmpty() ? 0 : ms.last();
    return p;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    bool ok = true;
    {
        Team demo;
        if (!demo.up({})) return std::fprintf(stderr, "the demo server did not start\n"), 1;
        const QByteArray status = request("GET", demo.server.url + "/api/my/status", demo.viewer).body;
        const QByteArray accounts = request("GET", demo.server.url + "/api/accounts", demo.admin).body;
        Nginx nginx;
        if (!nginx.start({{"/api/my/status", status}, {"/api/accounts", accounts}}))
            return std::fprintf(stderr, "nginx did not start\n"), 1;
        figure("demo_status_body", status.size() / 1024.0, "KiB");
        figure("demo_accounts_body", accounts.size() / 1024.0, "KiB");
        const WrkResult s = wrk(demo.server.url + "/api/my/status", demo.viewer, kConnections, kSeconds);
        const WrkResult sn = wrk(nginx.url + "/api/my/status", {}, kConnections, kSeconds);
        compare("demo_my_status", s, sn, 25);
        const WrkResult a = wrk(demo.server.url + "/api/accounts", demo.admin, kConnections, kSeconds);
        const WrkResult an = wrk(nginx.url + "/api/accounts", {}, kConnections, kSeconds);
        compare("demo_accounts", a, an, 10);
        ok = ok && s.ok && a.ok;
    }
    {
        Team big;
        if (!big.up({"--demo-accounts", "1978"})) return std::fprintf(stderr, "the 2,000-account server did not start\n"), 1;
        const QByteArray accounts = request("GET", big.server.url + "/api/accounts", big.admin).body;
        const QByteArray status = request("GET", big.server.url + "/api/my/status", big.viewer).body;
        Nginx nginx;
        if (!nginx.start({{"/api/my/status", status}, {"/api/accounts", accounts}}))
            return std::fprintf(stderr, "nginx did not start\n"), 1;
        figure("big_accounts_body", accounts.size() / 1024.0, "KiB");
        // A write invalidates the list: the next request rebuilds it (on a worker) once.
        request("POST", big.server.url + "/api/refresh-limits", big.admin, "{}");
        QElapsedTimer cold;
        cold.start();
        request("GET", big.server.url + "/api/accounts", big.admin);
        figure("big_accounts_rebuild", cold.nsecsElapsed() / 1e6, "ms");
        // Five administrators refreshing the list together.
        const WrkResult a = wrk(big.server.url + "/api/accounts", big.admin, 5, kSeconds);
        const WrkResult an = wrk(nginx.url + "/api/accounts", {}, 5, kSeconds);
        compare("big_accounts", a, an, 0);
        std::printf("big_accounts_p50_target: %s (under 50 ms)\n", a.ok && a.p50 < 50 ? "met" : "MISSED");

        // Members' status while those five keep loading the list: as members see it (one request
        // at a time), and saturated by wrk.
        auto load = wrkInBackground(big.server.url + "/api/accounts", big.admin, 5, 2 * kSeconds + 4);
        const Probe p = probe(big.server.url + "/api/my/status", big.viewer, 2000, kSeconds * 1000);
        const WrkResult s = wrk(big.server.url + "/api/my/status", big.viewer, 16, kSeconds, 1);
        load->waitForFinished(30000);
        auto nload = wrkInBackground(nginx.url + "/api/accounts", {}, 5, 2 * kSeconds + 4);
        const Probe pn = probe(nginx.url + "/api/my/status", {}, 2000, kSeconds * 1000);
        const WrkResult sn = wrk(nginx.url + "/api/my/status", {}, 16, kSeconds, 1);
        nload->waitForFinished(30000);
        std::printf("# status_under_admin_load, one request at a time\n");
        figure("status_under_admin_load_member_p50", p.p50, "ms");
        figure("status_under_admin_load_member_p99", p.p99, "ms");
        figure("status_under_admin_load_member_max", p.worst, "ms");
        figure("status_under_admin_load_member_nginx_p99", pn.p99, "ms");
        std::printf("status_under_admin_load_p99_target: %s (under 50 ms; %d failures)\n",
                    !p.failures && p.p99 < 50 ? "met" : "MISSED", p.failures);
        compare("status_under_admin_load_saturated", s, sn, 0);
        ok = ok && a.ok && s.ok && !p.failures;
    }
    return ok ? 0 : 1;
}
