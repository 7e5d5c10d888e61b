#include "tests/support/size_key.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "index/utf8.h"

TEST(SizeKey, ReadsTheTextLikeTheCLibrary) {
    struct Case {
        std::u16string text;
        int64_t key;
    } cases[] = {
        {u"", 0},
        {u"0 KB", 0},
        {u"1 KB", 1},
        {u"1,234 KB", 1234},
        {u"4,883 KB", 4883},
        {u"1,234,567 KB", 1234567},
        {u"2,147,483,647 KB", 2147483647},
        {u"2,147,483,648 KB", 2147483648},  // no longer clamped at 32 bits
        {u"17,179,869,184 KB", 17179869184},
        {u"9,223,372,036,854,775,807 KB", std::numeric_limits<int64_t>::max()},
        {u"99,999,999,999,999,999,999 KB", std::numeric_limits<int64_t>::max()},
        {u"-9,223,372,036,854,775,808 KB", std::numeric_limits<int64_t>::min()},
        {u"-99,999,999,999,999,999,999 KB", std::numeric_limits<int64_t>::min()},
        {u"-5 KB", -5},
        {u"+5 KB", 5},
        {u"  \t12 KB", 12},
        {u"1,2,3 KB", 123},
        {u",-,5 KB", -5},
        {u"12x3 KB", 12},
        {u"x12 KB", 0},
        {u"- 5 KB", 0},
        {u"KB", 0},
        {u"12", 0},
        {u"123", 0},
        {u"1234", 1},
        {u"12 KBX", 12},  // the last three units go whatever they are
        {u"１２ KB", 0},  // fullwidth digits are no digits
    };
    for (const Case& c : cases) EXPECT_EQ(SizeKey(c.text), c.key) << ToUtf8(c.text);
}
