#pragma once
// What the "Экспорт CSV" buttons write: the tables of the statistics, activity and AI resources
// screens, in the order the screens show them (the resources as filtered, sorted and, in the
// "По человеку" mode, grouped on screen).

#include "core/csv.h"
#include "core/records.h"
#include "core/teamacct.h"

#include <QList>

class Store;

namespace csvtables {

QList<csv::Table> stats(const Store &s);
csv::Table activity(const QList<ActPerson> &people);
csv::Table accounts(const Store &s);
// The name offered in the save dialog: "<what>-<local date>.csv".
QString fileName(const QString &what, double now);

} // namespace csvtables
