// The one way the build runs work on several threads: a piece of work is cut into slices, and the
// slices run on the calling thread and on as many further threads as a budget shared by the whole
// build spares, fan-outs started from inside a slice included.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>

// Bounds the slices' own arenas, caches and blocks whatever count is asked for; more slices than
// cores would only add joins.
constexpr unsigned MaxSlices = 64;

// The slices `items` are cut into: `wanted`, but none of fewer than `minItems` items, and from 1
// to MaxSlices.
unsigned SliceCount(std::size_t wanted, std::size_t items, std::size_t minItems);

// Starts a thread that runs `body`; throws std::system_error when none can be started.
using ThreadStarter = std::function<std::thread(std::function<void()> body)>;

// How many threads may run slices at once, the thread that starts the build included.
class ThreadBudget {
  public:
    // `threads` is held to 1 to MaxSlices; `start` is a seam for tests (empty: std::thread).
    explicit ThreadBudget(unsigned threads, ThreadStarter start = {});
    ThreadBudget(const ThreadBudget&) = delete;
    ThreadBudget& operator=(const ThreadBudget&) = delete;

  private:
    friend void RunSlices(ThreadBudget& budget, std::size_t count,
                          const std::function<void(std::size_t slice)>& task);
    // Up to `wanted` further threads, as many as are spare.
    unsigned Take(unsigned wanted);
    void Give(unsigned threads);

    const unsigned threads_;
    ThreadStarter start_;
    std::mutex mutex_;
    unsigned spare_;
};

// Runs task(0) to task(count - 1), each exactly once, and returns when all have ended. The calling
// thread and each further thread the budget grants take the next slice until none is left, so
// slices start in ascending order. A thread that cannot be started writes "Error creating
// thread!" and starts no further one here; its slices run on the threads that did start, at
// worst all on the calling thread. An exception of a task is passed on, the first one if several
// throw, once every slice has run.
void RunSlices(ThreadBudget& budget, std::size_t count,
               const std::function<void(std::size_t slice)>& task);
