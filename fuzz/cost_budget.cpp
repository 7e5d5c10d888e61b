#include "fuzz/cost_budget.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#if defined(__SANITIZE_ADDRESS__)
#define SKIMLET_COUNT_ALLOCATIONS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SKIMLET_COUNT_ALLOCATIONS 1
#endif
#endif

namespace {

constexpr std::size_t BaseBytes = std::size_t{64} << 20;
constexpr std::size_t BytesPerInputByte = 4;

#ifdef SKIMLET_COUNT_ALLOCATIONS
// The sanitizer's allocator reports every allocation and free of the process, its own threads'
// included; the budget looks only at how far the live bytes rise above where the input began.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*,
                                                                             std::size_t),
                                                         void (*free_hook)(const volatile void*));
extern "C" std::size_t __sanitizer_get_allocated_size(const volatile void* p);

std::atomic<int64_t> live{0};
std::atomic<int64_t> peak{0};

void Allocated(const volatile void*, std::size_t size) {
    const int64_t now = live.fetch_add(int64_t(size), std::memory_order_relaxed) + int64_t(size);
    int64_t seen = peak.load(std::memory_order_relaxed);
    while (now > seen && !peak.compare_exchange_weak(seen, now, std::memory_order_relaxed)) {
    }
}

void Freed(const volatile void* p) {
    live.fetch_sub(int64_t(__sanitizer_get_allocated_size(p)), std::memory_order_relaxed);
}

const bool hooksInstalled = __sanitizer_install_malloc_and_free_hooks(Allocated, Freed) != 0;

int64_t StartCounting() {
    const int64_t now = live.load();
    peak.store(now);
    return now;
}
std::size_t PeakSince(int64_t base) {
    return hooksInstalled ? std::size_t(std::max<int64_t>(0, peak.load() - base)) : 0;
}
#else
int64_t StartCounting() {
    return 0;
}
std::size_t PeakSince(int64_t) {
    return 0;
}
#endif

// The processor time of all the process's threads: a fuzzer run at the lowest priority on a busy
// machine waits for the processor far longer than it uses it, and only the use is the input's.
std::chrono::nanoseconds ProcessorTime() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

}  // namespace

CostBudget::CostBudget(std::size_t inputBytes)
    : inputBytes_(inputBytes), base_(StartCounting()), start_(ProcessorTime()) {}

CostBudget::~CostBudget() {
    const std::size_t peakBytes = PeakSince(base_);
    const std::size_t allowed = BaseBytes + BytesPerInputByte * inputBytes_;
    if (peakBytes > allowed) {
        std::fprintf(stderr,
                     "cost budget: %zu bytes at the peak for an input of %zu (at most %zu)\n",
                     peakBytes, inputBytes_, allowed);
        std::abort();
    }
    const auto taken = ProcessorTime() - start_;
#ifdef SKIMLET_FUZZING
    // Only the libFuzzer programs keep time: the replays under the tests are never timed.
    const auto allowedTime =
        std::chrono::milliseconds(250) + std::chrono::milliseconds(inputBytes_ / 100'000);
    if (taken > allowedTime) {
        std::fprintf(stderr, "cost budget: %lld ms for an input of %zu bytes (at most %lld ms)\n",
                     static_cast<long long>(
                         std::chrono::duration_cast<std::chrono::milliseconds>(taken).count()),
                     inputBytes_, static_cast<long long>(allowedTime.count()));
        std::abort();
    }
#else
    (void)taken;
#endif
}
