#include "acpanel.h"

#include "forecast.h"
#include "providers.h"

#include <QHash>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <limits>

namespace acpanel {

namespace {

enum NumberSlot { Five, Seven, Model, Reset5, Reset, Cost, Online, Rank, Eta };

int numberSlot(Ac::Sort key)
{
    switch (key) {
    case Ac::Sort::Five: return Five;
    case Ac::Sort::Seven: return Seven;
    case Ac::Sort::Model: return Model;
    case Ac::Sort::Reset5: return Reset5;
    case Ac::Sort::Reset: return Reset;
    case Ac::Sort::Cost: return Cost;
    case Ac::Sort::Online: return Online;
    case Ac::Sort::Provider: return Rank;
    case Ac::Sort::Eta: return Eta;
    default: return -1;
    }
}

int textSlot(Ac::Sort key)
{
    switch (key) {
    case Ac::Sort::Account: return 0;
    case Ac::Sort::Email: return 1;
    case Ac::Sort::Status: return 2;
    case Ac::Sort::Who: return 3;
    default: return -1;
    }
}

// NaN has no place in an order; it counts as the lowest value so that comparisons stay strict.
double orderable(double d) { return std::isnan(d) ? -std::numeric_limits<double>::infinity() : d; }

double topPct(const TeamAcct &a)
{
    const std::optional<ScopedModel> m = topModel(a);
    return m ? m->pct : 0;
}

} // namespace

const QStringList &provOrder()
{
    static const QStringList order{
        QStringLiteral("claude"),  QStringLiteral("codex"),    QStringLiteral("gemini"), QStringLiteral("kimi"),
        QStringLiteral("minimax"), QStringLiteral("glm"),      QStringLiteral("deepseek"), QStringLiteral("qwen"),
        QStringLiteral("openrouter"), QStringLiteral("other"),
    };
    return order;
}

int provRank(const QString &key)
{
    const qsizetype i = provOrder().indexOf(key);
    return i < 0 ? 99 : int(i);
}

const QList<Column> &columns()
{
    static const QList<Column> cols{
        {Ac::Sort::Provider, QStringLiteral("Провайдер"), 132, true, false},
        {Ac::Sort::Account, QStringLiteral("Аккаунт"), 74, true, false},
        {Ac::Sort::Email, QStringLiteral("Email"), 0, true, false},
        {Ac::Sort::Status, QStringLiteral("Статус"), 70, true, false},
        {Ac::Sort::Five, QStringLiteral("5ч"), 96, false, false},
        {Ac::Sort::Seven, QStringLiteral("7д"), 90, false, false},
        {Ac::Sort::Model, QStringLiteral("7д модель"), 98, false, false},
        {Ac::Sort::Reset5, QStringLiteral("Сброс 5ч"), 100, false, false},
        {Ac::Sort::Eta, QStringLiteral("Хватит на"), 96, false, false},
        {Ac::Sort::Reset, QStringLiteral("Сброс 7д"), 108, false, false},
        {Ac::Sort::Cost, QStringLiteral("Расход"), 82, false, true},
        {Ac::Sort::Who, QStringLiteral("Кто"), 92, true, false},
        {Ac::Sort::Online, QStringLiteral("Проект · online"), 112, false, false},
    };
    return cols;
}

bool isTextColumn(Ac::Sort key) { return key == Ac::Sort::Provider || textSlot(key) >= 0; }

double emailWidth(double tableWidth)
{
    // 1150 of fixed columns + the 20-point chevron + thirteen 12-point gaps + 2 × 16 of padding.
    constexpr double kFixed = 1358;
    if (!(tableWidth - kFixed > 150)) // NaN too
        return 150;
    return tableWidth - kFixed;
}

SortState onSort(const SortState &current, Ac::Sort key)
{
    if (key == current.key)
        return {current.key, !current.asc};
    return {key, isTextColumn(key)};
}

RowKeys::RowKeys(const TeamAcct &a)
    : provKey(providerKey(a.provider))
    , foldedEmail(a.email.toCaseFolded())
    , foldedOwner(a.owner.toCaseFolded())
    , foldedGroup(a.group.toCaseFolded())
{
    numbers[Five] = orderable(a.fivePct);
    numbers[Seven] = orderable(a.sevenPct);
    numbers[Model] = orderable(topPct(a));
    numbers[Reset5] = orderable(a.fiveReset);
    numbers[Reset] = orderable(a.sevenReset);
    numbers[Cost] = orderable(a.cost);
    numbers[Online] = orderable(a.lastSeen + (a.online ? 1e12 : 0));
    numbers[Rank] = provRank(provKey);
    numbers[Eta] = orderable(forecast::sortKey(a.burnEta, a.fiveReset));
}

double RowKeys::number(Ac::Sort key) const
{
    const int slot = numberSlot(key);
    return numbers[slot < 0 ? Seven : slot];
}

QString RowKeys::text(const TeamAcct &a, Ac::Sort key)
{
    switch (textSlot(key)) {
    case 0:
        return a.group + a.owner;
    case 1:
        return a.email;
    case 2:
        return a.status;
    case 3:
        return a.users.isEmpty() ? a.owner : a.users.front().name;
    default:
        return QString();
    }
}

const QCollatorSortKey &RowKeys::sortKey(const TeamAcct &a, Ac::Sort key, const QCollator &collator) const
{
    const int slot = std::max(0, textSlot(key));
    if (!m_text[slot])
        m_text[slot] = collator.sortKey(text(a, key));
    return *m_text[slot];
}

QCollator textCollator()
{
    QCollator c{QLocale(QLocale::Russian, QLocale::Russia)};
    c.setCaseSensitivity(Qt::CaseInsensitive);
    return c;
}

bool passes(const TeamAcct &a, const RowKeys &k, const Filter &f, const QString &foldedQuery)
{
    if (!f.prov.isEmpty() && k.provKey != f.prov)
        return false;
    if (f.status != Ac::StatusFilter::All && a.status != keys::keyView(f.status))
        return false;
    if (f.query.isEmpty())
        return true;
    return k.foldedEmail.contains(foldedQuery) || k.foldedOwner.contains(foldedQuery)
        || k.foldedGroup.contains(foldedQuery);
}

void sortOrder(QList<int> &order, const QList<const TeamAcct *> &accounts, const QList<const RowKeys *> &keys,
               const SortState &s, const QCollator &collator)
{
    const bool asc = s.asc;
    if (textSlot(s.key) >= 0) {
        // Sort keys are fetched once per row before sorting (they may be made now).
        QList<std::pair<const QCollatorSortKey *, int>> items;
        items.reserve(order.size());
        for (int pos : std::as_const(order))
            items.append({&keys[pos]->sortKey(*accounts[pos], s.key, collator), pos});
        std::stable_sort(items.begin(), items.end(), [asc](const auto &x, const auto &y) {
            const int c = x.first->compare(*y.first);
            return asc ? c < 0 : c > 0;
        });
        for (qsizetype i = 0; i < items.size(); ++i)
            order[i] = items[i].second;
        return;
    }
    const int slotIndex = numberSlot(s.key);
    const int slot = slotIndex < 0 ? int(Seven) : slotIndex;
    QList<std::pair<double, int>> items;
    items.reserve(order.size());
    for (int pos : std::as_const(order))
        items.append({keys[pos]->numbers[slot], pos});
    std::stable_sort(items.begin(), items.end(), [asc](const auto &x, const auto &y) {
        return asc ? x.first < y.first : x.first > y.first;
    });
    for (qsizetype i = 0; i < items.size(); ++i)
        order[i] = items[i].second;
}

QList<TeamAcct> filteredSorted(const QList<TeamAcct> &accounts, const Filter &f, const SortState &s)
{
    QList<RowKeys> keyStore;
    keyStore.reserve(accounts.size());
    QList<const TeamAcct *> ptrs;
    QList<const RowKeys *> keys;
    for (const TeamAcct &a : accounts)
        keyStore.append(RowKeys(a));
    for (qsizetype i = 0; i < accounts.size(); ++i) {
        ptrs.append(&accounts[i]);
        keys.append(&keyStore[i]);
    }
    const QString folded = f.query.toCaseFolded();
    QList<int> order;
    for (qsizetype i = 0; i < accounts.size(); ++i)
        if (passes(accounts[i], keyStore[i], f, folded))
            order.append(int(i));
    sortOrder(order, ptrs, keys, s, textCollator());
    QList<TeamAcct> out;
    out.reserve(order.size());
    for (int pos : std::as_const(order))
        out.append(accounts[pos]);
    return out;
}

QString unassignedGroup() { return QStringLiteral("Не привязан"); }

QList<Group> byPerson(const QList<const TeamAcct *> &sorted)
{
    QList<Group> groups;
    QHash<QString, int> index;
    for (int i = 0; i < sorted.size(); ++i) {
        const TeamAcct &a = *sorted[i];
        const QString name = a.owner.isEmpty() ? unassignedGroup() : a.owner;
        auto it = index.constFind(name);
        if (it == index.constEnd()) {
            it = index.insert(name, int(groups.size()));
            Group g;
            g.name = name;
            g.maxFive = -std::numeric_limits<double>::infinity();
            g.maxSeven = -std::numeric_limits<double>::infinity();
            groups.append(g);
        }
        Group &g = groups[*it];
        g.rows.append(i);
        g.online = g.online || a.online;
        g.maxFive = std::max(g.maxFive, orderable(a.fivePct));
        g.maxSeven = std::max(g.maxSeven, orderable(a.sevenPct));
        g.cost += a.cost;
    }
    // Groups were made in the order of their first rows; the stable sort keeps that order for ties.
    std::stable_sort(groups.begin(), groups.end(), [](const Group &x, const Group &y) {
        if (x.online != y.online)
            return x.online;
        return x.maxSeven > y.maxSeven;
    });
    return groups;
}

QList<Group> byPerson(const QList<TeamAcct> &sorted)
{
    QList<const TeamAcct *> ptrs;
    ptrs.reserve(sorted.size());
    for (const TeamAcct &a : sorted)
        ptrs.append(&a);
    return byPerson(ptrs);
}

QList<QPair<QString, int>> providerCounts(const QList<const TeamAcct *> &accounts)
{
    QList<int> counts(provOrder().size(), 0);
    for (const TeamAcct *a : accounts) {
        const int rank = provRank(providerKey(a->provider));
        if (rank >= 0 && rank < counts.size())
            ++counts[rank];
    }
    QList<QPair<QString, int>> out;
    for (int i = 0; i < counts.size(); ++i)
        if (counts[i] > 0)
            out.append({provOrder().at(i), counts[i]});
    return out;
}

QList<QPair<QString, int>> providerCounts(const QList<TeamAcct> &accounts)
{
    QList<const TeamAcct *> ptrs;
    ptrs.reserve(accounts.size());
    for (const TeamAcct &a : accounts)
        ptrs.append(&a);
    return providerCounts(ptrs);
}

std::optional<ScopedModel> topModel(const TeamAcct &a)
{
    std::optional<ScopedModel> best;
    for (const ScopedModel &m : a.weeklyScoped)
        if (!best || orderable(m.pct) > orderable(best->pct))
            best = m;
    return best;
}

} // namespace acpanel
