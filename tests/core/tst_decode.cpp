// The JSON readers, then each endpoint's decoder: the keys it reads (every field of a record that
// an answer sets, with its value), how strictly, its defaults, and what an answer of the wrong
// shape gives. The readers' own edges are tested once, at the top.
#include "core/decode.h"
#include "core/json.h"
#include "testjson.h"
#include "testmain.h"

#include <QSet>
#include <QTest>
#include <cmath>
#include <limits>

namespace {
template <typename R>
QStringList set(const R &r) { return fields(r, R(), false); }

} // namespace

class TstDecode : public QObject
{
    Q_OBJECT
private slots:
    void jnum_data()
    {
        QTest::addColumn<QString>("json"); // the value, written as JSON
        QTest::addColumn<double>("expected");
        const char *rows[][2] = {
            {"null", "0"}, {"[5]", "0"}, {"true", "1"}, {"-2.5", "-2.5"}, {"\"42\"", "42"}, {"\"2.5E-1\"", "0.25"},
            {"\"0x10\"", "16"}, // as C strtod reads it
            {"\"\"", "0"}, {"\" 42\"", "0"}, {"\"\\t42\"", "0"}, {"\"42 \"", "0"}, {"\"12,5\"", "0"},
            {"\"\\u0664\\u0662\"", "0"}, {"\"\\u00a042\"", "0"},
            {"\"1\\u00002\"", "0"}, // the C conversion would stop at the NUL and call "1" the whole string
        };
        for (const auto &r : rows)
            QTest::newRow(r[0]) << QString::fromLatin1(r[0]) << QByteArray(r[1]).toDouble();
    }
    void jnum()
    {
        QFETCH(QString, json);
        QTEST(json::jnum(val(json.toUtf8().constData())), "expected");
        QCOMPARE(json::jnum(QJsonValue(QJsonValue::Undefined)), 0.0); // an absent key
    }

    void readers()
    {
        // The C conversion accepts these words; jnum passes them on, integer fields turn them into 0.
        QVERIFY(std::isnan(json::jnum(QJsonValue(QStringLiteral("nan")))));
        QCOMPARE(json::toInt(json::jnum(QJsonValue(QStringLiteral("-Infinity")))), 0);
        QCOMPARE(json::toInt(-2.9), -2);
        QCOMPARE(json::toInt(9223372036854775808.0), 0); // 2^63 does not fit
        QCOMPARE(json::toInt(-9223372036854775808.0), std::numeric_limits<qint64>::min());
        QCOMPARE(json::text(val("5"), QStringLiteral("d")), QStringLiteral("d"));
        QCOMPARE(json::text(val("\"\""), QStringLiteral("d")), QString()); // an empty string is a string
        QCOMPARE(json::number(val("\"80\""), -1), -1.0);
        QCOMPARE(json::number(val("true"), -1), 1.0);
        QCOMPARE(json::flag(val("1")), false);
        QCOMPARE(json::looseFlag(val("1")), true);
        QCOMPARE(json::looseFlag(val("2"), true), true); // only 0 and 1 count
        QCOMPARE(json::looseFlag(val("\"1\"")), false);
        // Arrays of objects are all or nothing.
        QCOMPARE(json::objects(val("[{\"a\":1},{}]")).size(), 2);
        QCOMPARE(json::objects(val("[{\"a\":1},1]")).size(), 0);
        QVERIFY(json::object(val("[1]")).isEmpty());
    }

    void homeStatus()
    {
        decode::HomeStatus h = decode::homeStatus(obj(R"({"accounts": [
            {"account_email": "a@x", "project": "p", "five_hour_pct": 42.5, "five_hour_resets_at": 100,
             "seven_day_pct": 7, "seven_day_resets_at": 200, "limits_ok": true},
            {"five_hour_pct": "42.5", "seven_day_pct": true, "limits_ok": 1, "account_email": 5}]})"));
        QCOMPARE(set(h.accounts[0]), QStringList({"email=a@x", "project=p", "fivePct=42.5", "fiveReset=100",
                                                  "sevenPct=7", "sevenReset=200", "ok=true"}));
        // A string is not a number here, true is 1, and the number 1 counts as true.
        QCOMPARE(set(h.accounts[1]), QStringList({"sevenPct=1", "ok=true"}));
        QVERIFY(!h.hasTelemetry && !h.hasMember); // absent: the caller keeps the previous values

        h = decode::homeStatus(obj(R"({"telemetry": {"push_ok": true, "last_seen": 1700000000.5},
                                      "member": {"name": "Анна", "role": "viewer"}})"));
        QVERIFY(h.hasTelemetry && h.telemetryOk);
        QCOMPARE(h.lastSeen, 1700000000.5);
        QCOMPARE(h.memberName, std::optional<QString>(QStringLiteral("Анна")));
        QCOMPARE(h.memberRole, std::optional<QString>(QStringLiteral("viewer")));

        h = decode::homeStatus(obj(R"({"telemetry": {"push_ok": "yes", "last_seen": "5"}, "member": {"name": 3}})"));
        QVERIFY(h.hasTelemetry && !h.telemetryOk);
        QCOMPARE(h.lastSeen, 0.0);
        QVERIFY(h.hasMember && !h.memberName && !h.memberRole);
        h = decode::homeStatus(obj(R"({"telemetry": [1], "member": "x", "accounts": [{}, "x"]})"));
        QVERIFY(!h.hasTelemetry && !h.hasMember && h.accounts.isEmpty());
        QVERIFY(decode::homeStatus(obj(R"({"accounts": {"account_email": "a"}})")).accounts.isEmpty());
    }

    void alerts()
    {
        const decode::Alerts a = decode::alerts(obj(R"({"events": [
            {"id": "17", "ts": 18, "severity": "crit", "title": "t", "account_email": "e", "ack": 1},
            {}], "unread": "3"})"));
        QCOMPARE(set(a.events[0]), QStringList({"evId=17", "ts=18", "severity=crit", "title=t", "email=e", "ack=true"}));
        QCOMPARE(set(a.events[1]), QStringList()); // "info" when absent
        QCOMPARE(a.unread, 3);
        // Two loads of the same answer: fresh list ids, the server's ids kept.
        const decode::Alerts b = decode::alerts(obj(R"({"events": [{"id": 1}, {"id": 1}]})"));
        const decode::Alerts c = decode::alerts(obj(R"({"events": [{"id": 1}, {"id": 1}]})"));
        QCOMPARE(QSet<QUuid>({b.events[0].id, b.events[1].id, c.events[0].id, c.events[1].id}).size(), 4);
        QCOMPARE(b.events[0].evId, c.events[0].evId);
    }

    void members()
    {
        QCOMPARE(set(decode::member(QJsonObject())), QStringList()); // a viewer, active, a "member"
        QCOMPARE(set(decode::member(obj(R"({"id": "anna", "name": "Анна", "role": "admin", "active": false,
            "has_token": true, "online": true, "n_accounts": "3", "last_seen": "4", "specialization": "ios",
            "department": "mobile", "member_type": "contractor", "email": "a@x", "telegram": "@a",
            "timezone": "Europe/Moscow", "note": "n", "joined_at": 5, "has_avatar": true, "avatar_updated_at": 6.5})"))),
                 QStringList({"memberId=anna", "name=Анна", "role=admin", "active=false", "hasToken=true", "online=true",
                              "nAccounts=3", "lastSeen=4", "specialization=ios", "department=mobile",
                              "memberType=contractor", "email=a@x", "telegram=@a", "timezone=Europe/Moscow", "note=n",
                              "joinedAt=5", "hasAvatar=true", "avatarUpdatedAt=6.5", "initials=АН"}));
        // Flags are JSON booleans only; a role that is no string is a viewer's.
        QCOMPARE(set(decode::member(obj(R"({"role": 1, "active": 0, "online": "true", "has_avatar": 1})"))), QStringList());

        // Online first, then more accounts first, else server order; one bad entry empties the list.
        const QList<Member> l = decode::members(obj(R"({"members": [
            {"id": "off9", "online": false, "n_accounts": 9}, {"id": "on2", "online": true, "n_accounts": 2},
            {"id": "off0a"}, {"id": "on5", "online": true, "n_accounts": 5}, {"id": "off0b"},
            {"id": "on2b", "online": true, "n_accounts": "2"}]})"));
        QCOMPARE(pluck(l, &Member::memberId), (QStringList{"on5", "on2", "on2b", "off9", "off0a", "off0b"}));
        QVERIFY(decode::members(obj(R"({"members": [{}, 1]})")).isEmpty());
    }

    void profile()
    {
        decode::Profile p = decode::profile(QJsonObject());
        QVERIFY(!p.ok && !p.name);
        QCOMPARE(p.type, QStringLiteral("member"));
        QVERIFY(!decode::profile(obj(R"({"ok": 1})")).ok);

        p = decode::profile(obj(R"({"ok": true, "member_id": "anna", "name": "Анна", "specialization": "s",
            "department": "d", "member_type": "contractor", "email": "e", "telegram": "t", "timezone": "z",
            "note": "n", "joined_at": "1600000000", "has_avatar": true, "avatar_updated_at": 17})"));
        QVERIFY(p.ok && p.hasAvatar);
        QCOMPARE(p.name, std::optional<QString>(QStringLiteral("Анна")));
        QCOMPARE(QStringList({p.memberId, p.spec, p.dept, p.type, p.email, p.telegram, p.timezone, p.note}),
                 QStringList({"anna", "s", "d", "contractor", "e", "t", "z", "n"}));
        QCOMPARE(QList<double>({p.joinedAt, p.avatarUpdatedAt}), QList<double>({1600000000, 17}));

        QVERIFY(!decode::profile(obj(R"({"ok": true, "name": ""})")).name);
        p = decode::profile(obj(R"({"ok": true, "name": 5, "has_avatar": 1})"));
        QVERIFY(!p.name && !p.hasAvatar);
    }

    void statsResultsMirrors()
    {
        const decode::Stats s = decode::stats(obj(R"({
            "members": [{"member_id": "m1", "points": "12.5", "cost_usd": 3}, {"member_id": "m2", "name": "Bob"}],
            "accounts": [{"provider": "CODEX", "email": "a", "total_points": 10, "residual_points": "2",
                          "window": {"resets_at": 99}}, {"window": 5}],
            "sources": [{"source": "cli", "cost_usd": 1.5, "sessions": 3.9, "pct": "40"}]})"));
        QCOMPARE(set(s.members[0]), QStringList({"memberId=m1", "name=m1", "points=12.5", "cost=3"})); // listed under its id
        QCOMPARE(s.members[1].name, QStringLiteral("Bob"));
        QCOMPARE(set(s.accounts[0]), QStringList({"provider=codex", "email=a", "totalPoints=10", "residual=2", "resetsAt=99"}));
        QCOMPARE(set(s.accounts[1]), QStringList()); // a "claude" account
        QCOMPARE(set(s.sources[0]), QStringList({"source=cli", "cost=1.5", "sessions=3", "pct=40"}));
        const decode::Stats e = decode::stats(obj(R"({"members": "x", "accounts": [1], "sources": null})"));
        QVERIFY(e.members.isEmpty() && e.accounts.isEmpty() && e.sources.isEmpty());

        const QList<ResultMember> r = decode::results(obj(R"({"members": [
            {"name": "A", "lines_added": "10", "lines_removed": 2.9, "commits": 3, "prs": 1, "accepts": 4,
             "rejects": 5, "accept_rate": 0.5, "output_tokens": 1000, "cost_usd": "2.5", "active_user_s": 60,
             "cost_per_line": 0.25, "result_score": "7.5"},
            {"accept_rate": null, "cost_per_line": "0.3"}, {"accept_rate": false}]})"));
        QCOMPARE(set(r[0]), QStringList({"name=A", "linesAdded=10", "linesRemoved=2", "commits=3", "prs=1", "accepts=4",
                                         "rejects=5", "acceptRate=0.5", "outputTokens=1000", "cost=2.5", "activeSec=60",
                                         "costPerLine=0.25", "score=7.5"}));
        QCOMPARE(set(r[1]), QStringList()); // -1: no value (absent, null, or a string here)
        QCOMPARE(r[2].acceptRate, 0.0);     // a boolean counts as a number

        const QList<MirrorSpend> m = decode::mirrors(obj(R"({"mirrors": [
            {"provider": "GLM", "account_email": "a", "today_usd": "1.5", "computed_limit_usd": 10, "pct": 15},
            {"computed_limit_usd": "10", "pct": null}]})"));
        QCOMPARE(set(m[0]), QStringList({"provider=glm", "email=a", "today=1.5", "limit=10", "pct=15"}));
        QCOMPARE(set(m[1]), QStringList()); // no "claude" default here
    }

    void activity()
    {
        const QList<ActPerson> p = decode::activity(obj(R"({"people": [
            {"name": "A", "active_seconds": 100, "projects": [{"name": "x", "seconds": 5, "cost_usd": 1},
                {"name": "y", "seconds": 50, "is_work": false}, {"name": "z", "seconds": 5, "is_work": 0},
                {"name": "w", "seconds": "50", "is_work": 1}]},
            {"name": "B", "active_seconds": "300", "online": 1, "member_id": "b", "work_seconds": 200,
             "offwork_seconds": 100, "cost_usd": "1.5", "lines_added": 9, "sessions": 2, "last_seen": 5},
            {"name": "C", "active_seconds": 100, "projects": {"name": "x"}}, {"name": "D", "active_seconds": 100.9}]})"));
        QCOMPARE(pluck(p, &ActPerson::name), (QStringList{"B", "A", "C", "D"})); // equal times keep server order
        QCOMPARE(set(p[0]), QStringList({"name=B", "memberId=b", "activeSec=300", "workSec=200", "offworkSec=100",
                                         "cost=1.5", "linesAdded=9", "sessions=2", "lastSeen=5", "online=true"}));
        const ActPerson &a = p[1];
        QCOMPARE(pluck(a.projects, &ActProject::name), (QStringList{"y", "w", "x", "z"}));
        QCOMPARE(set(a.projects[2]), QStringList({"name=x", "seconds=5", "cost=1"})); // a missing "is_work" counts as work
        QCOMPARE(QList<bool>({a.projects[0].isWork, a.projects[1].isWork, a.projects[3].isWork}), QList<bool>({false, true, false}));
        QCOMPARE(a.projectList().size(), 4);
        QVERIFY(p[2].projects.isEmpty());
        QCOMPARE(p[3].activeSec, 100);
        QVERIFY(decode::activity(obj(R"({"people": [{}, 2]})")).isEmpty());
    }

    void breakdownAndSegments()
    {
        decode::Breakdown b = decode::breakdown(obj(R"({"members": [], "residual_pct_of_window": 12})"));
        QList<decode::Segment> s = decode::segments(b);
        QCOMPARE(s.size(), 1);
        QCOMPARE(s[0].name, QStringLiteral("app / браузер"));
        QCOMPARE(s[0].pct, 12.0);
        QVERIFY(s[0].color.isEmpty());

        b = decode::breakdown(obj(R"({"members": [{"name": "A", "pct_of_window": "30", "cost_usd": 2}, {}],
            "residual_pct_of_window": 0.05, "observed_pct": 63.9, "window": {"resets_at": "1700000000"}})"));
        QCOMPARE(set(b.rows[0]), QStringList({"name=A", "pct=30", "cost=2"}));
        QCOMPARE(set(b.rows[1]), QStringList()); // kept without a name
        QCOMPARE(b.observedPct, 63.9);
        QCOMPARE(b.resetsAt, 1700000000.0);
        s = decode::segments(b);
        QCOMPARE(s.size(), 2); // a residual of exactly 0.05 adds nothing
        QCOMPARE(s[0].color, QStringLiteral("#8B7FE8"));
        QCOMPARE(s[1].color, QStringLiteral("#5FB574"));
        b = decode::breakdown(obj(R"({"members": "x", "residual_pct_of_window": 0.0500001, "window": {}})"));
        QVERIFY(b.rows.isEmpty());
        QCOMPARE(decode::segments(b).size(), 1);

        b.rows = QList<BreakdownRow>(10);
        s = decode::segments(b);
        QCOMPARE(s[8].color, s[0].color); // eight colours, then round again
        QCOMPARE(s[9].color, s[1].color);
        QVERIFY(s[7].color != s[0].color);
    }
};

CORVANE_TEST_CLASS(TstDecode)
#include "tst_decode.moc"
