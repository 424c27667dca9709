#pragma once
// The resident memory in KiB (VmRSS) of this process, or of process `pid`; -1 where /proc cannot
// tell: the benches' one memory figure.
#include <QByteArray>
#include <QFile>

inline long rssKb(qint64 pid = 0)
{
    QFile f(pid ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}
