// The FileEntry record, the arena its texts live in, and the text helpers shared by the core.
#pragma once

#include <cstdint>
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
    std::size_t BytesUsed() const { return bytesUsed_; }

  private:
    char16_t* Reserve(std::size_t units);
    std::vector<std::unique_ptr<char16_t[]>> chunks_;
    char16_t* next_ = nullptr;
    std::size_t left_ = 0;
    std::size_t bytesUsed_ = 0;
};

// One file or folder of an indexed volume, a finished display record. The fourteen fields, in
// their order: RecordNumber, ParentRecordNumber, Name, IsFolder, SizeText, Created, CreatedText,
// Modified, ModifiedText, FullPath, FolderPath, Extension, IconIndex, Category. Texts are views
// into arenas kept alive with the table; FullPath is FolderPath, a backslash and Name, so it is
// composed on request rather than stored a second time.
struct FileEntry {
    uint64_t RecordNumber = 0;
    uint64_t ParentRecordNumber = 0;
    uint64_t Created = 0;
    uint64_t Modified = 0;
    // The number SizeText shows (kilobytes rounded up; 0 for a folder), so that sorting by size
    // reads a number instead of parsing the text.
    int64_t SizeKilobytes = 0;

    std::u16string_view Name() const { return {ownText_, nameLength_}; }
    std::u16string_view SizeText() const {
        return {ownText_ + nameLength_ + extensionLength_, sizeLength_};
    }
    std::u16string_view CreatedText() const { return TimeText(createdText_); }
    std::u16string_view ModifiedText() const { return TimeText(modifiedText_); }
    std::u16string FullPath() const;
    std::u16string_view FolderPath() const { return {folderText_, folderLength_}; }
    std::u16string_view Extension() const { return {ownText_ + nameLength_, extensionLength_}; }

    // Name, Extension and SizeText are stored back to back in one arena block.
    void SetOwnTexts(TextArena& arena, std::u16string_view name, std::u16string_view extension,
                     std::u16string_view sizeText);
    // Time texts are either empty (nullptr) or exactly TimeTextLength units, usually interned.
    void SetTimeTexts(const char16_t* created, const char16_t* modified) {
        createdText_ = created;
        modifiedText_ = modified;
    }
    // The folder text is shared by every entry of the folder.
    void SetFolderPath(const char16_t* text, std::size_t length) {
        folderText_ = text;
        folderLength_ = static_cast<uint32_t>(length);
    }

    static constexpr std::size_t TimeTextLength = 16;  // "YYYY-MM-DD hh:mm"

    int32_t IconIndex = 0;
    int32_t Category = 0;
    uint8_t IsFolder = 0;

  private:
    static std::u16string_view TimeText(const char16_t* text) {
        return text ? std::u16string_view(text, TimeTextLength) : std::u16string_view();
    }
    // The small fields first, so they share the eight bytes after IsFolder: 88 bytes an entry.
    uint8_t nameLength_ = 0;
    uint8_t extensionLength_ = 0;
    uint8_t sizeLength_ = 0;
    uint32_t folderLength_ = 0;
    const char16_t* ownText_ = u"";
    const char16_t* createdText_ = nullptr;
    const char16_t* modifiedText_ = nullptr;
    const char16_t* folderText_ = u"";
};
