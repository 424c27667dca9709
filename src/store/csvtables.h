#pragma once
// What the "Экспорт CSV" buttons write: the tables of the statistics, activity and AI resources
// screens, in the order the screens show them (the resources as filtered, sorted and, in the
// "По человеку" mode, grouped on screen).

#include "core/csv.h"
#include "core/records.h"
#include "core/teamacct.h"

#include <QList>

class Store;
class UsageHistory;

namespace csvtables {

QList<csv::Table> stats(const Store &s);
csv::Table activity(const QList<ActPerson> &people);
csv::Table accounts(const Store &s);
// The history charts' figures: the team's cost per day (after the statistics' tables) and the
// readings of each account whose detail is open on the AI resources screen (after its table).
// Nothing for what has not been loaded.
QList<csv::Table> costPerDay(const UsageHistory &h);
QList<csv::Table> openHistories(const Store &s, const UsageHistory &h);
// The name offered in the save dialog: "<what>-<local date>.csv".
QString fileName(const QString &what, double now);

} // namespace csvtables
