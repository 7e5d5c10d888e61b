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

// TimeTextFor for a whole volume. Asking the C library per entry is far too slow for millions
// of entries, so the local offset is asked once per UTC hour and the digits are written here;
// texts are interned in `arena`, as many entries share a minute (up to a bound, past which a
// minute's text may be stored again). Offsets are kept for the
// formatter's life and a later change of the time zone is not seen: one formatter, one build.
class TimeTextFormatter {
  public:
    // Up to `maxSlots` / 2 distinct minutes are each stored once (a power of two, at least 4096):
    // a text stored per use costs more than its slot, but past that the table would outgrow what
    // it saves.
    static constexpr std::size_t DefaultMaxSlots = std::size_t{1} << 23;
    explicit TimeTextFormatter(TextArena& arena, std::size_t maxSlots = DefaultMaxSlots)
        : arena_(arena), maxSlots_(maxSlots) {}
    // A text of FileEntry::TimeTextLength units in the arena, or nullptr for the empty text.
    const char16_t* Text(uint64_t filetime);
    // Text() of up to BatchSize values at once: the table slots are fetched ahead, so the
    // memory waits of a batch overlap.
    static constexpr std::size_t BatchSize = 64;
    void Texts(const uint64_t* filetimes, const char16_t** texts, std::size_t count);

  private:
    static constexpr int32_t NotLinear = INT32_MIN;
    static constexpr int32_t Unknown = INT32_MIN + 1;
    static constexpr int HoursPerChunk = 4096;
    struct InternedText {
        int64_t minute = 0;  // 0: free slot
        const char16_t* text = nullptr;
    };
    int32_t OffsetOfHour(int64_t hour);
    bool LocalTime(uint64_t filetime, CivilTime& local);
    // A key > 0 per local minute; 0 when the year has no four-digit text.
    static int64_t MinuteKey(const CivilTime& local);
    const char16_t* Intern(const CivilTime& local, int64_t minute);
    std::size_t HomeSlot(int64_t minute) const;
    // The slot holding `minute`, or the free slot where it belongs.
    InternedText* FreeSlot(int64_t minute);

    TextArena& arena_;
    std::size_t maxSlots_;
    // Offsets by UTC hour in lazily made chunks: flat lookups, memory only for the years used.
    std::vector<std::unique_ptr<int32_t[]>> hourOffsets_;
    // Open addressing by local minute; most values of a volume miss every cache, so a flat
    // table beats a node per text.
    std::vector<InternedText> texts_;
    std::size_t textCount_ = 0;
    int64_t lastMinute_ = -1;
    const char16_t* lastText_ = nullptr;
};
