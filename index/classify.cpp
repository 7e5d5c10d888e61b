#include "index/classify.h"

#include "index/platform.h"

const char* const IconKeys[IconKeyCount] = {
    "1logo", "avi",  "bat", "bmp", "c",     "chk",  "com",  "cpp", "cur",  "dbf",
    "dib",   "disk", "dll", "doc", "docx",  "exe",  "fund", "gif", "h",    "hlp",
    "htm",   "html", "inf", "ini", "isdir", "jpeg", "jpg",  "lib", "lnk",  "log",
    "mp3",   "mp4",  "mpv", "pdf", "png",   "ppt",  "pptx", "rar", "recy", "sys",
    "ttf",   "txt",  "url", "vb",  "wav",   "xls",  "xlsx", "xml", "zip",
};

// A digit (the TypeCategory) and a lower-case extension. Repeats are kept: a later key replaces
// an earlier one, which is how "asf" ends up as video.
const char* const CategoryKeys[CategoryKeyCount] = {
    "1ape",  "1alac",  "1ac3",  "1acc",  "1adt",   "1adts", "1acm",  "1aif",  "1aifc", "1aiff",
    "1asf",  "1asp",   "1asx",  "1au",   "1arm",   "1cda",  "1cdf",  "1cmf",  "1cnf",  "1flac",
    "1flv",  "1ogg",   "1opus", "1m4a",  "1mid",   "1mod",  "1mmf",  "1mif",  "1mp3",  "1wavpack",
    "2arj",  "27z",    "2cab",  "2gz",   "2jar",   "2rar",  "2tar",  "2taz",  "2zip",  "3c",
    "3chm",  "3cpp",   "3doc",  "3docx", "3h",     "3hlp",  "3hpp",  "3htm",  "3html", "3ini",
    "3java", "3mht",   "3pdf",  "3ppt",  "3pdf",   "3rtf",  "3ppt",  "3pptx", "3txt",  "3xlam",
    "3xls",  "3xlsx",  "3ttf",  "3xml",  "3wps",   "4bat",  "4com",  "4msi",  "4exe",  "4cmd",
    "4scr",  "5isdir", "6ani",  "6bmp",  "6gif",   "6ico",  "6jpeg", "6jpg",  "6pic",  "6png",
    "6tag",  "6tif",   "6wmf",  "6webp", "6pcx",   "6tag",  "6exif", "6fpx",  "6svg",  "6psd",
    "6cdr",  "6pcd",   "6dxf",  "6ufo",  "6eps",   "6ai",   "6hdri", "6raw",  "6flic", "6emf",
    "73gp",  "7amr",   "7asf",  "7avi",  "7divx",  "7mkv",  "7mp4",  "7mpe",  "7mpg",  "7mpeg",
    "7rm",   "7ram",   "7rmi",  "7mov",  "7movie", "7vob",  "7swf",  "7ts",   "7wmv",  "7rmvb",
    "7wav",  "7wma",
};

namespace {

std::u16string Widen(const char* text) {
    std::u16string wide;
    for (; *text; ++text) wide.push_back(static_cast<unsigned char>(*text));
    return wide;
}

// Extensions are at most five units, so the lower-cased copy stays within the string's inline
// buffer and classifying allocates nothing.
std::u16string LowerCopy(std::u16string_view text) {
    std::u16string lower(text);
    for (char16_t& c : lower)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return lower;
}

}  // namespace

IconMap BuildIconMap() {
    IconMap icons;
    for (int i = 0; i < IconKeyCount; ++i)
        icons[Widen(IconKeys[i])] = ThePlatform().appendIcon(FirstIconResource + i);
    return icons;
}

CategoryMap BuildCategoryMap() {
    CategoryMap categories;
    for (const char* key : CategoryKeys) categories[Widen(key + 1)] = key[0] - '0';
    return categories;
}

std::array<int32_t, IconKeyCount> AppendIcons() {
    std::array<int32_t, IconKeyCount> icons{};
    for (int i = 0; i < IconKeyCount; ++i)
        icons[i] = ThePlatform().appendIcon(FirstIconResource + i);
    return icons;
}

namespace {

// The keys are the program's own, so the maps are made once for the process.
struct KeyMaps {
    CategoryMap categories = BuildCategoryMap();
    std::map<std::u16string, uint8_t> iconKeys;
    uint8_t fallbackIcon = 0;
    KeyMaps() {
        for (int i = 0; i < IconKeyCount; ++i)
            iconKeys[Widen(IconKeys[i])] = static_cast<uint8_t>(i);
        fallbackIcon = iconKeys.at(u"fund");
    }
};

}  // namespace

Classification Classify(std::u16string_view extension) {
    static const KeyMaps maps;
    const std::u16string key = LowerCopy(extension);
    Classification answer;
    auto category = maps.categories.find(key);
    answer.category = category != maps.categories.end() ? static_cast<uint8_t>(category->second)
                                                        : static_cast<uint8_t>(Other);
    auto icon = maps.iconKeys.find(key);
    answer.iconKey = icon != maps.iconKeys.end() ? icon->second : maps.fallbackIcon;
    return answer;
}

EntryClassifier::EntryClassifier() : slots_(SlotCount) {}

Classification EntryClassifier::Of(std::u16string_view extension) {
    if (extension.size() > MaxRememberedLength) return Classify(extension);
    uint32_t hash = static_cast<uint32_t>(extension.size());
    for (char16_t c : extension) hash = hash * 31 + c;
    Remembered& slot = slots_[(hash * 2654435761u >> 16) % SlotCount];
    if (slot.used && std::u16string_view(slot.extension, slot.length) == extension)
        return slot.answer;
    slot.used = true;
    slot.length = static_cast<uint8_t>(extension.size());
    extension.copy(slot.extension, extension.size());
    slot.answer = Classify(extension);
    return slot.answer;
}
