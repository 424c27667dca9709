#pragma once
// The rules of the AI resources table: provider order, filters, the sort of every column, the
// grouping by owner, the provider counts, the top weekly model and the column widths. Plain
// functions over TeamAcct; the list models apply them and the benchmarks time them.

#include "choices.h"
#include "teamacct.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace acpanel {

// "claude" … "other": the provider keys in their fixed display order.
const QStringList &provOrder();
// Position of a key in provOrder (0 to 9); a key outside it ranks 99.
int provRank(const QString &key);

// One column of the accounts table.
struct Column {
    Ac::Sort key;
    QString title;
    int width = 0;          // 0 for the flexible e-mail column
    bool text = false;      // a text column: first click sorts ascending
    bool rightAligned = false;
};
// The thirteen sortable columns in table order.
const QList<Column> &columns();
bool isTextColumn(Ac::Sort key);
// The width of the e-mail column in a table `tableWidth` wide: the rest after the fixed columns,
// the chevron, the gaps and the padding (1358 together), but never below 150.
double emailWidth(double tableWidth);
// The narrowest table that shows every column at its width (the e-mail column at 150).
constexpr double kMinTableWidth = 1508;

struct SortState {
    Ac::Sort key = Ac::Sort::Seven;
    bool asc = false;
};
// A click on a column header: the same column flips the direction; another one becomes the
// key, ascending for the text columns and descending (largest first) for the figures.
SortState onSort(const SortState &current, Ac::Sort key);

struct Filter {
    QString prov;                           // empty: every provider
    Ac::StatusFilter status = Ac::StatusFilter::All; // or accounts whose status is its key
    QString query;                          // empty: no search
};

// What the filters and the sort need of one account, worked out once per load so that a
// keystroke only compares. Text sort keys are made on first use of their column.
class RowKeys
{
public:
    explicit RowKeys(const TeamAcct &a);

    QString provKey;                    // the provider, or "other" when the table does not know it
    QString foldedEmail, foldedOwner, foldedGroup; // case-folded for the search
    double numbers[9] = {};             // five, seven, model, reset5, reset, cost, online, rank, eta

    // Number of a figure column (Provider gives its rank); NaN sorts as the lowest value.
    double number(Ac::Sort key) const;
    // The text a text column compares: "account" is group then owner run together, "who" the
    // first user's name or else the owner.
    static QString text(const TeamAcct &a, Ac::Sort key);
    // The collation key of a text column, made on first use.
    const QCollatorSortKey &sortKey(const TeamAcct &a, Ac::Sort key, const QCollator &collator) const;

private:
    mutable std::optional<QCollatorSortKey> m_text[4]; // account, email, status, who
};

// The collator of the text columns: Russian, case-insensitive.
QCollator textCollator();

// Whether an account passes the three filters. `foldedQuery` is the query case-folded once.
bool passes(const TeamAcct &a, const RowKeys &k, const Filter &f, const QString &foldedQuery);

// Stable sort of `order` (positions into `accounts`/`keys`) by the sort state: ascending puts a
// before b only when a is strictly lower, descending only when strictly higher; ties keep their
// incoming order in both directions.
void sortOrder(QList<int> &order, const QList<const TeamAcct *> &accounts, const QList<const RowKeys *> &keys,
               const SortState &s, const QCollator &collator);

// Convenience for tests and benchmarks: filtered(accounts) in load order, then sorted.
QList<TeamAcct> filteredSorted(const QList<TeamAcct> &accounts, const Filter &f, const SortState &s);

// One group of the "people" mode.
struct Group {
    QString name;            // the owner, or "Не привязан" for accounts without one
    QList<int> rows;         // positions in the sorted list, in sorted order
    bool online = false;     // some account of the group is online
    double maxFive = 0, maxSeven = 0, cost = 0;
};
QString unassignedGroup();
// Groups of `sorted` (already filtered and sorted): groups with an online account first, then
// the larger highest seven-day use; ties keep the order of the groups' first rows.
QList<Group> byPerson(const QList<const TeamAcct *> &sorted);
QList<Group> byPerson(const QList<TeamAcct> &sorted);

// (provider key, count) over all accounts, one entry per key that occurs, in provOrder.
QList<QPair<QString, int>> providerCounts(const QList<const TeamAcct *> &accounts);
QList<QPair<QString, int>> providerCounts(const QList<TeamAcct> &accounts);

// The weekly model limit with the highest pct; the first wins a tie; none when there are none.
std::optional<ScopedModel> topModel(const TeamAcct &a);

} // namespace acpanel
