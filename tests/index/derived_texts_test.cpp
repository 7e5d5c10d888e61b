#include "index/derived_texts.h"

#include <gtest/gtest.h>

TEST(SizeText, KilobytesRoundedUp) {
    struct Case {
        uint64_t bytes;
        const char16_t* text;
    } cases[] = {
        {0, u"0 KB"},
        {1, u"1 KB"},
        {1024, u"1 KB"},
        {1025, u"2 KB"},
        {1048576, u"1,024 KB"},
        {5000000, u"4,883 KB"},
        // 2^31 KB and beyond no longer wrap a 32-bit count.
        {uint64_t(1) << 41, u"2,147,483,648 KB"},
        {UINT64_MAX, u"18,014,398,509,481,984 KB"},
    };
    for (const Case& c : cases) EXPECT_EQ(SizeTextFor(c.bytes), c.text) << c.bytes;
}

TEST(Extension, KeyFromTheLastDot) {
    struct Case {
        const char16_t* name;
        bool isFolder;
        const char16_t* extension;
    } cases[] = {
        {u"Report.PDF", false, u"PDF"},     {u"a.b.c.Doc", false, u"DOC"},
        {u"Makefile", false, u"NOEXT"},     {u"notes.markdown", false, u"NOEXT"},
        {u"data.backup", false, u"NOEXT"},  {u".profile", false, u"NOEXT"},
        {u".txt", false, u"TXT"},           {u"x.", false, u""},
        {u"archive.tar.gz", false, u"GZ"},  {u"photo.jpeg", false, u"JPEG"},
        {u"été.éa", false, u"éA"},          {u"my.folder", true, u"ISDIR"},
        {u"Program Files", true, u"ISDIR"},
    };
    for (const Case& c : cases) EXPECT_EQ(ExtensionFor(c.name, c.isFolder), c.extension);
}
