// The user's own profile and the photo cache (read side).
#include "store/store.h"

#include "core/decode.h"
#include "core/text.h"

#include <QBuffer>
#include <QImageReader>
#include <QUrl>

namespace {
constexpr qsizetype kPhotoMaxBytes = 4 * 1024 * 1024;
constexpr int kPhotoMaxSide = 1024;
} // namespace

QImage Store::serverPhoto(const QByteArray &data)
{
    // A photo comes from the server and is shown to everyone who looks at the roster: only the
    // two formats the server stores are decoded, named explicitly rather than guessed from the
    // content, and the size is checked from the header before a pixel is decoded.
    if (data.size() > kPhotoMaxBytes)
        return {};
    QByteArray format;
    if (data.startsWith("\x89PNG\r\n\x1a\n"))
        format = "png";
    else if (data.startsWith("\xff\xd8\xff"))
        format = "jpeg";
    else
        return {};
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kPhotoMaxSide || size.height() > kPhotoMaxSide)
        return {};
    QImage image;
    if (!reader.read(&image) || image.size() != size)
        return {};
    return image;
}

void Store::loadMe()
{
    getStatus(QStringLiteral("/api/me"), [this](const HttpReply &r) {
        if (loaded(r) != answer::Verdict::Ok)
            return;
        const decode::Profile p = decode::profile(r.json);
        if (!p.ok)
            return;
        m_profile->setMemberId(p.memberId);
        if (p.name)
            setName(*p.name);
        m_profile->setSpec(p.spec);
        m_profile->setDept(p.dept);
        m_profile->setType(p.type);
        m_profile->setEmail(p.email);
        m_profile->setTelegram(p.telegram);
        m_profile->setTimezone(p.timezone);
        m_profile->setNote(p.note);
        m_profile->setJoinedAt(p.joinedAt);
        if (m_profile->memberId().isEmpty())
            m_profile->setAvatar(QImage());
        else
            fetchMemberAvatar(m_profile->memberId(), p.avatarUpdatedAt, p.hasAvatar, true);
    });
}

void Store::fetchMemberAvatar(const QString &id, double version, bool hasAvatar, bool isSelf)
{
    if (id.isEmpty())
        return;
    if (!hasAvatar) {
        removeMemberAvatar(id);
        m_avatarVersions.insert(id, version);
        if (isSelf)
            m_profile->setAvatar(QImage());
        return;
    }
    const auto cached = m_avatarVersions.constFind(id);
    if (cached != m_avatarVersions.constEnd() && *cached == version && m_memberAvatars.contains(id)) {
        if (isSelf)
            m_profile->setAvatar(m_memberAvatars.value(id));
        return;
    }
    const QString path = QStringLiteral("/api/avatar?member_id=") + QString::fromLatin1(QUrl::toPercentEncoding(id));
    getData(path, [this, id, version, isSelf](const std::optional<QByteArray> &data) {
        if (!data)
            return;
        const QImage img = serverPhoto(*data);
        if (img.isNull())
            return;
        setMemberAvatar(id, img);
        m_avatarVersions.insert(id, version);
        if (isSelf)
            m_profile->setAvatar(img);
    });
}

void Store::ensureMemberAvatar(const Member &m)
{
    fetchMemberAvatar(m.memberId, m.avatarUpdatedAt, m.hasAvatar, false);
}

void Store::ensureMemberAvatar(const QVariant &member)
{
    if (member.canConvert<Member>())
        ensureMemberAvatar(member.value<Member>());
}

QString Store::initials() const
{
    return text::initialsOf(m_name.isEmpty() ? m_login : m_name, QString());
}

void Store::setMemberAvatar(const QString &id, const QImage &img)
{
    m_memberAvatars.insert(id, img);
    ++m_memberAvatarsRevision;
    Q_EMIT memberAvatarsChanged();
}

void Store::removeMemberAvatar(const QString &id)
{
    if (m_memberAvatars.remove(id) > 0) {
        ++m_memberAvatarsRevision;
        Q_EMIT memberAvatarsChanged();
    }
}
