// The AI resources screens under load. One line per figure, "NAME: VALUE UNIT".
//
//   keystroke_*        filter + sort + grouping of 5,000 accounts as the search field changes
//   sort_change_*      a click on a column header over 5,000 accounts
//   refresh_*          a whole refresh of 2,000 accounts (a 3.8 MB answer): what each way of
//                      parsing costs, and what the main thread pays with the chosen one (decode on
//                      a worker, then assignment and the list models' update on the main thread)
//   unchanged_refresh_2000*  a refresh of 2,000 accounts against the reference server when nothing
//                      changed: the main thread's CPU time for the whole exchange, and the bytes of
//                      the answer (status line, headers, body)
//   first_frame_*      switching to the dashboard or the panel until its first frame, with the demo
//                      team and with 2,000 more accounts (run under Xvfb, software renderer)
//   rss_*              resident memory with the dashboard, the panel or the tasks placeholder shown
//                      (the shell alone), beside a bare Qt Quick window
//
// Run: xvfb-run -a env QT_QUICK_BACKEND=software build/bench/store/bench_resources
// (--no-ui skips the parts that start the application, --demo-only the 2,000-account team). In-process figures are the median CPU
// time of the thread that does the work; first frames are wall-clock times.
#include "mainwindowkit.h"
#include "referenceserver.h"
#include "rss.h"
#include "app/app.h"
#include "core/teamanswer.h"
#include "net/secretstore.h"
#include "store/accountsfilter.h"
#include "store/personrowsmodel.h"
#include "store/store.h"
#include "store/teamaccountsmodel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <QtQml/qqmlextensionplugin.h>
#include <algorithm>
#include <cstdio>
#include <ctime>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

namespace {

constexpr double NOW = 1760000000;

void figure(const char *name, double value, const char *unit = "ms")
{
    std::printf("%s: %.2f %s\n", name, value, unit);
    std::fflush(stdout);
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// CPU time of the calling thread: on a machine shared with other work, wall-clock figures
// measure the neighbours as much as the code.
template<class F>
double timeMs(F f)
{
    const double start = threadCpuMs();
    f();
    return threadCpuMs() - start;
}

template<class F>
double medianMs(int runs, F f)
{
    QList<double> v;
    for (int i = 0; i < runs; ++i)
        v << timeMs(f);
    return median(v);
}

// A team answer of n accounts shaped like the server's: 60 owners, 8 groups, every provider,
// figures with many ties, three devices, two sessions and three users each.
QByteArray teamAnswer(int n, int variant = 0)
{
    static const char *providers[] = {"claude", "claude", "claude", "codex", "gemini", "glm", "kimi", "qwen", "openrouter", "mistral"};
    static const char *groups[] = {"CORE", "WEB", "MOBILE", "R&D", "OPS", "QA", "DATA", "DESIGN"};
    QJsonArray accts;
    for (int i = 0; i < n; ++i) {
        QJsonArray devices, sessions, users;
        for (int d = 0; d < 3; ++d)
            devices.append(QJsonObject{{"device_host", QString("mbp-%1-%2").arg(i).arg(d)}, {"os_user", "dev"},
                                       {"person", QString("Сотрудник %1").arg((i + d) % 60)}, {"model", "claude-opus-4-5-20251101"},
                                       {"version", "2.0.150"}, {"br_rev", "r42"}, {"project", QString("project-%1").arg(i % 17)},
                                       {"five_hour_pct", 10.0 + d}, {"seven_day_pct", 30.0 + d}, {"cost_usd", 1.25 * d},
                                       {"last_seen", NOW - 30 * d}, {"online", d == 0}});
        for (int s = 0; s < 2; ++s)
            sessions.append(QJsonObject{{"project", QString("project-%1").arg((i + s) % 17)}, {"person", "Анна"},
                                        {"model", "claude-sonnet-4-5"}, {"active", s == 0}});
        for (int u = 0; u < 3; ++u)
            users.append(QJsonObject{{"name", QString("Участник %1").arg((i + u) % 60)}, {"online", u == 1}});
        // A refresh changes the figures of about one account in ten.
        const int drift = (i % 10 == 0) ? variant : 0;
        accts.append(QJsonObject{
            {"email", QString("acct%1@corvane.dev").arg(i)}, {"provider", providers[i % 10]},
            {"member_name", QString("Сотрудник %1").arg(i % 60)}, {"member_id", QString("m%1").arg(i % 60)},
            {"group_name", groups[i % 8]}, {"status", i % 9 ? "active" : "hold"}, {"auth_type", i % 4 ? "oauth" : "api_key"},
            {"has_key", i % 2 == 0}, {"has_monitor", true}, {"in_registry", true},
            {"five_hour_pct", (i * 7 + drift) % 100}, {"five_hour_resets_at", NOW + 4000}, {"seven_day_pct", (i * 13 + drift) % 100},
            {"seven_day_resets_at", NOW + 200000}, {"cost_usd", (i % 300) * 0.37}, {"total_input", i * 1000},
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
    return QJsonDocument(QJsonObject{{"accounts", accts}}).toJson(QJsonDocument::Compact);
}

struct Models {
    TeamAccountsModel source;
    AccountsFilter filter;
    PersonRowsModel people;
    Models()
    {
        source.setStore(nullptr);
        filter.setStore(nullptr);
        filter.setSource(&source);
        people.setAccounts(&filter);
    }
};

void panelFigures()
{
    const QList<TeamAcct> five = decodeTeamAnswer(teamAnswer(5000));
    Models m;
    m.source.setAccounts(five);

    // Typing "acct12@" and deleting it again, one character at a time.
    const QString word = QStringLiteral("acct12@");
    QList<double> keys;
    for (int round = 0; round < 5; ++round) {
        for (int i = 1; i <= word.size(); ++i)
            keys << timeMs([&] { m.filter.setFilter({QString(), Ac::StatusFilter::All, word.left(i)}); });
        for (int i = word.size() - 1; i >= 0; --i)
            keys << timeMs([&] { m.filter.setFilter({QString(), Ac::StatusFilter::All, word.left(i)}); });
    }
    figure("keystroke_5000_median", median(keys));

    figure("keystroke_5000_max", *std::max_element(keys.begin(), keys.end()));

    // Header clicks: a figure column, a text column the first time (its collation keys are made
    // then) and again, and back to the default.
    figure("sort_change_5000_cost", timeMs([&] { m.filter.setSort({Ac::Sort::Cost, false}); }));
    figure("sort_change_5000_account_first", timeMs([&] { m.filter.setSort({Ac::Sort::Account, true}); }));
    figure("sort_change_5000_account_again", timeMs([&] {
        m.filter.setSort({Ac::Sort::Account, false});
    }));
    figure("sort_change_5000_seven", timeMs([&] { m.filter.setSort({Ac::Sort::Seven, false}); }));
}

void refreshFigures()
{
    const QByteArray body = teamAnswer(2000);
    const QByteArray next = teamAnswer(2000, 3);
    std::printf("(team answer of 2,000 accounts: %.1f MB)\n", body.size() / 1e6);

    figure("refresh_2000_qt_parse_only", medianMs(5, [&] { QJsonDocument::fromJson(body); }));
    figure("refresh_2000_qt_parse_decode_sort", medianMs(5, [&] { teamanswer::viaQt(body); }));
    figure("refresh_2000_simdjson_parse_decode_sort", medianMs(5, [&] { teamanswer::viaSimdjson(body); }));

    // What the main thread pays per refresh, with the list models of the open panel following:
    // the answer decoded on a worker, then assigned to Store on the main thread.
    QTemporaryDir dir;
    MemorySecretStore secrets;
    StoreDeps deps;
    deps.secrets = &secrets;
    deps.settingsFile = dir.filePath(QStringLiteral("s.ini"));
    deps.home = dir.path();
    Store store(nullptr, deps);
    Models m;
    m.source.setStore(&store);
    m.filter.setStore(&store);

    const auto mainThreadShare = [&](const QByteArray &answer, bool qtParser) {
        QList<TeamAcct> list;
        double worker = 0, main = 0;
        QEventLoop loop;
        QtConcurrent::run([&answer, qtParser, &worker] {
            QList<TeamAcct> out;
            worker = timeMs([&] { out = qtParser ? teamanswer::viaQt(answer) : decodeTeamAnswer(answer); });
            return out;
        }).then(&loop, [&](const QList<TeamAcct> &decoded) {
            main = timeMs([&] { store.applyTeamAccounts(decoded); });
            loop.quit();
        });
        loop.exec();
        return std::pair{worker, main};
    };
    // First load (every row new), then refreshes alternating two answers that differ in a tenth
    // of the accounts.
    auto [w0, first] = mainThreadShare(body, false);
    figure("refresh_2000_main_thread_first_load", first);
    QList<double> mains, workers, qtWorkers;
    for (int i = 0; i < 6; ++i) {
        auto [w, mm] = mainThreadShare(i % 2 ? body : next, false);
        workers << w;
        mains << mm;
    }
    for (int i = 0; i < 3; ++i)
        qtWorkers << mainThreadShare(i % 2 ? body : next, true).first;
    figure("refresh_2000_main_thread", median(mains));
    figure("refresh_2000_worker_simdjson", median(workers));
    figure("refresh_2000_worker_qt_rejected", median(qtWorkers));
    figure("refresh_2000_all_on_main_thread_qt_rejected",
           medianMs(3, [&] { store.setTeamAccounts(teamanswer::viaQt(body)); }) );
    (void)w0;
}

// ---- Children: the application (or a bare window) in a process of its own -----------------

int childApp(QApplication &qapp, const QString &section)
{
    MemorySecretStore secrets;
    AppOptions options = benchwin::childOptions(secrets);
    CorvaneApp app(options);
    if (!benchwin::start(app))
        return 1;
    Store *s = app.store();
    QQuickWindow *w = app.mainWindow();
    // Once the team is in and the window idle: leave for a light section, come back, and time
    // the switch to the first frame of the section (its making, layout and first paint).
    QTimer poll;
    poll.setInterval(200);
    int quiet = 0;
    QObject::connect(&poll, &QTimer::timeout, &qapp, [&] {
        if (s->loadingTeam() || s->teamAccounts().isEmpty() || ++quiet < 5)
            return;
        poll.stop();
        // Away to a light section first (another one when the tasks section itself is measured).
        s->setNavByName(section == QLatin1String("tasks") ? QStringLiteral("projects") : QStringLiteral("tasks"));
        QTimer::singleShot(500, &qapp, [&] {
            static QElapsedTimer t;
            QObject::connect(w, &QQuickWindow::frameSwapped, &qapp, [&] {
                std::printf("FRAME %.2f\n", t.nsecsElapsed() / 1e6);
                std::fflush(stdout);
                QTimer::singleShot(1500, &qapp, [] {
                    std::printf("RSS %ld\n", rssKb());
                    std::fflush(stdout);
                    QCoreApplication::exit(0);
                });
            }, Qt::SingleShotConnection);
            t.start();
            s->setNavByName(section);
            w->requestUpdate();
        });
    });
    poll.start();
    return qapp.exec();
}

int childBare(QApplication &qapp)
{
    QQmlApplicationEngine engine;
    engine.loadData(R"QML(
import QtQuick
Window { width: 1320; height: 840; visible: true; color: "#0F0F11"; title: "bare"
    Rectangle { anchors.centerIn: parent; width: 300; height: 40; radius: 10; color: "#D97857"
        Text { anchors.centerIn: parent; text: "Войти"; color: "white" } } }
)QML");
    auto *w = engine.rootObjects().isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    if (!w)
        return 1;
    QObject::connect(w, &QQuickWindow::frameSwapped, &qapp, [&] {
        QTimer::singleShot(1500, &qapp, [] {
            std::printf("RSS %ld\n", rssKb());
            std::fflush(stdout);
            QCoreApplication::exit(0);
        });
    }, Qt::SingleShotConnection);
    return qapp.exec();
}

struct Child { double frameMs = -1; double rssKb = -1; };

Child runChild(const QString &mode, const QProcessEnvironment &env)
{
    Child c;
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), mode});
    if (!p.waitForFinished(120000))
        p.kill();
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        if (line.startsWith("FRAME "))
            c.frameMs = line.mid(6).toDouble();
        else if (line.startsWith("RSS "))
            c.rssKb = line.mid(4).toDouble();
    }
    return c;
}

// A refresh that finds nothing changed, through the store's own load, against the reference
// server with 2,000 more accounts.
bool unchangedRefreshFigures()
{
    ReferenceServer server;
    if (!server.start({QStringLiteral("--demo-accounts"), QStringLiteral("2000")})) {
        std::fprintf(stderr, "bench: the reference server did not start\n");
        return false;
    }
    const ReferenceServer::Login admin = server.loginFor(QStringLiteral("admin"));
    const QString session = server.signIn(admin.login, admin.password);
    QTemporaryDir dir;
    MemorySecretStore secrets;
    StoreDeps deps;
    deps.secrets = &secrets;
    deps.settingsFile = dir.filePath(QStringLiteral("s.ini"));
    deps.home = dir.path();
    Store store(nullptr, deps);
    store.setServerUrl(server.url());
    store.setSession(session);
    store.setRole(QStringLiteral("admin"));
    const auto refresh = [&] {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (store.http()->inFlight() == 0 && !store.loadingTeam())
                loop.quit();
        });
        poll.start(1);
        store.loadTeam();
        loop.exec();
    };
    refresh(); // the first load brings the whole team and its tag
    QList<double> mains;
    for (int i = 0; i < 7; ++i) {
        const double start = threadCpuMs();
        refresh();
        mains << threadCpuMs() - start;
    }
    const int accounts = int(store.teamAccounts().size());
    figure("unchanged_refresh_2000", median(mains));

    const ReferenceServer::Answer full = server.get(QStringLiteral("/api/accounts"), session);
    server.setHeaders({{"If-None-Match", full.header("etag")}});
    const ReferenceServer::Answer again = server.get(QStringLiteral("/api/accounts"), session);
    qint64 bytes = QByteArrayLiteral("HTTP/1.1 304 Not Modified\r\n\r\n").size() + again.body.size();
    for (const auto &[name, value] : again.headers)
        bytes += name.size() + value.size() + 4;
    figure("unchanged_refresh_2000_bytes", double(bytes), "B");
    std::printf("(%d accounts shown; the full answer is %.1f MB; the unchanged one was a %d)\n", accounts,
                full.body.size() / 1e6, again.status);
    server.stop();
    return again.status == 304;
}

// First frames (best of five) and memory, with the team the server was started with.
bool uiFigures(const char *team, const QStringList &serverArgs)
{
    ReferenceServer server;
    if (!server.start(serverArgs)) {
        std::fprintf(stderr, "bench: the reference server did not start\n");
        return false;
    }
    QTemporaryDir home;
    QProcessEnvironment env;
    if (!benchwin::childEnvironment(server, home.path(), &env))
        return false;
    for (const char *section : {"dashboard", "accounts", "tasks"}) {
        // The tasks placeholder is the yardstick: the shell with nothing of these screens.
        if (QByteArray(section) == "tasks" && QByteArray(team) != "demo")
            continue;
        QList<double> frames, rss;
        for (int i = 0; i < 5; ++i) {
            const Child c = runChild(QString::fromLatin1(section), env);
            frames << c.frameMs;
            rss << c.rssKb;
        }
        if (QByteArray(section) != "tasks")
            figure(qPrintable(QStringLiteral("first_frame_%1_%2").arg(section, team)),
                   *std::min_element(frames.begin(), frames.end()));
        if (QByteArray(team) == "demo")
            figure(qPrintable(QStringLiteral("rss_%1_demo").arg(section)), median(rss) / 1024, "MiB");
    }
    if (QByteArray(team) == "demo") {
        QList<double> bare;
        for (int i = 0; i < 3; ++i)
            bare << runChild(QStringLiteral("bare"), env).rssKb;
        figure("rss_bare_quick_window", median(bare) / 1024, "MiB");
    }
    server.stop();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    const QStringList args = qapp.arguments();
    if (args.size() >= 3 && args[1] == QLatin1String("--child"))
        return args[2] == QLatin1String("bare") ? childBare(qapp) : childApp(qapp, args[2]);

    panelFigures();
    refreshFigures();
    if (qEnvironmentVariableIsEmpty("CORVANE_SERVER_BIN"))
        qputenv("CORVANE_SERVER_BIN", CORVANE_SERVER_PATH);
    if (!unchangedRefreshFigures())
        return 1;
    if (args.contains(QStringLiteral("--no-ui")))
        return 0;
    const bool onlyDemo = args.contains(QStringLiteral("--demo-only"));
    std::printf("(platform %s, Qt Quick backend \"%s\")\n", qPrintable(QGuiApplication::platformName()),
                qPrintable(qEnvironmentVariable("QT_QUICK_BACKEND", QStringLiteral("software"))));
    const bool ok = uiFigures("demo", {})
        && (onlyDemo || uiFigures("2000", {QStringLiteral("--demo-accounts"), QStringLiteral("2000")}));
    return ok ? 0 : 1;
}
