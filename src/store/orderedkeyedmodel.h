#pragma once
// A keyed list model for long lists that change a lot at once, and that reports a small change of
// order as row moves.
//
// Like KeyedListModel::reconcile, `update` turns the old rows into the new ones with removals,
// inserts and per-row changes (only where `same` says the row shows something else), so views
// keep their delegates. Two things differ:
//
// - Order. A Qt Quick view answers a layout change by keeping its delegates where they are and
//   giving each the data now at its position, so whatever a delegate holds of its own (an open
//   detail, a breakdown loading, a confirmation) would jump to another account. Moves carry the
//   delegates with their rows. The survivors are therefore moved into the new order (the fewest
//   moves: every row outside the longest already ordered run); only when more than `moveLimit`
//   rows would move (a new sort column, say) is the reorder one layout change, far cheaper then.
// - Cost. A search keystroke over thousands of rows removes or inserts rows in hundreds of
//   scattered runs. Rows are kept in a two-part store while the runs are signalled (the rows done
//   so far, then the rest of the old list), so each run costs its own length, not the list's.
//
// Subclasses read rows through `rows()` (`at`, `size`), which is consistent at every signal.

#include "store/keyedlistmodel.h"

#include <algorithm>
#include <vector>

// Rows as a model sees them while an update is signalled: `done` (already in their new state)
// followed by the not yet visited part of `rest` (from index `from` on).
class OrderedKeyedModel;

template<typename Rec>
class RowStore
{
public:
    qsizetype size() const { return m_done.size() + m_rest.size() - m_from; }
    bool isEmpty() const { return size() == 0; }
    const Rec &at(qsizetype i) const
    {
        return i < m_done.size() ? m_done[i] : m_rest[m_from + i - m_done.size()];
    }
    const Rec &operator[](qsizetype i) const { return at(i); }
    const Rec &front() const { return at(0); }
    // Outside an update the rows are one plain list.
    const QList<Rec> &list() const { return m_done; }
    QList<Rec> &mutableList() { return m_done; }

private:
    friend class OrderedKeyedModel;
    QList<Rec> m_done, m_rest;
    qsizetype m_from = 0;
};

class OrderedKeyedModel : public KeyedListModel
{
    Q_OBJECT
public:
    using KeyedListModel::KeyedListModel;

    int moveLimit() const { return m_moveLimit; }
    void setMoveLimit(int n) { m_moveLimit = n; }

protected:
    template<typename Rec, typename KeyFn, typename SameFn>
    void update(RowStore<Rec> &store, const QList<Rec> &nextIn, KeyFn key, SameFn same)
    {
        using Key = std::decay_t<decltype(key(nextIn.front()))>;
        QHash<Key, int> nextPos;
        nextPos.reserve(nextIn.size());
        for (int i = 0; i < nextIn.size(); ++i)
            nextPos.emplace(key(nextIn[i]), i);
        // Keys are meant to be unique; a repeated one keeps its first row.
        QList<Rec> deduplicated;
        if (nextPos.size() != nextIn.size()) {
            deduplicated = uniqueByKey(nextIn, [&](const Rec &r) { return Key(key(r)); });
            nextPos.clear();
            for (int i = 0; i < deduplicated.size(); ++i)
                nextPos.insert(key(deduplicated[i]), i);
        }
        const QList<Rec> &next = nextPos.size() != nextIn.size() ? deduplicated : nextIn;

        // 1. Vanished rows, one removal per contiguous run, front to back.
        store.m_rest = std::move(store.m_done);
        store.m_done = {};
        store.m_done.reserve(store.m_rest.size());
        store.m_from = 0;
        while (store.m_from < store.m_rest.size()) {
            if (nextPos.contains(key(store.m_rest[store.m_from]))) {
                store.m_done.append(std::move(store.m_rest[store.m_from++]));
                continue;
            }
            qsizetype end = store.m_from + 1;
            while (end < store.m_rest.size() && !nextPos.contains(key(store.m_rest[end])))
                ++end;
            const int first = int(store.m_done.size());
            beginRemoveRows({}, first, first + int(end - store.m_from) - 1);
            store.m_from = end;
            endRemoveRows();
        }
        store.m_rest = {};
        store.m_from = 0;

        // 2. The survivors into the new relative order.
        QList<Rec> &rows = store.m_done;
        QList<int> ranks(rows.size());
        for (qsizetype i = 0; i < rows.size(); ++i)
            ranks[i] = nextPos.value(key(rows[i]));
        reorder(rows, ranks);

        // 3. New rows, one insertion per contiguous run; kept rows take their new record.
        store.m_rest = std::move(store.m_done);
        store.m_done = {};
        store.m_done.reserve(next.size());
        store.m_from = 0;
        QList<QPair<int, int>> changed; // runs of rows that show something new
        for (qsizetype i = 0; i < next.size();) {
            if (store.m_from < store.m_rest.size() && key(store.m_rest[store.m_from]) == key(next[i])) {
                if (!same(store.m_rest[store.m_from], next[i])) {
                    if (!changed.isEmpty() && changed.back().second == int(i) - 1)
                        changed.back().second = int(i);
                    else
                        changed.append({int(i), int(i)});
                }
                store.m_done.append(next[i]);
                ++store.m_from;
                ++i;
                continue;
            }
            qsizetype end = i + 1;
            const bool more = store.m_from < store.m_rest.size();
            while (end < next.size() && !(more && key(store.m_rest[store.m_from]) == key(next[end])))
                ++end;
            beginInsertRows({}, int(i), int(end) - 1);
            for (qsizetype j = i; j < end; ++j)
                store.m_done.append(next[j]);
            endInsertRows();
            i = end;
        }
        store.m_rest = {};
        store.m_from = 0;
        for (const auto &[from, to] : std::as_const(changed))
            Q_EMIT dataChanged(index(from), index(to));
    }

private:
    // Indices (into `ranks`) of one longest strictly increasing subsequence.
    static std::vector<bool> inLongestRun(const QList<int> &ranks)
    {
        const size_t n = size_t(ranks.size());
        std::vector<int> tailIdx, prev(n, -1);
        for (size_t i = 0; i < n; ++i) {
            auto it = std::lower_bound(tailIdx.begin(), tailIdx.end(), ranks[qsizetype(i)],
                                       [&](int idx, int r) { return ranks[idx] < r; });
            const size_t pos = size_t(it - tailIdx.begin());
            prev[i] = pos > 0 ? tailIdx[pos - 1] : -1;
            if (it == tailIdx.end())
                tailIdx.push_back(int(i));
            else
                *it = int(i);
        }
        std::vector<bool> keep(n, false);
        for (int i = tailIdx.empty() ? -1 : tailIdx.back(); i >= 0; i = prev[size_t(i)])
            keep[size_t(i)] = true;
        return keep;
    }

    template<typename Rec>
    void reorder(QList<Rec> &rows, QList<int> ranks)
    {
        const int n = int(ranks.size());
        if (std::is_sorted(ranks.cbegin(), ranks.cend()))
            return;
        const std::vector<bool> keep = inLongestRun(ranks);
        QList<int> pending;
        for (int i = 0; i < n; ++i)
            if (!keep[size_t(i)])
                pending.append(ranks[i]);
        if (pending.size() > m_moveLimit) {
            layoutReorder(rows, ranks);
            return;
        }
        std::sort(pending.begin(), pending.end());
        // The ranks already in their final relative order.
        QSet<int> placed;
        for (int i = 0; i < n; ++i)
            if (keep[size_t(i)])
                placed.insert(ranks[i]);
        for (int r : std::as_const(pending)) {
            const int from = int(ranks.indexOf(r));
            // Right after the placed row of the largest rank below r, or at the front.
            int after = -1, best = -1;
            for (int k = 0; k < n; ++k) {
                if (ranks[k] < r && ranks[k] > best && placed.contains(ranks[k])) {
                    best = ranks[k];
                    after = k;
                }
            }
            const int dest = after + 1;
            if (dest != from && dest != from + 1) {
                beginMoveRows({}, from, from, {}, dest);
                const int to = dest > from ? dest - 1 : dest;
                rows.move(from, to);
                ranks.move(from, to);
                endMoveRows();
            }
            placed.insert(r);
        }
    }

    int m_moveLimit = 64;
};
