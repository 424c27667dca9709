// corvane-team-server: the reference team server. Prints its base URL as the first line on
// stdout, then (with --demo) one line per demo sign-in.
#include "db.h"
#include "demo.h"
#include "server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QHostAddress>
#include <QStandardPaths>
#include <QUrl>

#include <cstdio>
#include <optional>

namespace {

[[noreturn]] void die(const QString &message) {
    std::fprintf(stderr, "corvane-team-server: %s\n", qPrintable(message));
    std::exit(2);
}

void say(const QString &line) {
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int intOption(const QCommandLineParser &p, const QString &name, int fallback, int lo, int hi) {
    if (!p.isSet(name)) return fallback;
    bool ok = false;
    const int v = p.value(name).toInt(&ok);
    if (!ok || v < lo || v > hi) die(QStringLiteral("--%1 must be a number from %2 to %3").arg(name).arg(lo).arg(hi));
    return v;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvane-team-server"));
    QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Corvane Team reference server"));
    p.addHelpOption();
    p.addOptions({
        {"listen", "Address to listen on (default 127.0.0.1).", "ADDR", "127.0.0.1"},
        {"port", "Port; 0 picks a free one (default 8787).", "N", "8787"},
        {"db", "SQLite database file (default: team.sqlite in the user's data folder).", "PATH"},
        {"public-url", "Base URL handed out at sign-in (default: the bound address).", "URL"},
        {"demo", "Seed a demo team into an empty database and print its sign-ins."},
        {"seed", "Make the demo data (passwords included) the same on every run.", "N"},
        {"simulate", "Let limits and online states drift every few seconds."},
        {"install-exit", "Exit status of the served install script (default 0).", "N", "0"},
        {"feed-version", "Version offered by /appcast.xml (default 0.1.0).", "V", "0.1.0"},
        {"feed-build", "Build number offered by /appcast.xml (default 1).", "N", "1"},
    });
    QCommandLineOption demoAccounts(QStringLiteral("demo-accounts"), "Extra synthetic demo accounts.", "N");
    demoAccounts.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption simulateMs(QStringLiteral("simulate-interval"), "Simulation step in ms.", "MS");
    simulateMs.setFlags(QCommandLineOption::HiddenFromHelp);
    p.addOption(demoAccounts);
    p.addOption(simulateMs);
    p.process(app);
    if (!p.positionalArguments().isEmpty()) die("unexpected argument: " + p.positionalArguments().first());

    QHostAddress address;
    if (!address.setAddress(p.value("listen"))) die("--listen: not an IP address: " + p.value("listen"));
    const int port = intOption(p, "port", 8787, 0, 65535);
    ServerOptions opt;
    opt.installExit = intOption(p, "install-exit", 0, 0, 255);
    opt.feedBuild = intOption(p, "feed-build", 1, 1, 1000000000);
    opt.feedVersion = p.value("feed-version");
    static const QRegularExpression versionRe(QStringLiteral("^[0-9A-Za-z][0-9A-Za-z.+-]{0,31}$"));
    if (!versionRe.match(opt.feedVersion).hasMatch()) die("--feed-version: not a version: " + opt.feedVersion);
    std::optional<quint32> seed;
    if (p.isSet("seed")) {
        bool ok = false;
        seed = p.value("seed").toUInt(&ok);
        if (!ok) die("--seed must be a non-negative number");
    }
    const int extraAccounts = intOption(p, demoAccounts.names().first(), 0, 0, 100000);
    const int stepMs = intOption(p, simulateMs.names().first(), 4000, 100, 3600000);

    QString dbPath = p.value("db");
    if (dbPath.isEmpty()) {
        const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        if (!QDir().mkpath(dir)) die("cannot create " + dir);
        dbPath = dir + "/team.sqlite";
    }
    Db db;
    QString error;
    if (!db.open(dbPath, &error)) die("database " + dbPath + ": " + error);
    const bool empty = db.isEmpty();

    TeamServer server(db, opt);
    const quint16 bound = server.listen(address, quint16(port));
    if (bound == 0) die(QStringLiteral("cannot listen on %1:%2").arg(address.toString()).arg(port));
    // A wildcard address is no address to hand out; loopback reaches the same socket.
    QHostAddress shown = address;
    if (address == QHostAddress::Any || address == QHostAddress::AnyIPv4) shown = QHostAddress::LocalHost;
    if (address == QHostAddress::AnyIPv6) shown = QHostAddress::LocalHostIPv6;
    QUrl local;
    local.setScheme("http");
    local.setHost(shown.toString());
    local.setPort(bound);
    const QString localUrl = local.toString();

    QString publicUrl = p.value("public-url");
    if (publicUrl.isEmpty()) publicUrl = localUrl;
    const QUrl pub(publicUrl, QUrl::StrictMode);
    if (!pub.isValid() || (pub.scheme() != "http" && pub.scheme() != "https") || pub.host().isEmpty())
        die("--public-url: not an http(s) URL: " + publicUrl);
    while (publicUrl.endsWith(u'/')) publicUrl.chop(1);
    server.setPublicUrl(publicUrl);

    // The URL goes out first; requests that arrive while the demo is seeded wait in the backlog
    // until the event loop runs.
    say(localUrl);
    if (p.isSet("demo")) {
        if (empty) {
            for (const DemoLogin &l : seedDemo(db, seed, extraAccounts))
                say(QStringLiteral("login %1 password %2 role %3").arg(l.login, l.password, l.role));
        } else {
            std::fprintf(stderr, "corvane-team-server: database is not empty, demo not seeded\n");
        }
    }
    if (!p.isSet("demo") && empty) {
        const DemoLogin l = seedFirstAdmin(db);
        say(QStringLiteral("login %1 password %2 role %3").arg(l.login, l.password, l.role));
    }
    std::unique_ptr<Simulator> sim;
    if (p.isSet("simulate")) sim = std::make_unique<Simulator>(db, seed.value_or(1), stepMs);
    return app.exec();
}
