#include "index/file_table.h"

#include <gtest/gtest.h>

#include <string>

#include "index/unit_bytes.h"
#include "index/utf8.h"

namespace {

FileEntry EntryOf(uint64_t size, bool isFolder, uint64_t record = 40, uint64_t parent = 5) {
    FileEntry entry;
    entry.Size = size;
    entry.isFolder = isFolder;
    entry.record = RecordNumber48(record);
    entry.parent = RecordNumber48(parent);
    return entry;
}

TEST(UnitBytes, EveryUnitComesBackAndOrderIsUnitOrder) {
    const std::u16string texts[] = {
        u"",
        u"notes.txt",
        u"报告 ünï.docx",
        std::u16string(1, char16_t(0xD800)) + u"lone",  // a lone high surrogate
        std::u16string(1, char16_t(0xDFFF)),
        u"\U0001F600 pair",
        std::u16string(1, char16_t(0x7F)) + char16_t(0x80) + char16_t(0x7FF) + char16_t(0x800) +
            char16_t(0xFFFF),
    };
    for (const std::u16string& text : texts) {
        std::string bytes;
        AppendUnitBytes(bytes, text);
        EXPECT_EQ(bytes.size(), UnitBytesLength(text));
        EXPECT_EQ(UnitsOf(bytes), text) << ToUtf8(text);
        for (const std::u16string& other : texts) {
            std::string otherBytes;
            AppendUnitBytes(otherBytes, other);
            EXPECT_EQ(text < other, bytes < otherBytes) << ToUtf8(text) << " / " << ToUtf8(other);
        }
    }
}

TEST(FileTable, EveryTextReadsBackFromTheNumbersAndStores) {
    const std::u16string longest(255, u'名');
    const std::u16string longPath = u"C:\\" + std::u16string(32764, u'p');
    struct Case {
        const char* what;
        std::u16string name, folder;
        uint64_t size;
        bool isFolder;
        const char16_t* extension;
        const char16_t* sizeText;
        int64_t kilobytes;
    } cases[] = {
        {"a file", u"notes.txt", u"C:\\Users", 12 * 1024, false, u"TXT", u"12 KB", 12},
        {"a folder", u"Projects.2024", u"D:", 0, true, u"ISDIR", u"", 0},
        {"an empty file", u"x.", u"D:", 0, false, u"", u"0 KB", 0},
        {"one byte over", u"a.b.c.Doc", u"D:\\x", 1025, false, u"DOC", u"2 KB", 2},
        {"longest name", longest, longPath, UINT64_MAX, false, u"NOEXT",
         u"18,014,398,509,481,984 KB", 18014398509481984},
        {"not ASCII", u"报告 ünï.docx", u"E:\\资料", 1 << 20, false, u"DOCX", u"1,024 KB", 1024},
    };
    TableColumns columns;
    for (const Case& c : cases) {
        uint32_t folder = 0;
        ASSERT_TRUE(columns.AddFolder(c.folder, folder));
        ASSERT_TRUE(columns.AddRow(EntryOf(c.size, c.isFolder), c.name, 3, folder));
    }
    const FileTable table(std::move(columns), {});
    ASSERT_EQ(table.Size(), std::size(cases));
    for (uint32_t row = 0; row < table.Size(); ++row) {
        const Case& c = cases[row];
        EXPECT_EQ(table.Name(row), c.name) << c.what;
        EXPECT_EQ(table.FolderPath(row), c.folder) << c.what;
        EXPECT_EQ(table.FullPath(row), c.folder + u"\\" + c.name) << c.what;
        EXPECT_EQ(table.Extension(row), c.extension) << c.what;
        EXPECT_EQ(table.SizeText(row), c.sizeText) << c.what;
        EXPECT_EQ(table[row].SizeKilobytes(), c.kilobytes) << c.what;
        EXPECT_EQ(table[row].RecordNumber(), 40u) << c.what;
        EXPECT_EQ(table.Category(row), 3) << c.what;
        EXPECT_TRUE(table.CreatedText(row).View().empty()) << c.what;
    }
}

TEST(RecordNumber48, KeepsFortyEightBits) {
    for (uint64_t number : {uint64_t{0}, uint64_t{36}, uint64_t{0xFFFFFFFF}, uint64_t{1} << 32,
                            (uint64_t{1} << 48) - 1}) {
        EXPECT_EQ(RecordNumber48(number).Value(), number);
        EXPECT_EQ(EntryOf(0, false, number, number).ParentRecordNumber(), number);
    }
}

// The stores' offsets are 32-bit: a text that would pass the limit is refused, never wrapped.
TEST(TableColumns, StoresRefuseToPassTheirLimit) {
    struct Case {
        const char* what;
        std::size_t limit;
        std::size_t rowsKept;
    } cases[] = {
        // " " + "abcd " per row: 1 + 5k bytes after k rows.
        {"room for all", 1 + 5 * 4, 4},
        {"one byte short of the last", 1 + 5 * 4 - 1, 3},
        {"nothing but the opening space", 1, 0},
    };
    for (const Case& c : cases) {
        TableColumns columns;
        std::size_t kept = 0;
        for (int i = 0; i < 4; ++i)
            kept += columns.AddRow(EntryOf(1, false), u"abcd", 8, 0, c.limit);
        EXPECT_EQ(kept, c.rowsKept) << c.what;
        EXPECT_EQ(columns.Rows(), c.rowsKept) << c.what;
        EXPECT_LE(columns.names.size(), c.limit) << c.what;
    }
    TableColumns a, b;
    uint32_t folder = 0;
    ASSERT_TRUE(a.AddRow(EntryOf(1, false), u"abcd", 8, 0));
    ASSERT_TRUE(b.AddFolder(u"C:", folder));
    ASSERT_TRUE(b.AddRow(EntryOf(1, false), u"efgh", 8, folder));
    EXPECT_FALSE(a.Append(TableColumns(b), 1 + 5 + 5 - 1));
    EXPECT_EQ(a.Rows(), 1u);
    EXPECT_TRUE(a.Append(std::move(b), 1 + 5 + 5));
    EXPECT_EQ(a.Rows(), 2u);
}

TEST(TableColumns, AppendMovesOffsetsAndFolders) {
    TableColumns first, second;
    uint32_t folder = 0;
    ASSERT_TRUE(first.AddFolder(u"C:", folder));
    ASSERT_TRUE(first.AddRow(EntryOf(1, false), u"one", 8, folder));
    ASSERT_TRUE(second.AddFolder(u"D:", folder));
    ASSERT_TRUE(second.AddFolder(u"D:\\sub", folder));
    ASSERT_TRUE(second.AddRow(EntryOf(1, false), u"two", 8, 1));
    ASSERT_TRUE(second.AddRow(EntryOf(1, false), u"three", 8, 0));
    ASSERT_TRUE(first.Append(std::move(second)));
    const FileTable table(std::move(first), {});
    const char16_t* names[] = {u"one", u"two", u"three"};
    const char16_t* folders[] = {u"C:", u"D:\\sub", u"D:"};
    for (uint32_t row = 0; row < 3; ++row) {
        EXPECT_EQ(table.Name(row), names[row]);
        EXPECT_EQ(table.FolderPath(row), folders[row]);
    }
    EXPECT_EQ(table.Names(), " one two three ");
    EXPECT_EQ(table.Folders(), " C: D: D:\\sub ");
}

}  // namespace
