#pragma once
// A job handed to one of Qt's thread pools is ordered by the pool's own lock, which
// ThreadSanitizer cannot see: Qt is not built with it. Jobs started through start() mark both
// ends of the hand-over, as that lock would; outside a ThreadSanitizer build the marks are empty.
#include <QThreadPool>

#include <functional>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace handover {

inline const char token = 0;

inline void give()
{
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<char *>(&token));
#endif
}

inline void take()
{
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<char *>(&token));
#endif
}

// The job is wrapped before the mark, and the wrapper takes the mark before it reads the job.
inline void start(QThreadPool &pool, std::function<void()> job)
{
    std::function<void()> run = [job = std::move(job)] {
        take();
        job();
    };
    give();
    pool.start(std::move(run));
}

} // namespace handover
