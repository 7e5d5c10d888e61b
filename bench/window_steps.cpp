// The engine's share of the window benchmark: the same steps that scripts/bench-window.sh drives
// in Skimlet.exe, on the same image, timed without a window. Prints one line per step:
//   STEP <TAB> MEDIAN_MS <TAB> COUNT <TAB> the five cells of rows 0, 1 and 2 (TAB-separated)
// so that the window benchmark knows both the engine's time and what the window must show.
//   window_steps IMAGE [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "index/file_entry.h"
#include "index/index_build.h"
#include "index/raw_volume.h"
#include "index/utf8.h"
#include "results/ordering.h"
#include "results/result_set.h"
#include "results/sort_state.h"
#include "search/search_driver.h"

namespace {

double Milliseconds(const std::function<void()>& step) {
    const auto start = std::chrono::steady_clock::now();
    step();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Tabs and line breaks inside a cell would break the line format; none occur in file names.
void PrintStep(const char* name, double milliseconds, const ResultSet& results) {
    std::string line = name;
    line += '\t' + std::to_string(milliseconds) + '\t' + std::to_string(results.Size());
    for (std::size_t row = 0; row < 3; ++row) {
        for (int position = 0; position < ColumnCount; ++position) {
            line += '\t';
            if (row < results.Size())
                line +=
                    ToUtf8(CellText(results.Table(), results.RowNumber(row), *ColumnAt(position)));
        }
    }
    std::puts(line.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: window_steps IMAGE [RUNS]\n", stderr);
        return 2;
    }
    const std::string image = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

    std::shared_ptr<const PublishedTable> searchable;
    const double loadMs = Milliseconds([&] {
        searchable = Publish(BuildIndex(
            {u"\\\\.\\D:"}, [&](std::u16string_view) { return OpenVolumeImage(image); }));
    });
    if (searchable->Table().Empty()) {
        std::fprintf(stderr, "window_steps: no entries read from %s\n", image.c_str());
        return 1;
    }
    ResultSet results(searchable);
    results.ShowAll();
    PrintStep("load", loadMs, results);

    auto search = [&](std::u16string_view text) { RunSearch(results, text); };
    // Each step as the window meets it: the list holds the previous step's rows.
    std::vector<double> letter, clear, burst, lastKey, byName, bySize;
    const std::u16string_view burstText = u"report_99997";
    for (int run = 0; run < runs; ++run) {
        search(u"");
        letter.push_back(Milliseconds([&] { search(u"a"); }));
        clear.push_back(Milliseconds([&] { search(u""); }));
        burst.push_back(Milliseconds([&] {
            for (std::size_t length = 1; length <= burstText.size(); ++length)
                search(burstText.substr(0, length));
        }));
        search(burstText.substr(0, burstText.size() - 1));
        lastKey.push_back(Milliseconds([&] { search(burstText); }));
        search(u"");
        // The header clicks as the window makes them, from the state at start.
        SortState sort;
        byName.push_back(Milliseconds([&] { sort.Click(results, Column::Name); }));
        bySize.push_back(Milliseconds([&] { sort.Click(results, Column::Size); }));
    }

    search(u"a");
    PrintStep("letter", Median(letter), results);
    search(u"");
    PrintStep("clear", Median(clear), results);
    search(burstText);
    PrintStep("burst", Median(burst), results);
    PrintStep("last_key", Median(lastKey), results);
    search(u"");
    SortState sort;
    sort.Click(results, Column::Name);
    PrintStep("click_name", Median(byName), results);
    sort.Click(results, Column::Size);
    PrintStep("click_size", Median(bySize), results);
    return 0;
}
