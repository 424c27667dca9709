#include "app/avatarprovider.h"

#include "store/store.h"
#include "ui/uibridge.h"

#include <QPainter>
#include <QPainterPath>
#include <QUrl>

AvatarImageProvider::AvatarImageProvider(Store *store)
    : QQuickImageProvider(QQuickImageProvider::Image)
    , m_store(store)
{
}

QImage AvatarImageProvider::lookup(Store *store, const QString &id)
{
    if (!store)
        return {};
    if (id == QLatin1String("self") || id.startsWith(QLatin1String("self/")))
        return store->profile()->avatar();
    if (id.startsWith(QLatin1String("member/"))) {
        QString rest = id.mid(7);
        const qsizetype slash = rest.lastIndexOf(u'/');
        if (slash >= 0)
            rest.truncate(slash);
        const QString memberId = QUrl::fromPercentEncoding(rest.toUtf8());
        if (memberId.isEmpty())
            return {};
        return store->memberAvatar(memberId);
    }
    return {};
}

QImage AvatarImageProvider::roundCrop(const QImage &source, int side)
{
    if (source.isNull() || side <= 0)
        return {};
    const QImage filled = source.scaled(side, side, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    QImage out(side, side, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath circle;
    circle.addEllipse(QRectF(0, 0, side, side));
    p.setClipPath(circle);
    p.drawImage(QPointF((side - filled.width()) / 2.0, (side - filled.height()) / 2.0), filled);
    p.end();
    return out;
}

QImage AvatarImageProvider::tinted(const QImage &source, const QColor &color)
{
    if (source.isNull())
        return {};
    QImage out = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter p(&out);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(out.rect(), color);
    p.end();
    return out;
}

QImage AvatarImageProvider::bundledImage(const QString &url)
{
    const QUrl u(url);
    QString path;
    if (u.scheme() == QLatin1String("qrc"))
        path = QLatin1Char(':') + u.path();
    else if (u.isLocalFile())
        path = u.toLocalFile();
    else
        return {};
    QString root = Ui::resourceRoot();
    if (root.startsWith(QLatin1String("qrc:")))
        root = root.mid(3);
    if (path.contains(QLatin1String("/../")) || !path.startsWith(root + QLatin1Char('/')))
        return {};
    return QImage(path);
}

QImage AvatarImageProvider::requestImage(const QString &id, QSize *size, const QSize &requestedSize)
{
    const int side = requestedSize.isValid() ? qMax(requestedSize.width(), requestedSize.height()) : 0;
    QImage img;
    if (id.startsWith(QLatin1String("template/"))) {
        const QString rest = id.mid(9);
        const qsizetype slash = rest.indexOf(u'/');
        if (slash > 0) {
            const QColor color(QLatin1Char('#') + rest.left(slash));
            img = tinted(bundledImage(QUrl::fromPercentEncoding(rest.mid(slash + 1).toUtf8())),
                         color.isValid() ? color : QColor(Qt::white));
            if (!img.isNull() && side > 0)
                img = img.scaled(requestedSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        }
    } else if (id.startsWith(QLatin1String("round/"))) {
        const QImage photo = lookup(m_store, id.mid(6));
        img = roundCrop(photo, side > 0 ? side : qMin(photo.width(), photo.height()));
    } else {
        img = lookup(m_store, id);
        if (!img.isNull() && side > 0)
            img = img.scaled(requestedSize, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    }
    if (img.isNull()) {
        // A 1x1 transparent picture rather than an error line for a photo that just went away.
        img = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
    }
    if (size)
        *size = img.size();
    return img;
}
