#pragma once
// The display decisions of the statistics, activity and team screens as plain functions: bar
// fractions, figure texts, colour roles, card visibility, the roster's filter and order. The
// list models and views only bind to what these return.
//
// Figures come from the server through a lenient number reader that also accepts the words
// "nan" and "inf"; every function here draws a non-finite figure as 0.

#include "core/choices.h"
#include "core/records.h"

#include <QList>
#include <QString>
#include <QVariantList>

namespace statui {

// The value, or 0 when it is not a finite number.
double finite(double v);
// The largest points of the list, never less than 1.
double maxMemberPts(const QList<StatMember> &members);
double maxAcctPts(const QList<StatAccount> &accounts);
// part / whole limited to 0..1; 0 when either is not finite or whole is not positive.
double frac(double part, double whole);
// "$12.34" for a positive value, else "$0".
QString money(double v);
// "N%" with N the value truncated toward zero.
QString pct(double v);
// "Терминал", "Cowork · Desktop", "Чат", else the source's own text.
QString sourceLabel(const QString &source);
// The accept rate (a share, 0..1) as "N%", "—" when the server sent none (negative).
QString acceptText(double rate);
// Cost per line as "$0.012", "—" when the server sent none (negative).
QString costPerLineText(double v);
// Colour role of a mirror row: "danger" from 90 %, "warn" from 75 %, else "accent".
QString mirrorTone(double pct);
// The sources card shows when some source cost anything.
bool sourcesShown(const QList<StatSource> &sources);

} // namespace statui

namespace actui {

// "3ч 10м · $4.20 · 12 сес."
QString headerText(const ActPerson &p);
// "вне рабочих: 1ч 5м", or "" when nothing fell outside work.
QString offworkText(const ActPerson &p);
// The chips of the first six projects: {label, value, flag}.
QVariantList chips(const ActPerson &p);
// The duration text of a project chip ("2ч 5м", "0м").
QString projectDuration(qint64 seconds);

} // namespace actui

namespace roster {

struct Dept {
    QString name;
    int count = 0;
};
// Members per non-empty department, by name in plain character order.
QList<Dept> departments(const QList<Member> &members);

// A member with the lower-cased texts the filter and the sorts read, made once per load
// rather than once per keystroke.
struct Row {
    Member m;
    QString key;              // the member's id; rows without one are told apart by position
    QString name, spec, dept; // lower-cased
    QString hay;              // name, login, specialization, department, e-mail and messenger
                              // handle joined with single spaces, lower-cased
};
Row row(const Member &m);

// The search text as it is matched: surrounding white space removed, lower-cased.
QString normQuery(const QString &query);
// The type, department and query filters (query as normQuery gives it).
bool accepts(const Row &r, Tm::Type type, const QString &dept, const QString &normQuery);

// The sort keys and the order they give: negative when a goes first, 0 for a tie.
// Online puts online members first, then the most recently seen, whatever the direction.
int compare(const Row &a, const Row &b, Tm::Sort key, bool asc);

// The sort menu: choosing another key sorts by it descending; choosing the current key flips.
struct SortState {
    Tm::Sort key = Tm::Sort::Online;
    bool asc = false;
};
SortState chooseSort(const SortState &current, Tm::Sort chosen);

// Card texts: the title (name, or login without one), the second line's parts, the presence.
QString cardTitle(const Member &m);
QString loginLine(const Member &m);      // "логин: m7" when specialization and department are both empty
QString presenceText(const Member &m);   // "● онлайн" or how long ago the member was seen
QString accountsText(const Member &m);   // "3 акк."

} // namespace roster
