// A whole volume image through the raw reader, the record walk, path resolution and the table's
// publication, then every row read. The libFuzzer program edits its inputs as hostile volumes
// would differ from sound ones, and falls back to byte edits now and then.
#include "fuzz/cost_budget.h"
#include "fuzz/fuzz_volumes.h"

#ifdef SKIMLET_FUZZING
#include "fuzz/volume_mutator.h"

extern "C" std::size_t LLVMFuzzerMutate(uint8_t* data, std::size_t size, std::size_t maxSize);

extern "C" std::size_t LLVMFuzzerCustomMutator(uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned seed) {
    if (seed % 5 != 0) {
        const std::size_t edited = MutateVolume(data, size, seed);
        if (edited != 0) return edited;
    }
    return LLVMFuzzerMutate(data, size, maxSize);
}
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    CostBudget budget(size);
    ResultSet rows(IndexImage({data, size}));
    RunSearch(rows, u"");
    TouchEveryRow(rows);
    return 0;
}
