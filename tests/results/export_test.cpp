#include "results/export.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "index/utf8.h"
#include "results/ordering.h"
#include "tests/search/test_rows.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Expected(const char* name) {
    return ReadFile(std::string(SKIMLET_EXPORT_EXPECTED_DIR) + "/" + name);
}

// Runs the export into a temporary file and hands back every byte written.
std::string Export(const std::vector<std::u16string>& headers, const ResultSet& rows,
                   const CodePageConverter& convert) {
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    EXPECT_TRUE(WriteExport(file, headers, rows, convert));
    std::string bytes;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) bytes.push_back(static_cast<char>(c));
    std::fclose(file);
    return bytes;
}

std::string Export(const std::vector<std::u16string>& headers, const std::vector<RowFields>& rows,
                   const CodePageConverter& convert) {
    ShownRows shown(rows);
    return Export(headers, shown.view, convert);
}

std::vector<std::u16string> NeutralHeaders() {
    std::vector<std::u16string> headers;
    for (int column = 0; column < ColumnCount; ++column)
        headers.push_back(NeutralHeaderText(static_cast<Column>(column)));
    return headers;
}

CodePageConverter Utf8() {
    auto converter = IconvConverter("UTF-8");
    EXPECT_TRUE(converter.has_value());
    return converter ? *converter : CodePageConverter();
}

class ExportTest : public ::testing::Test {
  protected:
};

TEST_F(ExportTest, EmptyResultGivesTheHeaderLineOnly) {
    EXPECT_EQ(Export(NeutralHeaders(), std::vector<RowFields>{}, Utf8()),
              Expected("header_only.csv"));
}

TEST_F(ExportTest, RowsAfterASortBySize) {
    std::u16string deep = u"C:";
    for (int i = 0; i < 30; ++i) deep += u"\\abcdefghij";
    ShownRows rows(std::vector<RowFields>({
        {u"huge.bin", u"D:\\images", 0, u"3,221,225,472 KB", 8, 1, 1, u"2020-02-02 02:02",
         u"2020-02-02 02:02"},
        {u"say \"hi\".txt", u"C:\\x", 0, u"4,883 KB", 3, 2, 2, u"2022-01-01 00:00",
         u"2022-01-01 00:01"},
        {u"report.txt", u"C:\\docs", 0, u"12 KB", 3, 3, 3, u"2024-05-01 09:30",
         u"2024-05-02 10:00"},
        {u"deep.bin", deep, 0, u"9,999 KB", 8, 4, 4, u"2021-06-01 12:00", u"2021-06-01 12:00"},
        {u"a,b.txt", u"C:\\a,b", 0, u"1,234 KB", 3, 5, 5, u"2023-12-31 23:59", u"2024-02-29 00:00"},
        {u"docs", u"C:", 1, u"", 5, 6, 6, u"2024-01-01 08:00", u"2024-01-02 08:00"},
        {u"old.txt", u"C:", 0, u"0 KB", 3, 7, 7},
    }));
    std::vector<std::u16string> headers = NeutralHeaders();
    SortByColumn(rows.view, Column::Size, 1);
    headers[2] = MarkedHeaderText(Column::Size, SortMarker(1));
    EXPECT_EQ(Export(headers, rows.view, Utf8()), Expected("sorted_by_size.csv"));
}

TEST_F(ExportTest, FieldQuoting) {
    struct Case {
        std::u16string name;
        std::u16string sizeText;
        const char* line;
    } cases[] = {
        {u"plain.txt", u"1 KB", "plain.txt,C:,1 KB,,\r\n"},
        {u"a,b", u"1 KB", "\"a,b\",C:,1 KB,,\r\n"},
        {u"\"q\"", u"1 KB", "\"\"\"q\"\"\",C:,1 KB,,\r\n"},
        {u"cr\rhere", u"1 KB", "\"cr\rhere\",C:,1 KB,,\r\n"},
        {u"lf\nhere", u"1 KB", "\"lf\nhere\",C:,1 KB,,\r\n"},
        {u"semi;colon 'x'", u"1 KB", "semi;colon 'x',C:,1 KB,,\r\n"},
        {u"big", u"1,234,567 KB", "big,C:,1234567 KB,,\r\n"},  // commas go, no quotes
        {u"", u"0 KB", ",C:,0 KB,,\r\n"},
    };
    const std::string header = Expected("header_only.csv");
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.name));
        std::vector<RowFields> rows = {RowFields({c.name, u"C:", 0, c.sizeText})};
        EXPECT_EQ(Export(NeutralHeaders(), rows, Utf8()), header + c.line);
    }
}

// The expected bytes are the readable UTF-8 file turned into CP936 by the iconv tool at build time.
TEST_F(ExportTest, Cp936WithUnrepresentableCharacters) {
    auto cp936 = IconvConverter("CP936");
    ASSERT_TRUE(cp936.has_value());
    std::vector<std::u16string> headers = NeutralHeaders();
    headers[0] = MarkedHeaderText(Column::Name, u'▼');
    const std::u16string times[2] = {u"2024-05-01 09:30", u"2024-05-02 10:00"};
    std::vector<RowFields> rows = std::vector<RowFields>({
        {u"年度报告.docx", u"D:\\文档", 0, u"30 KB", 3, 0, 0, times[0], times[1]},
        {u"café.txt", u"C:", 0, u"1 KB", 3, 0, 0, times[0], times[1]},
        {u"한글.txt", u"C:\\한", 0, u"2 KB", 3, 0, 0, times[0], times[1]},
        {u"\xD83D\xDE00.txt", u"C:", 0, u"3 KB", 3, 0, 0, times[0], times[1]},
        {u"\xD800x.txt", u"C:", 0, u"4 KB", 3, 0, 0, times[0], times[1]},
    });
    EXPECT_EQ(Export(headers, rows, *cp936),
              ReadFile(std::string(SKIMLET_EXPORT_CONVERTED_DIR) + "/unrepresentable.cp936.csv"));
}

TEST(IconvConverter, Conversions) {
    struct Case {
        const char* codePage;
        std::u16string text;
        std::string bytes;
    } cases[] = {
        {"CP936", u"报告", "\xB1\xA8\xB8\xE6"},
        {"CP936", u"a,b", "a,b"},
        {"CP936", u"▲", "\xA1\xF8"},
        {"CP936", u"é", "\xA8\xA6"},
        {"CP936", u"\xD83D\xDE00", "?"},
        {"CP936", u"\xDC00\xD800", "??"},
        {"CP936", u"한a", "?a"},
        {"CP1252", u"café", "caf\xE9"},
        {"CP1252", u"报", "?"},
        {"UTF-8", u"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.codePage) + " " + ToUtf8(c.text));
        auto convert = IconvConverter(c.codePage);
        ASSERT_TRUE(convert.has_value());
        EXPECT_EQ((*convert)(c.text), c.bytes);
    }
    EXPECT_FALSE(IconvConverter("NO-SUCH-CODE-PAGE").has_value());
}

TEST(IconvConverter, LongTextGrowsTheBuffer) {
    auto convert = IconvConverter("GB18030");
    ASSERT_TRUE(convert.has_value());
    std::u16string text;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        text += u"报\xD83D\xDE00";  // two bytes, then four in GB18030
        expected += "\xB1\xA8\x94\x39\xFC\x36";
    }
    EXPECT_EQ((*convert)(text), expected);
}

TEST(WriteExport, ReportsAFailedWrite) {
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    ShownRows rows({RowFields{u"a", u"C:", 0, u"1 KB"}});
    EXPECT_FALSE(WriteExport(full, NeutralHeaders(), rows.view, Utf8()));
    std::fclose(full);
}

// The outcome tells the three ends apart: a file that could not be opened, a write that failed
// after the open, and a complete file; the file is closed in every case but the first.
TEST(ExportToFile, TellsTheOutcome) {
    ShownRows rows({RowFields{u"a", u"C:", 0, u"1 KB"}});
    EXPECT_EQ(ExportToFile(nullptr, NeutralHeaders(), rows.view, Utf8()),
              ExportOutcome::CannotOpen);
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(ExportToFile(full, NeutralHeaders(), rows.view, Utf8()), ExportOutcome::WriteFailed);
    const std::string path = testing::TempDir() + "skimlet_export_outcome.csv";
    EXPECT_EQ(ExportToFile(std::fopen(path.c_str(), "wb"), NeutralHeaders(), rows.view, Utf8()),
              ExportOutcome::Written);
    EXPECT_EQ(ReadFile(path), Export(NeutralHeaders(), rows.view, Utf8()));
    std::remove(path.c_str());
}

// The lossless form: the byte-order mark, then exactly the lines the UTF-8 converter gives, so a
// name outside every ANSI code page arrives whole.
TEST(ExportToFile, Utf8FormStartsWithTheByteOrderMark) {
    ShownRows rows({RowFields{u"skim한글.txt", u"D:\\skimdir", 0, u"70,000 KB"}});
    const std::string path = testing::TempDir() + "skimlet_export_utf8.csv";
    ASSERT_EQ(ExportToFile(std::fopen(path.c_str(), "wb"), NeutralHeaders(), rows.view, Utf8(),
                           Utf8ByteOrderMark),
              ExportOutcome::Written);
    const std::string bytes = ReadFile(path);
    ASSERT_GE(bytes.size(), 3u);
    EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(bytes.substr(3), Export(NeutralHeaders(), rows.view, Utf8()));
    // The Hangul syllable U+D55C in UTF-8.
    EXPECT_NE(bytes.find("skim\xED\x95\x9C"), std::string::npos);
    std::remove(path.c_str());
}

}  // namespace
