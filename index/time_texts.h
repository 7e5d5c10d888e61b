// The time texts of entries: one value at a time, or a whole volume through a cached formatter.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "index/file_entry.h"
#include "index/platform.h"

// "%Y-%m-%d %H:%M" of a FILETIME in local time (ThePlatform().localTime). Empty outside
// 1970-01-01 00:00:00 to 3000-12-31 23:59:59 UTC, the range every platform's conversion handles,
// and when the conversion fails.
std::u16string TimeTextFor(uint64_t filetime);

// TimeTextFor for a whole volume, as TimeText::Pack values. Asking the C library per entry is
// far too slow for millions of entries, so the local offset is asked once per UTC day (per hour
// on a day the zone's rules change) and the date is worked out here. Offsets are kept for the
// formatter's life and a later change of the time zone is not seen: one formatter, one build.
class TimeTextFormatter {
  public:
    // TimeText::Empty for the empty text.
    uint32_t Text(uint64_t filetime);

  private:
    static constexpr int32_t NotLinear = INT32_MIN;
    static constexpr int32_t Unknown = INT32_MIN + 1;
    static constexpr int SpansPerChunk = 4096;
    // Offsets by UTC day or hour in lazily made chunks: flat lookups, memory only for the years
    // used.
    struct Spans {
        int64_t seconds;
        std::vector<std::unique_ptr<int32_t[]>> chunks;
    };
    static int32_t OffsetOf(Spans& spans, int64_t span);
    bool LocalTime(uint64_t filetime, CivilTime& local);

    Spans days_{86400, {}};
    Spans hours_{3600, {}};
    // Year, month and day of each local day from the day before 1970, packed; 0 until needed.
    static constexpr uint32_t UnknownDate = 0;
    std::vector<uint32_t> dates_;
};
