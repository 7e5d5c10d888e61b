#include "search/scan_pool.h"

#include <algorithm>

ScanPool& ScanPool::Shared() {
    static ScanPool pool(std::clamp(std::thread::hardware_concurrency(), 1u, 8u) - 1);
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
        task(index);
        lock.lock();
        if (++finished_ == count_) done_.notify_all();
    }
}

void ScanPool::Run(std::size_t count, const std::function<void(std::size_t)>& task) {
    if (count == 0) return;
    std::lock_guard<std::mutex> turn(runMutex_);
    std::unique_lock<std::mutex> lock(mutex_);
    task_ = &task;
    next_ = 0;
    count_ = count;
    finished_ = 0;
    ++batch_;
    if (count > 1) wake_.notify_all();
    Drain(lock);
    done_.wait(lock, [&] { return finished_ == count_; });
    task_ = nullptr;
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
