#include "core/decode.h"
#include "testjson.h"

#include <QSet>
#include <QTest>

class TstDecode : public QObject
{
    Q_OBJECT
private slots:
    void homeStatusStrictNumbers();
    void homeStatusTelemetryAndMember();
    void homeStatusWrongShapes();
    void alertsDefaultsAndUnread();
    void memberDefaultsAndTypes();
    void membersOrder();
    void profileKeys();
    void statsTables();
    void resultsOptionalNumbers();
    void mirrorsTable();
    void activityOrderAndFlags();
    void breakdownAndSegments();
    void segmentColoursCycle();
    void freshIdsPerLoad();
};

void TstDecode::homeStatusStrictNumbers()
{
    const decode::HomeStatus h = decode::homeStatus(obj(R"({"accounts": [
        {"account_email": "a@x", "project": "p", "five_hour_pct": 42.5, "five_hour_resets_at": 100,
         "seven_day_pct": 7, "seven_day_resets_at": 200, "limits_ok": true},
        {"five_hour_pct": "42.5", "seven_day_pct": true, "limits_ok": 1, "account_email": 5},
        {"limits_ok": "true", "seven_day_resets_at": null}]})"));
    QCOMPARE(h.accounts.size(), 3);
    const Acct &a = h.accounts[0];
    QCOMPARE(a.email, QStringLiteral("a@x"));
    QCOMPARE(a.fivePct, 42.5);
    QCOMPARE(a.sevenPct, 7.0);
    QVERIFY(a.ok);
    QCOMPARE(h.accounts[1].fivePct, 0.0); // a string is not a number here
    QCOMPARE(h.accounts[1].sevenPct, 1.0);
    QVERIFY(h.accounts[1].ok);            // the number 1 counts as true
    QVERIFY(h.accounts[1].email.isEmpty());
    QVERIFY(!h.accounts[2].ok);
    QCOMPARE(h.accounts[2].sevenReset, 0.0);
}

void TstDecode::homeStatusTelemetryAndMember()
{
    decode::HomeStatus h = decode::homeStatus(obj(R"({"accounts": []})"));
    QVERIFY(!h.hasTelemetry); // caller keeps the previous values
    QVERIFY(!h.hasMember && !h.memberName && !h.memberRole);

    h = decode::homeStatus(obj(R"({"telemetry": {}})"));
    QVERIFY(h.hasTelemetry);
    QVERIFY(!h.telemetryOk);
    QCOMPARE(h.lastSeen, 0.0);

    h = decode::homeStatus(obj(R"({"telemetry": {"push_ok": true, "last_seen": 1700000000.5},
                                  "member": {"name": "Анна", "role": "viewer"}})"));
    QVERIFY(h.telemetryOk);
    QCOMPARE(h.lastSeen, 1700000000.5);
    QVERIFY(h.hasMember);
    QCOMPARE(*h.memberName, QStringLiteral("Анна"));
    QCOMPARE(*h.memberRole, QStringLiteral("viewer"));

    h = decode::homeStatus(obj(R"({"telemetry": {"push_ok": "yes", "last_seen": "5"}, "member": {"name": 3}})"));
    QVERIFY(!h.telemetryOk);
    QCOMPARE(h.lastSeen, 0.0);
    QVERIFY(h.hasMember && !h.memberName && !h.memberRole);

    h = decode::homeStatus(obj(R"({"telemetry": [1], "member": "x"})"));
    QVERIFY(!h.hasTelemetry && !h.hasMember);
}

void TstDecode::homeStatusWrongShapes()
{
    QVERIFY(decode::homeStatus(obj(R"({"accounts": {"account_email": "a"}})")).accounts.isEmpty());
    QVERIFY(decode::homeStatus(obj(R"({"accounts": [{}, "x"]})")).accounts.isEmpty());
    QVERIFY(decode::homeStatus(obj(R"({"error": "unauthorized"})")).accounts.isEmpty());
    QVERIFY(decode::homeStatus(QJsonObject()).accounts.isEmpty());
}

void TstDecode::alertsDefaultsAndUnread()
{
    decode::Alerts a = decode::alerts(obj(R"({"events": [
        {"id": "17", "ts": 1700000000, "severity": "crit", "title": "t", "account_email": "e", "ack": true},
        {}], "unread": "3"})"));
    QCOMPARE(a.events.size(), 2);
    QCOMPARE(a.events[0].evId, 17.0); // through jnum: numeric strings count
    QCOMPARE(a.events[0].severity, QStringLiteral("crit"));
    QVERIFY(a.events[0].ack);
    QCOMPARE(a.events[1].severity, QStringLiteral("info"));
    QVERIFY(a.events[1].title.isEmpty() && !a.events[1].ack);
    QCOMPARE(a.unread, 3);
    QCOMPARE(decode::alerts(obj(R"({"unread": 2.9})")).unread, 2);
    QCOMPARE(decode::alerts(obj(R"({"unread": "nan"})")).unread, 0);
    QCOMPARE(decode::alerts(obj(R"({"unread": 1e30})")).unread, 0);
    a = decode::alerts(QJsonObject());
    QVERIFY(a.events.isEmpty());
    QCOMPARE(a.unread, 0);
}

void TstDecode::memberDefaultsAndTypes()
{
    Member m = decode::member(QJsonObject());
    QCOMPARE(m.role, QStringLiteral("viewer"));
    QVERIFY(m.active);
    QCOMPARE(m.memberType, QStringLiteral("member"));
    QVERIFY(m.memberId.isEmpty() && m.name.isEmpty() && !m.hasToken && !m.online && !m.hasAvatar);
    QCOMPARE(m.nAccounts, 0);

    m = decode::member(obj(R"({"id": "anna", "name": "Анна", "role": "admin", "active": false,
        "has_token": true, "online": true, "n_accounts": "3", "last_seen": "1700000000",
        "specialization": "ios", "department": "mobile", "member_type": "contractor", "email": "a@x",
        "telegram": "@a", "timezone": "Europe/Moscow", "note": "n", "joined_at": 1600000000,
        "has_avatar": true, "avatar_updated_at": 1700000001.5})"));
    QCOMPARE(m.memberId, QStringLiteral("anna"));
    QCOMPARE(m.role, QStringLiteral("admin"));
    QVERIFY(!m.active && m.hasToken && m.online && m.hasAvatar);
    QCOMPARE(m.nAccounts, 3);
    QCOMPARE(m.memberType, QStringLiteral("contractor"));
    QCOMPARE(m.avatarUpdatedAt, 1700000001.5);

    m = decode::member(obj(R"({"n_accounts": null, "role": 1, "active": 0, "member_type": null, "online": "true"})"));
    QCOMPARE(m.nAccounts, 0);
    QCOMPARE(m.role, QStringLiteral("viewer"));
    QVERIFY(m.active); // a number is not a boolean here
    QCOMPARE(m.memberType, QStringLiteral("member"));
    QVERIFY(!m.online);
    QCOMPARE(decode::member(obj(R"({"n_accounts": "inf"})")).nAccounts, 0);
}

void TstDecode::membersOrder()
{
    const QList<Member> l = decode::members(obj(R"({"members": [
        {"id": "off9", "online": false, "n_accounts": 9}, {"id": "on2", "online": true, "n_accounts": 2},
        {"id": "off0a"}, {"id": "on5", "online": true, "n_accounts": 5}, {"id": "off0b"},
        {"id": "on2b", "online": true, "n_accounts": "2"}]})"));
    QStringList ids;
    for (const Member &m : l)
        ids << m.memberId;
    QCOMPARE(ids, (QStringList{"on5", "on2", "on2b", "off9", "off0a", "off0b"}));
    QVERIFY(decode::members(obj(R"({"members": [{}, 1]})")).isEmpty());
    QVERIFY(decode::members(obj(R"({"error": "x"})")).isEmpty());
}

void TstDecode::profileKeys()
{
    decode::Profile p = decode::profile(QJsonObject());
    QVERIFY(!p.ok);
    QVERIFY(!p.name);
    QCOMPARE(p.type, QStringLiteral("member"));
    QVERIFY(!decode::profile(obj(R"({"ok": 1})")).ok);
    QVERIFY(!decode::profile(obj(R"({"ok": "true"})")).ok);

    p = decode::profile(obj(R"({"ok": true, "member_id": "anna", "name": "Анна", "specialization": "s",
        "department": "d", "member_type": "contractor", "email": "e", "telegram": "t", "timezone": "z",
        "note": "n", "joined_at": "1600000000", "has_avatar": true, "avatar_updated_at": 17})"));
    QVERIFY(p.ok);
    QCOMPARE(p.memberId, QStringLiteral("anna"));
    QCOMPARE(*p.name, QStringLiteral("Анна"));
    QCOMPARE(p.type, QStringLiteral("contractor"));
    QCOMPARE(p.joinedAt, 1600000000.0);
    QVERIFY(p.hasAvatar);

    QVERIFY(!decode::profile(obj(R"({"ok": true, "name": ""})")).name);
    QVERIFY(!decode::profile(obj(R"({"ok": true, "name": 5, "has_avatar": 1})")).name);
    QVERIFY(!decode::profile(obj(R"({"ok": true, "has_avatar": 1})")).hasAvatar);
}

void TstDecode::statsTables()
{
    const decode::Stats s = decode::stats(obj(R"({
        "members": [{"member_id": "m1", "points": "12.5", "cost_usd": 3}, {"member_id": "m2", "name": "Bob"}, {}],
        "accounts": [{"email": "a", "total_points": 10, "residual_points": "2", "window": {"resets_at": 99}},
                     {"provider": "Claude", "window": 5}, {"provider": "CODEX", "window": {}}],
        "sources": [{"source": "cli", "cost_usd": 1.5, "sessions": 3.9, "pct": "40"}, {"sessions": "1e400"}]})"));
    QCOMPARE(s.members.size(), 3);
    QCOMPARE(s.members[0].name, QStringLiteral("m1")); // listed under its id
    QCOMPARE(s.members[0].points, 12.5);
    QCOMPARE(s.members[1].name, QStringLiteral("Bob"));
    QVERIFY(s.members[2].name.isEmpty());
    QCOMPARE(s.accounts[0].provider, QStringLiteral("claude"));
    QCOMPARE(s.accounts[0].residual, 2.0);
    QCOMPARE(s.accounts[0].resetsAt, 99.0);
    QCOMPARE(s.accounts[1].provider, QStringLiteral("claude"));
    QCOMPARE(s.accounts[1].resetsAt, 0.0);
    QCOMPARE(s.accounts[2].provider, QStringLiteral("codex"));
    QCOMPARE(s.sources[0].sessions, 3);
    QCOMPARE(s.sources[0].pct, 40.0);
    QCOMPARE(s.sources[1].sessions, 0); // "1e400" is infinite
    const decode::Stats e = decode::stats(obj(R"({"members": "x", "accounts": [1], "sources": null})"));
    QVERIFY(e.members.isEmpty() && e.accounts.isEmpty() && e.sources.isEmpty());
}

void TstDecode::resultsOptionalNumbers()
{
    const QList<ResultMember> r = decode::results(obj(R"({"members": [
        {"name": "A", "lines_added": "10", "lines_removed": 2.9, "commits": 3, "prs": 1, "accepts": 4,
         "rejects": 1, "accept_rate": 0.5, "output_tokens": 1000, "cost_usd": "2.5", "active_user_s": 60,
         "cost_per_line": 0.25, "result_score": "7.5"},
        {"accept_rate": null, "cost_per_line": "0.3"}, {"accept_rate": false}]})"));
    QCOMPARE(r.size(), 3);
    QCOMPARE(r[0].linesAdded, 10);
    QCOMPARE(r[0].linesRemoved, 2);
    QCOMPARE(r[0].acceptRate, 0.5);
    QCOMPARE(r[0].score, 7.5);
    QCOMPARE(r[1].acceptRate, -1.0);
    QCOMPARE(r[1].costPerLine, -1.0); // a string is no value here
    QVERIFY(r[1].name.isEmpty());
    QCOMPARE(r[2].acceptRate, 0.0);   // a boolean counts as a number
    QVERIFY(decode::results(obj(R"({"members": [[]]})")).isEmpty());
}

void TstDecode::mirrorsTable()
{
    const QList<MirrorSpend> m = decode::mirrors(obj(R"({"mirrors": [
        {"provider": "GLM", "account_email": "a", "today_usd": "1.5", "computed_limit_usd": 10, "pct": 15},
        {"computed_limit_usd": "10", "pct": null}]})"));
    QCOMPARE(m.size(), 2);
    QCOMPARE(m[0].provider, QStringLiteral("glm"));
    QCOMPARE(m[0].today, 1.5);
    QCOMPARE(m[0].pct, 15.0);
    QVERIFY(m[1].provider.isEmpty()); // no "claude" default here
    QCOMPARE(m[1].limit, 0.0);
    QCOMPARE(m[1].pct, 0.0);
    QVERIFY(decode::mirrors(obj(R"({"members": []})")).isEmpty());
}

void TstDecode::activityOrderAndFlags()
{
    const QList<ActPerson> p = decode::activity(obj(R"({"people": [
        {"name": "A", "active_seconds": 100, "projects": [{"name": "x", "seconds": 5},
            {"name": "y", "seconds": 50, "is_work": false}, {"name": "z", "seconds": 5, "is_work": 0},
            {"name": "w", "seconds": "50", "is_work": 1}]},
        {"name": "B", "active_seconds": "300", "online": 1, "member_id": "b", "work_seconds": 200,
         "offwork_seconds": 100, "cost_usd": "1.5", "lines_added": 9, "sessions": 2, "last_seen": 5},
        {"name": "C", "active_seconds": 100, "projects": {"name": "x"}}, {"name": "D", "active_seconds": 100.9}]})"));
    QStringList names;
    for (const ActPerson &a : p)
        names << a.name;
    QCOMPARE(names, (QStringList{"B", "A", "C", "D"})); // equal times keep server order
    const ActPerson &b = p[0];
    QVERIFY(b.online);
    QCOMPARE(b.memberId, QStringLiteral("b"));
    QVERIFY(b.projects.isEmpty());
    const ActPerson &a = p[1];
    QStringList proj;
    for (const ActProject &x : a.projects)
        proj << x.name;
    QCOMPARE(proj, (QStringList{"y", "w", "x", "z"}));
    QVERIFY(!a.projects[0].isWork);
    QVERIFY(a.projects[1].isWork);
    QVERIFY(a.projects[2].isWork); // missing "is_work" counts as work
    QVERIFY(!a.projects[3].isWork);
    QVERIFY(!a.online);
    QVERIFY(p[2].projects.isEmpty());
    QCOMPARE(p[3].activeSec, 100);
    QCOMPARE(p[1].projectList().size(), 4);
    QVERIFY(decode::activity(obj(R"({"people": [{}, 2]})")).isEmpty());
}

void TstDecode::breakdownAndSegments()
{
    decode::Breakdown b = decode::breakdown(QJsonObject());
    QVERIFY(b.rows.isEmpty());
    QCOMPARE(b.residualPct + b.observedPct + b.resetsAt, 0.0);
    QVERIFY(decode::segments(b).isEmpty());

    b = decode::breakdown(obj(R"({"members": [], "residual_pct_of_window": 12})"));
    QList<decode::Segment> s = decode::segments(b);
    QCOMPARE(s.size(), 1);
    QCOMPARE(s[0].name, QStringLiteral("app / браузер"));
    QCOMPARE(s[0].pct, 12.0);
    QVERIFY(s[0].color.isEmpty());

    b = decode::breakdown(obj(R"({"members": [{"name": "A", "pct_of_window": "30", "cost_usd": 2}, {}],
        "residual_pct_of_window": 0.05, "observed_pct": 63.9, "window": {"resets_at": "1700000000"}})"));
    QCOMPARE(b.rows.size(), 2);
    QCOMPARE(b.rows[0].pct, 30.0);
    QVERIFY(b.rows[1].name.isEmpty()); // kept without a name
    QCOMPARE(b.observedPct, 63.9);
    QCOMPARE(b.resetsAt, 1700000000.0);
    s = decode::segments(b);
    QCOMPARE(s.size(), 2); // a residual of exactly 0.05 adds nothing
    QCOMPARE(s[0].color, QStringLiteral("#8B7FE8"));
    QCOMPARE(s[1].color, QStringLiteral("#5FB574"));

    b = decode::breakdown(obj(R"({"members": "x", "residual_pct_of_window": 0.0500001, "window": {}})"));
    QVERIFY(b.rows.isEmpty());
    QCOMPARE(b.resetsAt, 0.0);
    QCOMPARE(decode::segments(b).size(), 1);
}

void TstDecode::segmentColoursCycle()
{
    decode::Breakdown b;
    for (int i = 0; i < 10; ++i)
        b.rows.append(BreakdownRow());
    const QList<decode::Segment> s = decode::segments(b);
    QCOMPARE(s.size(), 10);
    QCOMPARE(s[8].color, s[0].color); // eight colours, then round again
    QCOMPARE(s[9].color, s[1].color);
    QVERIFY(s[7].color != s[0].color);
}

void TstDecode::freshIdsPerLoad()
{
    const QJsonObject answer = obj(R"({"events": [{"id": 1}, {"id": 1}]})");
    const decode::Alerts a = decode::alerts(answer), b = decode::alerts(answer);
    QSet<QUuid> ids{a.events[0].id, a.events[1].id, b.events[0].id, b.events[1].id};
    QCOMPARE(ids.size(), 4);
    QCOMPARE(a.events[0].evId, b.events[0].evId);
}

QTEST_GUILESS_MAIN(TstDecode)
#include "tst_decode.moc"
