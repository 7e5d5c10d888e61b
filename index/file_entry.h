// The FileEntry record: the numbers the table keeps for each file and folder. Its texts live in
// the table's stores (file_table.h) or are made on request from these numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A time text as the list shows it, "YYYY-MM-DD hh:mm", or empty, written from the local minute
// it names packed in 32 bits.
class TimeText {
  public:
    static constexpr std::size_t Length = 16;
    static constexpr uint32_t Empty = 0;
    // Years 1900 to 5994 fit, a wide margin around the FILETIMEs the build converts; any other
    // date, or a field out of its range, packs as Empty.
    static uint32_t Pack(int year, int month, int day, int hour, int minute);
    explicit TimeText(uint32_t packed);
    std::u16string_view View() const { return {units_, length_}; }

  private:
    char16_t units_[Length] = {};
    std::size_t length_ = 0;
};

// The icon keys, each with its icon (classify.h); an entry keeps the index of its key.
constexpr int IconKeyCount = 49;

// Record numbers are 48 bits on disk, so two of them take twelve bytes instead of sixteen.
class [[gnu::packed]] RecordNumber48 {
  public:
    RecordNumber48() = default;
    explicit RecordNumber48(uint64_t number)
        : low_(static_cast<uint32_t>(number)), high_(static_cast<uint16_t>(number >> 32)) {}
    uint64_t Value() const { return uint64_t{high_} << 32 | low_; }

  private:
    uint32_t low_ = 0;
    uint16_t high_ = 0;
};

// One file or folder of an indexed volume: 38 bytes, held once per file of every volume. The
// name, the folder and the category are columns of the table beside the entries, as a keystroke
// streams through them alone; the size and time texts are written when asked for.
struct [[gnu::packed]] FileEntry {
    uint64_t Created = 0;   // FILETIME
    uint64_t Modified = 0;  // FILETIME
    uint64_t Size = 0;      // bytes; 0 for a folder, which shows no size
    RecordNumber48 record;
    RecordNumber48 parent;
    uint8_t iconKey = 0;  // index into IconKeys; the volume maps it to the icon list
    bool isFolder = false;

    uint64_t RecordNumber() const { return record.Value(); }
    uint64_t ParentRecordNumber() const { return parent.Value(); }
    bool IsFolder() const { return isFolder; }
    // The number SizeText shows: kilobytes rounded up, 0 for a folder.
    int64_t SizeKilobytes() const {
        return static_cast<int64_t>(Size / 1024 + (Size % 1024 != 0 ? 1 : 0));
    }
};
static_assert(sizeof(FileEntry) == 38, "the entry is held once per file of every volume");
