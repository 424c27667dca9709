// The photo pipeline on a camera-sized picture: decoding the file, shrinking it to the avatar
// size and encoding the PNG, timed separately and end to end. Prints milliseconds per operation.
#include "store/store.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

QImage photo()
{
    // Smooth gradients with some detail, so the encoders see something like a photograph.
    QImage img(4000, 3000, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 4000, 3000);
    g.setColorAt(0, QColor(20, 60, 120));
    g.setColorAt(1, QColor(230, 180, 90));
    p.fillRect(img.rect(), g);
    for (int i = 0; i < 400; ++i) {
        p.setBrush(QColor::fromHsv((i * 37) % 360, 120, 200));
        p.drawEllipse((i * 97) % 4000, (i * 53) % 3000, 60 + i % 90, 40 + i % 70);
    }
    return img;
}

template <typename F>
double msPer(int rounds, F &&f)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < rounds; ++i)
        f();
    return double(t.nsecsElapsed()) / 1e6 / rounds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QImage source = photo();
    const QString jpeg = dir.filePath("photo.jpg"), png = dir.filePath("photo.png");
    source.save(jpeg, "JPEG", 90);
    source.save(png, "PNG");

    QTextStream out(stdout);
    const int rounds = 5;
    size_t sink = 0;
    for (const QString &file : {jpeg, png}) {
        const QString kind = file.endsWith(".jpg") ? QStringLiteral("JPEG") : QStringLiteral("PNG");
        QImage decoded;
        const double decode = msPer(rounds, [&] {
            QImageReader r(file);
            r.setAutoTransform(true);
            decoded = r.read();
        });
        const double shrink = msPer(rounds, [&] {
            sink += size_t(Store::avatarPng(decoded).value_or(QByteArray()).size());
        });
        const double whole = msPer(rounds, [&] {
            QImageReader r(file);
            r.setAutoTransform(true);
            sink += size_t(Store::avatarPng(r.read()).value_or(QByteArray()).size());
        });
        out << QStringLiteral("4000x3000 %1: decode %2 ms, shrink+encode %3 ms, file to PNG %4 ms\n")
                   .arg(kind, -4)
                   .arg(decode, 0, 'f', 1)
                   .arg(shrink, 0, 'f', 1)
                   .arg(whole, 0, 'f', 1);
    }
    const auto result = Store::avatarPng(source);
    out << QStringLiteral("avatar: %1 bytes, %2 rounds each (checksum %3)\n")
               .arg(result ? result->size() : 0)
               .arg(rounds)
               .arg(sink);
    return result ? 0 : 1;
}
