#include "uirules.h"

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

} // namespace ui
