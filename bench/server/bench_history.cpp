// The usage history at the size of a large team: 2,000 accounts with thirty days of both windows
// kept, as the cleanup leaves them. Prints the stored size, the hourly cleanup's time, and the
// time the real server takes to answer one account's last seven days over loopback (target:
// under 20 ms).
#include "benchkit.h"
#include "demo_history.h"
#include "history.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    constexpr int kAccounts = 2000;
    TeamServerProcess s;
    const double now = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    {
        Db db;
        QString error;
        if (!db.open(s.dbPath(), &error)) {
            std::fprintf(stderr, "database: %s\n", qPrintable(error));
            return 1;
        }
        QRandomGenerator rng(7);
        QElapsedTimer seeding;
        seeding.start();
        for (int i = 0; i < kAccounts; i += 100) {
            Tx tx(db);
            for (int k = i; k < i + 100; ++k) {
                const double fiveAt = now + rng.bounded(5 * 3600), sevenAt = now + rng.bounded(7 * 86400);
                const AccountNow a{QStringLiteral("claude"), QStringLiteral("load-%1@corvane.dev").arg(k, 4, 10, QLatin1Char('0')),
                                   double(rng.bounded(100)), fiveAt, double(rng.bounded(100)), sevenAt};
                seedWindowHistory(db, rng, a, now);
                for (int d = 0; d < 90; ++d)
                    history::recordUsage(db, a.provider, a.email, QStringLiteral("m%1").arg(k % 300), now - d * 86400.0,
                                         rng.bounded(30), 7e5, 1e5);
            }
            tx.commit();
        }
        figure("history_seed_2000", seeding.elapsed() / 1000.0, "s");
        figure("history_rows_2000", db.scalar("SELECT COUNT(*) FROM window_readings").toDouble(), "rows");
        figure("history_cost_rows_2000", db.scalar("SELECT COUNT(*) FROM usage_daily").toDouble(), "rows");
        QElapsedTimer cleanup;
        cleanup.start();
        const history::CompactResult r = history::compact(db, now + 3600);
        figure("history_cleanup_2000", cleanup.elapsed() / 1000.0, "s");
        figure("history_cleanup_dropped", double(r.dropped), "rows");
        db.exec("PRAGMA wal_checkpoint(TRUNCATE)");
    }
    figure("history_db_2000", QFileInfo(s.dbPath()).size() / 1048576.0, "MiB");

    if (!s.start({"--demo", "--seed", "1"})) return 1;
    const QString admin = signIn(s.url, "admin", s.password("admin")).value("session").toString();
    QList<double> ms;
    int points = 0;
    for (int i = 0; i < 200; ++i) {
        const QString url = s.url + QStringLiteral("/api/accounts/history?provider=claude&email=load-%1%40corvane.dev&days=7")
                                        .arg((i * 37) % kAccounts, 4, 10, QLatin1Char('0'));
        QElapsedTimer t;
        t.start();
        const Served a = request("GET", url, admin);
        ms.append(t.nsecsElapsed() / 1e6);
        if (a.status != 200) {
            std::fprintf(stderr, "history answered %d\n", a.status);
            return 1;
        }
        const QJsonObject w = QJsonDocument::fromJson(a.body).object().value("windows").toObject();
        points = std::max(points, int(w.value("five_hour").toObject().value("points").toArray().size()
                                      + w.value("seven_day").toObject().value("points").toArray().size()));
    }
    std::sort(ms.begin(), ms.end());
    figure("history_7d_2000", ms.at(ms.size() / 2), "ms");
    figure("history_7d_2000_p95", ms.at(ms.size() * 95 / 100), "ms");
    figure("history_7d_points", points, "points");
    const Served cost = request("GET", s.url + "/api/stats/cost?days=30", admin);
    std::printf("history_7d_target: %s (median under 20 ms)\n", ms.at(ms.size() / 2) < 20 && cost.status == 200 ? "met" : "MISSED");
    return 0;
}
