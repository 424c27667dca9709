#pragma once
// A keyed list model that reports a small change of order as row moves.
//
// KeyedListModel::reconcile reports any change of order as one layout change. A Qt Quick view
// answers a layout change by keeping its delegates where they are and giving each the data now at
// its position, so whatever a delegate holds of its own (an open detail, a breakdown loading, a
// confirmation) would jump to another account. Moves, on the other hand, carry the delegates with
// their rows. `update` therefore first removes the vanished rows and moves the survivors into the
// new order (the fewest moves: every row outside the longest already ordered run), then lets
// reconcile insert and update; when more than `moveLimit` rows would move (a new sort column,
// say), it leaves the reorder to reconcile's single layout change, which is far cheaper then.

#include "store/keyedlistmodel.h"

#include <algorithm>
#include <vector>

class OrderedKeyedModel : public KeyedListModel
{
    Q_OBJECT
public:
    using KeyedListModel::KeyedListModel;

    int moveLimit() const { return m_moveLimit; }
    void setMoveLimit(int n) { m_moveLimit = n; }

protected:
    template<typename Rec, typename KeyFn, typename SameFn>
    void update(QList<Rec> &rows, const QList<Rec> &nextIn, KeyFn key, SameFn same)
    {
        using Key = decltype(key(nextIn.front()));
        const QList<Rec> next = uniqueByKey(nextIn, key);
        QHash<Key, int> nextPos;
        nextPos.reserve(next.size());
        for (int i = 0; i < next.size(); ++i)
            nextPos.insert(key(next[i]), i);

        // Vanished rows go first, in contiguous runs from the end, so that only survivors move.
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

        QList<int> ranks(rows.size());
        for (int i = 0; i < rows.size(); ++i)
            ranks[i] = nextPos.value(key(rows[i]));
        moveIntoOrder(rows, ranks);
        reconcile(rows, next, key, same);
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
    void moveIntoOrder(QList<Rec> &rows, QList<int> ranks)
    {
        const int n = int(ranks.size());
        const std::vector<bool> keep = inLongestRun(ranks);
        QList<int> pending;
        for (int i = 0; i < n; ++i)
            if (!keep[size_t(i)])
                pending.append(ranks[i]);
        if (pending.isEmpty() || pending.size() > m_moveLimit)
            return;
        std::sort(pending.begin(), pending.end());
        // placed[rank]: the row of that rank is in its final relative order already. Ranks are
        // positions in the next list, so they may exceed n; a hash keeps it small.
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
