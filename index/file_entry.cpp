#include "index/file_entry.h"

namespace {
constexpr int FirstPackedYear = 1900;
constexpr int MinuteBits = 6, HourBits = 5, DayBits = 5, MonthBits = 4, YearBits = 12;
constexpr int HourShift = MinuteBits, DayShift = HourShift + HourBits,
              MonthShift = DayShift + DayBits, YearShift = MonthShift + MonthBits;
static_assert(YearShift + YearBits == 32);

uint32_t Field(uint32_t packed, int shift, int bits) {
    return (packed >> shift) & ((1u << bits) - 1);
}

void WriteDigits(char16_t* out, uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
        out[i] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    }
}
}  // namespace

uint32_t TimeText::Pack(int year, int month, int day, int hour, int minute) {
    // The year is stored from 1 up, so that 0 stays the empty text.
    const int storedYear = year - FirstPackedYear + 1;
    if (storedYear < 1 || storedYear >= (1 << YearBits) || month < 1 || month > 12 || day < 1 ||
        day > 31 || hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return Empty;
    return static_cast<uint32_t>(storedYear) << YearShift |
           static_cast<uint32_t>(month) << MonthShift | static_cast<uint32_t>(day) << DayShift |
           static_cast<uint32_t>(hour) << HourShift | static_cast<uint32_t>(minute);
}

TimeText::TimeText(uint32_t packed) {
    if (packed == Empty) return;
    WriteDigits(units_, Field(packed, YearShift, YearBits) + FirstPackedYear - 1, 4);
    units_[4] = u'-';
    WriteDigits(units_ + 5, Field(packed, MonthShift, MonthBits), 2);
    units_[7] = u'-';
    WriteDigits(units_ + 8, Field(packed, DayShift, DayBits), 2);
    units_[10] = u' ';
    WriteDigits(units_ + 11, Field(packed, HourShift, HourBits), 2);
    units_[13] = u':';
    WriteDigits(units_ + 14, Field(packed, 0, MinuteBits), 2);
    length_ = Length;
}
