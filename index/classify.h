// Type category and icon of an entry, found from its extension key through two fixed tables.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "index/file_entry.h"

enum TypeCategory : int32_t {
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

constexpr int IconKeyCount = 49;
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

// Sets Category and IconIndex from the entry's Extension.
void ClassifyEntry(FileEntry& entry, const IconMap& icons, const CategoryMap& categories);

// ClassifyEntry for a whole volume: a volume has few distinct extensions, so the answers are
// remembered in a small direct-mapped cache instead of looked up in the maps again. The maps
// must outlive it.
class EntryClassifier {
  public:
    EntryClassifier(const IconMap& icons, const CategoryMap& categories);
    void Classify(FileEntry& entry);

  private:
    static constexpr std::size_t SlotCount = 256;
    static constexpr std::size_t MaxRememberedLength = 8;
    struct Remembered {
        bool used = false;
        uint8_t length = 0;
        char16_t extension[MaxRememberedLength] = {};
        int32_t category = 0;
        int32_t iconIndex = 0;
    };
    const IconMap& icons_;
    const CategoryMap& categories_;
    std::vector<Remembered> slots_;
};
