// File records as the driver hands them out (update sequence applied) through the record walk:
// the input is cut into 1 KiB records numbered from 36 up, so that extension records and their
// base records, and names of one record spread over several, meet in the walk.
#include <algorithm>
#include <cstring>

#include "fuzz/cost_budget.h"
#include "fuzz/fuzz_volumes.h"
#include "index/index_build.h"

namespace {

constexpr uint32_t RecordSize = 1024;
constexpr uint64_t FirstRecord = 36;
constexpr std::size_t MaxRecords = 8;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    CostBudget budget(size);
    const std::size_t count = std::min(MaxRecords, (size + RecordSize - 1) / RecordSize);
    VolumeSource source;
    source.volumeData = [count](NtfsVolumeData& volume) {
        volume.BytesPerFileRecordSegment = RecordSize;
        volume.MftValidDataLength = static_cast<int64_t>((FirstRecord + count) * RecordSize);
        return true;
    };
    source.recordAtOrBelow = [&](uint64_t n, uint64_t& number, std::span<uint8_t> record) {
        std::fill(record.begin(), record.end(), 0);
        if (n < FirstRecord) {
            number = 0;
            return true;
        }
        number = std::min<uint64_t>(n, FirstRecord + count - 1);
        const std::size_t at = static_cast<std::size_t>(number - FirstRecord) * RecordSize;
        std::memcpy(record.data(), data + at, std::min<std::size_t>(RecordSize, size - at));
        return true;
    };
    VolumeOpener open = [&source](std::u16string_view) { return source; };
    ResultSet rows(Publish(BuildIndex({u"\\\\.\\C:"}, open)));
    RunSearch(rows, u"");
    TouchEveryRow(rows);
    return 0;
}
