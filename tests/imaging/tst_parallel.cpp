#include "imaging/Parallel.h"

#include <QDeadlineTimer>
#include <QSemaphore>
#include <QTest>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <set>
#include <stdexcept>
#include <vector>

using namespace kelvaro;

namespace {

// Raises `high` to `now` when it is higher.
void RaiseTo(std::atomic<int>& high, int now) {
    for (int seen = high.load(); now > seen && !high.compare_exchange_weak(seen, now);) {
    }
}

} // namespace

class TestParallel : public QObject {
    Q_OBJECT

private slots:
    // Every index once, whatever the count and the number of threads.
    void everyJobOnce_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("threads");
        QTest::newRow("none") << 0 << 0;
        QTest::newRow("one") << 1 << 0;
        QTest::newRow("many, all threads") << 1000 << 0;
        QTest::newRow("many, one thread") << 1000 << 1;
        QTest::newRow("more threads than jobs") << 3 << 64;
    }
    void everyJobOnce() {
        QFETCH(int, count);
        QFETCH(int, threads);
        std::vector<std::atomic<int>> calls(std::size_t(count) + 1);
        ParallelFor(
            count, [&](int i) { ++calls[std::size_t(i)]; }, threads);
        for (int i = 0; i < count; ++i)
            QCOMPARE(calls[std::size_t(i)].load(), 1);
        QCOMPARE(calls[std::size_t(count)].load(), 0);
    }

    // One thread means this one, in order; more run at once, but never more than asked.
    void threadsAsked() {
        std::vector<int> order;
        std::set<QThread*> threads;
        ParallelFor(
            50,
            [&](int i) {
                order.push_back(i);
                threads.insert(QThread::currentThread());
            },
            1);
        QCOMPARE(int(order.size()), 50);
        for (int i = 0; i < 50; ++i)
            QCOMPARE(order[std::size_t(i)], i);
        QCOMPARE(threads, std::set<QThread*>{QThread::currentThread()});

        AllowWorkerThreads(4);
        QVERIFY(WorkerThreads() >= 4);
        std::atomic<int> running{0}, high{0}, arrived{0};
        ParallelFor(
            12,
            [&](int i) {
                RaiseTo(high, ++running);
                // The first two wait for each other: two threads must be working at once.
                if (i < 2) {
                    ++arrived;
                    const QDeadlineTimer deadline(10000);
                    while (arrived < 2 && !deadline.hasExpired())
                        QThread::yieldCurrentThread();
                }
                QThread::msleep(1);
                --running;
            },
            2);
        QCOMPARE(high.load(), 2);
    }

    // From inside a pool whose threads are all busy the jobs still run, on the calling thread,
    // instead of waiting for a thread that never comes free.
    void nestedInABusyPool() {
        QThreadPool* pool = QThreadPool::globalInstance();
        const int busy = pool->maxThreadCount();
        QSemaphore release;
        QSemaphore started;
        for (int i = 0; i < busy - 1; ++i)
            pool->start([&] {
                started.release();
                release.acquire();
            });
        QVERIFY(started.tryAcquire(busy - 1, 10000));
        std::atomic<int> done{0};
        std::atomic<bool> onCaller{true};
        QSemaphore finished;
        pool->start([&] {
            QThread* self = QThread::currentThread();
            ParallelFor(100, [&](int) {
                ++done;
                if (QThread::currentThread() != self)
                    onCaller = false;
            });
            finished.release();
        });
        const bool ended = finished.tryAcquire(1, 10000);
        release.release(busy - 1);
        pool->waitForDone();
        QVERIFY(ended);
        QCOMPARE(done.load(), 100);
        QVERIFY(onCaller);
    }

    // A job's exception reaches the caller once every started job has ended; later jobs do not
    // start. A helper's exception does too.
    void exceptions() {
        std::atomic<int> ran{0};
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, ParallelFor(
                                                         1000,
                                                         [&](int i) {
                                                             ++ran;
                                                             if (i == 3)
                                                                 throw std::runtime_error("job");
                                                         },
                                                         1));
        QCOMPARE(ran.load(), 4);

        // The other thread stops taking jobs once one has thrown.
        AllowWorkerThreads(2);
        std::atomic<int> others{0};
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 ParallelFor(
                                     1000,
                                     [&](int i) {
                                         if (i > 0) {
                                             ++others;
                                             QThread::msleep(1);
                                             return;
                                         }
                                         const QDeadlineTimer deadline(10000);
                                         while (others == 0 && !deadline.hasExpired())
                                             QThread::yieldCurrentThread();
                                         throw std::runtime_error("first");
                                     },
                                     2));
        QVERIFY(others > 0);
        QVERIFY(others < 999);

        std::atomic<int> helped{0};
        QSemaphore helperStarted;
        QVERIFY_THROWS_EXCEPTION(std::logic_error,
                                 RunWithHelpers(
                                     1,
                                     [&] {
                                         ++helped;
                                         helperStarted.release();
                                         throw std::logic_error("helper");
                                     },
                                     [&] { QVERIFY(helperStarted.tryAcquire(1, 10000)); }));
        QCOMPARE(helped.load(), 1);
    }

    // RunWithHelpers returns only after every helper it started has returned.
    void helpersJoined() {
        AllowWorkerThreads(4);
        std::atomic<int> finished{0};
        RunWithHelpers(
            3,
            [&] {
                QThread::msleep(20);
                ++finished;
            },
            [] {});
        const int started = finished.load();
        QVERIFY(started >= 1);
        QThread::msleep(50);
        QCOMPARE(finished.load(), started);
    }
};

QTEST_GUILESS_MAIN(TestParallel)
#include "tst_parallel.moc"
