// Path resolution and time texts of one volume's entries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "index/classify.h"
#include "index/mft_reader.h"
#include "index/platform.h"

// "%Y-%m-%d %H:%M" of a FILETIME in local time (ThePlatform().localTime). Empty outside
// 1970-01-01 00:00:00 to 3000-12-31 23:59:59 UTC, the range every platform's conversion handles,
// and when the conversion fails.
std::u16string TimeTextFor(uint64_t filetime);

// TimeTextFor for a whole volume. Asking the C library per entry is far too slow for millions
// of entries, so the local offset is asked once per UTC hour and the digits are written here;
// texts are interned in `arena`, as many entries share a minute. The time zone is read at
// construction time and through the cache's life, so one formatter serves one build.
class TimeTextFormatter {
  public:
    explicit TimeTextFormatter(TextArena& arena) : arena_(arena) {}
    // A text of FileEntry::TimeTextLength units in the arena, or nullptr for the empty text.
    const char16_t* Text(uint64_t filetime);

  private:
    static constexpr int32_t NotLinear = INT32_MIN;
    int32_t OffsetOfHour(int64_t hour);
    const char16_t* Intern(const CivilTime& local);

    TextArena& arena_;
    int64_t lastHour_ = -1;
    int32_t lastOffset_ = 0;
    std::unordered_map<int64_t, int32_t> hourOffsets_;
    int64_t lastMinute_ = -1;
    const char16_t* lastText_ = nullptr;
    std::unordered_map<int64_t, const char16_t*> texts_;
};

// Fills FolderPath (and so FullPath), CreatedText and ModifiedText of every entry and
// classifies it. The drive is the last two units of the device path ("\\.\C:" gives "C:").
// The parent walk is bounded, so a cycle in a damaged volume cannot hang it.
void ResolvePaths(VolumeEntries& volume, std::u16string_view devicePath, const IconMap& icons,
                  const CategoryMap& categories);
