#include "format.h"

#include "clock.h"
#include "json.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <cmath>
#include <limits>

namespace fmt {

namespace {

// Month names come from Qt's own CLDR tables, so this works without system locales.
const QLocale &ru()
{
    static const QLocale loc(QLocale::Russian, QLocale::Russia);
    return loc;
}

// The instant t (epoch seconds) in the local zone with a ru_RU pattern. Unknown (<= 0), NaN
// and times beyond what a millisecond count can hold give the empty text.
QString formatAt(double t, const QString &pattern)
{
    if (!(t > 0))
        return QString();
    const double ms = std::floor(t * 1000.0);
    if (!(ms < 9.2e18))
        return QString();
    const QDateTime dt = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ms), Clock::zone());
    if (!dt.isValid())
        return QString();
    return ru().toString(dt, pattern);
}

// A count truncated towards zero that saturates at the 64-bit limits instead of overflowing
// (times so far away that they do not fit); NaN gives 0.
qint64 saturate(double d)
{
    constexpr qint64 maxv = std::numeric_limits<qint64>::max();
    if (std::isnan(d))
        return 0;
    if (d >= 9223372036854775807.0)
        return maxv;
    if (d <= -9223372036854775807.0)
        return -maxv;
    return static_cast<qint64>(d);
}
qint64 wholeSeconds(double d) { return saturate(d); }

// Shared by countdown and remainShort: empty, "сброшено", or the time left.
QString timeLeft(double t, bool withPrefix)
{
    if (!(t > 0))
        return QString();
    const double d = t - Clock::now();
    if (std::isnan(d))
        return QString();
    if (d <= 0)
        return QStringLiteral("сброшено");
    const qint64 s = wholeSeconds(d);
    const qint64 h = s / 3600;
    const qint64 m = (s % 3600) / 60;
    QString body;
    if (s < 3600)
        body = QString::number(m) + QStringLiteral("м");
    else if (s < 86400)
        body = QString::number(h) + QStringLiteral("ч ") + QString::number(m) + QStringLiteral("м");
    else
        body = QString::number(h / 24) + QStringLiteral("д ") + QString::number(h % 24) + QStringLiteral("ч");
    return withPrefix ? QStringLiteral("через ") + body : body;
}

// A whole decimal number: optional sign, then ASCII digits only; nothing else, no overflow.
bool wholeNumber(const QString &piece, qint64 *out)
{
    qsizetype i = 0;
    if (piece.startsWith(u'+') || piece.startsWith(u'-'))
        i = 1;
    if (i >= piece.size())
        return false;
    for (qsizetype k = i; k < piece.size(); ++k) {
        if (piece[k] < u'0' || piece[k] > u'9')
            return false;
    }
    bool ok = false;
    const qint64 v = piece.toLongLong(&ok, 10);
    if (ok)
        *out = v;
    return ok;
}

QDate isoDay(const QString &s)
{
    if (s.size() != 10 || s[4] != u'-' || s[7] != u'-')
        return QDate();
    int parts[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8}, lens[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p) {
        for (int k = starts[p]; k < starts[p] + lens[p]; ++k) {
            const char16_t c = s[k].unicode();
            if (c < u'0' || c > u'9')
                return QDate();
            parts[p] = parts[p] * 10 + (c - u'0');
        }
    }
    return QDate(parts[0], parts[1], parts[2]);
}

} // namespace

QString appVersion()
{
#ifdef CORVANE_VERSION
    const QString v = QStringLiteral(CORVANE_VERSION);
    if (!v.isEmpty())
        return v;
#endif
    return QStringLiteral("dev");
}

RenewInfo renewInfo(const QString &renewDate)
{
    RenewInfo r;
    if (renewDate.isEmpty()) {
        r.date = QStringLiteral("—");
        return r;
    }
    // Strictly "yyyy-MM-dd" in ASCII digits (no shorter fields, no signs, spaces or other
    // digit forms); QDate then rejects impossible days such as 2026-02-30 or month 13.
    const QDate d = isoDay(renewDate);
    if (!d.isValid()) {
        r.date = renewDate;
        return r;
    }
    r.date = ru().toString(d, QStringLiteral("d MMMM yyyy"));
    // Midnight in the local zone (or the first moment of the day where midnight is skipped).
    const QDateTime midnight = d.startOfDay(Clock::zone());
    const double secs = midnight.toMSecsSinceEpoch() / 1000.0 - Clock::now();
    const qint64 n = saturate(secs / 86400.0);
    if (n < 0) {
        r.days = QStringLiteral("просрочено ") + QString::number(-n) + QStringLiteral(" дн.");
        r.overdue = true;
    } else {
        r.days = QString::number(n) + QStringLiteral(" дн.");
    }
    return r;
}

QString resetText(double t) { return formatAt(t, QStringLiteral("d MMM HH:mm")); }

QString dateShort(double t) { return formatAt(t, QStringLiteral("d MMM")); }

QString fmtDateLong(double t) { return formatAt(t, QStringLiteral("d MMMM yyyy")); }

QString timeSeen(double t)
{
    const bool today = formatAt(t, QStringLiteral("yyyyMMdd")) == formatAt(Clock::now(), QStringLiteral("yyyyMMdd"));
    return formatAt(t, today ? QStringLiteral("HH:mm") : QStringLiteral("d MMM HH:mm"));
}

QString countdown(double t) { return timeLeft(t, true); }

QString remainShort(double t) { return timeLeft(t, false); }

QString relSeen(double t)
{
    if (!(t > 0))
        return QString();
    const double d = Clock::now() - t;
    if (std::isnan(d))
        return QString();
    if (d < 60)
        return QStringLiteral("только что");
    if (d < 3600)
        return QString::number(wholeSeconds(d / 60)) + QStringLiteral(" мин назад");
    if (d < 86400)
        return QString::number(wholeSeconds(d / 3600)) + QStringLiteral(" ч назад");
    return QString::number(wholeSeconds(d / 86400)) + QStringLiteral(" дн назад");
}

QString fmtTokens(double n)
{
    // asprintf is locale-independent: always a decimal point.
    if (n >= 1000000)
        return QString::asprintf("%.1fM", n / 1000000);
    if (n >= 1000)
        return QString::asprintf("%.0fk", n / 1000);
    return QString::number(json::toInt(n));
}

QString fmtDur(qint64 seconds)
{
    if (seconds <= 0)
        return QStringLiteral("0м");
    if (seconds < 3600)
        return QString::number(seconds / 60) + QStringLiteral("м");
    return QString::number(seconds / 3600) + QStringLiteral("ч ") + QString::number((seconds % 3600) / 60) + QStringLiteral("м");
}

QString shortModel(const QString &m)
{
    QString r = m;
    if (r.startsWith(QLatin1String("claude-")))
        r.remove(0, 7);
    if (r.startsWith(QLatin1String("anthropic/")))
        r.remove(0, 10);
    static const QRegularExpression dated(QStringLiteral("-20\\d{6}$"));
    const QRegularExpressionMatch mt = dated.match(r);
    if (mt.hasMatch())
        r.remove(mt.capturedStart(), mt.capturedLength());
    if (r.endsWith(QLatin1String("-latest")))
        r.chop(7);
    return r;
}

bool ccOld(const QString &version)
{
    QList<qint64> nums;
    const QStringList pieces = version.split(u'.', Qt::SkipEmptyParts);
    for (const QString &p : pieces) {
        qint64 v = 0;
        if (wholeNumber(p, &v))
            nums.append(v);
    }
    if (nums.size() < 3)
        return false;
    // 128-bit arithmetic: any three 64-bit pieces combine without overflow.
    const __int128 v = static_cast<__int128>(nums[0]) * 1000000 + static_cast<__int128>(nums[1]) * 1000
        + nums[2];
    return v >= 1 && v <= 2000155;
}

} // namespace fmt
