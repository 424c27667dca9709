#pragma once
// imageBomb(): a PNG of 256x256 grey pixels whose image data inflates to 80 MiB, when its rows
// need 64 KiB: a decompression bomb for the server's photo uploads (its suites and its bench).
#include <QByteArray>
#include <QtEndian>

inline QByteArray imageBomb()
{
    const auto be = [](quint32 v) {
        QByteArray b(4, 0);
        qToBigEndian(v, b.data());
        return b;
    };
    const auto chunk = [&](const QByteArray &type, const QByteArray &data) {
        quint32 crc = 0xffffffff;
        for (const char ch : type + data) {
            crc ^= quint8(ch);
            for (int k = 0; k < 8; ++k)
                crc = (crc & 1) ? (crc >> 1) ^ 0xedb88320 : crc >> 1;
        }
        return be(quint32(data.size())) + type + data + be(~crc);
    };
    return QByteArray("\x89PNG\r\n\x1a\n") + chunk("IHDR", be(256) + be(256) + QByteArray("\x08\0\0\0\0", 5))
           + chunk("IDAT", qCompress(QByteArray(80 << 20, '\0'), 9).mid(4)) + chunk("IEND", {});
}
