#pragma once
// A team account (an AI resource): registry entry, last fetched limits and telemetry, as the
// server merges them in "/api/accounts". Unlike the other records its identity,
// provider ":" email, is stable across reloads, and `rev` fingerprints what a table row shows.

#include "records.h"

#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>

struct TeamAcct {
    Q_GADGET
    Q_PROPERTY(QString id READ id)
    Q_PROPERTY(qint64 rev MEMBER rev)
    Q_PROPERTY(QString email MEMBER email)
    Q_PROPERTY(QString provider MEMBER provider)
    Q_PROPERTY(QString owner MEMBER owner)
    Q_PROPERTY(QString memberId MEMBER memberId)
    Q_PROPERTY(QString group MEMBER group)
    Q_PROPERTY(QString status MEMBER status)
    Q_PROPERTY(QString authType MEMBER authType)
    Q_PROPERTY(bool hasKey MEMBER hasKey)
    Q_PROPERTY(bool hasMonitor MEMBER hasMonitor)
    Q_PROPERTY(bool inRegistry MEMBER inRegistry)
    Q_PROPERTY(double fivePct MEMBER fivePct)
    Q_PROPERTY(double fiveReset MEMBER fiveReset)
    Q_PROPERTY(double sevenPct MEMBER sevenPct)
    Q_PROPERTY(double sevenReset MEMBER sevenReset)
    Q_PROPERTY(double cost MEMBER cost)
    Q_PROPERTY(double tokensIn MEMBER tokensIn)
    Q_PROPERTY(double tokensOut MEMBER tokensOut)
    Q_PROPERTY(QString model MEMBER model)
    Q_PROPERTY(QString version MEMBER version)
    Q_PROPERTY(double lastSeen MEMBER lastSeen)
    Q_PROPERTY(bool online MEMBER online)
    Q_PROPERTY(bool hasTelemetry MEMBER hasTelemetry)
    Q_PROPERTY(QString limitsSource MEMBER limitsSource)
    Q_PROPERTY(double limitsFetchedAt MEMBER limitsFetchedAt)
    Q_PROPERTY(QString severity MEMBER severity)
    Q_PROPERTY(double extraUsagePct MEMBER extraUsagePct)
    Q_PROPERTY(QString plan MEMBER plan)
    Q_PROPERTY(double price MEMBER price)
    Q_PROPERTY(QString currency MEMBER currency)
    Q_PROPERTY(QString payMethod MEMBER payMethod)
    Q_PROPERTY(QString renewDate MEMBER renewDate)
    Q_PROPERTY(QString notes MEMBER notes)
    Q_PROPERTY(QString ccProvider MEMBER ccProvider)
    Q_PROPERTY(QString baseUrl MEMBER baseUrl)
    Q_PROPERTY(QList<ScopedModel> weeklyScoped MEMBER weeklyScoped CONSTANT)
    Q_PROPERTY(double burnEta MEMBER burnEta)
    Q_PROPERTY(QList<LiveSession> liveSessions MEMBER liveSessions CONSTANT)
    Q_PROPERTY(QList<AcctUser> users MEMBER users CONSTANT)
    Q_PROPERTY(QList<Device> devices MEMBER devices CONSTANT)
    Q_PROPERTY(QVariantList weeklyScopedList READ weeklyScopedList)
    Q_PROPERTY(QVariantList liveSessionsList READ liveSessionsList)
    Q_PROPERTY(QVariantList usersList READ usersList)
    Q_PROPERTY(QVariantList devicesList READ devicesList)
    Q_PROPERTY(QVariantList activeSessionsList READ activeSessionsList)
public:
    QString email;
    QString provider = QStringLiteral("claude");
    QString owner, memberId, group;
    QString status = QStringLiteral("active");
    QString authType;
    bool hasKey = false, hasMonitor = false, inRegistry = false;
    double fivePct = 0, fiveReset = 0, sevenPct = 0, sevenReset = 0;
    double cost = 0, tokensIn = 0, tokensOut = 0;
    QString model, version;
    double lastSeen = 0;
    bool online = false, hasTelemetry = false;
    QString limitsSource;
    double limitsFetchedAt = 0;
    QString severity;
    double extraUsagePct = -1;
    QString plan;
    double price = 0;
    QString currency, payMethod, renewDate, notes, ccProvider, baseUrl;
    QList<ScopedModel> weeklyScoped;
    double burnEta = 0;
    QList<LiveSession> liveSessions;
    QList<AcctUser> users;
    QList<Device> devices;

    // Fingerprint of everything an accounts-table row shows; set by parseTeamAcct (or
    // computeRev after editing a copy). Meaningful only within one process.
    qint64 rev = 0;

    QString id() const { return provider + u':' + email; }
    QList<LiveSession> activeSessions() const;
    qint64 computeRev() const;

    QVariantList weeklyScopedList() const { return toVariantList(weeklyScoped); }
    QVariantList liveSessionsList() const { return toVariantList(liveSessions); }
    QVariantList usersList() const { return toVariantList(users); }
    QVariantList devicesList() const { return toVariantList(devices); }
    QVariantList activeSessionsList() const { return toVariantList(activeSessions()); }
};

Q_DECLARE_METATYPE(TeamAcct)

// One account object of "/api/accounts"; never fails, every field falls back to its default.
TeamAcct parseTeamAcct(const QJsonObject &o);
// The load order: live accounts first, then higher seven-day use, then with telemetry;
// otherwise the server's order is kept.
void sortTeamAccounts(QList<TeamAcct> &list);
// "accounts" of the answer decoded and sorted; anything but an array of objects gives none.
QList<TeamAcct> decodeTeamAccounts(const QJsonObject &answer);

struct TeamCounts {
    int online = 0;        // both telemetry and online
    int withTelemetry = 0;
    int hot = 0;           // seven-day use of 90 % or more
    double totalCost = 0;
};
TeamCounts teamCounts(const QList<TeamAcct> &list);
