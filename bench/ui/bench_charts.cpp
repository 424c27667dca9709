// The usage charts in the real main window (the administrator signed in against the reference
// server's demo team and its thirty days of history, software scene graph, the client's
// allocator tuning; the window started and settled as bench_app does it):
//   chart_first_frame   from opening the first dashboard card to the first frame that shows its
//                       history chart drawn (the week's answer from the server included)
//   chart_memory        resident memory with the charts shown less that of the settled dashboard
//                       without them: the card's history chart opened, then the statistics with
//                       their cost chart, each settled. The administrator's screens show no
//                       sparklines (those are on a member's own cards).
//   chart_memory_history  the same after the card's chart alone
// Settled is the window's charts and breakdowns loaded and no frame for benchwin::kQuietMs.
// The figures are taken in a child process, after a warm-up child, so that they compare screens
// and not a cold disk cache. Prints `NAME: VALUE UNIT` lines. Run under Xvfb:
//   xvfb-run -a bench/ui/bench_charts
// BENCH_CHARTS_SMAPS=DIR leaves /proc/self/smaps there at each figure (before, history, after),
// to see where the memory went.
#include "mainwindowkit.h"
#include "referenceserver.h"
#include "app/app.h"
#include "app/screenshotvariants.h"
#include "net/secretstore.h"
#include "store/chartbase.h"
#include "store/store.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QQuickItem>
#include <QTemporaryDir>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>
#include <cstdio>
#include <functional>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

namespace {

// The item of that name anywhere in the window, visible or not.
QQuickItem *findItem(QQuickItem *item, const QString &name)
{
    if (!item || item->objectName() == name)
        return item;
    for (QQuickItem *child : item->childItems())
        if (QQuickItem *found = findItem(child, name))
            return found;
    return nullptr;
}

void mb(const char *name, long kb)
{
    std::printf("%s: %.1f MB\n", name, kb / 1024.0);
}

// Polls `ready` every few milliseconds and calls `then` once it holds; false after the cap.
void when(QObject *owner, std::function<bool()> ready, std::function<void(bool)> then)
{
    auto *poll = new QTimer(owner);
    QElapsedTimer since;
    since.start();
    QObject::connect(poll, &QTimer::timeout, owner, [=] {
        const bool ok = ready();
        if (!ok && since.elapsed() < benchwin::kSettleCapMs)
            return;
        poll->stop();
        poll->deleteLater();
        then(ok);
    });
    poll->start(2);
}

int fail(const char *what)
{
    std::fprintf(stderr, "bench: %s\n", what);
    QCoreApplication::exit(1);
    return 1;
}

int child(QApplication &qapp)
{
    MemorySecretStore secrets;
    AppOptions options = benchwin::childOptions(secrets);
    CorvaneApp app(options);
    if (!benchwin::start(app))
        return 1;
    Store *store = app.store();
    QQuickWindow *w = nullptr;
    benchwin::Rss before;
    QElapsedTimer opened;
    const auto loaded = [&] { return shotvariant::settled(w); };

    // 3. The statistics with their cost chart, settled: the figure.
    const auto statistics = [&] {
        store->setNavByName(QStringLiteral("stats"));
        benchwin::whenSettled(w, [&] {
            QQuickItem *view = findItem(w->contentItem(), QStringLiteral("statsView"));
            QObject *model = view ? view->property("model").value<QObject *>() : nullptr;
            return model && !model->property("showSpinner").toBool()
                && findItem(w->contentItem(), QStringLiteral("costChart")) && loaded();
        }, [&](bool settled) {
            benchwin::keepSmaps("BENCH_CHARTS_SMAPS", QStringLiteral("after"));
            if (!settled)
                std::printf("warning: the statistics did not settle within %d ms\n", benchwin::kSettleCapMs);
            mb("chart_memory", benchwin::rss().total - before.total);
            QCoreApplication::exit(settled ? 0 : 1);
        });
    };
    // 2. The first card opened: the first frame that shows its chart drawn, then settled.
    const auto history = [&] {
        when(w, [&] { return shotvariant::apply(store, w, QStringLiteral("dashboard:history")); }, [&](bool ok) {
            if (!ok)
                return void(fail("no dashboard card to open"));
            opened.start();
            // The chart's own answer, not the rest of the detail (its breakdown loads apart).
            when(w, [&] {
                QQuickItem *view = findItem(w->contentItem(), QStringLiteral("historyChart"));
                auto *chart = view ? view->property("model").value<ChartBase *>() : nullptr;
                return chart && !chart->waiting();
            }, [&](bool ok) {
                if (!ok)
                    return void(fail("the card's history chart did not load"));
                benchwin::nextFrame(w, [&] {
                    std::printf("chart_first_frame: %.1f ms\n", opened.nsecsElapsed() / 1e6);
                    benchwin::whenSettled(w, loaded, [&](bool) {
                        benchwin::keepSmaps("BENCH_CHARTS_SMAPS", QStringLiteral("history"));
                        mb("chart_memory_history", benchwin::rss().total - before.total);
                        statistics();
                    });
                });
            });
        });
    };
    // 1. The dashboard as it starts, settled as bench_app has it: no chart on it.
    QObject::connect(&app, &CorvaneApp::mainWindowPainted, &qapp, [&] {
        w = app.mainWindow();
        benchwin::whenSettled(w, [&] { return !store->teamAccounts().isEmpty() && loaded(); }, [&](bool settled) {
            if (!settled || findItem(w->contentItem(), QStringLiteral("historyChart")))
                return void(fail("the dashboard did not settle without a chart"));
            before = benchwin::rss();
            benchwin::keepSmaps("BENCH_CHARTS_SMAPS", QStringLiteral("before"));
            history();
        });
    }, Qt::SingleShotConnection);
    return qapp.exec();
}

} // namespace

int main(int argc, char **argv)
{
    CorvaneApp::tuneAllocator();
    QApplication qapp(argc, argv);
    if (qapp.arguments().value(1) == QLatin1String("--child"))
        return child(qapp);

    if (qEnvironmentVariableIsEmpty("CORVANE_SERVER_BIN"))
        qputenv("CORVANE_SERVER_BIN", CORVANE_SERVER_PATH);
    ReferenceServer server;
    QTemporaryDir home;
    QProcessEnvironment env;
    if (!server.start() || !benchwin::childEnvironment(server, home.path(), &env)) {
        std::fprintf(stderr, "bench: the demo server did not start or sign in\n");
        return 1;
    }
    const auto run = [&](bool show) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(show ? QProcess::ForwardedChannels : QProcess::ForwardedErrorChannel);
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")});
        if (!p.waitForFinished(120000))
            p.kill();
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    };
    std::printf("platform %s, scene graph %s; the administrator's main window, demo team\n",
                qPrintable(QGuiApplication::platformName()), qPrintable(env.value(QStringLiteral("QT_QUICK_BACKEND"))));
    std::fflush(stdout);
    run(false);
    const bool ok = run(true);
    server.stop();
    return ok ? 0 : 1;
}
