// Type category and icon of an entry, found from its extension key through two fixed tables.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "index/file_entry.h"

enum TypeCategory : uint8_t {
    AllTypes = 0,
    Audio = 1,
    Compressed = 2,
    Document = 3,
    Executable = 4,
    Folder = 5,
    Picture = 6,
    Video = 7,
    Other = 8,
};

constexpr int CategoryKeyCount = 122;
constexpr int FirstIconResource = 102;  // icon key i is resource 102 + i
extern const char* const IconKeys[IconKeyCount];
extern const char* const CategoryKeys[CategoryKeyCount];

using IconMap = std::map<std::u16string, int32_t>;
using CategoryMap = std::map<std::u16string, int32_t>;

// Appends the 49 icons to the FileIconList (ThePlatform().appendIcon) and maps each key to the
// index the append returned.
IconMap BuildIconMap();
CategoryMap BuildCategoryMap();
// Appends the 49 icons and returns the index each icon key got.
std::array<int32_t, IconKeyCount> AppendIcons();

// What an extension key ("ISDIR", "NOEXT" or an upper-cased extension) stands for: its
// TypeCategory and the icon key (an index into IconKeys) whose icon it shows.
struct Classification {
    uint8_t category = Other;
    uint8_t iconKey = 0;
};
Classification Classify(std::u16string_view extension);

// Classify for a whole volume: a volume has few distinct extensions, so the answers are
// remembered in a small direct-mapped cache instead of looked up in the maps again.
class EntryClassifier {
  public:
    EntryClassifier();
    Classification Of(std::u16string_view extension);

  private:
    static constexpr std::size_t SlotCount = 256;
    static constexpr std::size_t MaxRememberedLength = 8;
    struct Remembered {
        bool used = false;
        uint8_t length = 0;
        char16_t extension[MaxRememberedLength] = {};
        Classification answer;
    };
    std::vector<Remembered> slots_;
};
