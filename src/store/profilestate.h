#pragma once
// The signed-in member's own profile as the server last sent it, and their photo. Read-only to
// QML: the profile screen edits a draft and saves it through Store::updateMe.

#include "store/fields.h"

#include <QImage>
#include <QObject>
#include <QtQml/qqmlregistration.h>

class ProfileState : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Store.profile")

    CV_FIELD(QString, memberId, MemberId)
    CV_FIELD(QString, spec, Spec)
    CV_FIELD(QString, dept, Dept)
    CV_FIELD(QString, type, Type, QStringLiteral("member"))
    CV_FIELD(QString, email, Email)
    CV_FIELD(QString, telegram, Telegram)
    CV_FIELD(QString, timezone, Timezone)
    CV_FIELD(QString, note, Note)
    CV_FIELD(double, joinedAt, JoinedAt, 0)
    // The photo; the revision changes with every new one, so an image URL that carries it reloads.
    Q_PROPERTY(bool hasAvatar READ hasAvatar NOTIFY avatarChanged)
    Q_PROPERTY(int avatarRevision READ avatarRevision NOTIFY avatarChanged)

public:
    using QObject::QObject;
    const QImage &avatar() const { return m_avatar; }
    bool hasAvatar() const { return !m_avatar.isNull(); }
    int avatarRevision() const { return m_avatarRevision; }
    void setAvatar(const QImage &img)
    {
        m_avatar = img;
        ++m_avatarRevision;
        Q_EMIT avatarChanged();
    }
    // Back to no one: what a signed-out machine shows of the last member is nothing.
    void clear()
    {
        setMemberId({});
        setSpec({});
        setDept({});
        setType(QStringLiteral("member"));
        setEmail({});
        setTelegram({});
        setTimezone({});
        setNote({});
        setJoinedAt(0);
        if (!m_avatar.isNull())
            setAvatar(QImage());
    }

Q_SIGNALS:
    void avatarChanged();

private:
    QImage m_avatar;
    int m_avatarRevision = 0;
};
