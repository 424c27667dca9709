// The set-up script run for real (bash, curl) on a machine shared with other users: against the
// kit's fake server for failed downloads and hostile values, against the reference server for its
// own install script. The member token never shows on a command line, and the config is replaced
// (never written through a planted symlink, never left with a looser mode).
#include "kit.h"

#include <QtTest>

#include <sys/stat.h>

#include "setup/setupscript.h"

namespace {

int fileMode(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QByteArray configText(const QString &url, const QString &token)
{
    return "BRINDLE_URL=\"" + url.toUtf8() + "\"\nBRINDLE_TOKEN=\"" + token.toUtf8() + "\"\n";
}

// The commands of every hook set-up left for `event`.
QStringList hookCommands(const QJsonObject &settings, const QString &event)
{
    QStringList commands;
    for (const QJsonValue &group : settings[QStringLiteral("hooks")][event].toArray())
        for (const QJsonValue &hook : group[QStringLiteral("hooks")].toArray())
            commands << hook[QStringLiteral("command")].toString()
                            + (hook[QStringLiteral("async")].toBool() ? QStringLiteral(" (async)") : QString());
    return commands;
}

} // namespace

class TestSetupMachine : public QObject
{
    Q_OBJECT
    ReferenceServer m_server;
    FakeServer m_fake;
    QTemporaryDir m_scratch;
    QString m_home;
    QString m_log;
    int m_homes = 0;

    QString config() const { return m_home + QStringLiteral("/.brindle/config"); }
    QString marker() const { return m_scratch.filePath(QStringLiteral("MARKER")); }

    int runSetup(const QString &url, const QString &token, const std::function<void(const QString &)> &onOutput = {})
    {
        return ::runSetup(m_home, url, token, &m_log, onOutput);
    }

    // Runs one of the installed scripts as the member would (HOME set, `input` on stdin).
    QPair<int, QByteArray> runInstalled(const QString &script, const QByteArray &input = {})
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home);
        p.setProcessEnvironment(env);
        p.start(m_home + QStringLiteral("/.brindle/") + script, {});
        p.write(input);
        p.closeWriteChannel();
        if (!p.waitForFinished(30000))
            return {-1, {}};
        return {p.exitCode(), p.readAllStandardOutput()};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_scratch.isValid() && m_fake.listening());
        QVERIFY(m_server.start({}, ReferenceServer::Seed::FirstAdmin));
    }

    void init()
    {
        // A fresh home per case, so the login shell reads no profile and nothing carries over.
        m_home = m_scratch.filePath(QStringLiteral("home-%1").arg(++m_homes));
        QVERIFY(QDir().mkpath(m_home));
        QFile::remove(marker());
    }

    // A download that fails ends the set-up with curl's status and runs nothing; the config is
    // written before it, so the next start opens the platform.
    void failedDownloadRunsNothing_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::addColumn<int>("status");
        QTest::newRow("404") << false << 22; // curl -f: HTTP error
        QTest::newRow("connection refused") << true << 7;
    }
    void failedDownloadRunsNothing()
    {
        QFETCH(bool, refused);
        m_fake.on("/raw/install.sh", Reply::raw(404, "touch '" + marker().toUtf8() + "'\n"));
        const QString url = refused ? FakeServer::refusedUrl() : m_fake.url();
        QTEST(runSetup(url, QStringLiteral("tok-1")), "status");
        QVERIFY(!QFile::exists(marker()));
        QCOMPARE(readAll(config()), configText(url, QStringLiteral("tok-1")));
    }

    // Hostile values in the token, the URL or the home folder run nothing of theirs; the install
    // script gets the values unchanged and can source the config.
    void hostileValuesRunNothing_data()
    {
        QTest::addColumn<QString>("path");  // appended to the server's URL
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("home");  // appended to the home folder's name
        const QString m = marker();
        QTest::newRow("token breaks single quotes") << QString() << QStringLiteral("x'; touch %1; '").arg(m) << QString();
        QTest::newRow("url breaks single quotes") << QStringLiteral("/x'; touch %1; '").arg(m) << QStringLiteral("t") << QString();
        QTest::newRow("home") << QString() << QStringLiteral("t")
                              << QStringLiteral("h'o; touch %1; 'me $(touch %1) `touch %1` \"q\" \\").arg(m);
    }
    void hostileValuesRunNothing()
    {
        QFETCH(QString, path);
        QFETCH(QString, token);
        QFETCH(QString, home);
        m_home += home;
        QVERIFY(QDir().mkpath(m_home));
        m_fake.on("/raw/install.sh", Reply::raw(200, "echo \"token=[$BRINDLE_TOKEN] url=[$BRINDLE_URL]\"\n"
                                                     ". \"$HOME/.brindle/config\"; echo \"sourced=[$BRINDLE_TOKEN]\"\n"));
        const QString url = m_fake.url() + path;
        const int status = runSetup(url, token);
        QVERIFY2(!QFile::exists(marker()), qPrintable(m_log));
        QCOMPARE(readAll(config()), configText(url, token));
        QCOMPARE(fileMode(config()), 0600);
        QCOMPARE(status == 0, path.isEmpty()); // the hostile URL names no script on the server
        if (status == 0)
            QCOMPARE(m_log, QStringLiteral("token=[%1] url=[%2]\nsourced=[%1]\n").arg(token, url));
    }

    // The reference server's own install script runs in the same home and names every step; the
    // config replaces whatever was there before and nothing else is left in ~/.brindle.
    void referenceInstallScriptReplacesTheConfig_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("none before") << QStringLiteral("none");
        QTest::newRow("file 0644") << QStringLiteral("file");
        QTest::newRow("symlink to a file") << QStringLiteral("symlink");
        QTest::newRow("dangling symlink") << QStringLiteral("dangling");
    }
    void referenceInstallScriptReplacesTheConfig()
    {
        QFETCH(QString, kind);
        QVERIFY(QDir().mkpath(m_home + QStringLiteral("/.brindle")));
        const QString victim = m_scratch.filePath(QStringLiteral("victim-") + QFileInfo(m_home).fileName());
        if (kind == QLatin1String("file") || kind == QLatin1String("symlink")) {
            QFile f(kind == QLatin1String("file") ? config() : victim);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("somebody else's file\n") > 0);
            QVERIFY(f.setPermissions(QFile::Permissions(0x6644)));
        }
        if (kind == QLatin1String("symlink") || kind == QLatin1String("dangling"))
            QVERIFY(QFile::link(victim, config()));

        QCOMPARE(runSetup(m_server.url(), QStringLiteral("tok-2")), 0);
        QCOMPARE(setup::matchSteps(m_log), (QList<bool>{true, true, true, true}));
        QVERIFY(QFileInfo::exists(m_home + QStringLiteral("/.brindle/bin/statusline.sh")));
        QVERIFY(!QFileInfo(config()).isSymLink());
        QCOMPARE(readAll(config()), configText(m_server.url(), QStringLiteral("tok-2")));
        QCOMPARE(fileMode(config()), 0600);
        QCOMPARE(QDir(m_home + QStringLiteral("/.brindle")).entryList({QStringLiteral("config*")}, QDir::AllEntries | QDir::Hidden),
                 QStringList{"config"}); // no temporary file left beside it
        QCOMPARE(QDir(m_home).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 (QStringList{".bashrc", ".brindle", ".claude"})); // Codex is not on this machine
        if (kind == QLatin1String("symlink")) {
            QCOMPARE(readAll(victim), QByteArray("somebody else's file\n"));
            QCOMPARE(fileMode(victim), 0644);
        }
        QCOMPARE(QFileInfo::exists(victim), kind == QLatin1String("symlink"));
    }

    // Claude Code's settings.json gets the telemetry, the status line and the hooks, keeps every
    // key of the member's, is changed once however often set-up runs, and comes back as it was
    // with the uninstall script. A file that is not JSON is left alone and the set-up says so.
    void settingsMerge_data()
    {
        QTest::addColumn<QByteArray>("before");   // null: no file
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("ownLine");  // what the member's own status line prints
        QTest::addColumn<bool>("editAfter");      // the member edits the file after set-up
        const QByteArray own = R"({"model": "opus", "statusLine": {"type": "command", "command": "echo mine", "padding": 1}})";
        const QByteArray hooksEnv = R"({"env": {"FOO": "1", "OTEL_LOG_USER_PROMPTS": "1"}, "hooks": {"Stop": [{"hooks": [{"type": "command", "command": "true"}]}], "UserPromptSubmit": [{"hooks": [{"type": "command", "command": "true"}]}]}})";
        QTest::newRow("no file") << QByteArray() << 0 << QByteArray() << false;
        QTest::newRow("empty") << QByteArray("") << 0 << QByteArray() << false;
        QTest::newRow("own status line") << own << 0 << QByteArray("mine") << false;
        QTest::newRow("hooks and env") << hooksEnv << 0 << QByteArray() << false;
        QTest::newRow("edited after set-up") << hooksEnv << 0 << QByteArray() << true;
        QTest::newRow("invalid JSON") << QByteArray("{\"env\": {,}") << 3 << QByteArray() << false;
    }
    void settingsMerge()
    {
        QFETCH(QByteArray, before);
        QFETCH(int, status);
        QFETCH(QByteArray, ownLine);
        QFETCH(bool, editAfter);
        const QString path = m_home + QStringLiteral("/.claude/settings.json");
        const QString brindle = m_home + QStringLiteral("/.brindle/bin/");
        if (!before.isNull()) {
            QVERIFY(QDir().mkpath(m_home + QStringLiteral("/.claude")));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(before) == before.size());
        }
        QCOMPARE(runSetup(m_server.url(), QStringLiteral("tok-merge")), status);
        if (status != 0) {
            QCOMPARE(readAll(path), before);
            QVERIFY2(m_log.contains(QStringLiteral("не JSON")), qPrintable(m_log));
            return;
        }
        const QByteArray merged = readAll(path);
        QVERIFY(!merged.contains("tok-merge")); // the token stays in the 0600 config
        const QJsonObject s = QJsonDocument::fromJson(merged).object();
        QCOMPARE(s["statusLine"]["command"].toString(), brindle + QStringLiteral("statusline.sh"));
        // The telemetry it turns on is the end-to-end suites' part; prompts are never logged.
        const QJsonObject env = s["env"].toObject();
        QVERIFY(!env.contains("OTEL_LOG_USER_PROMPTS"));
        const QJsonObject old = QJsonDocument::fromJson(before).object();
        for (const QString &key : old.keys())
            QVERIFY2(s.contains(key), qPrintable(key));
        for (const QString &key : old["env"].toObject().keys())
            QVERIFY(env.contains(key) || key == QLatin1String("OTEL_LOG_USER_PROMPTS"));
        const QString hook = brindle + QStringLiteral("hook.sh (async)");
        for (const QString &event : {QStringLiteral("SessionStart"), QStringLiteral("SessionEnd")})
            QCOMPARE(hookCommands(s, event), QStringList{hook});
        QCOMPARE(hookCommands(s, QStringLiteral("Stop")),
                 old.contains("hooks") ? (QStringList{QStringLiteral("true"), hook}) : QStringList{hook});
        QVERIFY(!hookCommands(s, QStringLiteral("UserPromptSubmit")).contains(hook));
        QCOMPARE(s["statusLine"]["padding"], old["statusLine"]["padding"]);

        // Our line first (nothing cached yet), the member's own after it.
        const auto line = runInstalled(QStringLiteral("bin/statusline.sh"), R"({"session_id": "s-1"})");
        QCOMPARE(line.first, 0);
        QCOMPARE(line.second.trimmed(), ownLine.isEmpty() ? QByteArray("Corvane") : "Corvane  " + ownLine);

        const QByteArray bashrc = readAll(m_home + QStringLiteral("/.bashrc"));
        QCOMPARE(bashrc.count("# corvane-team quick commands"), 1);
        QCOMPARE(runSetup(m_server.url(), QStringLiteral("tok-merge")), 0);
        QCOMPARE(readAll(path), merged);
        QCOMPARE(readAll(m_home + QStringLiteral("/.bashrc")), bashrc);

        QJsonObject expected = old;
        if (editAfter) {
            QJsonObject edited = s;
            edited["model"] = QStringLiteral("sonnet");
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QJsonDocument(edited).toJson());
            expected["model"] = QStringLiteral("sonnet");
        }
        QCOMPARE(runInstalled(QStringLiteral("uninstall.sh")).first, 0);
        if (editAfter)
            QCOMPARE(QJsonDocument::fromJson(readAll(path)).object(), expected); // our entries out, the member's edit kept
        else
            QCOMPARE(readAll(path), before.isNull() ? QByteArray("<missing>") : before);
        QCOMPARE(QDir(m_home).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 before.isNull() ? QStringList() : QStringList{".claude"});
    }

    void tokenIsOnNoCommandLine()
    {
        // While the install script runs (the slowest part), no process shows the token in its
        // command line; the processes of the set-up hold it in their environment, which only
        // their owner can read.
        const QByteArray token = "secret-" + QByteArray::number(QCoreApplication::applicationPid());
        const QString self = QStringLiteral("/proc/%1").arg(QCoreApplication::applicationPid());
        int scans = 0, holders = 0;
        QStringList leaks;
        QCOMPARE(runSetup(m_server.url(), QString::fromLatin1(token), [&](const QString &log) {
                     if (!log.contains(QLatin1String("statusline")) || scans++ > 0)
                         return;
                     for (const QString &pid : QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs)) {
                         const QString dir = QStringLiteral("/proc/") + pid;
                         if (dir == self)
                             continue;
                         if (readAll(dir + QStringLiteral("/cmdline")).contains(token))
                             leaks << dir;
                         if (readAll(dir + QStringLiteral("/environ")).contains(token)) {
                             ++holders;
                             if (fileMode(dir + QStringLiteral("/environ")) & 077)
                                 leaks << dir + QStringLiteral("/environ");
                         }
                     }
                 }),
                 0);
        QVERIFY(scans > 0);
        QVERIFY2(leaks.isEmpty(), qPrintable(leaks.join(u' ')));
        QVERIFY(holders > 0); // scanned while the set-up was still running
    }
};

QTEST_GUILESS_MAIN(TestSetupMachine)
#include "tst_setup_machine.moc"
