// What the intake last wrote for each machine's session, so that a report that only repeats it is
// answered at once, on the thread that read it, without a transaction. Claude Code's status line
// says the same after every answer and every ten seconds while idle, and its log batches name the
// same session, model and account every few seconds: written, each would cost a transaction and a
// sync and change nothing but a time. The times such a repeat would move (last seen, last
// activity, when the figures were measured) are kept to kResolution instead; presence ages out
// after minutes, so no view can tell.
//
// It only ever remembers writes this process committed; forgetting costs one write.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <mutex>

class RecentReports {
public:
    static constexpr double kResolution = 30;

    // True when `slot` (member, kind of report, machine, session) last wrote `what` less than
    // kResolution ago.
    bool repeats(const QString &slot, const QByteArray &what, double now) const {
        std::lock_guard lock(m_mutex);
        const auto it = m_slots.constFind(slot);
        return it != m_slots.constEnd() && it->what == what && now - it->at < kResolution && now >= it->at;
    }
    // After the report's commit: `slot` now stands at `what`.
    void wrote(const QString &slot, const QByteArray &what, double now) {
        std::lock_guard lock(m_mutex);
        if (m_slots.size() > 100000) m_slots.clear();
        m_slots.insert(slot, Entry{what, now});
    }
    // After a write elsewhere took away rows a slot stands for (an account or a member deleted).
    void forget() {
        std::lock_guard lock(m_mutex);
        m_slots.clear();
    }

private:
    struct Entry {
        QByteArray what;
        double at = 0;
    };
    mutable std::mutex m_mutex;
    QHash<QString, Entry> m_slots;
};
