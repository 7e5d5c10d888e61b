#include "index/file_entry.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::size_t ArenaChunkUnits = 1 << 20;
}

char16_t* TextArena::Reserve(std::size_t units) {
    if (units > left_) {
        std::size_t size = std::max(units, ArenaChunkUnits);
        chunks_.push_back(std::make_unique<char16_t[]>(size));
        next_ = chunks_.back().get();
        left_ = size;
        bytesUsed_ += size * sizeof(char16_t);
    }
    char16_t* out = next_;
    next_ += units;
    left_ -= units;
    return out;
}

const char16_t* TextArena::Adopt(std::u16string text) {
    bytesUsed_ += text.capacity() * sizeof(char16_t);
    adopted_.push_back(std::make_unique<std::u16string>(std::move(text)));
    return adopted_.back()->data();
}

const char16_t* TextArena::Store(std::u16string_view text) {
    return Store(text, {}, {});
}

const char16_t* TextArena::Store(std::u16string_view first, std::u16string_view second,
                                 std::u16string_view third) {
    std::size_t total = first.size() + second.size() + third.size();
    if (total == 0) return u"";
    char16_t* out = Reserve(total);
    std::copy(first.begin(), first.end(), out);
    std::copy(second.begin(), second.end(), out + first.size());
    std::copy(third.begin(), third.end(), out + first.size() + second.size());
    return out;
}

const char16_t* FileEntry::StoreExtensionAndSize(TextArena& arena, std::u16string_view extension,
                                                 std::u16string_view sizeText,
                                                 int64_t sizeKilobytes) {
    char16_t number[std::size(NoExtensionAndSize)];
    std::memcpy(number, &sizeKilobytes, sizeof sizeKilobytes);
    return arena.Store(extension, sizeText, std::u16string_view(number, std::size(number)));
}

void FileEntry::SetOwnTexts(TextArena& arena, std::u16string_view name,
                            std::u16string_view extension, std::u16string_view sizeText,
                            int64_t sizeKilobytes) {
    name = name.substr(0, MaxTextLength);
    extension = extension.substr(0, MaxTextLength);
    sizeText = sizeText.substr(0, MaxTextLength);
    SetName(arena.Store(name), name.size());
    SetExtensionAndSize(StoreExtensionAndSize(arena, extension, sizeText, sizeKilobytes),
                        extension.size(), sizeText.size());
}

std::u16string FileEntry::FullPath() const {
    std::u16string path;
    path.reserve(folderLength_ + 1 + nameLength_);
    path.append(FolderPath());
    path.push_back(u'\\');
    path.append(Name());
    return path;
}

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
