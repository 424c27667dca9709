#include "notifyrules.h"

#include "format.h"

#include <QStringList>
#include <cmath>

namespace notifyrules {

namespace {

// The window a notice belongs to, by its reset to the minute. A reset past the year 9999 is no
// time at all (a server's nonsense would overflow the arithmetic); it counts as unknown.
QString periodOf(double reset)
{
    constexpr double kLastSecond = 253402300799; // 9999-12-31T23:59:59Z
    return reset > 0 && reset <= kLastSecond ? QString::number(qint64(std::llround(reset / 60) * 60)) : QStringLiteral("0");
}

QString tag(const QString &kind, const Window &w, const QString &period)
{
    return kind + QLatin1Char('|') + (w.team ? QStringLiteral("team:") : QString()) + w.account + QLatin1Char('|')
        + w.window + QLatin1Char('|') + period;
}

QString windowName(const QString &window)
{
    return window == QLatin1String("five") ? QStringLiteral("5 часов") : QStringLiteral("7 дней");
}

QString body(const Window &w)
{
    const QString reset = fmt::resetText(w.reset);
    return reset.isEmpty() ? w.account : w.account + QStringLiteral(" · сброс ") + reset;
}

} // namespace

QList<Note> decide(const QList<Window> &windows, QSet<QString> &told, const Switches &on, double now)
{
    // Forget periods long over (their reset notices included).
    for (auto it = told.begin(); it != told.end();) {
        const double period = it->section(QLatin1Char('|'), 3, 3).toDouble();
        if (period > 0 && period < now - kKeepTold)
            it = told.erase(it);
        else
            ++it;
    }

    QList<Note> out;
    const auto tell = [&](const QString &t, bool enabled, const QString &title, const QString &text) {
        if (told.contains(t))
            return;
        told.insert(t);
        if (enabled)
            out.append({t, title, text});
    };

    for (const Window &w : windows) {
        if (w.team && !on.team)
            continue;
        const QString period = periodOf(w.reset);
        const QString name = windowName(w.window);
        const QString who = w.team ? QStringLiteral("Команда: ") : QString();

        // A reset: an earlier period of this window had passed 80 % and is over now.
        const QString prefix80 = tag(QStringLiteral("80"), w, QString());
        const QStringList earlier = QStringList(told.begin(), told.end()).filter(prefix80);
        for (const QString &t : earlier) {
            const QString oldPeriod = t.mid(prefix80.size());
            const double ended = oldPeriod.toDouble();
            if (oldPeriod == period || ended <= 0 || ended > now)
                continue;
            tell(tag(QStringLiteral("reset"), w, oldPeriod), on.reset,
                 who + QStringLiteral("Лимит сброшен · ") + name, w.account);
        }
        // Without a known reset time, a window that fell well below 80 % starts over.
        if (period == QLatin1String("0") && w.pct < 50) {
            for (const QString &kind : {QStringLiteral("80"), QStringLiteral("95"), QStringLiteral("soon")})
                told.remove(tag(kind, w, period));
        }

        if (w.pct >= 95) {
            told.insert(tag(QStringLiteral("80"), w, period)); // one notice when both are passed at once
            tell(tag(QStringLiteral("95"), w, period), on.thresholds,
                 who + QStringLiteral("Использовано 95% · ") + name, body(w));
        } else if (w.pct >= 80) {
            tell(tag(QStringLiteral("80"), w, period), on.thresholds,
                 who + QStringLiteral("Использовано 80% · ") + name, body(w));
        }

        const double left = w.runOut - now;
        const bool beforeReset = w.reset <= 0 || w.runOut <= w.reset;
        if (w.runOut > 0 && beforeReset && left <= kRunOutWithin && w.pct < 100) {
            const QString when = left >= 60 ? fmt::countdown(w.runOut) : QStringLiteral("через 0м");
            tell(tag(QStringLiteral("soon"), w, period), on.runOut,
                 who + QStringLiteral("Лимит закончится ") + when + QStringLiteral(" · ") + name, body(w));
        }
    }
    return out;
}

} // namespace notifyrules
