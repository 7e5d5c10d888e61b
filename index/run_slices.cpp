#include "index/run_slices.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <system_error>
#include <vector>

#include "index/platform.h"

unsigned SliceCount(std::size_t wanted, std::size_t items, std::size_t minItems) {
    return static_cast<unsigned>(std::clamp<std::size_t>(
        std::min(wanted, items / std::max<std::size_t>(minItems, 1)), 1, MaxSlices));
}

ThreadBudget::ThreadBudget(unsigned threads, ThreadStarter start)
    : threads_(std::clamp(threads, 1u, MaxSlices)),
      start_(start ? std::move(start)
                   : [](std::function<void()> body) { return std::thread(std::move(body)); }),
      spare_(threads_ - 1) {}

unsigned ThreadBudget::Take(unsigned wanted) {
    std::lock_guard<std::mutex> lock(mutex_);
    const unsigned taken = std::min(wanted, spare_);
    spare_ -= taken;
    return taken;
}

void ThreadBudget::Give(unsigned threads) {
    std::lock_guard<std::mutex> lock(mutex_);
    spare_ += threads;
}

void RunSlices(ThreadBudget& budget, std::size_t count,
               const std::function<void(std::size_t slice)>& task) {
    std::atomic<std::size_t> next{0};
    std::mutex errorMutex;
    std::exception_ptr error;
    auto runSlices = [&] {
        for (std::size_t slice; (slice = next.fetch_add(1)) < count;) {
            try {
                task(slice);
            } catch (...) {
                std::lock_guard<std::mutex> lock(errorMutex);
                if (!error) error = std::current_exception();
            }
        }
    };
    std::vector<std::thread> helpers;
    helpers.reserve(budget.threads_ - 1);
    const std::size_t further = count > 1 ? count - 1 : 0;
    const unsigned granted =
        budget.Take(static_cast<unsigned>(std::min<std::size_t>(further, MaxSlices)));
    for (unsigned started = 0; started < granted; ++started) {
        try {
            // A helper hands its thread back as soon as no slice is left, for a fan-out that
            // starts later elsewhere in the build.
            helpers.push_back(budget.start_([&] {
                runSlices();
                budget.Give(1);
            }));
        } catch (const std::system_error&) {
            ThePlatform().diagnostic("Error creating thread!");
            budget.Give(granted - started);
            break;
        }
    }
    runSlices();
    for (std::thread& helper : helpers) helper.join();
    if (error) std::rethrow_exception(error);
}
