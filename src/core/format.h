#pragma once
// Short Russian display texts shared by every screen: dates, countdowns, token counts,
// model names, version checks. "Now" and the local zone always come from Clock, so the
// results are reproducible under test. None of these fails: every input yields a text.

#include <QString>

namespace fmt {

// The build's version (CORVANE_VERSION) when it is set, otherwise "dev".
QString appVersion();

struct RenewInfo {
    QString date;
    QString days;
    bool overdue = false;
};
// A registry renewal date "yyyy-MM-dd": the long Russian date and the days left (or overdue).
RenewInfo renewInfo(const QString &renewDate);

QString resetText(double t);   // "d MMM HH:mm" in ru_RU, empty for t <= 0
QString dateShort(double t);   // "d MMM" in ru_RU, empty for t <= 0
QString countdown(double t);   // "через 2ч 5м", "сброшено", empty for t <= 0
QString remainShort(double t); // countdown without "через "
QString relSeen(double t);     // "только что", "5 мин назад", ...
QString fmtTokens(double n);   // 999, 2k, 2.3M
QString fmtDur(qint64 seconds);
QString shortModel(const QString &m);
// A coding-tool version above 0.0.0 and below 2.0.156.
bool ccOld(const QString &version);
// "d MMMM yyyy" in ru_RU (genitive month), empty for t <= 0.
QString fmtDateLong(double t);
// "HH:mm" when t falls on the local day of Clock::now(), else "d MMM HH:mm"; empty for t <= 0.
QString timeSeen(double t);

} // namespace fmt
