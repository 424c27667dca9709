#include "groupcommit.h"

#include "httpcore.h"

void GroupCommit::run(const std::function<void(Tx &)> &fn) {
    offload(Lane::Work);  // an I/O thread never waits here
    Job job{&fn, nullptr, false};
    std::unique_lock lock(m_mutex);
    m_pending.push_back(&job);
    while (!job.done) {
        if (m_leading) {
            m_finished.wait(lock);
            continue;
        }
        // No commit under way: this thread writes everything queued so far, its own job included.
        m_leading = true;
        std::deque<Job *> batch;
        batch.swap(m_pending);
        lock.unlock();
        commit(batch);
        lock.lock();
        m_leading = false;
        for (Job *j : batch) j->done = true;
        m_finished.notify_all();
    }
    if (job.error) std::rethrow_exception(job.error);
}

void GroupCommit::commit(const std::deque<Job *> &batch) {
    try {
        Tx tx(m_db);
        for (Job *j : batch) {
            m_db.exec(QStringLiteral("SAVEPOINT report"));
            try {
                (*j->fn)(tx);
            } catch (...) {
                j->error = std::current_exception();
                m_db.exec(QStringLiteral("ROLLBACK TO SAVEPOINT report"));
            }
            m_db.exec(QStringLiteral("RELEASE SAVEPOINT report"));
        }
        tx.commit();
    } catch (...) {
        // The transaction is gone: nothing of the batch was stored, and every report says so.
        for (Job *j : batch)
            if (!j->error) j->error = std::current_exception();
    }
}
