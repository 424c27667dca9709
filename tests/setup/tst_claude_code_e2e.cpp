// A member's machine end to end: the client's set-up runs the reference server's install script
// in a scratch home, then the real Claude Code CLI (from $CORVANE_CLI_DIR, installed by
// scripts/install-deps.sh) runs an interactive session under tmux against the kit's fake
// Anthropic API. What the fake produced (windows, resets, model, cost, project, presence) must
// then be in the member's own status and in the administrator's views.
#include "kit.h"

#include <QtTest>

const QString kEmail = QStringLiteral("anna.e2e@corvane.test");

class TestClaudeCodeEndToEnd : public QObject
{
    Q_OBJECT
    ReferenceServer m_server;
    FakeAnthropic m_api;
    QTemporaryDir m_dir;
    QString m_claude, m_home, m_project;

    // tmux on a server of the test's own: `args` split at spaces, then `more` as they are.
    QString tmux(const QString &args, const QStringList &more = {})
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMUX_TMPDIR", m_dir.path());
        env.insert("HOME", m_home);
        env.insert("TERM", "xterm-256color");
        env.remove("TMUX");
        p.setProcessEnvironment(env);
        p.start("tmux", QStringList{"-L", "e2e", "-f", "/dev/null"} + args.split(u' ') + more);
        p.waitForFinished(15000);
        return p.exitCode() == 0 ? QString::fromUtf8(p.readAllStandardOutput()) : QStringLiteral("<tmux failed>");
    }
    QString pane() { return tmux("capture-pane -p -t cc"); }

private slots:
    void initTestCase()
    {
        const QString dir = qEnvironmentVariable("CORVANE_CLI_DIR", QStringLiteral("/opt/corvane-cli"));
        m_claude = dir + "/node_modules/.bin/claude";
        if (!QFileInfo(m_claude).isExecutable())
            QSKIP(qPrintable(QStringLiteral("Claude Code CLI not found at %1: scripts/install-deps.sh installs it").arg(m_claude)));
        QVERIFY2(!QStandardPaths::findExecutable("tmux").isEmpty(), "tmux is missing: scripts/install-deps.sh");
        QVERIFY(m_dir.isValid() && m_api.server.listening());
        QVERIFY(m_server.start());
    }

    void cleanupTestCase() { tmux("kill-server"); }

    void interactiveSessionReachesTheTeam()
    {
        const qint64 t = QDateTime::currentSecsSinceEpoch();
        m_api.fiveHour = {0.86, t + 3 * 3600};
        m_api.sevenDay = {0.61, t + 4 * 86400};

        // The member signs in and the client sets the machine up with the served script.
        m_home = m_dir.filePath("home");
        m_project = m_dir.filePath("work/atlas");
        QVERIFY(QDir().mkpath(m_project));
        QString log;
        const QString token = setUpMachine(m_server, "anna", m_home, &log);
        QVERIFY2(!token.isEmpty(), qPrintable(log));

        // A subscription login as Claude Code leaves it: the account in ~/.claude.json (never a
        // credential: the CLI gets its OAuth token from the environment here).
        QFile state(m_home + "/.claude.json");
        QVERIFY(state.open(QIODevice::WriteOnly));
        state.write(QJsonDocument(QJsonObject{
                        {"hasCompletedOnboarding", true},
                        {"projects", QJsonObject{{m_project, QJsonObject{{"hasTrustDialogAccepted", true}}}}},
                        {"oauthAccount", QJsonObject{{"emailAddress", kEmail},
                                                     {"accountUuid", "0b7e5a4c-1111-4222-8333-944455556666"},
                                                     {"organizationUuid", "5c1d2e3f-aaaa-4bbb-8ccc-ddddeeeeffff"}}}})
                        .toJson());
        state.close();

        const QString cli = QStringLiteral("env ANTHROPIC_BASE_URL=%1 CLAUDE_CODE_OAUTH_TOKEN=fake-oauth DISABLE_AUTOUPDATER=1 %2")
                                .arg(m_api.url(), m_claude);
        QCOMPARE(tmux("new-session -d -s cc -x 160 -y 40 -c", {m_project, cli}), QString());
        // The prompt is ready once our status line has printed into the footer.
        QTRY_VERIFY2_WITH_TIMEOUT(pane().contains("Corvane"), qPrintable(pane()), 60000);
        tmux("send-keys -t cc", {"say hello", "Enter"});
        QTRY_VERIFY2_WITH_TIMEOUT(pane().contains(m_api.text), qPrintable(pane()), 60000);
        // The next status line prints what the team server answered for this reading.
        QTRY_VERIFY2_WITH_TIMEOUT(pane().contains("86%"), qPrintable(pane()), 60000);
        const QString model = m_api.server.last("/v1/messages").json["model"].toString();
        tmux("send-keys -t cc /exit Enter");
        QTRY_VERIFY_WITH_TIMEOUT(tmux("list-sessions") == "<tmux failed>", 60000);

        // The member's own view: both windows with the fake's resets, the project, presence.
        QJsonObject mine;
        QTRY_VERIFY_WITH_TIMEOUT(!(mine = m_server.get("/api/my/status", token).find("accounts", "account_email", kEmail)).isEmpty(), 30000);
        QCOMPARE(mine["provider"].toString(), QString("claude"));
        QCOMPARE(mine["five_hour_pct"].toDouble(), 86.0);
        QCOMPARE(mine["seven_day_pct"].toDouble(), 61.0);
        QCOMPARE(qint64(mine["five_hour_resets_at"].toDouble()), m_api.fiveHour.resetsAt);
        QCOMPARE(qint64(mine["seven_day_resets_at"].toDouble()), m_api.sevenDay.resetsAt);
        QCOMPARE(mine["project"].toString(), QString("atlas"));
        QVERIFY(m_server.get("/api/my/status", token).json().value("telemetry").toObject().value("push_ok").toBool());

        // The administrator's views: the account as telemetry shows it, its cost and model (the
        // OTel batches are flushed when the CLI exits), the day's activity and the alert.
        const auto admin = m_server.loginFor("admin");
        const QString session = m_server.signIn(admin.login, admin.password);
        QJsonObject account;
        QTRY_VERIFY_WITH_TIMEOUT(
            (account = m_server.get("/api/accounts", session).find("accounts", "account_email", kEmail))["cost_usd"].toDouble() > 0, 30000);
        QCOMPARE(account["model"].toString(), model);
        QCOMPARE(account["five_hour_pct"].toDouble(), 86.0);
        QCOMPARE(account["limits"].toObject().value("source").toString(), QString("push"));
        QVERIFY(!account["in_registry"].toBool());
        QVERIFY(account["version"].toString().startsWith("2."));

        const QByteArray analytics = m_server.get(QStringLiteral("/api/team/analytics?from=%1&to=%2&tz=0").arg(t - 3600).arg(t + 3600), session).body;
        QVERIFY2(analytics.contains("\"name\":\"atlas\""), analytics.constData());
        // The five-hour window passed 80 %.
        QVERIFY(!m_server.get("/api/events?limit=100", session).find("events", "account_email", kEmail).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestClaudeCodeEndToEnd)
#include "tst_claude_code_e2e.moc"
