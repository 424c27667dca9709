// The team server against its demo team: answer shapes, sign-in and its back-off, credentials and
// what each reaches, roles, roster and registry writes, photos, bad input. One server process for
// the whole file, on SQLite, or on PostgreSQL when CORVANE_TEST_POSTGRES is set.
#include "kit.h"

#include <QBuffer>
#include <QXmlStreamReader>
#include <QElapsedTimer>
#include <QDateTime>
#include <QImage>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSet>
#include <QUrlQuery>
#include <QTest>

using Answer = ReferenceServer::Answer;

// Key-by-key shape checks against a spec such as "name:s n_accounts:n active:b limits:o users:a
// accept_rate:n?": each key is present and has the JSON type the client reads (s string, n number,
// n? number or null, b Boolean, o object, a array).
static QString shapeError(const QJsonObject &o, const char *spec) {
    for (const QString &item : QString::fromLatin1(spec).split(u' ', Qt::SkipEmptyParts)) {
        const QString k = item.section(u':', 0, 0), t = item.section(u':', 1);
        if (!o.contains(k)) return "missing key " + k;
        const QJsonValue v = o.value(k);
        const bool ok = (t == "s" && v.isString()) || (t == "n" && v.isDouble()) || (t == "b" && v.isBool()) ||
                        (t == "o" && v.isObject()) || (t == "a" && v.isArray()) || (t == "n?" && (v.isDouble() || v.isNull()));
        if (!ok) return "wrong type of " + k;
    }
    return {};
}
#define CHECK_SHAPE(obj, spec) QVERIFY2(shapeError((obj), spec).isEmpty(), qPrintable(shapeError((obj), spec)))

class ServerApiTest : public QObject {
    Q_OBJECT
    PostgresCluster pg;  // before the server: it outlives it
    ReferenceServer s;
    QString admin, adminToken, viewer;
    int address = 0;

    static QByteArray png(int w, int h) {
        QImage img(w, h, QImage::Format_ARGB32);
        img.fill(QColor(120, 40, 200));
        QByteArray out;
        QBuffer buf(&out);
        buf.open(QIODevice::WriteOnly);
        img.save(&buf, "PNG");
        return out;
    }
    static QImage pixels(const QByteArray &png) {
        return QImage::fromData(png, "PNG").convertToFormat(QImage::Format_ARGB32);
    }
    static QString enc(const QString &v) { return QString::fromLatin1(QUrl::toPercentEncoding(v)); }
    static void checkRefusal(const Answer &a, int status) {
        QCOMPARE(a.status, status);
        QVERIFY(a.isJsonObject());
        QCOMPARE(a.json().value("ok"), QJsonValue(false));
        QVERIFY(a.json().value("error").isString());
        QVERIFY(!a.json().value("error").toString().isEmpty());
    }

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsSet("CORVANE_TEST_POSTGRES")) {
            QVERIFY2(pg.start(), qPrintable(pg.error()));
            const QString url = pg.createDatabase("api");
            QVERIFY2(!url.isEmpty(), qPrintable(pg.error()));
            s.setDatabase(url);
        }
        // Requests claim to come through a proxy on loopback, from an address of each test's own
        // (see init()), so that sign-in failures of one test never lock out the next.
        QVERIFY(s.start({"--trusted-proxy", "127.0.0.1", "--signin-window", "20"}));
        QVERIFY(!s.login("admin").login.isEmpty() && !s.login("anna").login.isEmpty());
        QCOMPARE(s.login("admin").role, QString("admin"));
        QCOMPARE(s.login("anna").role, QString("viewer"));
        QJsonObject ans;
        admin = s.signIn("admin", s.login("admin").password, &ans);
        adminToken = ans.value("token").toString();
        viewer = s.signIn("anna", s.login("anna").password);
        QVERIFY(!admin.isEmpty() && !adminToken.isEmpty() && !viewer.isEmpty());
    }

    void init() { s.setForwardedFor(QStringLiteral("198.51.100.%1").arg(++address)); }

    void signInAnswer() {
        QJsonObject a;
        QVERIFY(!s.signIn("  admin\t", s.login("admin").password, &a).isEmpty());
        CHECK_SHAPE(a, "ok:b token:s session:s role:s name:s url:s must_change:b");
        QCOMPARE(a.value("url").toString(), s.url());
        QCOMPARE(a.value("role").toString(), QString("admin"));
        QVERIFY(a.value("token").toString() != a.value("session").toString());
        // The machine's token reaches the member's own data only, an administrator's included;
        // the team's data takes the session of a sign-in.
        for (const char *own : {"/api/me", "/api/my/status", "/api/avatar?member_id=nobody-has-this"})
            QVERIFY(s.get(own, adminToken).status != 401 && s.get(own, adminToken).status != 403);
        for (const char *team : {"/api/accounts", "/api/members", "/api/events?limit=1", "/api/stats?scope=week"}) {
            checkRefusal(s.get(team, adminToken), 403);
            QCOMPARE(s.get(team, admin).status, 200);
        }
        checkRefusal(s.post("/api/members", {{"action", "update"}, {"id", "anna"}, {"note", "x"}}, adminToken), 403);

        for (const auto &[login, pw] : {std::pair{"admin", "wrong-password"}, std::pair{"nobody", "whatever1"}}) {
            const Answer r = s.post("/api/provision", {{"login", login}, {"password", pw}});
            checkRefusal(r, 401);
            QCOMPARE(r.json().value("error").toString(), QString("invalid_credentials"));
        }
        QJsonObject p;
        QVERIFY(!s.signIn("pavel", s.login("pavel").password, &p).isEmpty());
        QCOMPARE(p.value("must_change"), QJsonValue(true));
    }

    void passwordChange() {
        const QString old = s.login("pavel").password;
        // Until the one-time password is replaced, its sign-in reads the own profile and nothing else.
        QJsonObject first;
        const QString pending = s.signIn("pavel", old, &first);
        QVERIFY(!pending.isEmpty());
        const QString pendingToken = first.value("token").toString();
        QCOMPARE(s.get("/api/me", pending).json().value("member_id").toString(), QString("pavel"));
        for (const QString &cred : {pending, pendingToken}) {
            checkRefusal(s.get("/api/my/status", cred), 403);
            checkRefusal(s.post("/api/me", {{"note", "x"}}, cred), 403);
        }
        checkRefusal(s.post("/api/member/change-password",
                            {{"login", "pavel"}, {"current_password", old}, {"new_password", old}}), 400);
        checkRefusal(s.post("/api/member/change-password",
                            {{"login", "pavel"}, {"current_password", "nope-nope"}, {"new_password", "длинныйпароль"}}), 401);
        checkRefusal(s.post("/api/member/change-password",
                            {{"login", "pavel"}, {"current_password", old}, {"new_password", "1234567"}}), 400);
        // Eight Cyrillic letters are eight characters, though sixteen bytes.
        const Answer ok = s.post("/api/member/change-password",
                                 {{"login", "pavel"}, {"current_password", old}, {"new_password", "пароль12"}});
        QCOMPARE(ok.status, 200);
        QCOMPARE(ok.json().value("ok"), QJsonValue(true));
        // The client that made the change goes on with what it signed in with.
        QCOMPARE(s.get("/api/my/status", pending).status, 200);
        QCOMPARE(s.get("/api/my/status", pendingToken).status, 200);
        QJsonObject a;
        QVERIFY(!s.signIn("pavel", "пароль12", &a).isEmpty());
        QCOMPARE(a.value("must_change"), QJsonValue(false));
        QVERIFY(s.signIn("pavel", old).isEmpty());
    }

    void credentialsOfManySignIns() {
        // Every sign-in keeps its credentials: a 21st does not end the first machine's set-up.
        QJsonObject first;
        const QString firstSession = s.signIn("elena", s.login("elena").password, &first);
        for (int i = 0; i < 20; ++i) QVERIFY(!s.signIn("elena", s.login("elena").password).isEmpty());
        QCOMPARE(s.get("/api/my/status", first.value("token").toString()).status, 200);
        QCOMPARE(s.get("/api/my/status", firstSession).status, 200);
        checkRefusal(s.get("/api/accounts", first.value("token").toString()), 403);  // a viewer's token

        // A password change made elsewhere ends them; the changing client keeps its own.
        s.setForwardedFor("203.0.113.77");
        QJsonObject here;
        const QString mine = s.signIn("elena", s.login("elena").password, &here);
        QVERIFY(s.post("/api/member/change-password", {{"login", "elena"}, {"current_password", s.login("elena").password},
                                                       {"new_password", "elena-новый-1"}}).status == 200);
        checkRefusal(s.get("/api/my/status", firstSession), 401);
        checkRefusal(s.get("/api/my/status", first.value("token").toString()), 401);
        QCOMPARE(s.get("/api/my/status", mine).status, 200);
        QCOMPARE(s.get("/api/my/status", here.value("token").toString()).status, 200);
    }

    void signInBackOff() {
        // Five failures for a login from one address within the window: the sixth attempt from there is refused unheard, the right password included, until the window (20 s
        // here) has passed.
        const QString pw = s.login("maria").password;
        s.setForwardedFor("203.0.113.5");
        for (int i = 0; i < 5; ++i) QVERIFY(s.signIn("maria", "wrong-" + QString::number(i)).isEmpty());
        const Answer locked = s.post("/api/provision", {{"login", "maria"}, {"password", pw}});
        checkRefusal(locked, 429);
        const int retry = locked.header("Retry-After").toInt();
        QVERIFY2(retry >= 1 && retry <= 20, locked.header("Retry-After").constData());
        checkRefusal(s.post("/api/member/change-password", {{"login", "maria"}, {"current_password", pw},
                                                            {"new_password", "whatever-123"}}), 429);
        // The owner, elsewhere, is not locked out by a stranger: the answer is only held back.
        s.setForwardedFor("203.0.113.6");
        QElapsedTimer held;
        held.start();
        QVERIFY(!s.signIn("maria", pw).isEmpty());
        QVERIFY2(held.elapsed() >= 900, qPrintable(QString::number(held.elapsed())));
        // Twenty failures from one address, each for another login, lock the address (sent at
        // once, so that all of them fall within the window).
        QNetworkAccessManager nam;
        QList<QNetworkReply *> failures;
        for (int i = 0; i < 20; ++i) {
            QNetworkRequest req(QUrl(s.url() + "/api/provision"));
            req.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
            req.setRawHeader("X-Forwarded-For", "203.0.113.9");
            failures << nam.post(req, QJsonDocument(QJsonObject{{"login", "nobody" + QString::number(i)}, {"password", "x"}}).toJson());
        }
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(failures.begin(), failures.end(), [](QNetworkReply *r) { return r->isFinished(); }), 30000);
        s.setForwardedFor("203.0.113.9");
        checkRefusal(s.post("/api/provision", {{"login", "yulia"}, {"password", s.login("yulia").password}}), 429);
        s.setForwardedFor("203.0.113.10");
        QVERIFY(!s.signIn("yulia", s.login("yulia").password).isEmpty());
        // The end of the lock.
        s.setForwardedFor("203.0.113.5");
        QTRY_VERIFY_WITH_TIMEOUT(!s.signIn("maria", pw).isEmpty(), 30000);
    }

    void accountsShape() {
        const Answer a = s.get("/api/accounts", admin);
        QCOMPARE(a.status, 200);
        const QJsonArray list = a.json().value("accounts").toArray();
        QVERIFY(list.size() >= 20);
        for (const QJsonValue &v : list) {
            const QJsonObject o = v.toObject();
            CHECK_SHAPE(o, "email:s account_email:s provider:s member_name:s member_id:s group_name:s status:s "
                        "auth_type:s has_key:b has_monitor:b in_registry:b five_hour_pct:n five_hour_resets_at:n "
                        "seven_day_pct:n seven_day_resets_at:n cost_usd:n total_input:n total_output:n model:s "
                        "version:s last_seen:n online:b has_telemetry:b limits:o plan:s price:n currency:s "
                        "pay_method:s renew_date:s notes:s cc_provider:s base_url:s five_hour_burn:o "
                        "live_sessions:a users:a devices:a");
            CHECK_SHAPE(o.value("limits").toObject(), "source:s fetched_at:n severity:s extra_usage_pct:n weekly_scoped:a");
            CHECK_SHAPE(o.value("five_hour_burn").toObject(), "eta:n");
            QVERIFY(!o.contains("api_key"));
            for (const QJsonValue &m : o.value("limits").toObject().value("weekly_scoped").toArray())
                CHECK_SHAPE(m.toObject(), "model:s pct:n");
            for (const QJsonValue &l : o.value("live_sessions").toArray())
                CHECK_SHAPE(l.toObject(), "project:s person:s model:s active:b");
            for (const QJsonValue &u : o.value("users").toArray())
                CHECK_SHAPE(u.toObject(), "name:s online:b");
            for (const QJsonValue &d : o.value("devices").toArray())
                CHECK_SHAPE(d.toObject(), "device_host:s os_user:s person:s model:s version:s br_rev:s project:s "
                            "five_hour_pct:n seven_day_pct:n cost_usd:n last_seen:n online:b");
            const double reset = o.value("seven_day_resets_at").toDouble();
            QVERIFY(reset == 0 || reset > QDateTime::currentSecsSinceEpoch());
        }
    }

    void homeAndAlertsShape() {
        for (const QString &who : {admin, viewer}) {
            const QJsonObject st = s.get("/api/my/status", who).json();
            CHECK_SHAPE(st, "accounts:a telemetry:o member:o");
            CHECK_SHAPE(st.value("telemetry").toObject(), "push_ok:b last_seen:n");
            CHECK_SHAPE(st.value("member").toObject(), "name:s role:s");
            QVERIFY(!st.value("accounts").toArray().isEmpty());
            for (const QJsonValue &v : st.value("accounts").toArray())
                CHECK_SHAPE(v.toObject(), "account_email:s project:s five_hour_pct:n five_hour_resets_at:n seven_day_pct:n "
                            "seven_day_resets_at:n limits_ok:b");
        }
        const QJsonObject ev = s.get("/api/events?limit=5", admin).json();
        CHECK_SHAPE(ev, "events:a unread:n");
        QCOMPARE(ev.value("events").toArray().size(), 5);
        for (const QJsonValue &v : ev.value("events").toArray())
            CHECK_SHAPE(v.toObject(), "id:n ts:n severity:s title:s account_email:s ack:b");
    }

    void statisticsShape() {
        for (const QString scope : {"week", "month"}) {
            const QJsonObject st = s.get("/api/stats?scope=" + scope, admin).json();
            QVERIFY(!st.value("members").toArray().isEmpty() && !st.value("sources").toArray().isEmpty());
            for (const QJsonValue &v : st.value("members").toArray())
                CHECK_SHAPE(v.toObject(), "member_id:s name:s points:n cost_usd:n");
            for (const QJsonValue &v : st.value("accounts").toArray()) {
                CHECK_SHAPE(v.toObject(), "provider:s email:s total_points:n residual_points:n window:o");
                CHECK_SHAPE(v.toObject().value("window").toObject(), "resets_at:n");
            }
            for (const QJsonValue &v : st.value("sources").toArray())
                CHECK_SHAPE(v.toObject(), "source:s cost_usd:n sessions:n pct:n");
        }
        const QJsonArray res = s.get("/api/team/result?days=7", admin).json().value("members").toArray();
        QVERIFY(!res.isEmpty());
        for (const QJsonValue &v : res)
            CHECK_SHAPE(v.toObject(), "name:s lines_added:n lines_removed:n commits:n prs:n accepts:n rejects:n accept_rate:n? "
                        "output_tokens:n cost_usd:n active_user_s:n cost_per_line:n? result_score:n");
        const QJsonArray mir = s.get("/api/mirrors/limits?days=30", admin).json().value("mirrors").toArray();
        QVERIFY(!mir.isEmpty());
        for (const QJsonValue &v : mir)
            CHECK_SHAPE(v.toObject(), "provider:s account_email:s today_usd:n computed_limit_usd:n pct:n");
    }

    void activityShape() {
        const qint64 to = QDateTime::currentSecsSinceEpoch();
        const Answer a = s.get(QStringLiteral("/api/team/analytics?from=%1&to=%2&tz=-180").arg(to - 30 * 86400).arg(to), admin);
        QCOMPARE(a.status, 200);
        const QJsonArray people = a.json().value("people").toArray();
        QVERIFY(people.size() >= 10);
        for (const QJsonValue &v : people) {
            const QJsonObject p = v.toObject();
            CHECK_SHAPE(p, "name:s member_id:s active_seconds:n work_seconds:n offwork_seconds:n cost_usd:n "
                        "lines_added:n sessions:n last_seen:n online:b projects:a");
            QCOMPARE(p.value("work_seconds").toInteger() + p.value("offwork_seconds").toInteger(),
                     p.value("active_seconds").toInteger());
            for (const QJsonValue &pr : p.value("projects").toArray())
                CHECK_SHAPE(pr.toObject(), "name:s is_work:b seconds:n cost_usd:n");
        }
        const QJsonObject b = s.get("/api/accounts/breakdown?provider=claude&email=" + enc("core-1@corvane.dev") +
                                        "&scope=week&metric=seven_day", admin).json();
        CHECK_SHAPE(b, "members:a residual_pct_of_window:n observed_pct:n window:o");
        CHECK_SHAPE(b.value("window").toObject(), "resets_at:n");
        QVERIFY(!b.value("members").toArray().isEmpty());
        for (const QJsonValue &v : b.value("members").toArray())
            CHECK_SHAPE(v.toObject(), "name:s pct_of_window:n cost_usd:n");
    }

    void usageHistory() {
        const QString core1 = "/api/accounts/history?provider=claude&email=" + enc("core-1@corvane.dev");
        const QJsonObject month = s.get(core1 + "&days=30", admin).json();
        const double now = month.value("now").toDouble();
        for (const char *window : {"five_hour", "seven_day"}) {
            const QJsonArray points = month.value("windows").toObject().value(window).toObject().value("points").toArray();
            // The demo's thirty days, oldest first, ending where the account stands now.
            QVERIFY(points.size() > 100);
            QVERIFY(points.first().toArray().at(0).toDouble() < now - 25 * 86400);
            QVERIFY(points.last().toArray().at(0).toDouble() > now - 600);
            for (qsizetype i = 1; i < points.size(); ++i)
                QVERIFY(points[i].toArray().at(0).toDouble() > points[i - 1].toArray().at(0).toDouble());
        }
        const QJsonArray week = s.get(core1, admin).json().value("windows").toObject().value("five_hour")
                                    .toObject().value("points").toArray();
        QVERIFY(!week.isEmpty() && week.first().toArray().at(0).toDouble() >= now - 7 * 86400 - 5);

        // Administrators see every account; anyone else the accounts used on their machines.
        const QString front1 = "/api/accounts/history?provider=claude&email=" + enc("front-1@corvane.dev");
        QCOMPARE(s.get(front1, viewer).status, 200);
        QCOMPARE(s.get(core1, adminToken).status, 200);
        checkRefusal(s.get(core1, viewer), 403);
        checkRefusal(s.get("/api/accounts/history?provider=claude&email=" + enc("core-2@corvane.dev"), adminToken), 403);
        checkRefusal(s.get(core1), 401);
        checkRefusal(s.get(core1 + "&days=31", admin), 400);
        checkRefusal(s.get("/api/accounts/history?provider=claude", admin), 400);
        checkRefusal(s.get("/api/accounts/history?provider=claude&email=nobody%40x.y", admin), 404);

        const QJsonObject cost = s.get("/api/stats/cost?days=30", admin).json();
        QSet<QString> days;
        for (const QJsonValue &v : cost.value("rows").toArray()) {
            CHECK_SHAPE(v.toObject(), "day:s provider:s cost_usd:n tokens_in:n tokens_out:n");
            QVERIFY(v.toObject().value("day").toString() >= cost.value("from").toString());
            days.insert(v.toObject().value("day").toString());
        }
        QVERIFY(days.size() >= 20);
        checkRefusal(s.get("/api/stats/cost?days=30", viewer), 403);
        checkRefusal(s.get("/api/stats/cost?days=91", admin), 400);
    }

    void rosterShape() {
        const QJsonArray members = s.get("/api/members", admin).json().value("members").toArray();
        QVERIFY(members.size() >= 12);
        for (const QJsonValue &v : members)
            CHECK_SHAPE(v.toObject(), "id:s name:s role:s active:b has_token:b online:b n_accounts:n last_seen:n "
                        "specialization:s department:s member_type:s email:s telegram:s timezone:s note:s "
                        "joined_at:n has_avatar:b avatar_updated_at:n");
        const QJsonObject me = s.get("/api/me", viewer).json();
        CHECK_SHAPE(me, "ok:b member_id:s name:s specialization:s department:s member_type:s email:s telegram:s "
                    "timezone:s note:s joined_at:n has_avatar:b avatar_updated_at:n");
        QCOMPARE(me.value("member_id").toString(), QString("anna"));
    }

    void roleRules() {
        const QStringList adminOnly = {"/api/accounts", "/api/events?limit=100", "/api/stats?scope=week",
                                       "/api/mirrors/limits?days=30", "/api/team/result?days=7",
                                       "/api/team/analytics?from=1&to=2&tz=0", "/api/members",
                                       "/api/accounts/breakdown?provider=claude&email=x&scope=week&metric=seven_day"};
        const QStringList everyone = {"/api/my/status", "/api/me", "/api/avatar?member_id=anna"};
        for (const QString &p : adminOnly + everyone) {
            checkRefusal(s.get(p), 401);
            checkRefusal(s.get(p, "cts_not-a-real-credential"), 401);
        }
        for (const QString &p : adminOnly) checkRefusal(s.get(p, viewer), 403);
        QCOMPARE(s.get("/api/my/status", viewer).status, 200);
        QCOMPARE(s.get("/api/me", viewer).status, 200);
        checkRefusal(s.get("/api/avatar?member_id=admin", viewer), 403);
        checkRefusal(s.post("/api/refresh-limits", {}, viewer), 403);
        checkRefusal(s.post("/api/members", {{"action", "update"}, {"id", "anna"}, {"role", "admin"}}, viewer), 403);
        checkRefusal(s.post("/api/registry", {{"email", "x@y.z"}, {"provider", "claude"}}, viewer), 403);
        checkRefusal(s.del("/api/members?id=admin", viewer), 403);
        checkRefusal(s.del("/api/registry?provider=claude&email=core-1%40corvane.dev", viewer), 403);
        const Answer refresh = s.post("/api/refresh-limits", {}, admin);
        QCOMPARE(refresh.status, 200);
        QCOMPARE(refresh.json().value("ok"), QJsonValue(true));

        // A viewer cannot raise itself through the own profile.
        const QJsonObject before = s.get("/api/me", viewer).json();
        const Answer up = s.post("/api/me", {{"name", "Анна С."}, {"role", "admin"}, {"active", false},
                                             {"member_type", "contractor"}, {"joined_at", 5}, {"note", "привет"}}, viewer);
        QCOMPARE(up.status, 200);
        const QJsonObject after = s.get("/api/me", viewer).json();
        QCOMPARE(after.value("name").toString(), QString("Анна С."));
        QCOMPARE(after.value("note").toString(), QString("привет"));
        QCOMPARE(after.value("role").toString(), QString("viewer"));
        QCOMPARE(after.value("active"), QJsonValue(true));
        QCOMPARE(after.value("member_type"), before.value("member_type"));
        QCOMPARE(after.value("joined_at"), before.value("joined_at"));
        QCOMPARE(s.get("/api/my/status", viewer).json().value("member").toObject().value("role").toString(), QString("viewer"));
        checkRefusal(s.get("/api/members", viewer), 403);
    }

    void photos() {
        const QByteArray pic = png(64, 48);
        const Answer up = s.post("/api/me/avatar", {{"avatar_base64", QString::fromLatin1(pic.toBase64())}}, viewer);
        QCOMPARE(up.status, 200);
        const double v1 = up.json().value("avatar_updated_at").toDouble();
        QVERIFY(v1 > 0);
        const Answer own = s.get("/api/avatar?member_id=anna", viewer);
        QCOMPARE(own.status, 200);
        QCOMPARE(own.contentType, QByteArray("image/png"));
        QCOMPARE(pixels(own.body), pixels(pic));
        QCOMPARE(s.get("/api/avatar?member_id=anna", admin).body, own.body);
        const QJsonObject me = s.get("/api/me", viewer).json();
        QCOMPARE(me.value("has_avatar"), QJsonValue(true));
        QCOMPARE(me.value("avatar_updated_at").toDouble(), v1);
        // The version moves with every upload, also for one made by an administrator.
        const QByteArray pic2 = png(256, 10);
        QCOMPARE(s.post("/api/members", {{"action", "update"}, {"id", "anna"},
                                         {"avatar_base64", QString::fromLatin1(pic2.toBase64())}}, admin).status, 200);
        QVERIFY(s.get("/api/me", viewer).json().value("avatar_updated_at").toDouble() > v1);
        const QByteArray stored2 = s.get("/api/avatar?member_id=anna", viewer).body;
        QCOMPARE(pixels(stored2), pixels(pic2));

        QImage jpg(20, 20, QImage::Format_RGB32);
        jpg.fill(Qt::red);
        QByteArray jpeg;
        QBuffer b(&jpeg);
        b.open(QIODevice::WriteOnly);
        jpg.save(&b, "JPEG");
        for (const QString &bad : {QString::fromLatin1(jpeg.toBase64()), QString::fromLatin1(png(257, 20).toBase64()),
                                   QString("***not base64***"), QString::fromLatin1(pic.left(40).toBase64())})
            checkRefusal(s.post("/api/me/avatar", {{"avatar_base64", bad}}, viewer), 400);
        QCOMPARE(s.get("/api/avatar?member_id=anna", viewer).body, stored2);
        checkRefusal(s.get("/api/avatar?member_id=sergey", admin), 404);

        // Only the pixels are kept: text, times and profiles in the uploaded file stay behind.
        QImage tagged(40, 30, QImage::Format_ARGB32);
        tagged.fill(QColor(10, 200, 90, 128));
        tagged.setText("Comment", "gps 55.7558 37.6173");
        tagged.setText("Author", "secret-author");
        const QByteArray withMeta = [&] {
            QByteArray out;
            QBuffer buf(&out);
            buf.open(QIODevice::WriteOnly);
            tagged.save(&buf, "PNG");
            return out;
        }();
        QVERIFY(withMeta.contains("secret-author"));
        QCOMPARE(s.post("/api/me/avatar", {{"avatar_base64", QString::fromLatin1(withMeta.toBase64())}}, viewer).status, 200);
        const QByteArray served = s.get("/api/avatar?member_id=anna", viewer).body;
        for (const char *chunk : {"tEXt", "zTXt", "iTXt", "eXIf", "tIME", "iCCP", "secret-author", "55.7558"})
            QVERIFY2(!served.contains(chunk), chunk);
        QCOMPARE(pixels(served), pixels(withMeta));
    }

    void memberLifecycle() {
        const QString odd = "Ян & Ко+1 ж";
        const Answer c = s.post("/api/members", {{"action", "create"}, {"name", "Ян Тестов"}, {"login", odd}, {"role", "viewer"},
                                                 {"specialization", "QA-инженер"}, {"department", "QA"}, {"member_type", "contractor"}},
                                admin);
        QCOMPARE(c.status, 200);
        QCOMPARE(c.json().value("login").toString(), odd);
        const QString pw = c.json().value("password").toString();
        QVERIFY(pw.size() >= 8);
        const Answer dup = s.post("/api/members", {{"action", "create"}, {"name", "Другой"}, {"login", odd}}, admin);
        checkRefusal(dup, 409);
        QCOMPARE(dup.json().value("error").toString(), QString("Логин уже занят"));
        const Answer gen = s.post("/api/members", {{"action", "create"}, {"name", "Жанна Щукина"}, {"login", ""}}, admin);
        QCOMPARE(gen.json().value("login").toString(), QString("zhanna.shchukina"));

        QJsonObject first;
        const QString sess = s.signIn(odd, pw, &first);
        QVERIFY(!sess.isEmpty());
        QCOMPARE(first.value("must_change"), QJsonValue(true));
        QCOMPARE(s.get("/api/me", sess).json().value("member_id").toString(), odd);

        QCOMPARE(s.post("/api/members", {{"action", "update"}, {"id", odd}, {"note", "заметка"}, {"joined_at", 1700000000}}, admin).status, 200);
        // Disabling takes effect at once, for the session and for new sign-ins.
        QCOMPARE(s.post("/api/members", {{"action", "update"}, {"id", odd}, {"active", false}}, admin).status, 200);
        checkRefusal(s.get("/api/me", sess), 401);
        QVERIFY(s.signIn(odd, pw).isEmpty());
        QCOMPARE(s.post("/api/members", {{"action", "update"}, {"id", odd}, {"active", true}}, admin).status, 200);
        const Answer reset = s.post("/api/members", {{"action", "reset_password"}, {"id", odd}}, admin);
        QCOMPARE(reset.status, 200);
        const QString pw2 = reset.json().value("password").toString();
        QCOMPARE(reset.json().value("login").toString(), odd);
        QVERIFY(s.signIn(odd, pw).isEmpty());
        const QString sess2 = s.signIn(odd, pw2);
        QVERIFY(!sess2.isEmpty());

        const QJsonArray members = s.get("/api/members", admin).json().value("members").toArray();
        bool found = false;
        for (const QJsonValue &v : members)
            if (v.toObject().value("id").toString() == odd) {
                found = true;
                QCOMPARE(v.toObject().value("note").toString(), QString("заметка"));
                QCOMPARE(v.toObject().value("joined_at").toDouble(), 1700000000.0);
                QCOMPARE(v.toObject().value("member_type").toString(), QString("contractor"));
                QCOMPARE(v.toObject().value("has_token"), QJsonValue(true));
            }
        QVERIFY(found);

        QCOMPARE(s.del("/api/members?id=" + enc(odd), admin).status, 200);
        checkRefusal(s.get("/api/me", sess2), 401);
        checkRefusal(s.del("/api/members?id=" + enc(odd), admin), 404);
        QVERIFY(s.signIn(odd, pw2).isEmpty());

        // The team always keeps an administrator.
        QCOMPARE(s.post("/api/members", {{"action", "update"}, {"id", "olga"}, {"role", "viewer"}}, admin).status, 200);
        checkRefusal(s.post("/api/members", {{"action", "update"}, {"id", "admin"}, {"role", "viewer"}}, admin), 409);
        checkRefusal(s.del("/api/members?id=admin", admin), 409);
        QCOMPARE(s.post("/api/members", {{"action", "update"}, {"id", "olga"}, {"role", "admin"}}, admin).status, 200);
        checkRefusal(s.post("/api/members", {{"action", "update"}, {"id", "nobody"}, {"name", "x"}}, admin), 404);
        checkRefusal(s.post("/api/members", {{"action", "update"}, {"id", "anna"}, {"role", "root"}}, admin), 400);
    }

    void registryWrites() {
        const QString email = "Тест+1 & co@пример.рф";
        QJsonObject body{{"email", email}, {"provider", "openrouter"}, {"group_name", " R&D "}, {"owner", "anna"},
                         {"plan", "API"}, {"price", 50}, {"currency", "USD"}, {"pay_method", "карта"},
                         {"renew_date", "2030-01-15"}, {"status", "hold"}, {"notes", "n"}, {"auth_type", "api_key"},
                         {"cc_provider", "openrouter"}, {"base_url", "https://openrouter.ai/api"}, {"model", "m1"},
                         {"api_key", "sk-secret-value-123"}};
        const Answer created = s.post("/api/registry", body, admin);
        QVERIFY2(created.status >= 200 && created.status < 300, created.body.constData());
        body.remove("api_key");
        body["price"] = QJsonValue::Null;
        QCOMPARE(s.post("/api/registry", body, admin).status, 200);  // update keeps the key
        const Answer list = s.get("/api/accounts", admin);
        QVERIFY(!list.body.contains("sk-secret-value-123"));
        bool found = false;
        for (const QJsonValue &v : list.json().value("accounts").toArray()) {
            const QJsonObject o = v.toObject();
            if (o.value("email").toString() != email) continue;
            found = true;
            QCOMPARE(o.value("has_key"), QJsonValue(true));
            QCOMPARE(o.value("in_registry"), QJsonValue(true));
            QCOMPARE(o.value("group_name").toString(), QString("R&D"));
            QCOMPARE(o.value("member_name").toString(), QString("Анна С."));
            QCOMPARE(o.value("status").toString(), QString("hold"));
            QCOMPARE(o.value("price").toDouble(), 0.0);
            QCOMPARE(o.value("model").toString(), QString("m1"));
        }
        QVERIFY(found);
        checkRefusal(s.post("/api/registry", {{"email", "a@b.c"}, {"provider", "skynet"}}, admin), 400);
        checkRefusal(s.post("/api/registry", {{"email", "a@b.c"}, {"provider", "claude"}, {"renew_date", "15.01.2030"}}, admin), 400);
        const QString path = "/api/registry?provider=openrouter&email=" + enc(email);
        QCOMPARE(s.del(path, admin).status, 200);
        checkRefusal(s.del(path, admin), 404);
    }

    // One representative request per kind of bad input: unknown route, wrong method, broken or
    // non-object JSON, wrong content type, a field of the wrong type, an oversized body, a bad query.
    void badInput() {
        checkRefusal(s.get("/api/nothing-here"), 404);
        checkRefusal(s.send("PUT", "/api/members", "{}", admin), 405);
        checkRefusal(s.send("POST", "/api/provision", "{\"login\": \"admin\", "), 400);
        checkRefusal(s.send("POST", "/api/provision", "[1,2]"), 400);
        checkRefusal(s.send("POST", "/api/provision", "{}", {}, "text/plain"), 415);
        checkRefusal(s.post("/api/provision", {{"login", 5}, {"password", "x"}}), 400);
        checkRefusal(s.send("POST", "/api/me", QByteArray(1024 * 1024 + 10, ' '), viewer), 413);
        checkRefusal(s.post("/api/me", {{"name", "   "}}, viewer), 400);
        checkRefusal(s.post("/api/members", {{"action", "explode"}, {"id", "anna"}}, admin), 400);
        checkRefusal(s.post("/api/members", {{"action", "update"}, {"id", "anna"}, {"active", "yes"}}, admin), 400);
        checkRefusal(s.get("/api/team/analytics?from=200&to=100&tz=0", admin), 400);
        checkRefusal(s.get("/api/accounts/breakdown?provider=claude", admin), 400);
        // After all of it the server still answers and the data is intact.
        QCOMPARE(s.get("/api/me", viewer).json().value("name").toString(), QString("Анна С."));
    }

    // Two administrators demote (or disable) each other at the same moment: one of them stays.
    void lastAdministratorUnderRace_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value");
        // The refusal when the first change landed before the second was authorised: a demoted
        // administrator is no longer allowed (403), a disabled one is signed out (401).
        QTest::addColumn<int>("late");
        QTest::newRow("demote") << "role" << QJsonValue("viewer") << 403;
        QTest::newRow("disable") << "active" << QJsonValue(false) << 401;
    }
    void lastAdministratorUnderRace() {
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        QFETCH(int, late);
        const QStringList ids = {"admin", "olga"};
        QStringList sessions;
        for (const QString &id : ids) sessions << s.signIn(id, s.login(id).password);
        QNetworkAccessManager nam;
        QList<QNetworkReply *> replies;
        for (int i = 0; i < 2; ++i) {
            QNetworkRequest req(QUrl(s.url() + "/api/members"));
            req.setRawHeader("Authorization", "Bearer " + sessions[i].toUtf8());
            req.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
            const QJsonObject body{{"action", "update"}, {"id", ids[1 - i]}, {key, value}};
            replies << nam.post(req, QJsonDocument(body).toJson());
        }
        QTRY_VERIFY_WITH_TIMEOUT(replies[0]->isFinished() && replies[1]->isFinished(), 20000);
        QList<int> statuses;
        for (QNetworkReply *r : replies) statuses << r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        // The other is refused: 409, or `late` when the first change landed before it was authorised.
        std::sort(statuses.begin(), statuses.end());
        QVERIFY2(statuses.contains(200), qPrintable(QString::number(statuses.first())));
        const int refused = statuses.first() == 200 ? statuses.last() : statuses.first();
        QVERIFY2(refused == 409 || refused == late, qPrintable(QString::number(refused)));
        // The one left puts the other back.
        const int kept = replies[0]->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200 ? 0 : 1;
        QCOMPARE(s.post("/api/members", {{"action", "update"}, {"id", ids[1 - kept]}, {"role", "admin"}, {"active", true}},
                        sessions[kept]).status, 200);
        admin = s.signIn("admin", s.login("admin").password);
        QVERIFY(!admin.isEmpty());
    }

    void pagesWithoutCredential() {
        const Answer page = s.get("/");
        QCOMPARE(page.status, 200);
        QVERIFY(page.contentType.startsWith("text/html"));
        QVERIFY(QString::fromUtf8(page.body).contains("Corvane Studio"));
        const Answer feed = s.get("/appcast.xml");
        QCOMPARE(feed.status, 200);
        QXmlStreamReader xml(feed.body);
        QString version, shortVersion, enclosure;
        int items = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement) continue;
            if (xml.name() == u"item") ++items;
            else if (xml.qualifiedName() == u"sparkle:version") version = xml.readElementText();
            else if (xml.qualifiedName() == u"sparkle:shortVersionString") shortVersion = xml.readElementText();
            else if (xml.name() == u"enclosure") enclosure = xml.attributes().value("url").toString();
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(items, 1);
        QVERIFY(!version.isEmpty() && !shortVersion.isEmpty() && enclosure.startsWith("https://"));
    }
};

QTEST_GUILESS_MAIN(ServerApiTest)
#include "tst_server_api.moc"
