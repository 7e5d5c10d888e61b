// A query text through the parser, the scan (held against the per-entry reference matcher), the
// orderings and the export writer, over a small volume of names of every kind. The input is the
// type filter in its first byte, then the text as UTF-16.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/cost_budget.h"
#include "fuzz/fuzz_volumes.h"
#include "results/export.h"
#include "results/ordering.h"
#include "search/reference_match.h"

namespace {

const std::shared_ptr<const PublishedTable>& Table() {
    static const std::shared_ptr<const PublishedTable> searchable = [] {
        const std::vector<uint8_t> image = SampleVolume();
        return IndexImage(image);
    }();
    return searchable;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const FileTable& table = Table()->Table();
    CostBudget budget(size);
    const int32_t typeFilter = data[0] % 9;
    std::u16string text((size - 1) / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(data[1 + 2 * i] | data[2 + 2 * i] << 8);

    ResultSet rows(Table());
    rows.SetTypeFilter(typeFilter);
    RunSearch(rows, text);
    const ParsedQuery query = ParseQuery(text);
    std::size_t expected = 0;
    for (uint32_t row = 0; row < table.Size(); ++row) {
        const bool match = MatchEntry(table, row, query, typeFilter);
        if (match && (expected >= rows.Size() || rows.RowNumber(expected) != row)) std::abort();
        expected += match;
    }
    if (expected != rows.Size()) std::abort();

    for (int column = 0; column < ColumnCount; ++column)
        SortByColumn(rows, static_cast<Column>(column), static_cast<uint8_t>(column & 1));
    std::FILE* sink = std::fopen("/dev/null", "wb");
    if (!sink) return 0;
    std::vector<std::u16string> headers(ColumnCount, text);
    WriteExport(sink, headers, rows, [](std::u16string_view field) {
        std::string bytes;
        for (char16_t unit : field) bytes.push_back(static_cast<char>(unit));
        return bytes;
    });
    std::fclose(sink);
    return 0;
}
