// The FileEntry record, the arena its texts live in, and the text helpers shared by the core.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Append-only storage for the immutable texts of the table. Pointers handed out stay valid for
// the arena's lifetime; an entry refers to its texts instead of owning them, so copying an entry
// never copies text. Not thread-safe: each volume's worker fills an arena of its own.
class TextArena {
  public:
    const char16_t* Store(std::u16string_view text);
    const char16_t* Store(std::u16string_view first, std::u16string_view second,
                          std::u16string_view third);
    // Keeps `text` for the arena's lifetime and returns where it now lies, so that texts already
    // gathered in one buffer are kept without a copy.
    const char16_t* Adopt(std::u16string text);
    std::size_t BytesUsed() const { return bytesUsed_; }

  private:
    std::vector<std::unique_ptr<std::u16string>> adopted_;
    char16_t* Reserve(std::size_t units);
    std::vector<std::unique_ptr<char16_t[]>> chunks_;
    char16_t* next_ = nullptr;
    std::size_t left_ = 0;
    std::size_t bytesUsed_ = 0;
};

// A time text as the list shows it, "YYYY-MM-DD hh:mm", or empty. An entry keeps only the local
// minute the text names, packed in 32 bits when the table is built (the local time is fixed
// then), so millions of distinct minutes cost no text storage; the digits are written on request.
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

// One file or folder of an indexed volume, a finished display record. The fourteen fields, in
// their order: RecordNumber, ParentRecordNumber, Name, IsFolder, SizeText, Created, CreatedText,
// Modified, ModifiedText, FullPath, FolderPath, Extension, IconIndex, Category. Texts are views
// into storage kept alive with the table; FullPath is FolderPath, a backslash and Name, so it is
// composed on request rather than stored a second time. A volume has few distinct pairs of
// Extension and SizeText, so that pair is one shared block, with the size's number after it.
struct FileEntry {
    uint64_t RecordNumber = 0;
    uint64_t ParentRecordNumber = 0;
    uint64_t Created = 0;
    uint64_t Modified = 0;

    std::u16string_view Name() const { return {name_, nameLength_}; }
    std::u16string_view SizeText() const {
        return {extensionAndSize_ + extensionLength_, sizeLength_};
    }
    TimeText CreatedText() const { return TimeText(createdText_); }
    TimeText ModifiedText() const { return TimeText(modifiedText_); }
    std::u16string FullPath() const;
    std::u16string_view FolderPath() const { return {folderText_, folderLength_}; }
    std::u16string_view Extension() const { return {extensionAndSize_, extensionLength_}; }
    // The number SizeText shows (kilobytes rounded up; 0 for a folder), so that sorting by size
    // reads a number instead of parsing the text.
    int64_t SizeKilobytes() const {
        int64_t kilobytes;
        std::memcpy(&kilobytes, extensionAndSize_ + extensionLength_ + sizeLength_,
                    sizeof kilobytes);
        return kilobytes;
    }

    // Stores the name and the Extension and SizeText block in `arena`.
    void SetOwnTexts(TextArena& arena, std::u16string_view name, std::u16string_view extension,
                     std::u16string_view sizeText, int64_t sizeKilobytes = 0);
    // A block for SetExtensionAndSize: the extension, the size text and the size's number.
    static const char16_t* StoreExtensionAndSize(TextArena& arena, std::u16string_view extension,
                                                 std::u16string_view sizeText,
                                                 int64_t sizeKilobytes);
    // The name is kept where it already lies (at most 255 units, as NTFS names).
    void SetName(const char16_t* text, std::size_t length) {
        name_ = text;
        nameLength_ = static_cast<uint8_t>(std::min<std::size_t>(length, MaxTextLength));
    }
    // `block` holds the Extension, right after it the SizeText, then the number of
    // SizeKilobytes, as StoreExtensionAndSize lays them out.
    void SetExtensionAndSize(const char16_t* block, std::size_t extensionLength,
                             std::size_t sizeLength) {
        extensionAndSize_ = block;
        extensionLength_ =
            static_cast<uint8_t>(std::min<std::size_t>(extensionLength, MaxTextLength));
        sizeLength_ = static_cast<uint8_t>(std::min<std::size_t>(sizeLength, MaxTextLength));
    }
    // Each a TimeText::Pack value.
    void SetTimeTexts(uint32_t created, uint32_t modified) {
        createdText_ = created;
        modifiedText_ = modified;
    }
    // The folder text is shared by every entry of the folder.
    void SetFolderPath(const char16_t* text, std::size_t length) {
        folderText_ = text;
        folderLength_ = static_cast<uint32_t>(length);
    }

    // Names, extensions and size texts are at most this long.
    static constexpr std::size_t MaxTextLength = 255;

  private:
    // An empty extension and size text, and a size of 0.
    static constexpr char16_t NoExtensionAndSize[sizeof(int64_t) / sizeof(char16_t)] = {};
    const char16_t* name_ = u"";
    const char16_t* extensionAndSize_ = NoExtensionAndSize;
    const char16_t* folderText_ = u"";
    uint32_t createdText_ = TimeText::Empty;
    uint32_t modifiedText_ = TimeText::Empty;
    uint32_t folderLength_ = 0;
    uint8_t nameLength_ = 0;
    uint8_t extensionLength_ = 0;
    uint8_t sizeLength_ = 0;

  public:
    // The icon list holds 49 icons per volume read, so an index fits 16 bits for over a
    // thousand volumes; a TypeCategory fits a byte. 80 bytes an entry.
    uint8_t IsFolder = 0;
    uint8_t Category = 0;
    uint16_t IconIndex = 0;
};
static_assert(sizeof(FileEntry) == 80, "the entry is held once per file of every volume");
