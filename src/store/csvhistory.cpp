// The usage history in the CSV export: what the charts draw, as numbers.
#include "store/csvtables.h"

#include "store/store.h"
#include "store/usagehistory.h"

using csv::number;
using csv::text;
using csv::time;

namespace csvtables {

QList<csv::Table> costPerDay(const UsageHistory &h)
{
    const UsageHistory::Cost &c = h.cost();
    if (c.at <= 0)
        return {};
    csv::Table t{QStringLiteral("Расходы по дням"), {"День", "Провайдер", "Расход, $", "Токены вход", "Токены выход"}, {}};
    for (const chart::CostRow &r : c.rows)
        t.rows << QStringList{r.day.toString(Qt::ISODate), text(r.provider), number(r.cost, 2), number(r.tokensIn, 0),
                              number(r.tokensOut, 0)};
    return {t};
}

QList<csv::Table> openHistories(const Store &s, const UsageHistory &h)
{
    QList<csv::Table> out;
    for (const TeamAcct &a : s.teamAccounts()) {
        if (!s.resources()->expanded().contains(a.id()))
            continue;
        const UsageHistory::Entry *e = h.entry(a.provider, a.email);
        if (!e || e->at <= 0)
            continue;
        csv::Table t{QStringLiteral("История лимитов · ") + a.provider + u' ' + a.email, {"Время", "Окно", "%", "Сброс"}, {}};
        for (const auto &[window, points] : {std::pair{QStringLiteral("5 часов"), &e->five},
                                             std::pair{QStringLiteral("7 дней"), &e->seven}})
            for (const forecast::Point &p : *points)
                t.rows << QStringList{time(p.t), window, number(p.pct, 1), time(p.reset)};
        out << t;
    }
    return out;
}

} // namespace csvtables
