// corvane-team-server: the reference team server. Prints its base URL as the first line on
// stdout, then (with --demo) one line per demo sign-in.
#include "db.h"
#include "demo.h"
#include "intake.h"
#include "server.h"

#include "secrets.h"
#include "vault.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <sys/resource.h>
#include <sys/stat.h>

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

double doubleOption(const QCommandLineParser &p, const QString &name, double fallback, double lo, double hi) {
    if (!p.isSet(name)) return fallback;
    bool ok = false;
    const double v = p.value(name).toDouble(&ok);
    if (!ok || v < lo || v > hi) die(QStringLiteral("--%1 must be a number from %2 to %3").arg(name).arg(lo).arg(hi));
    return v;
}

// Our own folder is ours alone; a folder someone else chose is only created that way, never changed.
void privateFolder(const QString &dir, bool ours) {
    const bool existed = QFileInfo::exists(dir);
    if (!existed && !QDir().mkpath(dir)) die("cannot create " + dir);
    if (!existed || ours) {
        if (chmod(QFile::encodeName(dir).constData(), 0700) != 0) die("cannot restrict " + dir);
    } else if (QFileInfo(dir).permissions() & (QFile::ReadOther | QFile::ReadGroup)) {
        std::fprintf(stderr, "corvane-team-server: warning: %s is readable by others\n", qPrintable(dir));
    }
}

// As many descriptors as the system lets us have: each open connection takes one.
rlim_t raiseFileLimit() {
    rlimit r{};
    if (getrlimit(RLIMIT_NOFILE, &r) != 0) return 1024;
    if (r.rlim_cur < r.rlim_max) {
        r.rlim_cur = r.rlim_max;
        setrlimit(RLIMIT_NOFILE, &r);
        getrlimit(RLIMIT_NOFILE, &r);
    }
    return r.rlim_cur;
}

// Keys written by an older server in clear, and the demo's, are sealed before anyone asks.
void sealPlainKeys(Db &db, const Vault &vault) {
    QList<QPair<QVariantList, QByteArray>> rows;
    for (QSqlQuery q = db.exec("SELECT provider, email, api_key FROM registry WHERE api_key IS NOT NULL AND api_key <> ''");
         q.next();)
        rows.append({{q.value(0), q.value(1)}, q.value(2).toString().toUtf8()});
    if (rows.isEmpty()) return;
    Tx tx(db);
    for (const auto &[key, plain] : rows)
        db.exec("UPDATE registry SET api_key_box = ?, api_key = NULL WHERE provider = ? AND email = ?",
                QVariantList{vault.seal(plain)} + key);
    tx.commit();
    // The clear text must not outlive the commit in SQLite's journal either.
    if (!db.isPostgres()) db.exec("PRAGMA wal_checkpoint(TRUNCATE)");
}

// A team whose every administrator holds only an expired one-time password could never sign
// in again: the first of them gets a fresh one, printed like the first administrator's.
std::optional<DemoLogin> reviveAdmin(Db &db, double lifetime) {
    const double t = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    const QVariant usable = db.scalar("SELECT COUNT(*) FROM members WHERE role = 'admin' AND active = 1 AND "
                                      "(must_change = 0 OR pw_set_at + ? >= ?)", {lifetime, t});
    if (usable.toLongLong() > 0) return std::nullopt;
    const QVariant id = db.scalar("SELECT id FROM members WHERE role = 'admin' AND active = 1 ORDER BY id LIMIT 1");
    if (!id.isValid()) return std::nullopt;
    const QString password = secrets::oneTimePassword();
    const secrets::PasswordHash h = secrets::hashPassword(password);
    Tx tx(db);
    db.exec("UPDATE members SET pw_salt = ?, pw_hash = ?, pw_iter = ?, must_change = 1, pw_set_at = ? WHERE id = ?",
            {h.salt, h.hash, h.iterations, t, id});
    tx.commit();
    return DemoLogin{id.toString(), password, QStringLiteral("admin")};
}

} // namespace

int main(int argc, char **argv) {
    // Everything the server creates (database, journal, key file) is for its own user only.
    umask(077);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvane-team-server"));
    QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Corvane Team reference server"));
    p.addHelpOption();
    p.addOptions({
        {"listen", "Address to listen on (default 127.0.0.1).", "ADDR", "127.0.0.1"},
        {"port", "Port; 0 picks a free one (default 8787).", "N", "8787"},
        {"db", "SQLite database file, or a postgresql:// URL (default: team.sqlite in the user's data folder).", "PATH"},
        {"key-file", "Key that seals registry API keys (default: beside the SQLite file, or registry.key in the "
                     "user's data folder with PostgreSQL). Every server sharing a database needs the same one.", "PATH"},
        {"max-connections", "Open connections at most (default 4096, fewer if file descriptors are short).", "N", "4096"},
        {"timeout", "Seconds a connection may idle, and a request may take to arrive (default 60).", "S", "60"},
        {"trusted-proxy", "Address of a reverse proxy whose X-Forwarded-For names the client (repeatable).", "ADDR"},
        {"public-url", "Base URL handed out at sign-in (default: the bound address).", "URL"},
        {"demo", "Seed a demo team into an empty database and print its sign-ins."},
        {"seed", "Make the demo data (passwords included) the same on every run.", "N"},
        {"simulate", "Let limits and online states drift every few seconds."},
        {"install-exit", "Exit status of the served install script (default 0).", "N", "0"},
        {"feed-version", "Version offered by /appcast.xml (default 0.1.0).", "V", "0.1.0"},
        {"feed-build", "Build number offered by /appcast.xml (default 1).", "N", "1"},
        {"feed-package", "A .deb of the client that /appcast.xml offers and /download/<its name> serves.", "PATH"},
    });
    QCommandLineOption demoAccounts(QStringLiteral("demo-accounts"), "Extra synthetic demo accounts.", "N");
    demoAccounts.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption simulateMs(QStringLiteral("simulate-interval"), "Simulation step in ms.", "MS");
    simulateMs.setFlags(QCommandLineOption::HiddenFromHelp);
    p.addOption(demoAccounts);
    p.addOption(simulateMs);
    QCommandLineOption signInWindow(QStringLiteral("signin-window"), "Seconds over which failed sign-ins count.", "S");
    signInWindow.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption otpLife(QStringLiteral("otp-lifetime"), "Seconds a one-time password stays valid.", "S");
    otpLife.setFlags(QCommandLineOption::HiddenFromHelp);
    p.addOption(signInWindow);
    p.addOption(otpLife);
    QCommandLineOption intakeRate(QStringLiteral("intake-rate"), "Reports per second and credential.", "N");
    intakeRate.setFlags(QCommandLineOption::HiddenFromHelp);
    p.addOption(intakeRate);
    p.process(app);
    if (!p.positionalArguments().isEmpty()) die("unexpected argument: " + p.positionalArguments().first());

    QHostAddress address;
    if (!address.setAddress(p.value("listen"))) die("--listen: not an IP address: " + p.value("listen"));
    HttpLimits limits;
    limits.maxConnections = intOption(p, "max-connections", 4096, 1, 1000000);
    limits.timeoutSeconds = intOption(p, "timeout", 60, 1, 3600);
    for (const QString &proxy : p.values("trusted-proxy")) {
        QHostAddress a;
        if (!a.setAddress(proxy)) die("--trusted-proxy: not an IP address: " + proxy);
        limits.trustedProxies << a.toString();
    }
    const rlim_t files = raiseFileLimit();
    // Room for the database, the key, the pools and the listening socket.
    const int room = files > 256 ? int(std::min<rlim_t>(files - 128, 1000000)) : 64;
    if (limits.maxConnections > room) {
        std::fprintf(stderr, "corvane-team-server: %d open files allowed: at most %d connections\n", int(files), room);
        limits.maxConnections = room;
    }
    limits.ioThreads = std::max(4, 2 * QThread::idealThreadCount());
    limits.cryptoThreads = std::max(1, QThread::idealThreadCount());
    // Reports wait on a worker for the group commit that takes them; enough workers for a batch
    // to form while another request's cache is rebuilt.
    limits.workThreads = 8;
    const int port = intOption(p, "port", 8787, 0, 65535);
    ServerOptions opt;
    opt.installExit = intOption(p, "install-exit", 0, 0, 255);
    opt.feedBuild = intOption(p, "feed-build", 1, 1, 1000000000);
    opt.feedVersion = p.value("feed-version");
    static const QRegularExpression versionRe(QStringLiteral("^[0-9A-Za-z][0-9A-Za-z.+-]{0,31}$"));
    if (!versionRe.match(opt.feedVersion).hasMatch()) die("--feed-version: not a version: " + opt.feedVersion);
    if (p.isSet("feed-package")) {
        const QString path = p.value("feed-package");
        static const QRegularExpression debRe(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9._+~-]{0,127}\\.deb$"));
        opt.feedPackageName = QFileInfo(path).fileName();
        if (!debRe.match(opt.feedPackageName).hasMatch()) die("--feed-package: not a .deb file name: " + path);
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly) || f.size() > (512 << 20)) die("--feed-package: cannot read " + path);
        opt.feedPackage = f.readAll();
    }
    std::optional<quint32> seed;
    if (p.isSet("seed")) {
        bool ok = false;
        seed = p.value("seed").toUInt(&ok);
        if (!ok) die("--seed must be a non-negative number");
    }
    const int extraAccounts = intOption(p, demoAccounts.names().first(), 0, 0, 100000);
    const int stepMs = intOption(p, simulateMs.names().first(), 4000, 100, 3600000);
    opt.signInWindow = doubleOption(p, signInWindow.names().first(), opt.signInWindow, 1, 86400);
    opt.oneTimePasswordLife = doubleOption(p, otpLife.names().first(), opt.oneTimePasswordLife, 0, 3650 * 86400.0);
    opt.intakeRate = doubleOption(p, intakeRate.names().first(), opt.intakeRate, 0.1, 1e6);

    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QString dbPath = p.value("db");
    const bool postgres = dbPath.startsWith("postgresql://") || dbPath.startsWith("postgres://");
    if (dbPath.isEmpty()) {
        privateFolder(dataDir, true);
        dbPath = dataDir + "/team.sqlite";
    } else if (!postgres) {
        privateFolder(QFileInfo(dbPath).absolutePath(), false);
    }
    Db db;
    QString error;
    if (!db.open(dbPath, &error)) die("database: " + error);
    if (!postgres)
        for (const char *suffix : {"", "-wal", "-shm"})
            if (QFileInfo::exists(dbPath + suffix)) QFile::setPermissions(dbPath + suffix, QFile::ReadOwner | QFile::WriteOwner);
    const bool empty = db.isEmpty();

    // The key that seals registry API keys lives outside the database, so that a copy of the
    // database alone does not give them away.
    QString keyPath = p.value("key-file");
    if (keyPath.isEmpty()) {
        if (postgres) privateFolder(dataDir, true);
        keyPath = postgres ? dataDir + "/registry.key" : dbPath + ".key";
    }
    Vault vault;
    const QVariant known = db.scalar("SELECT value FROM meta WHERE key = 'vault'");
    if (!vault.open(keyPath, !known.isValid(), &error)) die("key file: " + error);
    if (!known.isValid()) {
        Tx tx(db);
        db.exec("INSERT INTO meta(key, value) VALUES('vault', ?) ON CONFLICT(key) DO NOTHING", {vault.fingerprint()});
        tx.commit();
    } else if (known.toString() != vault.fingerprint()) {
        die("key file " + keyPath + " is not the one this database's API keys were sealed with");
    }
    sealPlainKeys(db, vault);

    TeamServer server(db, vault, opt);
    HttpService http;
    const quint16 bound = http.listen(address.toString(), quint16(port), &error);
    if (bound == 0) die(QStringLiteral("cannot listen on %1:%2: %3").arg(address.toString()).arg(port).arg(error));
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
    // until the service starts.
    say(localUrl);
    if (p.isSet("demo")) {
        if (empty) {
            for (const DemoLogin &l : seedDemo(db, seed, extraAccounts))
                say(QStringLiteral("login %1 password %2 role %3").arg(l.login, l.password, l.role));
            sealPlainKeys(db, vault);
        } else {
            std::fprintf(stderr, "corvane-team-server: database is not empty, demo not seeded\n");
        }
    }
    if (!p.isSet("demo") && empty) {
        const DemoLogin l = seedFirstAdmin(db);
        say(QStringLiteral("login %1 password %2 role %3").arg(l.login, l.password, l.role));
    } else if (const auto l = reviveAdmin(db, opt.oneTimePasswordLife)) {
        say(QStringLiteral("login %1 password %2 role %3").arg(l->login, l->password, l->role));
    }
    if (!http.start(limits, [&server](HttpRequest &r) { return server.handle(r); }, &error)) die(error);
    // Sessions and machines that fell silent are closed and taken offline every half minute.
    QTimer sweeper;
    QObject::connect(&sweeper, &QTimer::timeout, [&db] {
        try {
            Tx tx(db);
            intake::sweep(db, tx, QDateTime::currentMSecsSinceEpoch() / 1000.0);
            tx.commit();
        } catch (const DbError &e) {
            qWarning("sweep failed: %s", e.what());
        }
    });
    sweeper.start(30000);
    std::unique_ptr<Simulator> sim;
    if (p.isSet("simulate")) sim = std::make_unique<Simulator>(db, seed.value_or(1), stepMs);
    return app.exec();
}
