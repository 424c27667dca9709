// Plausible past readings for the demo team and for load tests: thirty days of working-day
// windows that end where the account's current figures stand.
#pragma once

#include "db.h"

#include <QRandomGenerator>
#include <QString>

struct AccountNow {
    QString provider, email;
    double five = 0, fiveResetsAt = 0, seven = 0, sevenResetsAt = 0;
};

// Writes the readings of both windows from `days` days ago until just before `now`, as the
// history would hold them after its cleanup (quarter-hour points and peaks past two days, one
// every five minutes since). Inside the caller's transaction.
void seedWindowHistory(Db &db, QRandomGenerator &rng, const AccountNow &a, double now, int days = 30);
