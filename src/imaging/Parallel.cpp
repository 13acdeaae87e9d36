#include "imaging/Parallel.h"

#include <QThreadPool>

#include <omp.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>

namespace kelvaro {

namespace {

// What the calling thread and its helpers share: how many helpers are still running and the
// first exception thrown. Held by every helper, so it outlives a caller that stops waiting.
struct Team {
    std::mutex mutex;
    std::condition_variable finished;
    int running = 0;
    std::exception_ptr failure;

    void Fail(std::exception_ptr e) {
        const std::lock_guard lock(mutex);
        if (!failure)
            failure = std::move(e);
    }
};

} // namespace

int WorkerThreads() {
    return std::max(1, QThreadPool::globalInstance()->maxThreadCount());
}

void AllowWorkerThreads(int threads) {
    QThreadPool* pool = QThreadPool::globalInstance();
    if (threads > pool->maxThreadCount())
        pool->setMaxThreadCount(threads);
}

void RunWithHelpers(int helpers, const std::function<void()>& help,
                    const std::function<void()>& own) {
    const auto team = std::make_shared<Team>();
    QThreadPool* pool = QThreadPool::globalInstance();
    for (int i = 0; i < helpers; ++i) {
        {
            const std::lock_guard lock(team->mutex);
            ++team->running;
        }
        const bool started = pool->tryStart([team, &help] {
            try {
                help();
            } catch (...) {
                team->Fail(std::current_exception());
            }
            const std::lock_guard lock(team->mutex);
            if (--team->running == 0)
                team->finished.notify_all();
        });
        if (!started) {
            const std::lock_guard lock(team->mutex);
            --team->running;
            break; // the pool is busy: fewer helpers only means slower
        }
    }
    try {
        own();
    } catch (...) {
        team->Fail(std::current_exception());
    }
    std::unique_lock lock(team->mutex);
    team->finished.wait(lock, [&] { return team->running == 0; });
    if (team->failure)
        std::rethrow_exception(team->failure);
}

void ParallelFor(int count, const std::function<void(int)>& job, int threads) {
    if (count <= 0)
        return;
    const int workers = std::min(count, threads > 0 ? threads : WorkerThreads());
    std::atomic<int> next{0};
    const auto work = [&] {
        for (int i = next.fetch_add(1); i < count; i = next.fetch_add(1)) {
            try {
                job(i);
            } catch (...) {
                next = count; // no further jobs start
                throw;
            }
        }
    };
    RunWithHelpers(workers - 1, work, work);
}

OneOpenMpThread::OneOpenMpThread() : previous_(omp_get_max_threads()) {
    omp_set_num_threads(1);
}

OneOpenMpThread::~OneOpenMpThread() {
    omp_set_num_threads(previous_);
}

} // namespace kelvaro
