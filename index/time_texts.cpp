#include "index/time_texts.h"

#include <algorithm>

namespace {

constexpr uint64_t UnixEpochAsFiletime = 116444736000000000ull;
constexpr uint64_t TicksPerSecond = 10000000;
constexpr int64_t SecondsPerHour = 3600;
constexpr int64_t SecondsPerDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
constexpr int64_t DaysFromCivil(int64_t year, int month, int day) {
    year -= month <= 2;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    int64_t yearOfEra = year - era * 400;
    int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CivilTime CivilFromSeconds(int64_t seconds) {
    int64_t days = seconds / SecondsPerDay;
    int64_t secondOfDay = seconds % SecondsPerDay;
    if (secondOfDay < 0) {
        secondOfDay += SecondsPerDay;
        --days;
    }
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    int64_t dayOfEra = days - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    CivilTime civil;
    civil.day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    civil.month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    civil.year = static_cast<int>(yearOfEra + era * 400 + (civil.month <= 2));
    civil.hour = static_cast<int>(secondOfDay / 3600);
    civil.minute = static_cast<int>(secondOfDay / 60 % 60);
    civil.second = static_cast<int>(secondOfDay % 60);
    return civil;
}

int64_t SecondsFromCivil(const CivilTime& civil) {
    return DaysFromCivil(civil.year, civil.month, civil.day) * SecondsPerDay + civil.hour * 3600 +
           civil.minute * 60 + civil.second;
}

constexpr int64_t LastConvertibleSecond = DaysFromCivil(3001, 1, 1) * SecondsPerDay - 1;

bool UnixSecondsOf(uint64_t filetime, int64_t& seconds) {
    if (filetime < UnixEpochAsFiletime) return false;
    uint64_t unsignedSeconds = (filetime - UnixEpochAsFiletime) / TicksPerSecond;
    if (unsignedSeconds > static_cast<uint64_t>(LastConvertibleSecond)) return false;
    seconds = static_cast<int64_t>(unsignedSeconds);
    return true;
}

uint32_t PackedText(const CivilTime& local) {
    // Only four-digit years have a text.
    if (local.year < 0 || local.year > 9999) return TimeText::Empty;
    return TimeText::Pack(local.year, local.month, local.day, local.hour, local.minute);
}

}  // namespace

int32_t TimeTextFormatter::OffsetOf(Spans& spans, int64_t span) {
    std::size_t chunk = static_cast<std::size_t>(span / SpansPerChunk);
    if (chunk >= spans.chunks.size()) spans.chunks.resize(chunk + 1);
    if (!spans.chunks[chunk]) {
        spans.chunks[chunk] = std::make_unique<int32_t[]>(SpansPerChunk);
        std::fill_n(spans.chunks[chunk].get(), SpansPerChunk, Unknown);
    }
    int32_t& offset = spans.chunks[chunk][span % SpansPerChunk];
    if (offset != Unknown) return offset;
    // The span is linear when the offset at its first and its last second agree; a change of
    // the zone's rules inside it is left to a shorter span, or to the C library.
    int64_t first = span * spans.seconds;
    int64_t last = first + spans.seconds - 1;
    CivilTime atFirst, atLast;
    const auto& localTime = ThePlatform().localTime;
    offset = NotLinear;
    if (localTime(first, atFirst) && localTime(last, atLast)) {
        int64_t firstOffset = SecondsFromCivil(atFirst) - first;
        int64_t lastOffset = SecondsFromCivil(atLast) - last;
        if (firstOffset == lastOffset && firstOffset > Unknown && firstOffset < INT32_MAX)
            offset = static_cast<int32_t>(firstOffset);
    }
    return offset;
}

bool TimeTextFormatter::LocalTime(uint64_t filetime, CivilTime& local) {
    int64_t seconds = 0;
    if (!UnixSecondsOf(filetime, seconds)) return false;
    // Days first: their table stays in the nearest caches for decades of time stamps. A day
    // with a change of the zone's rules is looked at by the hour.
    int32_t offset = OffsetOf(days_, seconds / SecondsPerDay);
    if (offset == NotLinear) offset = OffsetOf(hours_, seconds / SecondsPerHour);
    if (offset == NotLinear) return ThePlatform().localTime(seconds, local);
    // The date of each local day is worked out once: most values of a volume fall on days
    // already seen.
    const int64_t localSeconds = seconds + offset;
    int64_t day = localSeconds / SecondsPerDay;
    int64_t secondOfDay = localSeconds % SecondsPerDay;
    if (secondOfDay < 0) {
        secondOfDay += SecondsPerDay;
        --day;
    }
    // Local days start the day before 1970 and end the day after 3000, unless the C library
    // gives an offset of more than a day, which is not kept.
    if (day < -1 || day > LastConvertibleSecond / SecondsPerDay + 1) {
        local = CivilFromSeconds(localSeconds);
        return true;
    }
    const auto index = static_cast<std::size_t>(day + 1);
    if (index >= dates_.size()) dates_.resize(index + 1, UnknownDate);
    if (dates_[index] == UnknownDate) {
        const CivilTime date = CivilFromSeconds(day * SecondsPerDay);
        dates_[index] = static_cast<uint32_t>(date.year) << 9 |
                        static_cast<uint32_t>(date.month) << 5 | static_cast<uint32_t>(date.day);
    }
    local.year = static_cast<int>(dates_[index] >> 9);
    local.month = static_cast<int>(dates_[index] >> 5 & 15);
    local.day = static_cast<int>(dates_[index] & 31);
    local.hour = static_cast<int>(secondOfDay / 3600);
    local.minute = static_cast<int>(secondOfDay / 60 % 60);
    local.second = static_cast<int>(secondOfDay % 60);
    return true;
}

uint32_t TimeTextFormatter::Text(uint64_t filetime) {
    CivilTime local;
    return LocalTime(filetime, local) ? PackedText(local) : TimeText::Empty;
}

// One value: straight through the C library, no cache.
std::u16string TimeTextFor(uint64_t filetime) {
    int64_t seconds = 0;
    CivilTime local;
    if (!UnixSecondsOf(filetime, seconds) || !ThePlatform().localTime(seconds, local))
        return std::u16string();
    return std::u16string(TimeText(PackedText(local)).View());
}
