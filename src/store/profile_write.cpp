// The user's own profile, password and photo; a member's photo; the photo pipeline.
#include "store/store.h"

#include "core/json.h"
#include "core/text.h"
#include "store/writes.h"

#include <QBuffer>
#include <QImageReader>

void Store::updateMe(const QVariantMap &fields, BoolFn done)
{
    postAuthedStatus(QStringLiteral("/api/me"), QJsonObject::fromVariantMap(fields), [this, done](const HttpReply &r) {
        auto finish = [this, &done](bool ok) {
            if (done)
                done(ok);
            Q_EMIT updateMeDone(ok);
        };
        if (!writes::settle(*this, writes::outcome(writes::Write::UpdateMe, r)))
            return finish(false);
        loadMe();
        finish(true);
    });
}

void Store::changeMyPassword(const QString &current, const QString &newPassword, const QString &confirm,
                             BoolFn done)
{
    auto finish = [this, done](bool ok) {
        if (done)
            done(ok);
        Q_EMIT changeMyPasswordDone(ok);
    };
    if (newPassword != confirm) {
        flash(QStringLiteral("Пароли не совпадают"));
        // Reported after the call returns, like every other outcome of this operation.
        QTimer::singleShot(0, this, [finish] { finish(false); });
        return;
    }
    if (current.isEmpty() || text::graphemeCount(newPassword) < 8) {
        flash(QStringLiteral("Новый пароль — минимум 8 символов"));
        QTimer::singleShot(0, this, [finish] { finish(false); });
        return;
    }
    const QJsonObject body{{QStringLiteral("login"), m_login},
                           {QStringLiteral("current_password"), current},
                           {QStringLiteral("new_password"), newPassword}};
    post(QStringLiteral("/api/member/change-password"), body, [this, finish](const HttpReply &r) {
        finish(writes::settle(*this, writes::outcome(writes::Write::ChangeMyPassword, r)));
    });
}

std::optional<QByteArray> Store::avatarPng(const QImage &image)
{
    const qint64 w = image.width(), h = image.height();
    if (image.isNull() || w <= 0 || h <= 0)
        return std::nullopt;
    // At most 256 on the longer side, never enlarged; the shorter side is truncated, computed
    // in integers so that 3000 x 1500 gives exactly 256 x 128.
    const qint64 longer = std::max(w, h);
    const qint64 W = longer > 256 ? w * 256 / longer : w;
    const qint64 H = longer > 256 ? h * 256 / longer : h;
    if (W < 1 || H < 1)
        return std::nullopt;
    QImage out = (W == w && H == h) ? image : image.scaled(int(W), int(H), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    out = out.convertToFormat(QImage::Format_RGBA8888);
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    if (!out.save(&buf, "PNG") || png.isEmpty())
        return std::nullopt;
    return png;
}

void Store::pickPNG(std::function<void(const std::optional<QByteArray> &)> done)
{
    FileChooser *chooser = m_deps.chooser;
    if (!chooser) {
        QTimer::singleShot(0, this, [done] { done(std::nullopt); });
        return;
    }
    QPointer<Store> self(this);
    chooser->chooseImage([self, done](const QString &path) {
        if (!self)
            return;
        if (path.isEmpty())
            return done(std::nullopt);
        QImageReader reader(path);
        // Phone photos carry their orientation separately; apply it so the face is upright.
        reader.setAutoTransform(true);
        const QImage img = reader.read();
        done(img.isNull() ? std::nullopt : avatarPng(img));
    });
}

void Store::pickAvatar()
{
    pickPNG([this](const std::optional<QByteArray> &data) {
        if (!data)
            return;
        const QJsonObject body{{QStringLiteral("avatar_base64"), QString::fromLatin1(data->toBase64())}};
        postAuthedStatus(QStringLiteral("/api/me/avatar"), body, [this, png = *data](const HttpReply &r) {
            const writes::Outcome o = writes::outcome(writes::Write::AvatarUpload, r);
            if (!o.ok)
                return void(writes::settle(*this, o));
            const QImage img = QImage::fromData(png, "PNG");
            if (!img.isNull()) {
                m_profile->setAvatar(img);
                if (!m_profile->memberId().isEmpty()) {
                    setMemberAvatar(m_profile->memberId(), img);
                    m_avatarVersions.insert(m_profile->memberId(), json::jnum(r.json.value(QLatin1String("avatar_updated_at"))));
                }
            }
            writes::settle(*this, o);
        });
    });
}

void Store::pickMemberAvatar(const QString &id)
{
    pickPNG([this, id](const std::optional<QByteArray> &data) {
        if (!data)
            return;
        updateMember(id, {{QStringLiteral("avatar_base64"), QString::fromLatin1(data->toBase64())}}, BoolFn{});
    });
}
