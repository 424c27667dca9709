#include "uirules.h"

#include "format.h"

#include <cmath>

namespace ui {

QString gaugeTone(double pct)
{
    if (pct >= 90)
        return QStringLiteral("danger");
    if (pct >= 75)
        return QStringLiteral("warn");
    return QStringLiteral("accent");
}

double clamp01(double frac)
{
    if (!(frac > 0))
        return 0;
    return frac < 1 ? frac : 1;
}

double gaugeFraction(double pct) { return clamp01(pct / 100.0); }

QString gaugeText(double pct)
{
    if (!(pct > 0) || !std::isfinite(pct))
        return QStringLiteral("—");
    // The whole part printed from the double itself: no conversion to an integer type that
    // a huge value would overflow.
    return QString::number(std::trunc(pct), 'f', 0) + u'%';
}

QList<TextRun> markRuns(const QString &text)
{
    const QChar kMark(0x2705);
    QList<TextRun> runs;
    qsizetype from = 0;
    while (from <= text.size()) {
        const qsizetype at = text.indexOf(kMark, from);
        const QString piece = text.mid(from, at < 0 ? -1 : at - from).trimmed();
        if (!piece.isEmpty())
            runs.append({piece, false});
        if (at < 0)
            break;
        runs.append({QString(), true});
        from = at + 1;
    }
    return runs;
}

QString staleLine(bool lost, double dataAt)
{
    if (!lost)
        return QString();
    const QString when = fmt::timeSeen(dataAt);
    return when.isEmpty() ? QStringLiteral("Нет связи с сервером")
                          : QStringLiteral("Нет связи с сервером · данные от ") + when;
}

QString liveTone(const QString &tone, bool lost)
{
    return lost ? QStringLiteral("textTertiary") : tone;
}

} // namespace ui
