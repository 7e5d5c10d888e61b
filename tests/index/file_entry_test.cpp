#include "index/file_entry.h"

#include <gtest/gtest.h>

#include <set>

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

TEST(TimeText, PacksEveryMinuteOfItsYearsAndNothingElse) {
    struct Case {
        int year, month, day, hour, minute;
        const char16_t* text;  // empty: packs as the empty text
    } cases[] = {
        {2024, 2, 29, 23, 59, u"2024-02-29 23:59"},
        {1970, 1, 1, 0, 0, u"1970-01-01 00:00"},
        {1969, 12, 31, 16, 0, u"1969-12-31 16:00"},  // the epoch seen west of UTC
        {3000, 12, 31, 23, 59, u"3000-12-31 23:59"},
        {3001, 1, 1, 13, 59, u"3001-01-01 13:59"},  // the last convertible second, east of UTC
        {1900, 1, 1, 0, 0, u"1900-01-01 00:00"},
        {5994, 12, 31, 23, 59, u"5994-12-31 23:59"},
        {1899, 12, 31, 23, 59, u""},
        {5995, 1, 1, 0, 0, u""},
        {2024, 0, 1, 0, 0, u""},
        {2024, 13, 1, 0, 0, u""},
        {2024, 1, 0, 0, 0, u""},
        {2024, 1, 32, 0, 0, u""},
        {2024, 1, 1, 24, 0, u""},
        {2024, 1, 1, 0, 60, u""},
        {2024, 1, 1, -1, 0, u""},
    };
    for (const Case& c : cases) {
        const uint32_t packed = TimeText::Pack(c.year, c.month, c.day, c.hour, c.minute);
        EXPECT_EQ(TimeText(packed).View(), c.text) << ToUtf8(c.text) << " " << c.year;
        EXPECT_EQ(packed == TimeText::Empty, *c.text == 0) << c.year;
    }
    // Every field has bits of its own: a day of minutes in each month of two years packs to as
    // many distinct values, none of them empty.
    std::set<uint32_t> seen;
    std::size_t made = 0;
    for (int year : {1999, 2000})
        for (int month = 1; month <= 12; ++month)
            for (int minute = 0; minute < 24 * 60; ++minute, ++made)
                seen.insert(TimeText::Pack(year, month, 1 + minute % 31, minute / 60, minute % 60));
    EXPECT_EQ(seen.size(), made);
    EXPECT_EQ(seen.count(TimeText::Empty), 0u);
}
