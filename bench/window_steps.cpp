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
#include "results/ordering.h"
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
void PrintStep(const char* name, double milliseconds) {
    std::string line = name;
    line += '\t' + std::to_string(milliseconds) + '\t' + std::to_string(ResultSet.size());
    for (std::size_t row = 0; row < 3; ++row) {
        for (int column = 0; column < ColumnCount; ++column) {
            line += '\t';
            if (row < ResultSet.size()) line += ToUtf8(CellText(ResultSet[row], column));
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

    VolumeList = {u"\\\\.\\D:"};
    const double loadMs = Milliseconds([&] {
        BuildIndex([&](std::u16string_view) { return OpenVolumeImage(image); });
        PrepareSearch();
    });
    if (FileTable.empty()) {
        std::fprintf(stderr, "window_steps: no entries read from %s\n", image.c_str());
        return 1;
    }
    PrintStep("load", loadMs);

    // Each step as the window meets it: the list holds the previous step's rows.
    std::vector<double> letter, clear, burst, lastKey, byName, bySize;
    const std::u16string burstText = u"report_99997";
    for (int run = 0; run < runs; ++run) {
        RunSearch(u"");
        letter.push_back(Milliseconds([] { RunSearch(u"a"); }));
        clear.push_back(Milliseconds([] { RunSearch(u""); }));
        burst.push_back(Milliseconds([&] {
            for (std::size_t length = 1; length <= burstText.size(); ++length)
                RunSearch(std::u16string_view(burstText).substr(0, length));
        }));
        RunSearch(std::u16string_view(burstText).substr(0, burstText.size() - 1));
        lastKey.push_back(Milliseconds([&] { RunSearch(burstText); }));
        RunSearch(u"");
        SortAscending = 1;
        byName.push_back(Milliseconds([] { HeaderClick(0); }));
        bySize.push_back(Milliseconds([] { HeaderClick(2); }));
    }

    RunSearch(u"");
    RunSearch(u"a");
    PrintStep("letter", Median(letter));
    RunSearch(u"");
    PrintStep("clear", Median(clear));
    RunSearch(burstText);
    PrintStep("burst", Median(burst));
    PrintStep("last_key", Median(lastKey));
    RunSearch(u"");
    SortAscending = 1;
    HeaderClick(0);
    PrintStep("click_name", Median(byName));
    HeaderClick(2);
    PrintStep("click_size", Median(bySize));
    return 0;
}
