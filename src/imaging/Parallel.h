#pragma once

#include <functional>

// The program's one way to run work in parallel: Qt's global thread pool (the pool QtConcurrent
// uses), with the calling thread working beside the pool's threads. A helper is taken only where
// the pool has a thread free at that moment, so work started from inside the pool (a batch's
// pictures, a frame's colour reduction) never waits for a thread: it runs on fewer.
namespace kelvaro {

// How many threads the pool runs at once: the cores, unless the program asked for more.
int WorkerThreads();

// Lets the pool run at least `threads` at once (a batch of that many pictures); never fewer
// than it already may.
void AllowWorkerThreads(int threads);

// Runs own() on the calling thread while up to `helpers` free threads of the pool run help();
// returns when own() and every helper started have returned. The first exception any of them
// threw is then rethrown here.
void RunWithHelpers(int helpers, const std::function<void()>& help,
                    const std::function<void()>& own);

// Calls job(i) for every i in 0..count-1, taken in increasing order by the calling thread and
// free threads of the pool, at most `threads` at once (0: WorkerThreads()); returns when every
// job is done. After a job throws no further ones start, and its exception is rethrown here.
void ParallelFor(int count, const std::function<void(int)>& job, int threads = 0);

// libimagequant 2.x spreads parts of its work over OpenMP threads, and liq_set_speed decides from
// how many it may use what it does at a speed. Our work is already spread over the pool, so
// whatever calls libimagequant holds one of these: exactly one OpenMP thread on this thread while
// it lives (no second team of threads busy-waiting beside ours, and the speeds mean the same on
// every machine), the earlier count restored after.
class OneOpenMpThread {
public:
    OneOpenMpThread();
    ~OneOpenMpThread();
    OneOpenMpThread(const OneOpenMpThread&) = delete;
    OneOpenMpThread& operator=(const OneOpenMpThread&) = delete;

private:
    int previous_;
};

} // namespace kelvaro
