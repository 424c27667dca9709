#pragma once
// Decoders of the server's answers, one per endpoint. Each reads exactly the keys its
// endpoint sends, with that endpoint's strictness and defaults, and never fails: a missing
// or mistyped key gives its default, and an answer of the wrong shape gives empty lists.

#include "records.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

namespace decode {

// "/api/my/status": numbers are taken only from JSON numbers (or booleans), never strings.
struct HomeStatus {
    QList<Acct> accounts;
    bool hasTelemetry = false; // "telemetry" was an object; otherwise keep the previous values
    bool telemetryOk = false;
    double lastSeen = 0;
    bool hasMember = false;    // "member" was an object
    std::optional<QString> memberName, memberRole; // set only when sent as strings
};
HomeStatus homeStatus(const QJsonObject &answer);

// "/api/events".
struct Alerts {
    QList<AlertEvent> events;
    qint64 unread = 0;
};
Alerts alerts(const QJsonObject &answer);

// One object of "/api/members".
Member member(const QJsonObject &o);
// "members" decoded and ordered: online first, then more accounts first, else server order.
QList<Member> members(const QJsonObject &answer);

// "/api/me". The caller applies it only when `ok` is true.
struct Profile {
    bool ok = false;
    QString memberId;
    std::optional<QString> name; // only when sent as a non-empty string
    QString spec, dept, type = QStringLiteral("member"), email, telegram, timezone, note;
    double joinedAt = 0;
    bool hasAvatar = false;
    double avatarUpdatedAt = 0;
};
Profile profile(const QJsonObject &answer);

// "/api/stats?scope=".
struct Stats {
    QList<StatMember> members;
    QList<StatAccount> accounts;
    QList<StatSource> sources;
};
Stats stats(const QJsonObject &answer);
// "/api/team/result?days=7".
QList<ResultMember> results(const QJsonObject &answer);
// "/api/mirrors/limits?days=30".
QList<MirrorSpend> mirrors(const QJsonObject &answer);
// "/api/team/analytics": projects by seconds and people by active time, largest first,
// ties in server order.
QList<ActPerson> activity(const QJsonObject &answer);

// "/api/accounts/breakdown".
struct Breakdown {
    QList<BreakdownRow> rows;
    double residualPct = 0, observedPct = 0, resetsAt = 0;
};
Breakdown breakdown(const QJsonObject &answer);

struct Segment {
    QString name;
    double pct = 0;
    QString color; // "#RRGGBB", or "" for the theme's tertiary text colour
};
// One segment per row in SEGCOLORS order (cycling), then "app / браузер" for a residual > 0.05.
QList<Segment> segments(const Breakdown &b);
extern const quint32 SEGCOLORS[8];

} // namespace decode
