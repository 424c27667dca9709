#include "csv.h"

#include "clock.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>

namespace csv {

static QString quoted(const QString &s)
{
    const bool needs = s.contains(QLatin1Char('"')) || s.contains(QLatin1Char(',')) || s.contains(QLatin1Char('\n'))
        || s.contains(QLatin1Char('\r'));
    if (!needs)
        return s;
    QString out = s;
    out.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

QString text(const QString &s)
{
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    if (!s.isEmpty() && formulaStarts.contains(s.front()))
        return quoted(QLatin1Char('\'') + s);
    return quoted(s);
}

QString number(double v, int decimals)
{
    if (!std::isfinite(v))
        return {};
    const QLocale c = QLocale::c();
    if (decimals >= 0)
        return c.toString(v, 'f', decimals);
    // Shortest text that reads back as the same double, without an exponent for everyday sizes.
    QString s = c.toString(v, 'f', QLocale::FloatingPointShortest);
    return s == QLatin1String("-0") ? QStringLiteral("0") : s;
}

QString time(double epochSeconds)
{
    if (!(epochSeconds > 0) || !std::isfinite(epochSeconds) || epochSeconds > 253402300799.0)
        return {};
    const QDateTime dt = QDateTime::fromSecsSinceEpoch(qint64(epochSeconds), Clock::zone());
    return dt.toString(Qt::ISODate);
}

QByteArray document(const QList<Table> &tables)
{
    QString out;
    const QLatin1String crlf("\r\n");
    bool first = true;
    for (const Table &t : tables) {
        if (!first)
            out += crlf;
        first = false;
        if (!t.title.isEmpty())
            out += text(t.title) + crlf;
        QStringList head;
        for (const QString &h : t.header)
            head << text(h);
        out += head.join(QLatin1Char(',')) + crlf;
        for (const QStringList &row : t.rows)
            out += row.join(QLatin1Char(',')) + crlf;
    }
    return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
}

} // namespace csv
