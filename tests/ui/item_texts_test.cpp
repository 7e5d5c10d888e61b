#include "ui/item_texts.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "index/utf8.h"
#include "tests/search/test_rows.h"

namespace {

constexpr char16_t Untouched = 0xBEEF;

struct RowTexts {
    std::u16string_view folder;
    uint32_t created;  // TimeText::Pack values
    uint32_t modified;
};

std::u16string DescriptionOf(const RowTexts& texts) {
    RowFields fields{u"report.txt", std::u16string(texts.folder), 0, u"1 KB"};
    fields.createdText = TimeText(texts.created).View();
    fields.modifiedText = TimeText(texts.modified).View();
    return SelectionDescription(TableOf({fields}), 0);
}

std::u16string Repeat(std::u16string_view unit, int times) {
    std::u16string text;
    for (int i = 0; i < times; ++i) text += unit;
    return text;
}

}  // namespace

TEST(CopyCellText, CopiesAtMostCapacityLessOneAndTerminates) {
    struct Case {
        std::u16string text;
        int capacity;
        std::u16string expected;  // what precedes the zero
        bool written;
    } cases[] = {
        {u"abc", 10, u"abc", true},      {u"abc", 4, u"abc", true}, {u"abcd", 4, u"abc", true},
        {u"名称.txt", 3, u"名称", true}, {u"abc", 1, u"", true},    {u"", 5, u"", true},
        {u"abc", 0, u"", false},         {u"abc", -1, u"", false},
    };
    for (const Case& c : cases) {
        std::array<char16_t, 16> buffer;
        buffer.fill(Untouched);
        CopyCellText(c.text, buffer.data(), c.capacity);
        if (!c.written) {
            for (char16_t unit : buffer) EXPECT_EQ(unit, Untouched);
            continue;
        }
        EXPECT_EQ(std::u16string(buffer.data()), c.expected) << c.capacity;
        // Nothing beyond the capacity the list gave.
        for (std::size_t i = static_cast<std::size_t>(c.capacity); i < buffer.size(); ++i) {
            EXPECT_EQ(buffer[i], Untouched) << "unit " << i << " capacity " << c.capacity;
        }
    }
    CopyCellText(u"abc", nullptr, 10);  // a request without a buffer is ignored, not a crash
}

TEST(SelectionDescription, LabelsThenCreatedModifiedAndFolder) {
    const std::u16string longFolder = u"D:\\" + Repeat(u"长", 147);  // 150 units
    const std::u16string folder99 = u"E:\\" + Repeat(u"x", 96);
    struct Case {
        RowTexts row;
        std::string expectedUtf8;
    } cases[] = {
        {{u"C:\\Users\\Public", TimeText::Pack(2024, 3, 5, 9, 7),
          TimeText::Pack(2025, 12, 31, 23, 59)},
         "创建时间: 2024-03-05 09:07,  修改时间: 2025-12-31 23:59,  路径: C:\\Users\\Public"},
        {{u"C:", TimeText::Pack(1999, 1, 1, 0, 0), TimeText::Pack(1999, 1, 1, 0, 0)},
         "创建时间: 1999-01-01 00:00,  修改时间: 1999-01-01 00:00,  路径: C:"},
        // Times before 1970 have no text.
        {{u"C:\\old", TimeText::Empty, TimeText::Empty}, "创建时间: ,  修改时间: ,  路径: C:\\old"},
        {{folder99, TimeText::Pack(2024, 3, 5, 9, 7), TimeText::Empty},
         "创建时间: 2024-03-05 09:07,  修改时间: ,  路径: E:\\" + std::string(96, 'x')},
    };
    for (const Case& c : cases) EXPECT_EQ(ToUtf8(DescriptionOf(c.row)), c.expectedUtf8);

    // A folder path of 150 units shows its first 99.
    const std::u16string text =
        DescriptionOf({longFolder, TimeText::Pack(2024, 3, 5, 9, 7), TimeText::Empty});
    const std::u16string label = u"路径: ";
    const std::size_t at = text.find(label);
    ASSERT_NE(at, std::u16string::npos);
    EXPECT_EQ(text.substr(at + label.size()), longFolder.substr(0, 99));
}

TEST(FolderToOpen, BareDrivesGetTheirRoot) {
    struct Case {
        std::u16string folder;
        std::u16string expected;
    } cases[] = {
        {u"C:", u"C:\\"},
        {u"z:", u"z:\\"},
        {u"C:\\Windows", u"C:\\Windows"},
        {u"D:\\a\\b", u"D:\\a\\b"},
        {u"C:\\", u"C:\\"},
        {u"", u""},
        {u"ab", u"ab"},
    };
    for (const Case& c : cases) EXPECT_EQ(FolderToOpen(c.folder), c.expected) << ToUtf8(c.folder);
}

TEST(DropFilesBlock, WideHeaderPathAndDoubleZero) {
    struct Case {
        std::u16string path;
        std::vector<uint8_t> expected;
    } cases[] = {
        {u"C:\\a", {0x14, 0, 0,   0, 0,    0, 0,   0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0,  //
                    'C',  0, ':', 0, '\\', 0, 'a', 0, 0, 0, 0, 0}},
        // U+6587 and a surrogate pair (U+1F600 = D83D DE00), little-endian units.
        {u"D:\\文\U0001F600",
         {0x14, 0, 0,   0, 0,    0, 0,    0,    0,    0,    0,    0,    0, 0, 0, 0, 1, 0, 0, 0,  //
          'D',  0, ':', 0, '\\', 0, 0x87, 0x65, 0x3D, 0xD8, 0x00, 0xDE, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) EXPECT_EQ(DropFilesBlock(c.path), c.expected) << ToUtf8(c.path);
}

TEST(DropFilesBlock, LongPathsAreWhole) {
    for (int folderLength : {200, 255, 256, 1000, 32000}) {
        const std::u16string path = u"C:\\" + Repeat(u"d", folderLength) + u"\\name.txt";
        const std::vector<uint8_t> block = DropFilesBlock(path);
        ASSERT_EQ(block.size(), 20 + (path.size() + 2) * 2) << folderLength;
        std::u16string listed;
        for (std::size_t at = 20; at + 1 < block.size(); at += 2) {
            const char16_t unit = static_cast<char16_t>(block[at] | block[at + 1] << 8);
            if (unit == 0) break;
            listed += unit;
        }
        EXPECT_EQ(listed, path);
        EXPECT_EQ(block[block.size() - 1], 0);
        EXPECT_EQ(block[block.size() - 2], 0);
        EXPECT_EQ(block[block.size() - 3], 0);
        EXPECT_EQ(block[block.size() - 4], 0);
    }
}

TEST(SiblingExecutablePath, TheFolderOfTheRunningProgram) {
    struct Case {
        std::u16string module;
        std::u16string expected;
    } cases[] = {
        {u"C:\\Program Files\\Skimlet\\Skimlet.exe", u"C:\\Program Files\\Skimlet\\Skimlet.exe"},
        {u"C:\\tools\\renamed copy.exe", u"C:\\tools\\Skimlet.exe"},
        {u"C:\\Skimlet.exe", u"C:\\Skimlet.exe"},
        {u"\\\\?\\C:\\deep\\path\\x.exe", u"\\\\?\\C:\\deep\\path\\Skimlet.exe"},
        {u"\\\\server\\share\\搜索\\s.exe", u"\\\\server\\share\\搜索\\Skimlet.exe"},
        // No folder: nothing, never a bare name looked up along the search path.
        {u"Skimlet.exe", u""},
        {u"", u""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SiblingExecutablePath(c.module), c.expected) << ToUtf8(c.module);
    }
}
