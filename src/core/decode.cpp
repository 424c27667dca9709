#include "decode.h"

#include "json.h"

#include <QJsonValue>
#include <algorithm>

namespace decode {

using json::jnum;
using json::objects;
using json::text;

namespace {

QJsonValue at(const QJsonObject &o, const char *key) { return o.value(QLatin1String(key)); }

// Integer fields: jnum truncated towards zero; non-finite or out-of-range values give 0.
qint64 integer(const QJsonObject &o, const char *key) { return json::toInt(jnum(at(o, key))); }

double num(const QJsonObject &o, const char *key) { return jnum(at(o, key)); }

QString str(const QJsonObject &o, const char *key, const QString &def = QString())
{
    return text(at(o, key), def);
}

QString hexColor(quint32 rgb)
{
    return QStringLiteral("#%1").arg(rgb & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper();
}

} // namespace

const quint32 SEGCOLORS[8] = {0x8B7FE8, 0x5FB574, 0xE0A24B, 0x5B9BD5,
                              0xD9758C, 0x53B7B0, 0xC98AE0, 0xB0894B};

HomeStatus homeStatus(const QJsonObject &answer)
{
    HomeStatus h;
    for (const QJsonObject &o : objects(at(answer, "accounts"))) {
        Acct a;
        a.email = str(o, "account_email");
        a.project = str(o, "project");
        a.provider = str(o, "provider").toLower();
        a.fivePct = json::number(at(o, "five_hour_pct"));
        a.fiveReset = json::number(at(o, "five_hour_resets_at"));
        a.sevenPct = json::number(at(o, "seven_day_pct"));
        a.sevenReset = json::number(at(o, "seven_day_resets_at"));
        a.ok = json::looseFlag(at(o, "limits_ok"));
        h.accounts.append(a);
    }
    const QJsonValue tel = at(answer, "telemetry");
    if (tel.isObject()) {
        const QJsonObject t = tel.toObject();
        h.hasTelemetry = true;
        h.telemetryOk = json::looseFlag(at(t, "push_ok"));
        h.lastSeen = json::number(at(t, "last_seen"));
    }
    const QJsonValue mem = at(answer, "member");
    if (mem.isObject()) {
        const QJsonObject m = mem.toObject();
        h.hasMember = true;
        if (at(m, "name").isString())
            h.memberName = at(m, "name").toString();
        if (at(m, "role").isString())
            h.memberRole = at(m, "role").toString();
    }
    return h;
}

Alerts alerts(const QJsonObject &answer)
{
    Alerts r;
    for (const QJsonObject &o : objects(at(answer, "events"))) {
        AlertEvent e;
        e.evId = num(o, "id");
        e.ts = num(o, "ts");
        e.severity = str(o, "severity", QStringLiteral("info"));
        e.title = str(o, "title");
        e.email = str(o, "account_email");
        e.ack = json::looseFlag(at(o, "ack"));
        r.events.append(e);
    }
    r.unread = integer(answer, "unread");
    return r;
}

Member member(const QJsonObject &o)
{
    Member m;
    m.memberId = str(o, "id");
    m.name = str(o, "name");
    m.role = str(o, "role", QStringLiteral("viewer"));
    m.active = json::flag(at(o, "active"), true);
    m.hasToken = json::flag(at(o, "has_token"));
    m.online = json::flag(at(o, "online"));
    m.nAccounts = integer(o, "n_accounts");
    m.lastSeen = num(o, "last_seen");
    m.specialization = str(o, "specialization");
    m.department = str(o, "department");
    m.memberType = str(o, "member_type", QStringLiteral("member"));
    m.email = str(o, "email");
    m.telegram = str(o, "telegram");
    m.timezone = str(o, "timezone");
    m.note = str(o, "note");
    m.joinedAt = num(o, "joined_at");
    m.hasAvatar = json::flag(at(o, "has_avatar"));
    m.avatarUpdatedAt = num(o, "avatar_updated_at");
    return m;
}

QList<Member> members(const QJsonObject &answer)
{
    QList<Member> out;
    for (const QJsonObject &o : objects(at(answer, "members")))
        out.append(member(o));
    std::stable_sort(out.begin(), out.end(), [](const Member &a, const Member &b) {
        if (a.online != b.online)
            return a.online;
        return a.nAccounts > b.nAccounts;
    });
    return out;
}

Profile profile(const QJsonObject &answer)
{
    Profile p;
    p.ok = json::flag(at(answer, "ok"));
    p.memberId = str(answer, "member_id");
    const QString name = str(answer, "name");
    if (!name.isEmpty())
        p.name = name;
    p.spec = str(answer, "specialization");
    p.dept = str(answer, "department");
    p.type = str(answer, "member_type", QStringLiteral("member"));
    p.email = str(answer, "email");
    p.telegram = str(answer, "telegram");
    p.timezone = str(answer, "timezone");
    p.note = str(answer, "note");
    p.joinedAt = num(answer, "joined_at");
    p.hasAvatar = json::flag(at(answer, "has_avatar"));
    p.avatarUpdatedAt = num(answer, "avatar_updated_at");
    return p;
}

Stats stats(const QJsonObject &answer)
{
    Stats s;
    for (const QJsonObject &o : objects(at(answer, "members"))) {
        StatMember m;
        m.memberId = str(o, "member_id");
        m.name = str(o, "name", m.memberId);
        m.points = num(o, "points");
        m.cost = num(o, "cost_usd");
        s.members.append(m);
    }
    for (const QJsonObject &o : objects(at(answer, "accounts"))) {
        StatAccount a;
        a.provider = str(o, "provider", QStringLiteral("claude")).toLower();
        a.email = str(o, "email");
        a.totalPoints = num(o, "total_points");
        a.residual = num(o, "residual_points");
        a.resetsAt = num(json::object(at(o, "window")), "resets_at");
        s.accounts.append(a);
    }
    for (const QJsonObject &o : objects(at(answer, "sources"))) {
        StatSource src;
        src.source = str(o, "source");
        src.cost = num(o, "cost_usd");
        src.sessions = integer(o, "sessions");
        src.pct = num(o, "pct");
        s.sources.append(src);
    }
    return s;
}

QList<ResultMember> results(const QJsonObject &answer)
{
    QList<ResultMember> out;
    for (const QJsonObject &o : objects(at(answer, "members"))) {
        ResultMember r;
        r.name = str(o, "name");
        r.linesAdded = integer(o, "lines_added");
        r.linesRemoved = integer(o, "lines_removed");
        r.commits = integer(o, "commits");
        r.prs = integer(o, "prs");
        r.accepts = integer(o, "accepts");
        r.rejects = integer(o, "rejects");
        // -1 marks "no value" (absent or null); only a real number counts.
        r.acceptRate = json::number(at(o, "accept_rate"), -1);
        r.outputTokens = integer(o, "output_tokens");
        r.cost = num(o, "cost_usd");
        r.activeSec = integer(o, "active_user_s");
        r.costPerLine = json::number(at(o, "cost_per_line"), -1);
        r.score = num(o, "result_score");
        out.append(r);
    }
    return out;
}

QList<MirrorSpend> mirrors(const QJsonObject &answer)
{
    QList<MirrorSpend> out;
    for (const QJsonObject &o : objects(at(answer, "mirrors"))) {
        MirrorSpend m;
        m.provider = str(o, "provider").toLower();
        m.email = str(o, "account_email");
        m.today = num(o, "today_usd");
        m.limit = json::number(at(o, "computed_limit_usd"), 0);
        m.pct = json::number(at(o, "pct"), 0);
        out.append(m);
    }
    return out;
}

QList<ActPerson> activity(const QJsonObject &answer)
{
    QList<ActPerson> out;
    for (const QJsonObject &o : objects(at(answer, "people"))) {
        ActPerson p;
        p.name = str(o, "name");
        p.memberId = str(o, "member_id");
        p.activeSec = integer(o, "active_seconds");
        p.workSec = integer(o, "work_seconds");
        p.offworkSec = integer(o, "offwork_seconds");
        p.cost = num(o, "cost_usd");
        p.linesAdded = integer(o, "lines_added");
        p.sessions = integer(o, "sessions");
        p.lastSeen = num(o, "last_seen");
        p.online = json::looseFlag(at(o, "online"));
        for (const QJsonObject &po : objects(at(o, "projects"))) {
            ActProject pr;
            pr.name = str(po, "name");
            pr.isWork = json::looseFlag(at(po, "is_work"), true);
            pr.seconds = integer(po, "seconds");
            pr.cost = num(po, "cost_usd");
            p.projects.append(pr);
        }
        std::stable_sort(p.projects.begin(), p.projects.end(),
                         [](const ActProject &a, const ActProject &b) { return a.seconds > b.seconds; });
        out.append(p);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const ActPerson &a, const ActPerson &b) { return a.activeSec > b.activeSec; });
    return out;
}

Breakdown breakdown(const QJsonObject &answer)
{
    Breakdown b;
    for (const QJsonObject &o : objects(at(answer, "members"))) {
        BreakdownRow r;
        r.name = str(o, "name");
        r.pct = num(o, "pct_of_window");
        r.cost = num(o, "cost_usd");
        b.rows.append(r);
    }
    b.residualPct = num(answer, "residual_pct_of_window");
    b.observedPct = num(answer, "observed_pct");
    b.resetsAt = num(json::object(at(answer, "window")), "resets_at");
    return b;
}

QList<Segment> segments(const Breakdown &b)
{
    QList<Segment> out;
    out.reserve(b.rows.size() + 1);
    for (qsizetype i = 0; i < b.rows.size(); ++i)
        out.append({b.rows[i].name, b.rows[i].pct, hexColor(SEGCOLORS[i % 8])});
    if (b.residualPct > 0.05)
        out.append({QStringLiteral("app / браузер"), b.residualPct, QString()});
    return out;
}

} // namespace decode
