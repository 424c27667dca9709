#pragma once
// Pictures for QML Image items under "image://corvane/":
//   self/<revision>                      the user's own photo
//   member/<percent-encoded id>/<revision> a member's photo
//   round/<one of the above>             the same, scaled to fill and cut to a circle
//   template/<rrggbb>/<percent-encoded URL> a bundled template image (its alpha channel)
//                                        painted in one colour, like a symbol
// The revision only makes the address change when the photo does, so Image reloads it.
// Requests are answered synchronously on the main thread, where the Store lives.

#include <QPointer>
#include <QQuickImageProvider>

class Store;

class AvatarImageProvider : public QQuickImageProvider
{
public:
    static constexpr const char *kId = "corvane";

    explicit AvatarImageProvider(Store *store);
    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override;

    // The photo an address names, before scaling; null when there is none.
    static QImage lookup(Store *store, const QString &id);
    // `source` scaled to fill a `side` square and cut to a circle (antialiased edge).
    static QImage roundCrop(const QImage &source, int side);
    // The alpha channel of `source` filled with `color`.
    static QImage tinted(const QImage &source, const QColor &color);
    // A bundled image named by a qrc: or file: URL inside the resource folder; null otherwise,
    // so an address can never read an arbitrary file.
    static QImage bundledImage(const QString &url);

private:
    QPointer<Store> m_store;
};
