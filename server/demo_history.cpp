#include "demo_history.h"

#include "history.h"

#include <QHash>
#include <QList>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kHour = 3600.0, kDay = 86400.0, kWeek = 7 * kDay, kFive = 5 * kHour;

double uniform(QRandomGenerator &rng, double lo, double hi) { return lo + rng.generateDouble() * (hi - lo); }

struct Window {
    double start, lastUse, peak;
};

} // namespace

void seedWindowHistory(Db &db, QRandomGenerator &rng, const AccountNow &a, double now, int days) {
    if (a.fiveResetsAt <= 0 || a.sevenResetsAt <= 0) return;
    // Working days (UTC mornings are Moscow's working hours): two windows a day, now and then one
    // at a weekend; the current window is the one the account stands in.
    const double currentStart = a.fiveResetsAt - kFive;
    const double level = std::max(25.0, a.five);
    QList<Window> windows;
    const double firstDay = std::floor(now / kDay) - days;
    for (double day = firstDay; day * kDay < now; ++day) {
        const int dow = int(std::fmod(day + 3, 7));  // 1970-01-01 was a Thursday: 0 = Monday
        const bool weekend = dow >= 5;
        for (const double at : {6.0, 11.5}) {
            if (weekend && (at > 6 || rng.bounded(10) >= 3)) continue;
            const double start = day * kDay + (at + uniform(rng, 0, 1)) * kHour;
            if (start + kFive > currentStart || start < now - days * kDay) continue;
            windows.append({start, start + uniform(rng, 2, 4.6) * kHour, std::round(level * uniform(rng, 0.35, 1.1))});
        }
    }
    windows.append({currentStart, now - 1, a.five});

    // Both windows' readings at the same moments; the weekly figure grows with every five-hour
    // window's use and lands where the account stands now.
    struct Reading { double ts, five, fiveAt, sevenAt, use; };
    QList<Reading> readings;
    for (const Window &w : windows) {
        const double step = w.start < now - history::kRawSeconds ? history::kBucketSeconds : 5 * 60.0;
        double prevUse = 0;
        for (double t = w.start;; t += step) {
            const bool last = t >= w.lastUse;
            if (last) t = w.lastUse;
            const double frac = w.lastUse > w.start ? (t - w.start) / (w.lastUse - w.start) : 1;
            const double five = std::round(w.peak * std::pow(frac, 1.3));
            double sevenAt = a.sevenResetsAt - std::floor((a.sevenResetsAt - t) / kWeek) * kWeek;
            if (sevenAt <= t) sevenAt += kWeek;
            readings.append({t, five, w.start + kFive, sevenAt, five - prevUse});
            prevUse = five;
            if (last) break;
        }
    }
    QHash<qint64, double> weekUse;  // by reset time
    for (const Reading &r : readings) weekUse[qint64(r.sevenAt)] += r.use;
    QHash<qint64, double> weekTarget, weekSoFar;
    for (auto it = weekUse.cbegin(); it != weekUse.cend(); ++it)
        weekTarget[it.key()] = std::abs(it.key() - a.sevenResetsAt) < 1 ? a.seven : std::round(uniform(rng, 40, 95));

    QList<history::Point> five, seven;
    for (qsizetype i = 0; i < readings.size(); ++i) {
        const Reading &r = readings[i];
        const qint64 week = qint64(r.sevenAt);
        weekSoFar[week] += r.use;
        const double total = weekUse.value(week);
        const double sevenPct = total > 0 ? std::round(weekTarget.value(week) * weekSoFar.value(week) / total) : 0;
        const int kind = r.ts < now - history::kRawSeconds ? history::Thinned : history::Raw;
        five.append({r.ts, r.five, r.fiveAt, kind, QStringLiteral("demo")});
        seven.append({r.ts, sevenPct, r.sevenAt, kind, QStringLiteral("demo")});
        // The last reading of each thinned window is its highest.
        const bool lastOfWindow = i + 1 == readings.size() || readings[i + 1].fiveAt != r.fiveAt;
        if (lastOfWindow && kind == history::Thinned) five.back().kind = history::Peak;
    }
    history::insertPoints(db, a.provider, a.email, QStringLiteral("five_hour"), five);
    history::insertPoints(db, a.provider, a.email, QStringLiteral("seven_day"), seven);
}
