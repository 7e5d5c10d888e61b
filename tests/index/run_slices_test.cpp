#include "index/run_slices.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "tests/index/captured_diagnostics.h"

namespace {

// A starter that counts its calls and fails from call `failFrom` on (counted from 0).
struct CountingStarter {
    std::atomic<int> calls{0};
    int failFrom = 1 << 30;

    ThreadStarter Starter() {
        return [this](std::function<void()> body) {
            if (calls++ >= failFrom)
                throw std::system_error(
                    std::make_error_code(std::errc::resource_unavailable_try_again));
            return std::thread(std::move(body));
        };
    }
};

// How often each slice ran, and on which threads.
struct Runs {
    explicit Runs(std::size_t count) : times(count) {}
    void Ran(std::size_t slice) {
        ++times[slice];
        std::lock_guard<std::mutex> lock(mutex);
        threads.push_back(std::this_thread::get_id());
    }
    bool AllOnThisThread() {
        std::lock_guard<std::mutex> lock(mutex);
        for (std::thread::id id : threads)
            if (id != std::this_thread::get_id()) return false;
        return true;
    }
    std::vector<std::atomic<int>> times;
    std::mutex mutex;
    std::vector<std::thread::id> threads;
};

void ExpectEachRanOnce(const Runs& runs, const std::string& what) {
    for (std::size_t slice = 0; slice < runs.times.size(); ++slice)
        EXPECT_EQ(runs.times[slice].load(), 1) << what << " slice " << slice;
}

}  // namespace

TEST(SliceCount, WantedBoundedByItemsAndTheMaximum) {
    struct Case {
        std::size_t wanted, items, minItems;
        unsigned slices;
    } cases[] = {
        {0, 1000, 64, 1},     {1, 1000, 64, 1}, {4, 1000, 64, 4},       {4, 255, 64, 3},
        {4, 63, 64, 1},       {4, 0, 64, 1},    {100, 1 << 20, 64, 64}, {64, 64 * 64, 64, 64},
        {65, 1 << 20, 1, 64}, {8, 5, 0, 5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SliceCount(c.wanted, c.items, c.minItems), c.slices)
            << c.wanted << " " << c.items << " " << c.minItems;
}

TEST(RunSlices, EveryTaskRunsExactlyOnce) {
    struct Case {
        unsigned budget;
        std::size_t count;
        int starts;  // threads started: the budget's spare ones, at most one a further slice
    } cases[] = {
        {1, 0, 0},   {1, 1, 0}, {1, 2, 0}, {1, 100, 0}, {2, 0, 0},      {2, 1, 0}, {2, 2, 1},
        {2, 100, 1}, {4, 2, 1}, {4, 3, 2}, {4, 100, 3}, {64, 1000, 63}, {0, 5, 0}, {200, 3, 2},
    };
    for (const Case& c : cases) {
        const std::string what =
            std::to_string(c.budget) + " threads, " + std::to_string(c.count) + " slices";
        CountingStarter starter;
        ThreadBudget budget(c.budget, starter.Starter());
        Runs runs(c.count);
        RunSlices(budget, c.count, [&](std::size_t slice) { runs.Ran(slice); });
        ExpectEachRanOnce(runs, what);
        EXPECT_EQ(starter.calls.load(), c.starts) << what;
        if (c.starts == 0) {
            EXPECT_TRUE(runs.AllOnThisThread()) << what;
        }
    }
}

// A thread that cannot start leaves its slices to the threads that did, and gives its share of
// the budget back for the next fan-out.
TEST(RunSlices, AThreadThatCannotStartLeavesItsSlicesToTheOthers) {
    struct Case {
        const char* what;
        unsigned budget;
        int failFrom;
        int starts;  // attempts, the failing one included
    } cases[] = {
        {"no thread starts", 4, 0, 1},
        {"the second does not start", 4, 1, 2},
        {"the last does not start", 4, 2, 3},
    };
    for (const Case& c : cases) {
        CapturedDiagnostics diagnostics;
        CountingStarter starter;
        starter.failFrom = c.failFrom;
        ThreadBudget budget(c.budget, starter.Starter());
        Runs runs(50);
        RunSlices(budget, 50, [&](std::size_t slice) { runs.Ran(slice); });
        ExpectEachRanOnce(runs, c.what);
        EXPECT_EQ(starter.calls.load(), c.starts) << c.what;
        if (c.failFrom == 0) {
            EXPECT_TRUE(runs.AllOnThisThread()) << c.what;
        }
        EXPECT_EQ(diagnostics.Lines(), std::vector<std::string>{"Error creating thread!"})
            << c.what;

        // The whole budget is spare again: a fan-out that now can start threads gets them all.
        starter.calls = 0;
        starter.failFrom = 1 << 30;
        Runs again(50);
        RunSlices(budget, 50, [&](std::size_t slice) { again.Ran(slice); });
        ExpectEachRanOnce(again, c.what);
        EXPECT_EQ(starter.calls.load(), static_cast<int>(c.budget) - 1) << c.what;
    }
}

// Fan-outs started from inside a slice draw on the same budget, so no more slices run at once
// than it allows, however deep the nesting.
TEST(RunSlices, NestedFanOutsStayWithinTheBudget) {
    struct Case {
        unsigned budget;
        std::size_t outer, inner;
    } cases[] = {{1, 3, 5}, {2, 4, 8}, {3, 4, 8}, {3, 1, 16}, {5, 8, 3}};
    for (const Case& c : cases) {
        const std::string what = std::to_string(c.budget) + " threads, " + std::to_string(c.outer) +
                                 " x " + std::to_string(c.inner);
        CountingStarter starter;
        ThreadBudget budget(c.budget, starter.Starter());
        std::atomic<int> running{0}, mostRunning{0};
        Runs runs(c.outer * c.inner);
        RunSlices(budget, c.outer, [&](std::size_t o) {
            RunSlices(budget, c.inner, [&](std::size_t i) {
                const int now = ++running;
                for (int most = mostRunning;
                     now > most && !mostRunning.compare_exchange_weak(most, now);) {
                }
                // Long enough for the slices of other threads to overlap with this one.
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                --running;
                runs.Ran(o * c.inner + i);
            });
        });
        ExpectEachRanOnce(runs, what);
        EXPECT_LE(mostRunning.load(), static_cast<int>(c.budget)) << what;
        // The outer fan-out alone asks for every spare thread it can use.
        EXPECT_GE(starter.calls.load(),
                  static_cast<int>(std::min<std::size_t>(c.outer, c.budget)) - 1)
            << what;
    }
}

// Slices start in ascending order, so a slice may wait for a lower one to have begun (the build
// hands out icon sets so) without a deadlock, whatever the number of threads.
TEST(RunSlices, ASliceMayWaitForALowerOne) {
    for (unsigned threads : {1u, 2u, 3u, 8u}) {
        ThreadBudget budget(threads);
        std::mutex mutex;
        std::condition_variable changed;
        std::size_t begun = 0;
        bool stuck = false;
        RunSlices(budget, 40, [&](std::size_t slice) {
            std::unique_lock<std::mutex> lock(mutex);
            // A bound instead of a hang, should the order ever break.
            if (!changed.wait_for(lock, std::chrono::seconds(10), [&] { return begun == slice; }))
                stuck = true;
            begun = slice + 1;
            changed.notify_all();
        });
        EXPECT_FALSE(stuck) << threads;
        EXPECT_EQ(begun, 40u) << threads;
    }
}

// The first exception is passed on once every other slice has run, and the budget is whole
// again afterwards.
TEST(RunSlices, AnExceptionOfATaskReachesTheCallerAfterTheOtherSlices) {
    struct Case {
        unsigned budget;
        std::vector<std::size_t> throwing;
    } cases[] = {
        {1, {0}}, {1, {9}}, {1, {2, 5}}, {4, {0}}, {4, {19}}, {4, {3, 4, 5, 6}}, {8, {7}},
    };
    for (const Case& c : cases) {
        const std::string what = std::to_string(c.budget) + " threads, first throwing " +
                                 std::to_string(c.throwing.front());
        CountingStarter starter;
        ThreadBudget budget(c.budget, starter.Starter());
        Runs runs(20);
        int caught = 0;
        try {
            RunSlices(budget, 20, [&](std::size_t slice) {
                runs.Ran(slice);
                for (std::size_t bad : c.throwing)
                    if (bad == slice) throw std::runtime_error("slice " + std::to_string(slice));
            });
        } catch (const std::runtime_error& error) {
            ++caught;
            // On one thread the slices run in order, so the first to throw is the lowest.
            if (c.budget == 1) {
                EXPECT_EQ(error.what(), "slice " + std::to_string(c.throwing.front()));
            }
        }
        EXPECT_EQ(caught, 1) << what;
        ExpectEachRanOnce(runs, what);

        starter.calls = 0;
        Runs again(20);
        RunSlices(budget, 20, [&](std::size_t slice) { again.Ran(slice); });
        ExpectEachRanOnce(again, what);
        EXPECT_EQ(starter.calls.load(), static_cast<int>(c.budget) - 1) << what;
    }
}
