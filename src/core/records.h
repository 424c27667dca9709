#pragma once
// Plain value records that the server's JSON is decoded into. Every record gets a fresh
// random id when it is built (list identity only, never sent back); copies keep it.
// They are gadgets so that QML can read their fields, but hold no logic beyond `initials`.

#include <QList>
#include <QMetaType>
#include <QString>
#include <QUuid>
#include <QVariant>

// A random (version 4) UUID. QUuid::createUuid asks the kernel for every id, which costs
// about a microsecond each; a big team answer makes tens of thousands of them per load, so
// they come from Qt's securely seeded process generator instead.
QUuid newRecordId();

#define CV_ID                                                                  \
    Q_PROPERTY(QUuid id MEMBER id)                                             \
    Q_PROPERTY(QString key READ key)                                           \
public:                                                                        \
    QUuid id = newRecordId();                                                  \
    QString key() const { return id.toString(QUuid::WithoutBraces); }

struct Acct {
    Q_GADGET
    CV_ID
    Q_PROPERTY(QString email MEMBER email)
    Q_PROPERTY(QString project MEMBER project)
    Q_PROPERTY(QString provider MEMBER provider)
    Q_PROPERTY(double fivePct MEMBER fivePct)
    Q_PROPERTY(double fiveReset MEMBER fiveReset)
    Q_PROPERTY(double sevenPct MEMBER sevenPct)
    Q_PROPERTY(double sevenReset MEMBER sevenReset)
    Q_PROPERTY(bool ok MEMBER ok)
public:
    QString email, project, provider;
    double fivePct = 0, fiveReset = 0, sevenPct = 0, sevenReset = 0;
    bool ok = false;
};

struct Member {
    Q_GADGET
    CV_ID
    Q_PROPERTY(QString memberId MEMBER memberId)
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(QString role MEMBER role)
    Q_PROPERTY(bool active MEMBER active)
    Q_PROPERTY(bool hasToken MEMBER hasToken)
    Q_PROPERTY(bool online MEMBER online)
    Q_PROPERTY(qint64 nAccounts MEMBER nAccounts)
    Q_PROPERTY(double lastSeen MEMBER lastSeen)
    Q_PROPERTY(QString specialization MEMBER specialization)
    Q_PROPERTY(QString department MEMBER department)
    Q_PROPERTY(QString memberType MEMBER memberType)
    Q_PROPERTY(QString email MEMBER email)
    Q_PROPERTY(QString telegram MEMBER telegram)
    Q_PROPERTY(QString timezone MEMBER timezone)
    Q_PROPERTY(QString note MEMBER note)
    Q_PROPERTY(double joinedAt MEMBER joinedAt)
    Q_PROPERTY(bool hasAvatar MEMBER hasAvatar)
    Q_PROPERTY(double avatarUpdatedAt MEMBER avatarUpdatedAt)
    Q_PROPERTY(QString initials READ initials)
public:
    QString memberId, name, role = QStringLiteral("viewer");
    bool active = true, hasToken = false, online = false;
    qint64 nAccounts = 0;
    double lastSeen = 0;
    QString specialization, department, memberType = QStringLiteral("member");
    QString email, telegram, timezone, note;
    double joinedAt = 0;
    bool hasAvatar = false;
    double avatarUpdatedAt = 0;
    QString initials() const;
};

struct AlertEvent {
    Q_GADGET
    CV_ID
    Q_PROPERTY(double evId MEMBER evId)
    Q_PROPERTY(double ts MEMBER ts)
    Q_PROPERTY(QString severity MEMBER severity)
    Q_PROPERTY(QString title MEMBER title)
    Q_PROPERTY(QString email MEMBER email)
    Q_PROPERTY(bool ack MEMBER ack)
public:
    double evId = 0, ts = 0;
    QString severity = QStringLiteral("info"), title, email;
    bool ack = false;
};

struct StatMember {
    Q_GADGET
    CV_ID
    Q_PROPERTY(QString memberId MEMBER memberId)
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(double points MEMBER points)
    Q_PROPERTY(double cost MEMBER cost)
public:
    QString memberId, name;
    double points = 0, cost = 0;
};

struct StatAccount {
    Q_GADGET
    CV_ID
    Q_PROPERTY(QString provider MEMBER provider)
    Q_PROPERTY(QString email MEMBER email)
    Q_PROPERTY(double totalPoints MEMBER totalPoints)
    Q_PROPERTY(double residual MEMBER residual)
    Q_PROPERTY(double resetsAt MEMBER resetsAt)
public:
    QString provider = QStringLiteral("claude"), email;
    double totalPoints = 0, residual = 0, resetsAt = 0;
};

struct ResultMember {
    Q_GADGET
    CV_ID
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(qint64 linesAdded MEMBER linesAdded)
    Q_PROPERTY(qint64 linesRemoved MEMBER linesRemoved)
    Q_PROPERTY(qint64 commits MEMBER commits)
    Q_PROPERTY(qint64 prs MEMBER prs)
    Q_PROPERTY(qint64 accepts MEMBER accepts)
    Q_PROPERTY(qint64 rejects MEMBER rejects)
    Q_PROPERTY(double acceptRate MEMBER acceptRate)
    Q_PROPERTY(qint64 outputTokens MEMBER outputTokens)
    Q_PROPERTY(double cost MEMBER cost)
    Q_PROPERTY(qint64 activeSec MEMBER activeSec)
    Q_PROPERTY(double costPerLine MEMBER costPerLine)
    Q_PROPERTY(double score MEMBER score)
public:
    QString name;
    qint64 linesAdded = 0, linesRemoved = 0, commits = 0, prs = 0, accepts = 0, rejects = 0;
    double acceptRate = -1;
    qint64 outputTokens = 0;
    double cost = 0;
    qint64 activeSec = 0;
    double costPerLine = -1, score = 0;
};

struct MirrorSpend {
    Q_GADGET
    CV_ID
    Q_PROPERTY(QString provider MEMBER provider)
    Q_PROPERTY(QString email MEMBER email)
    Q_PROPERTY(double today MEMBER today)
    Q_PROPERTY(double limit MEMBER limit)
    Q_PROPERTY(double pct MEMBER pct)
public:
    QString provider, email;
    double today = 0, limit = 0, pct = 0;
};

struct StatSource {
    Q_GADGET
    CV_ID
    Q_PROPERTY(QString source MEMBER source)
    Q_PROPERTY(double cost MEMBER cost)
    Q_PROPERTY(qint64 sessions MEMBER sessions)
    Q_PROPERTY(double pct MEMBER pct)
public:
    QString source;
    double cost = 0;
    qint64 sessions = 0;
    double pct = 0;
};

struct ActProject {
    Q_GADGET
    CV_ID
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(bool isWork MEMBER isWork)
    Q_PROPERTY(qint64 seconds MEMBER seconds)
    Q_PROPERTY(double cost MEMBER cost)
public:
    QString name;
    bool isWork = true;
    qint64 seconds = 0;
    double cost = 0;
};

struct ActPerson {
    Q_GADGET
    CV_ID
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(QString memberId MEMBER memberId)
    Q_PROPERTY(qint64 activeSec MEMBER activeSec)
    Q_PROPERTY(qint64 workSec MEMBER workSec)
    Q_PROPERTY(qint64 offworkSec MEMBER offworkSec)
    Q_PROPERTY(double cost MEMBER cost)
    Q_PROPERTY(qint64 linesAdded MEMBER linesAdded)
    Q_PROPERTY(qint64 sessions MEMBER sessions)
    Q_PROPERTY(double lastSeen MEMBER lastSeen)
    Q_PROPERTY(bool online MEMBER online)
    Q_PROPERTY(QVariantList projectList READ projectList)
public:
    QString name, memberId;
    qint64 activeSec = 0, workSec = 0, offworkSec = 0;
    double cost = 0;
    qint64 linesAdded = 0, sessions = 0;
    double lastSeen = 0;
    bool online = false;
    QList<ActProject> projects;
    QVariantList projectList() const;
};

struct BreakdownRow {
    Q_GADGET
    CV_ID
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(double pct MEMBER pct)
    Q_PROPERTY(double cost MEMBER cost)
public:
    QString name;
    double pct = 0, cost = 0;
};

struct ScopedModel {
    Q_GADGET
    CV_ID
    Q_PROPERTY(QString model MEMBER model)
    Q_PROPERTY(double pct MEMBER pct)
public:
    QString model;
    double pct = 0;
};

struct LiveSession {
    Q_GADGET
    CV_ID
    Q_PROPERTY(QString project MEMBER project)
    Q_PROPERTY(QString person MEMBER person)
    Q_PROPERTY(QString model MEMBER model)
    Q_PROPERTY(bool active MEMBER active)
public:
    QString project, person, model;
    bool active = false;
};

struct AcctUser {
    Q_GADGET
    CV_ID
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(bool online MEMBER online)
public:
    QString name;
    bool online = false;
};

struct Device {
    Q_GADGET
    CV_ID
    Q_PROPERTY(QString host MEMBER host)
    Q_PROPERTY(QString osUser MEMBER osUser)
    Q_PROPERTY(QString person MEMBER person)
    Q_PROPERTY(QString model MEMBER model)
    Q_PROPERTY(QString version MEMBER version)
    Q_PROPERTY(QString brRev MEMBER brRev)
    Q_PROPERTY(QString project MEMBER project)
    Q_PROPERTY(double fivePct MEMBER fivePct)
    Q_PROPERTY(double sevenPct MEMBER sevenPct)
    Q_PROPERTY(double cost MEMBER cost)
    Q_PROPERTY(double lastSeen MEMBER lastSeen)
    Q_PROPERTY(bool online MEMBER online)
public:
    QString host, osUser, person, model, version, brRev, project;
    double fivePct = 0, sevenPct = 0, cost = 0, lastSeen = 0;
    bool online = false;
};

// Convert a list of gadgets to a QVariantList that QML reads field by field.
template <class T>
QVariantList toVariantList(const QList<T> &items)
{
    QVariantList out;
    out.reserve(items.size());
    for (const T &item : items)
        out.append(QVariant::fromValue(item));
    return out;
}

Q_DECLARE_METATYPE(Acct)
Q_DECLARE_METATYPE(Member)
Q_DECLARE_METATYPE(AlertEvent)
Q_DECLARE_METATYPE(StatMember)
Q_DECLARE_METATYPE(StatAccount)
Q_DECLARE_METATYPE(ResultMember)
Q_DECLARE_METATYPE(MirrorSpend)
Q_DECLARE_METATYPE(StatSource)
Q_DECLARE_METATYPE(ActProject)
Q_DECLARE_METATYPE(ActPerson)
Q_DECLARE_METATYPE(BreakdownRow)
Q_DECLARE_METATYPE(ScopedModel)
Q_DECLARE_METATYPE(LiveSession)
Q_DECLARE_METATYPE(AcctUser)
Q_DECLARE_METATYPE(Device)
