// The team server's intake against what members' machines send: OTLP decoding (tables), then
// what the reports become in the answers the client reads, who may write what, floods, retries,
// refusals that store nothing, and a kill -9 right after an acknowledged report. On SQLite, or on
// PostgreSQL when CORVANE_TEST_POSTGRES is set.
#include "kit.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include <csignal>
#include <zlib.h>

using Answer = ReferenceServer::Answer;

namespace {

QByteArray gzip(const QByteArray &in) {
    z_stream zs{};
    deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&zs, uLong(in.size()))), '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.constData()));
    zs.avail_in = uInt(in.size());
    zs.next_out = reinterpret_cast<Bytef *>(out.data());
    zs.avail_out = uInt(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(int(zs.total_out));
    deflateEnd(&zs);
    return out;
}

// One OTLP metrics body: `points` is the text of the dataPoints array, `sum` the sum's extra keys.
QByteArray metric(const QString &name, const QString &points, const QString &sum = R"("aggregationTemporality":1)") {
    return QStringLiteral(R"({"resourceMetrics":[{"resource":{"attributes":[{"key":"service.name","value":{"stringValue":"claude-code"}}]},
        "scopeMetrics":[{"metrics":[{"name":"%1","sum":{%2,"dataPoints":[%3]}}]}]}]})").arg(name, sum, points).toUtf8();
}

QString attrs(const QString &email, const QString &session) {
    return QStringLiteral(R"("attributes":[{"key":"session.id","value":{"stringValue":"%1"}},{"key":"user.email","value":{"stringValue":"%2"}},{"key":"model","value":{"stringValue":"claude-opus-4-5"}}])").arg(session, email);
}

} // namespace

class ServerIntakeTest : public QObject {
    Q_OBJECT
    PostgresCluster pg;  // before the server: it outlives it
    ReferenceServer s;
    QString admin;
    QHash<QString, QString> tokens;  // member tokens by login
    QByteArray signedIn;             // the machine's account header, when set

    QString token(const QString &login) {
        if (!tokens.contains(login)) {
            QJsonObject answer;
            s.signIn(login, s.login(login).password, &answer);
            tokens.insert(login, answer.value("token").toString());
        }
        return tokens.value(login);
    }
    Answer report(const QString &login, const QString &path, const QByteArray &body, const QByteArray &host = "box-1",
                  const QByteArray &encoding = {}, const QByteArray &type = "application/json") {
        QList<QPair<QByteArray, QByteArray>> h{{"X-Corvane-Host", host}, {"X-Corvane-Tooling", "t7"}};
        if (!encoding.isEmpty()) h.append({"Content-Encoding", encoding});
        if (!signedIn.isEmpty()) h.append({"X-Corvane-Account", signedIn});
        s.setHeaders(h);
        const Answer a = s.send("POST", path, body, token(login), type);
        s.setHeaders({});
        return a;
    }
    Answer report(const QString &login, const QString &path, const QJsonObject &body, const QByteArray &host = "box-1") {
        return report(login, path, QJsonDocument(body).toJson(QJsonDocument::Compact), host);
    }
    QJsonObject account(const QString &email) { return s.get("/api/accounts", admin).find("accounts", "email", email); }
    QStringList alerts(const QString &email) {
        QStringList titles;
        for (const QJsonValue &e : s.get("/api/events?limit=100", admin).list("events"))
            if (e.toObject().value("account_email").toString() == email) titles << e.toObject().value("title").toString();
        return titles;
    }
    QByteArray stored() {  // every byte of the SQLite database, log included (nothing on PostgreSQL)
        QByteArray all;
        for (const char *suffix : {"", "-wal"}) {
            QFile f(s.dbPath() + suffix);
            if (f.open(QIODevice::ReadOnly)) all += f.readAll();
        }
        return all;
    }

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsSet("CORVANE_TEST_POSTGRES")) {
            QVERIFY2(pg.start(), qPrintable(pg.error()));
            s.setDatabase(pg.createDatabase("intake"));
        }
        QVERIFY(s.start({"--intake-rate", "5"}));  // 50 at once per credential
        admin = s.signIn("admin", s.login("admin").password);
        QVERIFY(!admin.isEmpty());
    }

    void otlpDecoding_data() {
        QTest::addColumn<QList<QByteArray>>("bodies");
        QTest::addColumn<QByteArray>("encoding");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("rejected");
        QTest::addColumn<double>("cost");
        QTest::addColumn<QString>("account");  // where the cost shows
        // Each row reports for an account named after it, row-<tag>@otlp.test, unless its points
        // name none: then it is a session on an API key, and the member's key account holds it.
        QString e;
        auto one = [&](const QString &value, const QString &sum = R"("aggregationTemporality":1)") {
            return metric("claude_code.cost.usage", "{" + attrs(e, e) + "," + value + "}", sum);
        };
        auto row = [&](const char *tag) -> QTestData & {
            e = QStringLiteral("row-%1@otlp.test").arg(QLatin1String(tag));
            return QTest::newRow(tag);
        };
        const QString cumulative = R"("aggregationTemporality":2,"isMonotonic":true)";
        const QString start = R"("startTimeUnixNano":"1700000000000000000",)";
        row("delta double") << QList{one(R"("asDouble":0.5)")} << QByteArray() << 200 << "" << 0.5 << e;
        row("int as string") << QList{one(R"("asInt":"3")")} << QByteArray() << 200 << "" << 3.0 << e;
        row("int as number") << QList{one(R"("asInt":2)")} << QByteArray() << 200 << "" << 2.0 << e;
        row("double as string") << QList{one(R"("asDouble":"1.25")")} << QByteArray() << 200 << "" << 1.25 << e;
        row("deltas add up") << QList{one(R"("asDouble":1)"), one(R"("asDouble":2)")} << QByteArray() << 200 << "" << 3.0 << e;
        row("cumulative grows") << QList{one(start + R"("asDouble":1)", cumulative), one(start + R"("asDouble":4)", cumulative)}
                                          << QByteArray() << 200 << "" << 4.0 << e;
        row("cumulative restarts") << QList{one(start + R"("asDouble":5)", cumulative),
                                                      one(R"("startTimeUnixNano":"1800000000000000000","asDouble":2)", cumulative)}
                                             << QByteArray() << 200 << "" << 7.0 << e;
        row("retried batch counts once") << QList{one(R"("asDouble":1)"), one(R"("asDouble":1)")} << QByteArray() << 200 << "" << 1.0 << e;
        row("gzip") << QList{gzip(one(R"("asDouble":0.75)"))} << QByteArray("gzip") << 200 << "" << 0.75 << e;
        row("no value: partial success") << QList{metric("claude_code.cost.usage", "{" + attrs(e, e) + R"(},{)" + attrs(e, e) + R"(,"asDouble":1})")}
                                                   << QByteArray() << 200 << "1" << 1.0 << e;
        row("no attributes at all") << QList{metric("claude_code.cost.usage", R"({"asDouble":1})")} << QByteArray() << 200 << ""
                                    << 1.0 << QStringLiteral("API-ключ · sergey");
        row("NaN is no value") << QList{one(R"("asDouble":"NaN")")} << QByteArray() << 200 << "1" << 0.0 << e;
        row("not JSON") << QList{QByteArray("{\"resourceMetrics\":[")} << QByteArray() << 400 << "" << 0.0 << e;
        row("wrong shape stores nothing") << QList{metric("claude_code.cost.usage", "{" + attrs(e, e) + R"(,"asDouble":1},"x")")}
                                                    << QByteArray() << 400 << "" << 0.0 << e;
        row("bad gzip") << QList{one(R"("asDouble":1)")} << QByteArray("gzip") << 400 << "" << 0.0 << e;
        row("gzip bomb") << QList{gzip(QByteArray(9 << 20, ' '))} << QByteArray("gzip") << 413 << "" << 0.0 << e;
        row("other encoding") << QList{one(R"("asDouble":1)")} << QByteArray("br") << 415 << "" << 0.0 << e;
    }
    void otlpDecoding() {
        QFETCH(QList<QByteArray>, bodies);
        QFETCH(QByteArray, encoding);
        QFETCH(int, status);
        QFETCH(QString, rejected);
        QFETCH(double, cost);
        QFETCH(QString, account);
        Answer a;
        for (const QByteArray &b : bodies)
            a = report("sergey", "/v1/metrics", b, "otlp-box", encoding);
        QCOMPARE(a.status, status);
        QCOMPARE(a.json().value("partialSuccess").toObject().value("rejectedDataPoints").toString(), rejected);
        QCOMPARE(this->account(account).value("cost_usd").toDouble(), cost);
    }

    void protobufRefused() {
        QCOMPARE(report("sergey", "/v1/logs", QByteArray("\x0a\x00", 2), "box", {}, "application/x-protobuf").status, 415);
    }

        // A status line that comes before its account is known waits for the account the session's
    // telemetry names, then lands on it. (What a status line shows in every answer once its account
    // is known is the end-to-end suites' part, with the real CLIs.)
    void statusLineToAnswers() {
        const double now = QDateTime::currentSecsSinceEpoch();
        const QJsonObject line{{"session_id", "s-anna"}, {"cwd", "/home/anna/src/billing-api"}, {"version", "2.1.3"},
                               {"model", QJsonObject{{"id", "claude-opus-4-5"}, {"display_name", "Opus"}}},
                               {"cost", QJsonObject{{"total_cost_usd", 0.4}}},
                               {"rate_limits", QJsonObject{{"five_hour", QJsonObject{{"used_percentage", 37}, {"resets_at", now + 3600}}},
                                                           {"seven_day", QJsonObject{{"used_percentage", 96}, {"resets_at", now + 86400}}}}}};
        const Answer a = report("anna", "/api/intake/statusline", line, "anna-laptop");
        QCOMPARE(a.status, 200);
        QCOMPARE(a.contentType, QByteArray("text/plain; charset=utf-8"));
        QCOMPARE(QString::fromUtf8(a.body), QString("5ч 37% · 7д 96%"));
        QVERIFY(account("anna@new.test").isEmpty());
        const QByteArray logs = R"({"resourceLogs":[{"resource":{"attributes":[{"key":"service.name","value":{"stringValue":"claude-code"}}]},
            "scopeLogs":[{"logRecords":[{"timeUnixNano":"1","body":{"stringValue":"claude_code.user_prompt"},"attributes":[
            {"key":"session.id","value":{"stringValue":"s-anna"}},{"key":"user.email","value":{"stringValue":"anna@new.test"}},
            {"key":"prompt","value":{"stringValue":"PROMPT-TEXT-7731"}}]}]}]}]})";
        QCOMPARE(report("anna", "/v1/logs", logs, "anna-laptop").status, 200);

        const QJsonObject acc = account("anna@new.test");
        QCOMPARE(acc.value("five_hour_pct").toDouble(), 37.0);
        QCOMPARE(acc.value("seven_day_resets_at").toDouble(), now + 86400);
        const QJsonObject session = acc.value("live_sessions").toArray().first().toObject();
        QCOMPARE(session.value("project").toString(), QString("billing-api"));
        QCOMPARE(session.value("device_host").toString(), QString("anna-laptop"));
        QCOMPARE(session.value("active"), QJsonValue(true));
        QCOMPARE(acc.value("devices").toArray().first().toObject().value("br_rev").toString(), QString("t7"));

        QCOMPARE(alerts("anna@new.test"), QStringList{"Лимит 7 дней: 96%"});

        // The end of the session is the end, whatever telemetry is flushed after it.
        QCOMPARE(report("anna", "/api/intake/hook", QJsonObject{{"hook_event_name", "SessionEnd"}, {"session_id", "s-anna"}}, "anna-laptop").status, 200);
        QCOMPARE(report("anna", "/v1/logs", QByteArray(logs).replace("\"1\"", "\"2\""), "anna-laptop").status, 200);
        QCOMPARE(account("anna@new.test").value("live_sessions").toArray().first().toObject().value("active"), QJsonValue(false));
    }

    // A status line that repeats its session's last one is answered without a write; whatever it
    // says anew is written at once, and an account taken away comes back with the next report.
    void repeatsAndNews() {
        const double now = QDateTime::currentSecsSinceEpoch();
        signedIn = "rep@new.test";
        const struct { double five; const char *model; double shownFive; const char *shownModel; bool deleted; } steps[] = {
            {40, "claude-opus-4-5", 40, "claude-opus-4-5", false},
            {40, "claude-opus-4-5", 40, "claude-opus-4-5", false},    // a repeat
            {41, "claude-opus-4-5", 41, "claude-opus-4-5", false},
            {41, "claude-sonnet-4-5", 41, "claude-sonnet-4-5", false},
            {41, "claude-sonnet-4-5", 41, "claude-sonnet-4-5", true},  // a repeat after the account was deleted
        };
        for (const auto &st : steps) {
            if (st.deleted) QCOMPARE(s.del("/api/registry?provider=claude&email=rep%40new.test", admin).status, 200);
            const QJsonObject line{{"session_id", "y1"}, {"cwd", "/w/atlas"}, {"model", QJsonObject{{"id", st.model}}},
                                   {"rate_limits", QJsonObject{{"five_hour", QJsonObject{{"used_percentage", st.five},
                                                                                         {"resets_at", now + 3600}}}}}};
            const Answer a = report("yulia", "/api/intake/statusline", line);
            QCOMPARE(QString::fromUtf8(a.body), QStringLiteral("5ч %1%").arg(st.five));
            const QJsonObject acc = account("rep@new.test");
            QCOMPARE(acc.value("five_hour_pct").toDouble(), st.shownFive);
            QCOMPARE(acc.value("model").toString(), QString(st.shownModel));
        }
        signedIn.clear();
    }

    // Codex windows are told apart by their length; per window the newest reading wins; each
    // alert level is raised once per window; a window past its reset reads 0.
    void codexWindowsAndAlerts() {
        const double now = QDateTime::currentSecsSinceEpoch();
        auto codex = [&](double ts, double five, double fiveReset, double seven) {
            const QJsonObject body{{"session_id", "c1"}, {"ts", ts}, {"model", "gpt-5-codex"}, {"cwd", "/w/app"}, {"account", "cx@new.test"},
                                   {"rate_limits", QJsonObject{{"primary", QJsonObject{{"used_percent", seven}, {"window_minutes", 10080}, {"resets_at", now + 86400}}},
                                                               {"secondary", QJsonObject{{"used_percent", five}, {"window_minutes", 300}, {"resets_at", fiveReset}}}}}};
            QCOMPARE(report("dmitry", "/api/intake/codex", body).status, 200);
        };
        const struct { double ts, five, fiveReset, seven, shownFive, shownSeven; int alerts; } steps[] = {
            {now - 60, 81, now + 600, 10, 81, 10, 1},
            {now - 50, 96, now + 600, 10, 96, 10, 2},
            {now - 55, 50, now + 600, 99, 96, 10, 2},   // measured earlier than what is stored: ignored
            {now - 40, 97, now + 600, 20, 97, 20, 2},   // no new level
            {now - 30, 100, now - 1, 20, 0, 20, 3},     // used up, and its reset already passed: reads 0
        };
        for (const auto &st : steps) {
            codex(st.ts, st.five, st.fiveReset, st.seven);
            const QJsonObject acc = account("cx@new.test");
            QCOMPARE(acc.value("provider").toString(), QString("codex"));
            QCOMPARE(acc.value("five_hour_pct").toDouble(), st.shownFive);
            QCOMPARE(acc.value("seven_day_pct").toDouble(), st.shownSeven);
            QCOMPARE(alerts("cx@new.test").size(), st.alerts);
        }
    }

    // The member is the credential's: a body naming someone else changes nothing of theirs.
    // Heartbeats are presence, not telemetry; activity lands on the member and the project.
    void ownDataOnly() {
        QCOMPARE(report("nikita", "/api/intake/hook", QJsonObject{{"hook_event_name", "SessionStart"}, {"session_id", "n1"},
                     {"cwd", "/p/mobile-x"}, {"member_id", "dmitry"}, {"prompt", "PROMPT-TEXT-7731"}}).status, 200);
        QCOMPARE(report("nikita", "/v1/metrics", metric("claude_code.active_time.total",
                     "{" + attrs("nik@new.test", "n1") + R"(,"asDouble":90})")).status, 200);
        const QJsonObject acc = account("nik@new.test");
        QCOMPARE(acc.value("users").toArray(), (QJsonArray{QJsonObject{{"name", "Никита Попов"}, {"online", true}}}));
        const qint64 t = QDateTime::currentSecsSinceEpoch();
        const QJsonObject nikita = s.get(QStringLiteral("/api/team/analytics?from=%1&to=%2").arg(t - 3600).arg(t + 60), admin)
                                       .find("people", "member_id", "nikita");
        QCOMPARE(objectWith(nikita.value("projects").toArray(), "name", "mobile-x").value("seconds").toInt(), 90);

        QCOMPARE(report("elena", "/api/intake/heartbeat", QJsonObject{{"host", "qa-box"}, {"os_user", "elena"},
                     {"claude_version", "2.1.3"}, {"tooling", "t7"}}).status, 200);
        QCOMPARE(s.get("/api/my/status", token("elena")).json().value("telemetry").toObject().value("push_ok"), QJsonValue(false));
        QVERIFY(!stored().contains("PROMPT-TEXT-7731"));
    }

    // One credential flooding gets 429 while another is served; refresh-limits marks nothing
    // fetched that was not.
    void floodAndRefresh() {
        // All at once, as a machine in a loop sends them.
        QVERIFY(s.burst("/api/intake/heartbeat", QList<QJsonObject>(150, {{"host", "loop"}}), {token("maria")}).contains(429));
        QCOMPARE(report("kirill", "/api/intake/heartbeat", QJsonObject{{"host", "k"}}).status, 200);
        const double fetched = account("core-1@corvane.dev").value("limits").toObject().value("fetched_at").toDouble();
        const QJsonObject r = s.post("/api/refresh-limits", {}, admin).json();
        QCOMPARE(r.value("ok"), QJsonValue(true));
        QVERIFY(r.value("newest_reading_at").toDouble() > 0);
        QCOMPARE(account("core-1@corvane.dev").value("limits").toObject().value("fetched_at").toDouble(), fetched);
    }

    // An acknowledged report survives the process being killed right after the answer.
    void killedAfterAnswer() {
        QCOMPARE(report("olga", "/api/intake/codex", QJsonObject{{"session_id", "k1"}, {"account", "kill@new.test"},
                     {"rate_limits", QJsonObject{{"primary", QJsonObject{{"used_percent", 12}, {"window_minutes", 300}}}}}}).status, 200);
        ::kill(pid_t(s.pid()), SIGKILL);
        QVERIFY(s.start({}, ReferenceServer::Seed::None));  // the administrator's session stays valid
        QCOMPARE(account("kill@new.test").value("five_hour_pct").toDouble(), 12.0);
    }
};

QTEST_MAIN(ServerIntakeTest)
#include "tst_server_intake.moc"
