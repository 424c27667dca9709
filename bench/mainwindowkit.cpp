#include "mainwindowkit.h"

#include "referenceserver.h"
#include "net/secretstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QQuickWindow>
#include <QTimer>
#include <cstdio>

namespace benchwin {

Rss rss()
{
    Rss r;
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return r;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const long kb = line.mid(line.indexOf(':') + 1).trimmed().split(' ').value(0).toLong();
        if (line.startsWith("VmRSS:"))
            r.total = kb;
        else if (line.startsWith("RssAnon:"))
            r.anon = kb;
        else if (line.startsWith("RssFile:"))
            r.file = kb;
    }
    return r;
}

void keepSmaps(const char *dirVar, const QString &name)
{
    if (qEnvironmentVariableIsEmpty(dirVar))
        return;
    QFile in(QStringLiteral("/proc/self/smaps"));
    QFile out(qEnvironmentVariable(dirVar) + u'/' + name);
    if (in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly))
        out.write(in.readAll());
}

void whenSettled(QQuickWindow *w, std::function<bool()> ready, std::function<void(bool)> done)
{
    auto *quiet = new QTimer(w);
    quiet->setSingleShot(true);
    quiet->setInterval(kQuietMs);
    auto *cap = new QTimer(w);
    cap->setSingleShot(true);
    auto *poll = new QTimer(w);
    auto finish = [=](bool settled) {
        QObject::disconnect(w, &QQuickWindow::frameSwapped, quiet, nullptr);
        for (QTimer *t : {poll, quiet, cap}) {
            t->stop();
            t->deleteLater();
        }
        done(settled);
    };
    QObject::connect(w, &QQuickWindow::frameSwapped, quiet, [=] {
        if (ready())
            quiet->start();
    });
    QObject::connect(quiet, &QTimer::timeout, w, [=] { finish(true); });
    QObject::connect(cap, &QTimer::timeout, w, [=] { finish(false); });
    // The data may arrive without a frame of its own: start the quiet period once it is in.
    QObject::connect(poll, &QTimer::timeout, w, [=] {
        if (ready()) {
            poll->stop();
            if (!quiet->isActive())
                quiet->start();
        }
    });
    poll->start(50);
    cap->start(kSettleCapMs);
}

void nextFrame(QQuickWindow *w, std::function<void()> done)
{
    QObject::connect(w, &QQuickWindow::frameSwapped, w, [done] { done(); }, Qt::SingleShotConnection);
    w->update();
}

namespace {
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

bool childEnvironment(const ReferenceServer &server, const QString &home, QProcessEnvironment *env)
{
    *env = QProcessEnvironment::systemEnvironment();
    if (!env->contains(QStringLiteral("QT_QUICK_BACKEND")))
        env->insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
    env->insert(QStringLiteral("HOME"), home);
    env->insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env->insert(QStringLiteral("BRINDLE_SERVER_URL"), server.url());
    env->insert(QStringLiteral("CORVANE_SECRET_STORE"), QStringLiteral("memory"));
    return signIn(server.url(), server.loginFor(QStringLiteral("admin")), env);
}

AppOptions childOptions(MemorySecretStore &secrets)
{
    const QString home = qEnvironmentVariable("HOME");
    for (const QString &k : Keychain::items())
        Keychain::set(secrets, k, qEnvironmentVariable(("BENCH_" + k.toUpper()).toUtf8().constData()));
    QDir(home).mkpath(QStringLiteral(".brindle"));
    QFile cfg(home + QStringLiteral("/.brindle/config"));
    if (cfg.open(QIODevice::WriteOnly))
        cfg.write("BRINDLE_URL=\"x\"\nBRINDLE_TOKEN=\"x\"\n");
    AppOptions options;
    options.deps.secrets = &secrets;
    options.deps.settingsFile = home + QStringLiteral("/prefs.ini");
    options.deps.home = home;
    options.startUpdaterSchedule = false;
    options.showTrayIcon = false;
    return options;
}

bool start(CorvaneApp &app)
{
    QString error;
    if (app.start(&error))
        return true;
    std::fprintf(stderr, "bench: %s\n", qPrintable(error));
    return false;
}

} // namespace benchwin
