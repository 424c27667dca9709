#pragma once
// When the client tells the user about a limit: a window of one of the user's accounts passes
// 80 % or 95 %, the forecast says it runs out within 30 minutes, or a window that had passed
// 80 % has reset; for administrators who ask for it, the team's critical accounts likewise.
// Each notice goes out once per window and reset period: what was told is kept as tags
// ("kind|account|window|period") that the caller persists, so a restart does not repeat it.

#include <QList>
#include <QSet>
#include <QString>

namespace notifyrules {

struct Window {
    QString account;   // the account's e-mail (its identity in the tags)
    QString window;    // "five" or "seven"
    double pct = 0;
    double reset = 0;  // epoch seconds, 0 when unknown
    double runOut = 0; // forecast moment of 100 %, 0 when none
    bool team = false; // a team account (administrators), not one of the user's own
};

struct Switches {
    bool thresholds = true; // 80 % and 95 %
    bool runOut = true;     // runs out within 30 minutes
    bool reset = true;      // a window that had passed 80 % has reset
    bool team = false;      // the same for the team's critical accounts
};

struct Note {
    QString tag;
    QString title;
    QString body;
};

constexpr double kRunOutWithin = 30 * 60;
// Tags of periods that ended longer ago than this are forgotten.
constexpr double kKeepTold = 8 * 86400;

// The notices due for `windows` at `now`; every one returned (and every one held back by a
// switch that is off) is added to `told`. Stale tags are dropped from `told`.
QList<Note> decide(const QList<Window> &windows, QSet<QString> &told, const Switches &on, double now);

} // namespace notifyrules
