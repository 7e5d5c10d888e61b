// A whole volume image through the raw reader, the record walk, path resolution and the table's
// publication, then every row read.
#include "fuzz/fuzz_volumes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    SearchableTable searchable = IndexImage({data, size});
    ResultSet rows(searchable.table);
    RunSearch(searchable, u"", rows);
    TouchEveryRow(rows);
    return 0;
}
