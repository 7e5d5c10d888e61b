// A few threads kept for the program's life, so a keystroke can scan slices of the table on
// every core without starting a thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class ScanPool {
  public:
    // One worker fewer than the processor has threads (the caller is the other).
    static ScanPool& Shared();

    explicit ScanPool(unsigned workers);
    ~ScanPool();
    ScanPool(const ScanPool&) = delete;
    ScanPool& operator=(const ScanPool&) = delete;

    unsigned Workers() const { return static_cast<unsigned>(threads_.size()); }
    // Runs task(0) to task(count - 1), the calling thread taking part, and returns when all have
    // finished. Calls from several threads take turns; a call from inside a task, on a worker or
    // on the calling thread, runs its tasks inline. When tasks throw, every other task still runs
    // and the first exception is passed on to the caller once all have finished.
    void Run(std::size_t count, const std::function<void(std::size_t)>& task);

  private:
    void Work();
    // Runs tasks of the current batch until none is left; `lock` holds mutex_.
    void Drain(std::unique_lock<std::mutex>& lock);

    std::mutex runMutex_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    const std::function<void(std::size_t)>* task_ = nullptr;
    std::exception_ptr error_;  // the batch's first exception
    std::size_t next_ = 0;
    std::size_t count_ = 0;
    std::size_t finished_ = 0;
    uint64_t batch_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};
