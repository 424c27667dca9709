// The usage charts against the demo team's thirty days (the reference server with --demo): the
// time from creating the charts of an open account detail, the statistics' cost per day and six
// sparklines to the first frame that shows them all drawn, and the resident memory they add to a
// window already on screen. Prints `NAME: VALUE UNIT` lines. Run offscreen or under Xvfb:
//   QT_QPA_PLATFORM=offscreen bench/ui/bench_charts
// BENCH_CHARTS_SMAPS=DIR leaves /proc/self/smaps there before and after, to see where it went.
#include "referenceserver.h"
#include "rss.h"
#include "storefixture.h"
#include "store/chartbase.h"
#include "store/forecasts.h"
#include "store/usagehistory.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>
#include <cstdio>
#include <string_view>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

namespace {
void keepSmaps(const char *name)
{
    if (qEnvironmentVariableIsEmpty("BENCH_CHARTS_SMAPS"))
        return;
    QFile in(QStringLiteral("/proc/self/smaps"));
    QFile out(qEnvironmentVariable("BENCH_CHARTS_SMAPS") + u'/' + QLatin1String(name));
    if (in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly))
        out.write(in.readAll());
}

// Waits for the next frame the window puts on screen.
bool nextFrame(QQuickWindow *w)
{
    bool swapped = false;
    auto c = QObject::connect(w, &QQuickWindow::frameSwapped, w, [&] { swapped = true; });
    w->update();
    const bool ok = QTest::qWaitFor([&] { return swapped; }, 10000);
    QObject::disconnect(c);
    return ok;
}
} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("CORVANE_SERVER_BIN"))
        qputenv("CORVANE_SERVER_BIN", CORVANE_SERVER_PATH);
    ReferenceServer server;
    StoreFixture f;
    if (!server.start() || !f.signedInTo(server, QStringLiteral("admin"))) {
        std::fprintf(stderr, "bench: the demo server did not start or sign in\n");
        return 1;
    }
    Forecasts forecasts(f.store.get(), nullptr);
    Forecasts::setInstance(&forecasts);
    f->loadTeam();
    QTest::qWaitFor([&] { return !f->teamAccounts().isEmpty(); }, 20000);
    QStringList accounts;
    for (const TeamAcct &a : f->teamAccounts())
        if (a.fivePct > 0 && accounts.size() < 6)
            accounts << a.provider + u'\n' + a.email;
    if (accounts.isEmpty()) {
        std::fprintf(stderr, "bench: no demo account with limits\n");
        return 1;
    }
    // The answers are loaded first: the figures are of drawing, not of the network.
    UsageHistory *h = forecasts.usage();
    for (const QString &k : accounts)
        h->want(k.section(u'\n', 0, 0), k.section(u'\n', 1), 7);
    h->wantCost(30);
    QTest::qWaitFor([&] {
        for (const QString &k : accounts) {
            const auto *e = h->entry(k.section(u'\n', 0, 0), k.section(u'\n', 1));
            if (!e || e->at <= 0)
                return false;
        }
        return h->cost().at > 0;
    }, 20000);
    const auto *first = h->entry(accounts[0].section(u'\n', 0, 0), accounts[0].section(u'\n', 1));
    std::printf("chart_week_readings: %lld points\n", (long long)(first->five.size() + first->seven.size()));

    QQuickView view;
    view.engine()->addImportPath(QStringLiteral("qrc:/"));
    view.setResizeMode(QQuickView::SizeRootObjectToView);
    // The window as the main window has it before any chart: the module, its theme and rules.
    view.setSource(QUrl(QStringLiteral("data:text/plain,import QtQuick%0Aimport QtQuick.Layouts%0Aimport Corvane%0A"
                                       "ColumnLayout { Text { text: T.font + AcRules.tick + Forecasts.revision } }")));
    view.resize(1000, 800);
    view.show();
    nextFrame(&view);
    QTest::qWait(300);
    const long before = rssKb();
    keepSmaps("before");

    // Arguments name the charts to draw (week, cost, spark); by default all of them.
    const QStringList kinds = app.arguments().size() > 1 ? app.arguments().mid(1)
                                                          : QStringList{"week", "cost", "spark"};
    QString qml = QStringLiteral("import QtQuick\nimport QtQuick.Layouts\nimport Corvane\nColumnLayout { width: 900\n");
    if (kinds.contains(QStringLiteral("week")))
        qml += QStringLiteral("HistoryChartView { Layout.fillWidth: true; provider: \"%1\"; email: \"%2\" }\n")
                   .arg(accounts[0].section(u'\n', 0, 0), accounts[0].section(u'\n', 1));
    if (kinds.contains(QStringLiteral("cost")))
        qml += QStringLiteral("CostChartView { Layout.fillWidth: true }\n");
    for (const QString &k : accounts)
        if (kinds.contains(QStringLiteral("spark")))
            qml += QStringLiteral("Sparkline { Layout.fillWidth: true; provider: \"%1\"; email: \"%2\" }\n")
                       .arg(k.section(u'\n', 0, 0), k.section(u'\n', 1));
    qml += u'}';
    QQmlComponent component(view.engine());
    component.setData(qml.toUtf8(), QUrl(QStringLiteral("qrc:/bench/Charts.qml")));
    // The first time includes loading Qt Quick Shapes and compiling the charts' QML; the second
    // is a chart opened again (another account's detail, the statistics revisited).
    for (const char *name : {"chart_first_frame", "chart_again_frame"}) {
        QElapsedTimer t;
        t.start();
        auto *charts = qobject_cast<QQuickItem *>(component.create());
        if (!charts) {
            std::fprintf(stderr, "bench: %s\n", qPrintable(component.errorString()));
            return 1;
        }
        charts->setParentItem(view.rootObject());
        // Every chart has computed its marks, then the frame that shows them.
        QTest::qWaitFor([&] {
            for (ChartBase *c : charts->findChildren<ChartBase *>())
                if (c->waiting())
                    return false;
            return true;
        }, 10000);
        nextFrame(&view);
        std::printf("%s: %.1f ms\n", name, t.nsecsElapsed() / 1e6);
        for (int i = 0; i < 5; ++i)
            nextFrame(&view);
        QTest::qWait(300);
        if (std::string_view(name) == "chart_first_frame") {
            std::printf("chart_memory: %.1f MB\n", (rssKb() - before) / 1024.0);
            keepSmaps("after");
        }
        delete charts;
        nextFrame(&view);
    }
    Forecasts::setInstance(nullptr);
    return 0;
}
