// A member's machine end to end with the Codex CLI: the client's set-up runs the reference server's
// install script in a scratch home whose Codex already talks to a model provider of the member's
// own (the kit's fake Responses API, with a made-up key: no account), then the real CLI (from
// $CORVANE_CLI_DIR, installed by scripts/install-deps.sh) answers one turn headless and the
// presence agent takes its round. What the fake produced (windows from its rate-limit headers,
// tokens, model, the machine) must then be in the member's own status and the administrator's views.
#include "kit.h"

#include <QtTest>

class TestCodexEndToEnd : public QObject
{
    Q_OBJECT
    ReferenceServer m_server;
    FakeOpenAI m_api;
    QTemporaryDir m_dir;
    QString m_codex;

    // Runs `program` in the scratch home with the provider's key, the way the member's shell would.
    int run(const QString &program, const QStringList &args, const QString &home, const QString &dir, QString *out)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.insert("CORVANE_FAKE_KEY", "fake-key");
        for (const char *name : {"CODEX_HOME", "OPENAI_API_KEY", "CODEX_API_KEY", "XDG_CONFIG_HOME"})
            env.remove(QLatin1String(name));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir);
        p.setProcessChannelMode(QProcess::MergedChannels);
        QSignalSpy finished(&p, &QProcess::finished);
        p.start(program, args);
        p.closeWriteChannel();
        finished.wait(60000);  // the fake answers from this thread's event loop meanwhile
        *out = QString::fromUtf8(p.readAll());
        return !finished.isEmpty() && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

private slots:
    void initTestCase()
    {
        m_codex = qEnvironmentVariable("CORVANE_CLI_DIR", "/opt/corvane-cli") + "/node_modules/.bin/codex";
        if (!QFileInfo(m_codex).isExecutable())
            QSKIP(qPrintable(QStringLiteral("Codex CLI not found at %1: scripts/install-deps.sh installs it").arg(m_codex)));
        QVERIFY(m_dir.isValid() && m_api.server.listening());
        QVERIFY(m_server.start());
    }

    void headlessTurnReachesTheTeam()
    {
        const qint64 t = QDateTime::currentSecsSinceEpoch();
        m_api.primary = {87, 300, t + 2 * 3600};
        m_api.secondary = {17, 10080, t + 3 * 86400};

        // The member's own Codex set-up: a provider of theirs, which the team set-up keeps.
        const QString home = m_dir.filePath("home"), project = m_dir.filePath("work/orbit");
        QVERIFY(QDir().mkpath(home + "/.codex") && QDir().mkpath(project));
        QFile config(home + "/.codex/config.toml");
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral("model = \"gpt-5-codex\"\nmodel_provider = \"fake\"\n\n[model_providers.fake]\n"
                                    "name = \"fake\"\nbase_url = \"%1/v1\"\nwire_api = \"responses\"\n"
                                    "env_key = \"CORVANE_FAKE_KEY\"\n").arg(m_api.url()).toUtf8());
        config.close();

        QString log;
        const QString token = setUpMachine(m_server, "sergey", home, &log);
        QVERIFY2(!token.isEmpty(), qPrintable(log));

        QString out;
        QCOMPARE(run(m_codex, {"exec", "--skip-git-repo-check", "say hello"}, home, project, &out), 0);
        QVERIFY2(out.contains(m_api.text), qPrintable(out));
        // The presence agent's round, as its service takes one every minute: the session file's
        // windows go to the team server.
        QCOMPARE(run(home + "/.brindle/bin/presence.sh", {"--once"}, home, home, &out), 0);

        // An API key names no account: the member's own key account holds what Codex reported.
        const QString account = "API-ключ · sergey";
        const auto codexOf = [&](const QJsonArray &list, const char *key) {
            for (const QJsonValue &a : list)
                if (a[key].toString() == account && a["provider"].toString() == QLatin1String("codex")) return a.toObject();
            return QJsonObject();
        };
        QJsonObject mine;
        QTRY_VERIFY_WITH_TIMEOUT(
            (mine = codexOf(m_server.get("/api/my/status", token).list("accounts"), "account_email"))["five_hour_pct"].toDouble() > 0, 20000);
        QCOMPARE(mine["five_hour_pct"].toDouble(), 87.0);
        QCOMPARE(mine["seven_day_pct"].toDouble(), 17.0);
        QCOMPARE(qint64(mine["five_hour_resets_at"].toDouble()), m_api.primary.resetsAt);
        QCOMPARE(qint64(mine["seven_day_resets_at"].toDouble()), m_api.secondary.resetsAt);
        QCOMPARE(mine["project"].toString(), QString("orbit"));

        const auto admin = m_server.loginFor("admin");
        const QString session = m_server.signIn(admin.login, admin.password);
        const QJsonObject codex = codexOf(m_server.get("/api/accounts", session).list("accounts"), "email");
        QCOMPARE(codex["model"].toString(), QString("gpt-5-codex"));
        QCOMPARE(codex["total_input"].toDouble(), double(m_api.inputTokens));
        QCOMPARE(codex["total_output"].toDouble(), double(m_api.outputTokens));
        QVERIFY(!codex["in_registry"].toBool());
        const QJsonArray devices = codex["devices"].toArray();
        QCOMPARE(devices.size(), 1);
        QCOMPARE(devices.first()["device_host"].toString(), QSysInfo::machineHostName());
        bool alerted = false;
        for (const QJsonValue &e : m_server.get("/api/events?limit=100", session).list("events"))
            alerted |= e["account_email"].toString() == account && e["title"].toString() == QStringLiteral("Лимит 5 часов: 87%");
        QVERIFY(alerted);
    }
};

QTEST_GUILESS_MAIN(TestCodexEndToEnd)
#include "tst_codex_e2e.moc"
