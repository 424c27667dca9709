// Cold start and memory of the client, each figure measured in a fresh child process:
//   app    time to the main window's first frame; resident memory after start and after
//          100 refresh cycles against the demo server (refresh every 20 ms)
//   panel  time to the tray panel's first frame
//   bare   the same for a bare Qt Quick 1320x840 window built the same way (static module,
//          QApplication, QQmlApplicationEngine), idling through as many timer ticks
// The parent starts the reference server with the demo team and signs in once; children
// restore that session. Times are from the child's start (fork/exec included) to the frame.
#include "referenceserver.h"
#include "rss.h"
#include "app/app.h"
#include "net/secretstore.h"
#include "store/store.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>
#include <cstdio>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

namespace {

constexpr int kCycles = 100;
constexpr int kRefreshMs = 20;

void say(const char *key, double value)
{
    std::printf("%s %.1f\n", key, value);
    std::fflush(stdout);
}

// Session handed down by the parent.
void restoreSession(MemorySecretStore &secrets, const QString &home)
{
    for (const QString &k : Keychain::items())
        Keychain::set(secrets, k, qEnvironmentVariable(("BENCH_" + k.toUpper()).toUtf8().constData()));
    QDir(home).mkpath(QStringLiteral(".brindle"));
    QFile cfg(home + QStringLiteral("/.brindle/config"));
    if (cfg.open(QIODevice::WriteOnly))
        cfg.write("BRINDLE_URL=\"x\"\nBRINDLE_TOKEN=\"x\"\n");
}

int childApp(QApplication &qapp, bool panel)
{
    MemorySecretStore secrets;
    const QString home = qEnvironmentVariable("HOME");
    restoreSession(secrets, home);
    AppOptions options;
    options.deps.secrets = &secrets;
    options.deps.settingsFile = home + QStringLiteral("/prefs.ini");
    options.deps.home = home;
    options.deps.refreshIntervalMs = kRefreshMs;
    options.startUpdaterSchedule = false;
    options.showTrayIcon = false;
    CorvaneApp app(options);
    QString error;
    if (!app.start(&error)) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(error));
        return 1;
    }
    if (panel) {
        QQuickWindow *w = app.panelWindow();
        QObject::connect(w, &QQuickWindow::frameSwapped, &qapp, [] {
            std::printf("FRAME\n");
            std::fflush(stdout);
            QCoreApplication::exit(0);
        }, Qt::SingleShotConnection);
        w->setPosition(40, 40);
        w->show();
        return qapp.exec();
    }
    int passes = 0;
    QObject::connect(&app, &CorvaneApp::mainWindowPainted, &qapp, [&] {
        std::printf("FRAME\n");
        std::fflush(stdout);
        QTimer::singleShot(1000, &qapp, [&] {
            say("RSS_START", rssKb());
            passes = 0;
            QObject::connect(app.store(), &Store::refreshPass, &qapp, [&] {
                if (++passes == kCycles) {
                    // Let the last answers arrive before reading the figure.
                    QTimer::singleShot(500, &qapp, [] {
                        say("RSS_CYCLES", rssKb());
                        QCoreApplication::exit(0);
                    });
                }
            });
        });
    });
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
    QTimer ticks;
    int n = 0;
    QObject::connect(w, &QQuickWindow::frameSwapped, &qapp, [&] {
        std::printf("FRAME\n");
        std::fflush(stdout);
        QTimer::singleShot(1000, &qapp, [&] {
            say("RSS_START", rssKb());
            ticks.start(kRefreshMs);
        });
    }, Qt::SingleShotConnection);
    QObject::connect(&ticks, &QTimer::timeout, &qapp, [&] {
        if (++n == kCycles) {
            ticks.stop();
            QTimer::singleShot(500, &qapp, [] {
                say("RSS_CYCLES", rssKb());
                QCoreApplication::exit(0);
            });
        }
    });
    return qapp.exec();
}

struct Figures { double frameMs = -1, rssStart = -1, rssCycles = -1; };

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
                f.rssStart = line.mid(10).toDouble();
            else if (line.startsWith("RSS_CYCLES "))
                f.rssCycles = line.mid(11).toDouble();
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

bool signIn(const QString &url, const ReferenceServer::Login &who, QProcessEnvironment *env)
{
    QNetworkAccessManager nam;
    QNetworkRequest req(QUrl(url + QStringLiteral("/api/provision")));
    req.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    QNetworkReply *r = nam.post(req, QJsonDocument(QJsonObject{{"login", who.login}, {"password", who.password}}).toJson());
    QEventLoop loop;
    QObject::connect(r, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const QJsonObject o = QJsonDocument::fromJson(r->readAll()).object();
    r->deleteLater();
    if (!o.value(QStringLiteral("ok")).toBool())
        return false;
    env->insert(QStringLiteral("BENCH_TOKEN"), o.value(QStringLiteral("token")).toString());
    env->insert(QStringLiteral("BENCH_LOGIN"), who.login);
    env->insert(QStringLiteral("BENCH_NAME"), o.value(QStringLiteral("name")).toString(who.login));
    env->insert(QStringLiteral("BENCH_URL"), o.value(QStringLiteral("url")).toString(url));
    env->insert(QStringLiteral("BENCH_ROLE"), o.value(QStringLiteral("role")).toString());
    env->insert(QStringLiteral("BENCH_SESSION"), o.value(QStringLiteral("session")).toString());
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    const QStringList args = qapp.arguments();
    if (args.size() >= 3 && args[1] == QLatin1String("--child")) {
        if (args[2] == QLatin1String("bare"))
            return childBare(qapp);
        return childApp(qapp, args[2] == QLatin1String("panel"));
    }

    if (qEnvironmentVariableIsEmpty("CORVANE_SERVER_BIN"))
        qputenv("CORVANE_SERVER_BIN", CORVANE_SERVER_PATH);
    ReferenceServer server;
    if (!server.start()) {
        std::fprintf(stderr, "bench: the reference server did not start\n");
        return 1;
    }
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/.config"));
    env.insert(QStringLiteral("BRINDLE_SERVER_URL"), server.url());
    env.insert(QStringLiteral("CORVANE_SECRET_STORE"), QStringLiteral("memory"));
    if (!signIn(server.url(), server.loginFor(QStringLiteral("admin")), &env)) {
        std::fprintf(stderr, "bench: demo sign-in failed\n");
        return 1;
    }
    std::printf("platform %s, %d refresh cycles every %d ms (administrator: limits, team accounts, alerts)\n",
                qPrintable(QGuiApplication::platformName()), kCycles, kRefreshMs);
    // One warm-up run of each so that the figures compare processes, not a cold disk cache.
    runChild(QStringLiteral("bare"), env);
    runChild(QStringLiteral("app"), env);
    const Figures bare = runChild(QStringLiteral("bare"), env);
    const Figures app = runChild(QStringLiteral("app"), env);
    const Figures panel = runChild(QStringLiteral("panel"), env);
    std::printf("%-44s %12s %12s\n", "", "corvane-team", "bare Quick");
    std::printf("%-44s %12.1f %12.1f\n", "start to first frame, main window (ms)", app.frameMs, bare.frameMs);
    std::printf("%-44s %12.1f %12s\n", "start to first frame, tray panel (ms)", panel.frameMs, "-");
    std::printf("%-44s %12.0f %12.0f\n", "resident memory after start (KiB)", app.rssStart, bare.rssStart);
    std::printf("%-44s %12.0f %12.0f\n", "resident memory after 100 cycles (KiB)", app.rssCycles, bare.rssCycles);
    server.stop();
    return (app.frameMs < 0 || bare.frameMs < 0 || panel.frameMs < 0) ? 1 : 0;
}
