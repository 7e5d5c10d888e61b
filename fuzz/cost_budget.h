// What one fuzz input may cost: 64 MiB plus four times its bytes of memory at the peak, and, in
// the libFuzzer programs, a quarter of a second of processor time plus one second per 100 MB. An
// input that costs far more than it holds is a finding like a crash: the budget aborts, and
// libFuzzer saves it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

class CostBudget {
  public:
    explicit CostBudget(std::size_t inputBytes);
    CostBudget(const CostBudget&) = delete;
    CostBudget& operator=(const CostBudget&) = delete;
    // Checks the peak and the processor time taken since construction.
    ~CostBudget();

  private:
    std::size_t inputBytes_;
    int64_t base_;
    std::chrono::nanoseconds start_;
};
