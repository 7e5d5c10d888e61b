// A whole volume image through the raw reader, the record walk, path resolution and the table's
// publication, then every row read.
#include "fuzz/fuzz_volumes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    ResultSet rows(IndexImage({data, size}));
    RunSearch(rows, u"");
    TouchEveryRow(rows);
    return 0;
}
