#include "csvtables.h"

#include "core/acpanel.h"
#include "core/clock.h"
#include "core/format.h"
#include "core/providers.h"
#include "store/store.h"
#include "store/teamrules.h"

#include <QDateTime>

using csv::number;
using csv::text;
using csv::time;

namespace csvtables {

static QString yesNo(bool b) { return b ? QStringLiteral("да") : QStringLiteral("нет"); }
static QString hours(qint64 seconds) { return number(double(seconds) / 3600, 2); }

QList<csv::Table> stats(const Store &s)
{
    QList<csv::Table> out;
    if (!s.stats()->members().isEmpty()) {
        csv::Table t{QStringLiteral("Люди · доля лимитов"), {"Сотрудник", "Доля, %", "Расход, $"}, {}};
        for (const StatMember &m : s.stats()->members())
            t.rows << QStringList{text(m.name), number(m.points), number(m.cost, 2)};
        out << t;
    }
    if (!s.stats()->accounts().isEmpty()) {
        csv::Table t{QStringLiteral("Аккаунты"), {"Провайдер", "Email", "Доля, %", "app/веб, %", "Сброс"}, {}};
        for (const StatAccount &a : s.stats()->accounts())
            t.rows << QStringList{text(a.provider), text(a.email), number(a.totalPoints), number(a.residual),
                                  time(a.resetsAt)};
        out << t;
    }
    if (statui::sourcesShown(s.stats()->sources())) {
        csv::Table t{QStringLiteral("Источники · расход"), {"Источник", "Сессий", "Доля, %", "Расход, $"}, {}};
        for (const StatSource &src : s.stats()->sources())
            t.rows << QStringList{text(statui::sourceLabel(src.source)), number(double(src.sessions)),
                                  number(src.pct), number(src.cost, 2)};
        out << t;
    }
    if (!s.stats()->results().isEmpty()) {
        csv::Table t{QStringLiteral("Результат за 7 дней"),
                     {"#", "Сотрудник", "Строки", "Ком.", "PR", "Accept, %", "$/стр", "Расход, $"}, {}};
        int n = 0;
        for (const ResultMember &r : s.stats()->results())
            t.rows << QStringList{number(++n), text(r.name), number(double(r.linesAdded)), number(double(r.commits)),
                                  number(double(r.prs)), r.acceptRate >= 0 ? number(r.acceptRate * 100, 1) : QString(),
                                  r.costPerLine >= 0 ? number(r.costPerLine, 4) : QString(), number(r.cost, 2)};
        out << t;
    }
    if (!s.stats()->mirrors().isEmpty()) {
        csv::Table t{QStringLiteral("Зеркала · расход сегодня"),
                     {"Провайдер", "Email", "Доля, %", "Сегодня, $", "Лимит, $"}, {}};
        for (const MirrorSpend &m : s.stats()->mirrors())
            t.rows << QStringList{text(m.provider), text(m.email), number(m.pct), number(m.today, 2),
                                  number(m.limit, 2)};
        out << t;
    }
    return out;
}

csv::Table activity(const QList<ActPerson> &people)
{
    csv::Table t{{},
                 {"Сотрудник", "Онлайн", "Активно, ч", "Вне рабочих, ч", "Расход, $", "Сессий", "Последняя активность",
                  "Проекты"},
                 {}};
    for (const ActPerson &p : people) {
        QStringList projects;
        for (const ActProject &pr : p.projects)
            projects << (pr.name.isEmpty() ? QStringLiteral("—") : pr.name) + QStringLiteral(" ")
                    + actui::projectDuration(pr.seconds);
        t.rows << QStringList{text(p.name), yesNo(p.online), hours(p.activeSec), hours(p.offworkSec),
                              number(p.cost, 2), number(double(p.sessions)), time(p.lastSeen),
                              text(projects.join(QStringLiteral("; ")))};
    }
    return t;
}

csv::Table accounts(const Store &s)
{
    csv::Table t{{},
                 {"Провайдер", "Группа", "Владелец", "Email", "Статус", "5ч, %", "7д, %", "7д модель", "7д модель, %",
                  "Сброс 5ч", "Сброс 7д", "Закончится 5ч", "Расход, $", "Кто", "Онлайн", "Последняя активность"},
                 {}};
    const ResourcesState &r = *s.resources();
    const QList<TeamAcct> sorted =
        acpanel::filteredSorted(s.teamAccounts(), {r.prov(), r.status(), r.query()}, {r.sortKey(), r.sortAsc()});
    QList<int> order;
    if (r.byPerson()) {
        for (const acpanel::Group &g : acpanel::byPerson(sorted))
            order << g.rows;
    } else {
        for (int i = 0; i < sorted.size(); ++i)
            order << i;
    }
    for (int i : order) {
        const TeamAcct &a = sorted[i];
        const std::optional<ScopedModel> top = acpanel::topModel(a);
        QStringList who;
        for (const AcctUser &u : a.users)
            who << u.name;
        t.rows << QStringList{text(providerMeta(a.provider).label), text(a.group), text(a.owner), text(a.email),
                              text(a.status), number(a.fivePct), number(a.sevenPct),
                              top ? text(fmt::shortModel(top->model)) : QString(), top ? number(top->pct) : QString(),
                              time(a.fiveReset), time(a.sevenReset), time(a.burnEta), number(a.cost, 2),
                              text(who.join(QStringLiteral(", "))), yesNo(a.online), time(a.lastSeen)};
    }
    return t;
}

QString fileName(const QString &what, double now)
{
    const QDateTime d = QDateTime::fromSecsSinceEpoch(qint64(now), Clock::zone());
    return what + QLatin1Char('-') + d.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".csv");
}

} // namespace csvtables
