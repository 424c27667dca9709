// Group commit for the intake: reports that arrive together are written in one transaction and
// made durable by one sync, and each is answered only after that commit. On a disk where a sync
// takes milliseconds this is what lets a team's worth of machines report every few seconds.
// Each report runs inside a savepoint of its own, so one that fails leaves the others whole.
#pragma once

#include "db.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>

class GroupCommit {
public:
    explicit GroupCommit(Db &db) : m_db(db) {}
    // Runs `job` inside a shared transaction and returns once that transaction is committed;
    // rethrows what the job (or the commit) threw. Moves the request to a worker first.
    void run(const std::function<void(Tx &)> &job);

private:
    struct Job {
        const std::function<void(Tx &)> *fn;
        std::exception_ptr error;
        bool done = false;
    };
    void commit(const std::deque<Job *> &batch);

    Db &m_db;
    std::mutex m_mutex;
    std::condition_variable m_finished;
    std::deque<Job *> m_pending;
    bool m_leading = false;
};
