#pragma once
// The process's resident memory in KiB (VmRSS), -1 where /proc cannot tell: the benches' one
// memory figure.
#include <QByteArray>
#include <QFile>

inline long rssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}
