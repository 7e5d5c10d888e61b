#include "index/derived_texts.h"

#include "index/file_entry.h"
#include "index/format_count.h"

int64_t KilobytesFor(uint64_t bytes) {
    // At most 2^54, so the count fits the signed key the orderings compare.
    return static_cast<int64_t>(bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0));
}

std::u16string SizeTextFor(uint64_t bytes) {
    std::u16string text = FormatCount(static_cast<uint64_t>(KilobytesFor(bytes)));
    text += u" KB";
    return text;
}

std::u16string ExtensionFor(std::u16string_view name, bool isFolder) {
    if (isFolder) return u"ISDIR";
    std::size_t dot = name.rfind(u'.');
    if (dot == std::u16string_view::npos) return u"NOEXT";
    std::u16string_view after = name.substr(dot + 1);
    if (after.size() >= 5) return u"NOEXT";
    std::u16string extension(after);
    for (char16_t& c : extension)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    return extension;
}
