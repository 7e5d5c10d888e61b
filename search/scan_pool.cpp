#include "search/scan_pool.h"

#include <algorithm>
#include <utility>

namespace {

// Set while this thread runs a task of any pool: a Run from there cannot wait for the pool, whose
// batch waits for that very task, so it runs inline.
thread_local bool InsideTask = false;

// Runs task(index) on this thread as a task of a pool; what it throws goes to `error` unless that
// holds an exception already.
void RunTask(const std::function<void(std::size_t)>& task, std::size_t index,
             std::exception_ptr& error) {
    const bool outer = std::exchange(InsideTask, true);
    try {
        task(index);
    } catch (...) {
        if (!error) error = std::current_exception();
    }
    InsideTask = outer;
}

}  // namespace

ScanPool& ScanPool::Shared() {
    static ScanPool pool(std::max(std::thread::hardware_concurrency(), 1u) - 1);
    return pool;
}

ScanPool::ScanPool(unsigned workers) {
    threads_.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) threads_.emplace_back([this] { Work(); });
}

ScanPool::~ScanPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

void ScanPool::Drain(std::unique_lock<std::mutex>& lock) {
    while (next_ < count_) {
        const std::size_t index = next_++;
        const std::function<void(std::size_t)>& task = *task_;
        lock.unlock();
        std::exception_ptr error;
        RunTask(task, index, error);
        lock.lock();
        if (error && !error_) error_ = std::move(error);
        if (++finished_ == count_) done_.notify_all();
    }
}

void ScanPool::Run(std::size_t count, const std::function<void(std::size_t)>& task) {
    if (count == 0) return;
    std::exception_ptr error;
    if (InsideTask) {
        for (std::size_t index = 0; index < count; ++index) RunTask(task, index, error);
    } else {
        std::lock_guard<std::mutex> turn(runMutex_);
        std::unique_lock<std::mutex> lock(mutex_);
        task_ = &task;
        next_ = 0;
        count_ = count;
        finished_ = 0;
        error_ = nullptr;
        ++batch_;
        if (count > 1) wake_.notify_all();
        Drain(lock);
        // No worker touches `task` after this: every task has finished.
        done_.wait(lock, [&] { return finished_ == count_; });
        task_ = nullptr;
        error = std::exchange(error_, nullptr);
    }
    if (error) std::rethrow_exception(error);
}

void ScanPool::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    uint64_t seen = 0;
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || batch_ != seen; });
        if (stopping_) return;
        seen = batch_;
        Drain(lock);
    }
}
