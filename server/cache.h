// Answers that are expensive to build, kept in memory until the data under them changes (the
// topic counters of Db) or a time passes (a limit window resets, a presence report ages).
#pragma once

#include "conditional.h"
#include "httpcore.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <array>
#include <mutex>
#include <optional>

using Stamp = std::array<quint64, 2>;  // the topic counters the answer was built from

// A JSON answer ready to send again, its tag computed once; a big one also sits in a memory file
// for sendfile().
inline Reply cachedReply(const QByteArray &body) {
    Reply r;
    r.body = body;
    r.headers.append(qMakePair(QByteArray("ETag"), conditional::tagOf(body)));
    if (body.size() >= 256 * 1024) r.file = MemFile::from(body);
    return r;
}

class Cached {
public:
    std::optional<Reply> fresh(const Stamp &stamp, double now) const {
        std::lock_guard lock(m_mutex);
        if (!m_has || m_stamp != stamp || now >= m_until) return std::nullopt;
        return m_reply;
    }
    Reply store(const Stamp &stamp, double until, const QByteArray &body) {
        const Reply r = cachedReply(body);
        std::lock_guard lock(m_mutex);
        m_stamp = stamp;
        m_until = until;
        m_reply = r;
        m_has = true;
        return r;
    }
    // Held while building, so that a burst of requests for a stale answer builds it once.
    std::mutex building;

private:
    mutable std::mutex m_mutex;
    bool m_has = false;
    Stamp m_stamp{};
    double m_until = 0;
    Reply m_reply;
};

// The same, one answer per key (a member, a scope).
class CachedMap {
public:
    std::optional<Reply> fresh(const QString &key, const Stamp &stamp, double now) const {
        std::lock_guard lock(m_mutex);
        const auto it = m_entries.constFind(key);
        if (it == m_entries.constEnd() || it->stamp != stamp || now >= it->until) return std::nullopt;
        return it->reply;
    }
    Reply store(const QString &key, const Stamp &stamp, double until, const QByteArray &body) {
        const Reply r = cachedReply(body);
        std::lock_guard lock(m_mutex);
        // Entries of an older stamp are of no use to anyone any more.
        for (auto it = m_entries.begin(); it != m_entries.end();)
            it = it->stamp != stamp ? m_entries.erase(it) : std::next(it);
        m_entries.insert(key, Entry{stamp, until, r});
        return r;
    }
    std::mutex building;

private:
    struct Entry {
        Stamp stamp;
        double until;
        Reply reply;
    };
    mutable std::mutex m_mutex;
    QHash<QString, Entry> m_entries;
};
