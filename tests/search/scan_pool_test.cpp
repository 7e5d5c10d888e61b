#include "search/scan_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

// Holds the first `count` tasks that reach it until all of them have, so that each thread of the
// pool, the caller included, is running exactly one of them at once.
class Gate {
  public:
    explicit Gate(std::size_t count) : count_(count) {}
    // False when the others did not come (a bound instead of a hang).
    bool Pass() {
        std::unique_lock<std::mutex> lock(mutex_);
        if (++arrived_ == count_) changed_.notify_all();
        return changed_.wait_for(lock, std::chrono::seconds(10),
                                 [&] { return arrived_ >= count_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t arrived_ = 0;
    const std::size_t count_;
};

// What the tasks of one Run did.
struct Tally {
    explicit Tally(std::size_t count) : ran(count) {}
    void ExpectEachRanOnce(const std::string& what) const {
        for (std::size_t i = 0; i < ran.size(); ++i)
            EXPECT_EQ(ran[i].load(), 1) << what << " task " << i;
    }
    std::vector<std::atomic<int>> ran;
    std::atomic<bool> gateHeld{true};
};

enum class Thrower { None, Caller, OneWorker, Everyone };

}  // namespace

// A task's exception reaches the caller of Run once, whichever thread threw it, and only after
// every task has finished: none of them may still be reading the task.
TEST(ScanPool, AThrowingTaskReachesTheCallerOnceAfterEveryTask) {
    struct Case {
        const char* what;
        unsigned workers;
        Thrower thrower;
        std::size_t count;  // the first workers + 1 of them pass a Gate
    } cases[] = {
        {"nobody", 3, Thrower::None, 20},
        {"caller, no workers", 0, Thrower::Caller, 5},
        {"caller, one worker", 1, Thrower::Caller, 6},
        {"worker, one worker", 1, Thrower::OneWorker, 6},
        {"caller, three workers", 3, Thrower::Caller, 20},
        {"worker, three workers", 3, Thrower::OneWorker, 20},
        {"every thread, three workers", 3, Thrower::Everyone, 20},
    };
    for (const Case& c : cases) {
        ScanPool pool(c.workers);
        const std::size_t threads = c.workers + 1;
        Gate gate(threads);
        Tally tally(c.count);
        std::atomic<int> finished{0};
        std::atomic<bool> workerThrew{false};
        const std::thread::id caller = std::this_thread::get_id();
        // Held on the heap and freed the moment Run ends, so a worker still reading it would be
        // caught by the sanitizer as well as by the count.
        auto task = std::make_unique<std::function<void(std::size_t)>>([&](std::size_t i) {
            ++tally.ran[i];
            if (i < threads && !gate.Pass()) tally.gateHeld = false;
            const bool onCaller = std::this_thread::get_id() == caller;
            bool toThrow = false;
            if (i < threads) {
                switch (c.thrower) {
                    case Thrower::None:
                        break;
                    case Thrower::Caller:
                        toThrow = onCaller;
                        break;
                    case Thrower::OneWorker:
                        toThrow = !onCaller && !workerThrew.exchange(true);
                        break;
                    case Thrower::Everyone:
                        toThrow = true;
                        break;
                }
            }
            // The others are still busy when the thrower leaves.
            if (!toThrow) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            ++finished;
            if (toThrow) throw std::runtime_error(onCaller ? "caller" : "worker");
        });
        int caught = 0;
        std::string message;
        try {
            pool.Run(c.count, *task);
        } catch (const std::runtime_error& error) {
            ++caught;
            message = error.what();
        }
        EXPECT_EQ(finished.load(), static_cast<int>(c.count)) << c.what;
        task.reset();
        EXPECT_TRUE(tally.gateHeld) << c.what;
        EXPECT_EQ(caught, c.thrower == Thrower::None ? 0 : 1) << c.what;
        if (c.thrower == Thrower::Caller || c.thrower == Thrower::OneWorker) {
            EXPECT_EQ(message, c.thrower == Thrower::Caller ? "caller" : "worker") << c.what;
        }
        tally.ExpectEachRanOnce(c.what);

        // The pool is whole again for the next search.
        Tally next(40);
        pool.Run(40, [&](std::size_t i) { ++next.ran[i]; });
        next.ExpectEachRanOnce(std::string(c.what) + ", the Run after");
    }
}

// A task may itself run a batch on the pool, on a worker or on the calling thread: the inner
// batch runs inline and all of its tasks run, and an inner exception travels out as any other.
TEST(ScanPool, ARunFromInsideATaskRunsEveryInnerTask) {
    struct Case {
        const char* what;
        unsigned workers;
        std::size_t outer, inner;
        int depth;         // Runs nested inside each outer task
        bool innerThrows;  // the last innermost task of each outer task throws
    } cases[] = {
        {"no workers", 0, 3, 4, 1, false},
        {"one worker", 1, 4, 7, 1, false},
        {"three workers", 3, 10, 5, 1, false},
        {"three workers, twice nested", 3, 4, 3, 2, false},
        {"three workers, inner throws", 3, 8, 4, 1, true},
    };
    for (const Case& c : cases) {
        ScanPool pool(c.workers);
        const std::size_t held = std::min<std::size_t>(c.workers + 1, c.outer);
        Gate gate(held);
        std::size_t perOuter = 1;
        for (int d = 0; d < c.depth; ++d) perOuter *= c.inner;
        Tally inner(c.outer * perOuter);
        std::atomic<int> outerRan{0};
        // Runs the batches below `level`; `first` is the number of the first innermost task.
        std::function<void(int, std::size_t, std::size_t)> nest = [&](int level, std::size_t first,
                                                                      std::size_t span) {
            pool.Run(c.inner, [&, level, first, span](std::size_t i) {
                const std::size_t part = span / c.inner;
                if (level + 1 < c.depth) return nest(level + 1, first + i * part, part);
                ++inner.ran[first + i];
                if (c.innerThrows && i + 1 == c.inner) throw std::runtime_error("inner");
            });
        };
        int caught = 0;
        try {
            pool.Run(c.outer, [&](std::size_t o) {
                // Every thread of the pool holds an outer task before any goes on, so the inner
                // batches start on the workers and on the caller alike.
                if (o < held && !gate.Pass()) inner.gateHeld = false;
                ++outerRan;
                nest(0, o * perOuter, perOuter);
            });
        } catch (const std::runtime_error& error) {
            ++caught;
            EXPECT_EQ(std::string(error.what()), "inner") << c.what;
        }
        EXPECT_TRUE(inner.gateHeld) << c.what;
        EXPECT_EQ(outerRan.load(), static_cast<int>(c.outer)) << c.what;
        EXPECT_EQ(caught, c.innerThrows ? 1 : 0) << c.what;
        inner.ExpectEachRanOnce(c.what);
    }
}
