// Cold start and memory of the client beside a bare Qt Quick window, each figure measured in a
// fresh child process on the same platform plugin and scene graph (software unless
// QT_QUICK_BACKEND says otherwise):
//   app     the main window: time to its first frame, then its resident memory once it has
//           settled (first frame on screen, the team's data shown, the window idle)
//   cycles  the main window again, refreshing every 20 ms: resident memory after 100 refreshes
//   panel   time to the tray panel's first frame
//   bare    a bare Qt Quick 1320x840 window built the same way (static module, QApplication,
//           QQmlApplicationEngine): first frame, then the same settle condition and as many
//           timer ticks as the cycles
// "Idle" is a window that has swapped no frame for kQuietMs. The parent starts the reference
// server with the demo team and signs in once; children restore that session. Times are from
// the child's start (fork/exec included) to the frame. Prints `NAME: VALUE UNIT` lines.
// BENCH_APP_SMAPS=DIR leaves each child's /proc/self/smaps there, taken with the figure.
#include "mainwindowkit.h"
#include "referenceserver.h"
#include "app/app.h"
#include "net/secretstore.h"
#include "store/store.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>
#include <cstdio>
#include <functional>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

namespace {

constexpr int kCycles = 100;
constexpr int kRefreshMs = 20;
using benchwin::Rss;
using benchwin::kQuietMs;
using benchwin::kSettleCapMs;
using benchwin::rss;
using benchwin::whenSettled;

void say(const char *key, const Rss &r)
{
    benchwin::keepSmaps("BENCH_APP_SMAPS", QLatin1String(key) + u'-' + QString::number(QCoreApplication::applicationPid()));
    std::printf("%s %ld %ld %ld\n", key, r.total, r.anon, r.file);
    std::fflush(stdout);
}

void sayFrame()
{
    std::printf("FRAME\n");
    std::fflush(stdout);
}

int childApp(QApplication &qapp, const QString &mode)
{
    MemorySecretStore secrets;
    AppOptions options = benchwin::childOptions(secrets);
    if (mode == QLatin1String("cycles"))
        options.deps.refreshIntervalMs = kRefreshMs;
    CorvaneApp app(options);
    if (!benchwin::start(app))
        return 1;
    if (mode == QLatin1String("panel")) {
        QQuickWindow *w = app.panelWindow();
        QObject::connect(w, &QQuickWindow::frameSwapped, &qapp, [] {
            sayFrame();
            QCoreApplication::exit(0);
        }, Qt::SingleShotConnection);
        w->setPosition(40, 40);
        w->show();
        return qapp.exec();
    }
    Store *store = app.store();
    if (mode == QLatin1String("cycles")) {
        int passes = 0;
        QObject::connect(store, &Store::refreshPass, &qapp, [&] {
            if (++passes == kCycles) {
                // The last answers arrive before the figure is read.
                QObject::connect(store, &Store::refreshPass, &qapp, [] {
                    say("RSS_CYCLES", rss());
                    QCoreApplication::exit(0);
                }, Qt::SingleShotConnection);
            }
        });
        return qapp.exec();
    }
    QObject::connect(&app, &CorvaneApp::mainWindowPainted, &qapp, [&] {
        sayFrame();
        // Settled once the team is on screen (the administrator's dashboard) and the window idle.
        whenSettled(app.mainWindow(), [store] { return !store->teamAccounts().isEmpty(); }, [](bool settled) {
            say(settled ? "RSS_START" : "RSS_UNSETTLED", rss());
            QCoreApplication::exit(0);
        });
    });
    return qapp.exec();
}

int childBare(QApplication &qapp, bool cycles)
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
    QTimer ticks;
    int n = 0;
    QObject::connect(&ticks, &QTimer::timeout, &qapp, [&] {
        if (++n == kCycles) {
            ticks.stop();
            say("RSS_CYCLES", rss());
            QCoreApplication::exit(0);
        }
    });
    QObject::connect(w, &QQuickWindow::frameSwapped, &qapp, [&] {
        sayFrame();
        if (cycles) {
            ticks.start(kRefreshMs);
            return;
        }
        whenSettled(w, [] { return true; }, [](bool settled) {
            say(settled ? "RSS_START" : "RSS_UNSETTLED", rss());
            QCoreApplication::exit(0);
        });
    }, Qt::SingleShotConnection);
    return qapp.exec();
}

struct Figures {
    double frameMs = -1;
    Rss start, cycles;
    bool settled = true;
};

Rss parseRss(const QByteArray &fields)
{
    const QList<QByteArray> f = fields.split(' ');
    return {f.value(0).toLong(), f.value(1).toLong(), f.value(2).toLong()};
}

Figures runChild(const QString &mode, const QProcessEnvironment &env)
{
    Figures f;
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer t;
    t.start();
    p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), mode});
    QByteArray buf;
    while (p.state() != QProcess::NotRunning || p.bytesAvailable()) {
        p.waitForReadyRead(100);
        buf += p.readAllStandardOutput();
        while (buf.contains('\n')) {
            const qsizetype nl = buf.indexOf('\n');
            const QByteArray line = buf.left(nl).trimmed();
            buf.remove(0, nl + 1);
            if (line == "FRAME")
                f.frameMs = t.nsecsElapsed() / 1e6;
            else if (line.startsWith("RSS_START "))
                f.start = parseRss(line.mid(10));
            else if (line.startsWith("RSS_UNSETTLED ")) {
                f.start = parseRss(line.mid(14));
                f.settled = false;
            } else if (line.startsWith("RSS_CYCLES "))
                f.cycles = parseRss(line.mid(11));
        }
        if (t.elapsed() > 120000) {
            p.kill();
            break;
        }
        if (p.state() == QProcess::NotRunning && !p.bytesAvailable())
            break;
    }
    p.waitForFinished(5000);
    return f;
}

void line(const char *name, double value, const char *unit)
{
    std::printf("%s: %.*f %s\n", name, value >= 0 && value < 10 ? 2 : 1, value, unit);
}

double mib(long kb) { return kb < 0 ? -1 : kb / 1024.0; }

} // namespace

int main(int argc, char **argv)
{
    // As the client's main() does; the bare window gets the same, so that the two differ only
    // in what they show.
    CorvaneApp::tuneAllocator();
    QApplication qapp(argc, argv);
    const QStringList args = qapp.arguments();
    if (args.size() >= 3 && args[1] == QLatin1String("--child")) {
        if (args[2].startsWith(QLatin1String("bare")))
            return childBare(qapp, args[2] == QLatin1String("bare-cycles"));
        return childApp(qapp, args[2]);
    }

    if (qEnvironmentVariableIsEmpty("CORVANE_SERVER_BIN"))
        qputenv("CORVANE_SERVER_BIN", CORVANE_SERVER_PATH);
    ReferenceServer server;
    if (!server.start()) {
        std::fprintf(stderr, "bench: the reference server did not start\n");
        return 1;
    }
    QTemporaryDir home;
    QProcessEnvironment env;
    if (!benchwin::childEnvironment(server, home.path(), &env)) {
        std::fprintf(stderr, "bench: demo sign-in failed\n");
        return 1;
    }
    std::printf("platform %s, scene graph %s; settled = first frame, the team shown, no frame for %d ms; %d refresh cycles "
                "every %d ms (administrator: limits, team accounts, alerts)\n",
                qPrintable(QGuiApplication::platformName()), qPrintable(env.value(QStringLiteral("QT_QUICK_BACKEND"))),
                kQuietMs, kCycles, kRefreshMs);
    // One warm-up run of each so that the figures compare processes, not a cold disk cache.
    runChild(QStringLiteral("bare"), env);
    runChild(QStringLiteral("app"), env);
    const Figures bare = runChild(QStringLiteral("bare"), env);
    const Figures app = runChild(QStringLiteral("app"), env);
    const Figures bareCycles = runChild(QStringLiteral("bare-cycles"), env);
    const Figures appCycles = runChild(QStringLiteral("cycles"), env);
    const Figures panel = runChild(QStringLiteral("panel"), env);
    if (!app.settled || !bare.settled)
        std::printf("warning: a window did not settle within %d ms (%s); its figure is taken then\n", kSettleCapMs,
                    !app.settled ? "main" : "bare");
    line("main_window_first_frame", app.frameMs, "ms");
    line("bare_window_first_frame", bare.frameMs, "ms");
    line("tray_panel_first_frame", panel.frameMs, "ms");
    line("main_window_rss", mib(app.start.total), "MiB");
    line("bare_window_rss", mib(bare.start.total), "MiB");
    line("main_window_rss_ratio", app.start.total > 0 && bare.start.total > 0 ? double(app.start.total) / bare.start.total : -1, "x");
    line("main_window_rss_anon", mib(app.start.anon), "MiB");
    line("bare_window_rss_anon", mib(bare.start.anon), "MiB");
    line("main_window_rss_file", mib(app.start.file), "MiB");
    line("bare_window_rss_file", mib(bare.start.file), "MiB");
    line("main_window_rss_after_cycles", mib(appCycles.cycles.total), "MiB");
    line("bare_window_rss_after_cycles", mib(bareCycles.cycles.total), "MiB");
    server.stop();
    return (app.frameMs < 0 || bare.frameMs < 0 || panel.frameMs < 0 || app.start.total < 0) ? 1 : 0;
}
