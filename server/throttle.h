// Token buckets per credential: a machine gone wild (a loop that reports without pause) is told
// to slow down with 429 while every other credential is served as before.
#pragma once

#include <QHash>
#include <QString>

#include <algorithm>
#include <mutex>

class Throttle {
public:
    // `rate` requests per second on average, up to `burst` at once.
    void configure(double rate, double burst) {
        std::lock_guard lock(m_mutex);
        m_rate = rate;
        m_burst = burst;
    }
    // Takes one request's token; false when the credential has none left.
    bool take(const QString &key, double now) {
        std::lock_guard lock(m_mutex);
        if (m_buckets.size() > 100000) m_buckets.clear();  // forgetting only ever lets more through
        auto it = m_buckets.find(key);
        if (it == m_buckets.end()) it = m_buckets.insert(key, Bucket{m_burst, now});
        it->tokens = std::min(m_burst, it->tokens + (now - it->at) * m_rate);
        it->at = now;
        if (it->tokens < 1) return false;
        it->tokens -= 1;
        return true;
    }

private:
    struct Bucket {
        double tokens;
        double at;
    };
    std::mutex m_mutex;
    double m_rate = 20, m_burst = 200;
    QHash<QString, Bucket> m_buckets;
};
