#pragma once
// The state of the member sheets and what they send: the new-member form (NewMemberDraft) and
// a member's profile sheet (MemberEditDraft), plus the fixed choice lists and the date
// picker's month arithmetic (the QML singleton Forms).
//
// A sheet's answer may come back after the sheet was closed and another one opened; each
// draft belongs to one opening, and an answer only ever closes the sheet that sent it.

#include "store/store.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;
class QJSEngine;

// A day of the date picker (month 1..12), as QML reads it: `calendarDay`.
struct CalendarDay
{
    Q_GADGET
    QML_VALUE_TYPE(calendarDay)
    Q_PROPERTY(int year MEMBER year)
    Q_PROPERTY(int month MEMBER month)
    Q_PROPERTY(int day MEMBER day)

public:
    int year = 0;
    int month = 0;
    int day = 0;
};

class Forms : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QStringList specPresets READ specPresets CONSTANT)
    Q_PROPERTY(QVariantList roleOptions READ roleOptions CONSTANT)
    Q_PROPERTY(QVariantList typeOptions READ typeOptions CONSTANT)
    // The system's fixed-width face, for texts meant to be copied character by character.
    Q_PROPERTY(QString monoFamily READ monoFamily CONSTANT)

public:
    explicit Forms(QObject *parent);
    static Forms *create(QQmlEngine *engine, QJSEngine *);

    // The suggestions of every specialization field, in menu order.
    static QStringList specPresets();
    static QVariantList roleOptions();
    static QVariantList typeOptions();
    static QString monoFamily();

    // The date picker: "Декабрь 2026" for a month (1..12), the first day of the month `delta`
    // months away, and a day as "5 декабря 2026".
    Q_INVOKABLE static QString monthTitle(int year, int month);
    Q_INVOKABLE static CalendarDay shiftMonth(int year, int month, int delta);
    // The day `delta` days away.
    Q_INVOKABLE static CalendarDay addDays(int year, int month, int day, int delta);
    Q_INVOKABLE static QString dayText(int year, int month, int day);
};

class NewMemberDraft : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString name MEMBER m_name NOTIFY changed)
    Q_PROPERTY(QString login MEMBER m_login NOTIFY changed)
    Q_PROPERTY(QString role MEMBER m_role NOTIFY changed)
    Q_PROPERTY(QString spec MEMBER m_spec NOTIFY changed)
    Q_PROPERTY(QString dept MEMBER m_dept NOTIFY changed)
    Q_PROPERTY(QString type MEMBER m_type NOTIFY changed)
    Q_PROPERTY(bool saving READ saving NOTIFY savingChanged)
    Q_PROPERTY(bool canCreate READ canCreate NOTIFY changed)

public:
    explicit NewMemberDraft(QObject *parent = nullptr);

    bool saving() const { return m_saving; }
    bool canCreate() const { return !m_saving && !m_name.isEmpty(); }
    // The profile part of the create request.
    QVariantMap profile() const;

    // "Создать": sends the form; a success closes the form if it is still this opening's.
    Q_INVOKABLE void submit();
    // The form was closed (by its close controls, Escape, or the flag going down).
    Q_INVOKABLE void close();
    bool isClosed() const { return m_closed; }

Q_SIGNALS:
    void changed();
    void savingChanged();

private:
    void setSaving(bool v);

    QString m_name, m_login, m_role = QStringLiteral("viewer"), m_spec, m_dept, m_type = QStringLiteral("member");

    QPointer<Store> m_store;
    bool m_saving = false;
    bool m_closed = false;
};

class MemberEditDraft : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    // The member as opened; assigning it starts the draft from that member.
    Q_PROPERTY(QVariant member READ member WRITE setMember NOTIFY memberChanged)
    Q_PROPERTY(QString memberId READ memberId NOTIFY memberChanged)
    Q_PROPERTY(QString title READ title NOTIFY memberChanged)
    Q_PROPERTY(QString loginText READ loginText NOTIFY memberChanged)
    Q_PROPERTY(bool online READ online NOTIFY memberChanged)
    Q_PROPERTY(QString presence READ presence NOTIFY memberChanged)
    Q_PROPERTY(QVariantList tiles READ tiles NOTIFY memberChanged)
    Q_PROPERTY(QString name MEMBER m_name NOTIFY changed)
    Q_PROPERTY(QString role MEMBER m_role NOTIFY changed)
    Q_PROPERTY(bool active MEMBER m_active NOTIFY changed)
    Q_PROPERTY(QString spec MEMBER m_spec NOTIFY changed)
    Q_PROPERTY(QString dept MEMBER m_dept NOTIFY changed)
    Q_PROPERTY(QString type MEMBER m_type NOTIFY changed)
    Q_PROPERTY(QString email MEMBER m_email NOTIFY changed)
    Q_PROPERTY(QString telegram MEMBER m_telegram NOTIFY changed)
    Q_PROPERTY(QString timezone MEMBER m_timezone NOTIFY changed)
    Q_PROPERTY(QString note MEMBER m_note NOTIFY changed)
    Q_PROPERTY(int joinedYear READ joinedYear NOTIFY joinedChanged)
    Q_PROPERTY(int joinedMonth READ joinedMonth NOTIFY joinedChanged)
    Q_PROPERTY(int joinedDay READ joinedDay NOTIFY joinedChanged)
    Q_PROPERTY(QString joinedText READ joinedText NOTIFY joinedChanged)
    Q_PROPERTY(bool saving READ saving NOTIFY savingChanged)

public:
    explicit MemberEditDraft(QObject *parent = nullptr);

    QVariant member() const { return QVariant::fromValue(m_member); }
    void setMember(const QVariant &member);
    void setMember(const Member &member);
    QString memberId() const { return m_member.memberId; }
    QString title() const;
    QString loginText() const { return QStringLiteral("логин: ") + m_member.memberId; }
    bool online() const { return m_member.online; }
    QString presence() const;
    // {title, value} of the four tiles, of the member as opened.
    QVariantList tiles() const;

    int joinedYear() const { return m_joined.date().year(); }
    int joinedMonth() const { return m_joined.date().month(); }
    int joinedDay() const { return m_joined.date().day(); }
    QString joinedText() const;
    const QDateTime &joined() const { return m_joined; }
    // The picker's choice: another day, the same time of day.
    Q_INVOKABLE void pickJoinedDay(int year, int month, int day);
    void setJoined(const QDateTime &when);

    bool saving() const { return m_saving; }
    // The fields "Сохранить" sends: all eleven, every time.
    QVariantMap body() const;

    Q_INVOKABLE void submit();
    Q_INVOKABLE void close();
    Q_INVOKABLE void resetPassword();
    Q_INVOKABLE void pickAvatar();
    bool isClosed() const { return m_closed; }

Q_SIGNALS:
    void memberChanged();
    void changed();
    void joinedChanged();
    void savingChanged();
    // A save went through while this sheet was still open: the sheet closes.
    void finished();

private:
    void setSaving(bool v);

    QPointer<Store> m_store;
    Member m_member;
    QString m_name, m_role, m_spec, m_dept, m_type, m_email, m_telegram, m_timezone, m_note;
    bool m_active = true;
    QDateTime m_joined;
    bool m_joinedTouched = false;
    bool m_saving = false;
    bool m_closed = false;
};
