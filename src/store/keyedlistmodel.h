#pragma once
// Base of the list models that mirror one of Store's record lists for the views.
//
// A refresh hands over a whole new list; rebuilding the model from it would destroy and recreate
// every delegate (and lose whatever a delegate holds: an open row, a breakdown being loaded, a
// confirmation). `reconcile` instead turns the old rows into the new ones with the fewest signals:
// rows whose key vanished are removed, new keys are inserted where the new list has them, a change
// of order moves the surviving rows (one layout change), and a kept row reports `dataChanged` only
// when `same` says its shown content changed. Every row takes the new record either way, so fields
// a row does not show (and `same` ignores) are never stale. Keys must be unique within a list; a
// repeated key keeps its first occurrence.

#include "store/ticker.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QSet>

class KeyedListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

protected:
    // On every tick, `roles` of every row report a change (the texts that count time); the
    // other roles, and so the delegates' other bindings, stay untouched.
    void refreshOnTick(const QList<int> &roles) { refreshOn(Ticker::instance(), &Ticker::ticked, roles); }
    // The same on another source's signal (new readings behind a forecast, say).
    template<typename Sender, typename Signal>
    void refreshOn(const Sender *sender, Signal signal, const QList<int> &roles)
    {
        connect(sender, signal, this, [this, roles] {
            if (const int n = rowCount(); n > 0)
                Q_EMIT dataChanged(index(0), index(n - 1), roles);
        });
    }

    // Drops every later record whose key was already seen, keeping the list's order.
    template<typename Rec, typename KeyFn>
    static QList<Rec> uniqueByKey(const QList<Rec> &list, KeyFn key)
    {
        QSet<decltype(key(list.front()))> seen;
        QList<Rec> out;
        out.reserve(list.size());
        for (const Rec &r : list) {
            auto k = key(r);
            if (seen.contains(k))
                continue;
            seen.insert(k);
            out.append(r);
        }
        return out;
    }

    // Makes `rows` (this model's storage) equal to `next`, signalling as described above.
    // `key(rec)` gives a row's identity; `same(old, new)` is true when the row shows the same thing.
    template<typename Rec, typename KeyFn, typename SameFn>
    void reconcile(QList<Rec> &rows, const QList<Rec> &nextIn, KeyFn key, SameFn same)
    {
        using Key = decltype(key(nextIn.front()));
        const QList<Rec> next = uniqueByKey(nextIn, key);

        QHash<Key, int> nextPos;
        nextPos.reserve(next.size());
        for (int i = 0; i < next.size(); ++i)
            nextPos.insert(key(next[i]), i);

        // 1. Remove vanished rows, in contiguous runs from the end.
        for (int i = int(rows.size()) - 1; i >= 0;) {
            if (nextPos.contains(key(rows[i]))) {
                --i;
                continue;
            }
            int first = i;
            while (first > 0 && !nextPos.contains(key(rows[first - 1])))
                --first;
            beginRemoveRows({}, first, i);
            rows.remove(first, i - first + 1);
            endRemoveRows();
            i = first - 1;
        }

        // 2. Put the survivors into the new list's relative order (one layout change if needed).
        bool ordered = true;
        for (int i = 1; i < rows.size() && ordered; ++i)
            ordered = nextPos.value(key(rows[i - 1])) < nextPos.value(key(rows[i]));
        if (!ordered) {
            QList<int> ranks(rows.size());
            for (int i = 0; i < rows.size(); ++i)
                ranks[i] = nextPos.value(key(rows[i]));
            layoutReorder(rows, ranks);
        }

        // 3. Walk the new list: update kept rows in place (one dataChanged per run of changed rows)
        //    and insert new keys in contiguous runs.
        int changedFrom = -1;
        auto flushChanged = [&](int upTo) {
            if (changedFrom >= 0)
                Q_EMIT dataChanged(index(changedFrom), index(upTo - 1));
            changedFrom = -1;
        };
        int i = 0;
        while (i < next.size()) {
            if (i < rows.size() && key(rows[i]) == key(next[i])) {
                if (!same(rows[i], next[i])) {
                    if (changedFrom < 0)
                        changedFrom = i;
                } else {
                    flushChanged(i);
                }
                rows[i] = next[i];
                ++i;
                continue;
            }
            flushChanged(i);
            // next[i] is new; so is everything up to the surviving row that now sits at i.
            const int end = i < rows.size() ? nextPos.value(key(rows[i])) : int(next.size());
            beginInsertRows({}, i, end - 1);
            QList<Rec> merged;
            merged.reserve(rows.size() + (end - i));
            merged.append(rows.mid(0, i));
            merged.append(next.mid(i, end - i));
            merged.append(rows.mid(i));
            rows = std::move(merged);
            endInsertRows();
            i = end;
        }
        flushChanged(i);
    }

    // Puts the rows into the order of their ranks in one layout change, moving the persistent
    // indexes (an open row, the current row) with their rows. Equal ranks keep their order.
    template<typename Rec>
    void layoutReorder(QList<Rec> &rows, const QList<int> &ranks)
    {
        Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        QList<int> order(rows.size());
        for (int i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return ranks[a] < ranks[b]; });
        QList<int> newRowOf(rows.size());
        QList<Rec> sorted;
        sorted.reserve(rows.size());
        for (int i = 0; i < order.size(); ++i) {
            newRowOf[order[i]] = i;
            sorted.append(std::move(rows[order[i]]));
        }
        const QModelIndexList from = persistentIndexList();
        QModelIndexList to;
        to.reserve(from.size());
        for (const QModelIndex &idx : from)
            to.append(index(newRowOf.value(idx.row(), idx.row()), idx.column()));
        rows = std::move(sorted);
        changePersistentIndexList(from, to);
        Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }
};
