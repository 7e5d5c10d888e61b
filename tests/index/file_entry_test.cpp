#include "index/file_entry.h"

#include <gtest/gtest.h>

#include "index/format_count.h"
#include "index/utf8.h"

TEST(FormatCount, GroupsOfThreeFromTheRight) {
    struct Case {
        int64_t value;
        const char16_t* text;
    } cases[] = {
        {0, u"0"},
        {7, u"7"},
        {999, u"999"},
        {1000, u"1,000"},
        {1234, u"1,234"},
        {12345, u"12,345"},
        {123456, u"123,456"},
        {1234567, u"1,234,567"},
        {-1234, u"-1,234"},
        {INT64_MAX, u"9,223,372,036,854,775,807"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatCount(c.value), c.text) << c.value;
    EXPECT_EQ(FormatCount(UINT64_MAX), u"18,446,744,073,709,551,615");
}

TEST(FileEntry, TextsAreSharedByCopies) {
    TextArena arena;
    FileEntry entry;
    entry.SetOwnTexts(arena, u"notes.txt", u"TXT", u"12 KB");
    const char16_t* folder = arena.Store(u"C:\\Users\\Public");
    entry.SetFolderPath(folder, 15);
    FileEntry copy = entry;
    EXPECT_EQ(copy.Name(), u"notes.txt");
    EXPECT_EQ(copy.Extension(), u"TXT");
    EXPECT_EQ(copy.SizeText(), u"12 KB");
    EXPECT_EQ(copy.FolderPath(), u"C:\\Users\\Public");
    EXPECT_EQ(copy.FullPath(), u"C:\\Users\\Public\\notes.txt");
    EXPECT_EQ(copy.Name().data(), entry.Name().data());
    EXPECT_TRUE(copy.CreatedText().empty());
}

TEST(Utf8, RoundTripsAndReplacesBrokenUnits) {
    struct Case {
        std::u16string utf16;
        std::string utf8;
    } cases[] = {
        {u"abc", "abc"},
        {u"搜索", "\xE6\x90\x9C\xE7\xB4\xA2"},
        {u"\U0001F600", "\xF0\x9F\x98\x80"},
        {u"é", "\xC3\xA9"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToUtf8(c.utf16), c.utf8);
        EXPECT_EQ(FromUtf8(c.utf8), c.utf16);
    }
    EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(FromUtf8("\xFFx"), u"\uFFFDx");
    EXPECT_EQ(FromUtf8("\xE6\x90"), u"\uFFFD\uFFFD");
}
