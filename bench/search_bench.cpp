// One keystroke, one sort and one export over a table of a million entries. Keystrokes and
// sorts report the process's CPU time beside the wall time, as scans run on every core.
// The table is synthetic but shaped like a real disk: folders nested up to eleven deep, mixed
// ASCII and Chinese names, shared folder texts, about one entry in nine a folder.
// SKIMLET_BENCH_IMAGE=<NTFS image> adds every keystroke and every sort of the synthetic run over
// the index of that image.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "index/derived_texts.h"
#include "index/file_entry.h"
#include "index/index_build.h"
#include "index/raw_volume.h"
#include "index/utf8.h"
#include "results/export.h"
#include "results/ordering.h"
#include "search/search_driver.h"
#include "ui/status_texts.h"

namespace {

constexpr std::size_t TableSize = 1'000'000;

const char16_t* const Words[] = {
    u"report", u"Report", u"data",  u"backup", u"photo",   u"IMG",     u"DSC",     u"setup",
    u"config", u"readme", u"notes", u"draft",  u"final",   u"invoice", u"summary", u"lib",
    u"core",   u"test",   u"main",  u"index",  u"style",   u"app",     u"music",   u"video",
    u"会议",   u"报告",   u"照片",  u"文档",   u"项目",    u"合同",    u"数据",    u"备份",
    u"new",    u"old",    u"copy",  u"v2",     u"temp",    u"cache",   u"log",     u"module",
    u"Annual", u"Budget", u"Sales", u"Travel", u"Scan",    u"Thesis",  u"chapter", u"slides",
    u"table",  u"lab",    u"Abcd",  u"Ledger", u"archive", u"Invoice", u"minutes", u"Plan",
};
// Only a few names mention a report: the selective keystroke finds about one in a hundred.
const std::size_t CommonWords = sizeof(Words) / sizeof(Words[0]);
const char16_t* const Extensions[] = {u"txt",  u"jpg",  u"JPG", u"png", u"dll", u"exe", u"pdf",
                                      u"docx", u"xlsx", u"mp3", u"mp4", u"zip", u"h",   u"cpp",
                                      u"js",   u"json", u"xml", u"log", u"ini", u"sys"};
const char16_t* const Drives[] = {u"C:", u"D:", u"E:"};

struct SyntheticTable {
    TableColumns columns;
    std::vector<std::string> namesUtf8;
};

std::u16string RandomWord(std::mt19937_64& random) {
    // Skip the two ‹report› words most of the time so the selective query stays selective.
    std::size_t word = random() % CommonWords;
    while (word < 2 && random() % 25 != 0) word = random() % CommonWords;
    return Words[word];
}

std::u16string RandomName(std::mt19937_64& random, bool folder) {
    std::u16string name = RandomWord(random);
    const int parts = static_cast<int>(random() % 3);
    for (int p = 0; p < parts; ++p) {
        name += random() % 2 ? u"_" : u" ";
        name += RandomWord(random);
    }
    if (random() % 3 == 0) {
        for (char c : std::to_string(random() % 10000)) name.push_back(static_cast<char16_t>(c));
    }
    if (!folder) {
        name += u".";
        name += Extensions[random() % (sizeof(Extensions) / sizeof(Extensions[0]))];
    }
    return name;
}

SyntheticTable& Table() {
    static SyntheticTable* table = [] {
        auto* out = new SyntheticTable();
        std::mt19937_64 random(20240501);
        struct Folder {
            std::u16string path;
            uint32_t index;
            int depth;
        };
        std::vector<Folder> folders;
        for (const char16_t* drive : Drives) {
            uint32_t index = 0;
            out->columns.AddFolder(drive, index);
            folders.push_back({drive, index, 0});
        }
        for (std::size_t i = 0; i < TableSize; ++i) {
            // Deep folders are picked more often, as on a real disk most files lie deep.
            const Folder& parent = folders[folders.size() - 1 -
                                           random() % std::min<std::size_t>(folders.size(), 40000)];
            const bool isFolder = random() % 9 == 0 && parent.depth < 11;
            const std::u16string name = RandomName(random, isFolder);
            FileEntry entry;
            entry.record = RecordNumber48(TableSize - i + 64);
            entry.Size = isFolder ? 0 : (random() % 2 ? random() % 65536 : random() % (1ull << 34));
            const int64_t created =
                1104537600 + static_cast<int64_t>(random() % (20ull * 365 * 86400));
            const int64_t modified = created + static_cast<int64_t>(random() % (365ull * 86400));
            entry.Created = static_cast<uint64_t>(created) * 10000000 + 116444736000000000ull;
            entry.Modified = static_cast<uint64_t>(modified) * 10000000 + 116444736000000000ull;
            entry.isFolder = isFolder;
            uint8_t category = isFolder ? 5 : static_cast<uint8_t>(1 + random() % 8);
            if (!isFolder && category == 5) category = 8;
            out->columns.AddRow(entry, name, category, parent.index);
            out->namesUtf8.push_back(ToUtf8(name));
            if (isFolder) {
                std::u16string path = parent.path + u"\\" + name;
                uint32_t index = 0;
                out->columns.AddFolder(path, index);
                folders.push_back({path, index, parent.depth + 1});
            }
        }
        return out;
    }();
    return *table;
}

// Time of the publish of a table (its folded columns) and of its first search.
double FirstSearchMs = 0;

// The published synthetic table and the view the searches fill.
std::shared_ptr<const PublishedTable>& Synthetic() {
    static std::shared_ptr<const PublishedTable> searchable;
    return searchable;
}
ResultSet& SyntheticView() {
    static ResultSet view;
    return view;
}

void PublishSynthetic() {
    SyntheticTable& table = Table();
    if (!Synthetic()) {
        const auto start = std::chrono::steady_clock::now();
        Synthetic() = Publish(FileTable(table.columns, {}));
        SyntheticView().Attach(Synthetic());
        RunSearch(SyntheticView(), u"x");
        FirstSearchMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
    }
}

// Time of the publish of the image's table: its search columns and sort ranks.
double ImagePublishMs = 0;

std::shared_ptr<const PublishedTable> PublishImage() {
    static bool loaded = false;
    static std::shared_ptr<const PublishedTable> searchable;
    if (!loaded) {
        loaded = true;
        const char* image = std::getenv("SKIMLET_BENCH_IMAGE");
        if (!image) return nullptr;
        FileTable table =
            BuildIndex({u"\\\\.\\D:"}, [&](std::u16string_view) { return OpenVolumeImage(image); });
        const auto start = std::chrono::steady_clock::now();
        searchable = Publish(std::move(table));
        ImagePublishMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
    }
    return searchable && !searchable->Table().Empty() ? searchable : nullptr;
}

void BM_Keystroke(benchmark::State& state, const char16_t* query, bool fromImage) {
    std::shared_ptr<const PublishedTable> searchable;
    if (fromImage) {
        searchable = PublishImage();
        if (!searchable) {
            state.SkipWithError("SKIMLET_BENCH_IMAGE not set or unreadable");
            return;
        }
    } else {
        PublishSynthetic();
        searchable = Synthetic();
    }
    ResultSet view(searchable);
    if (!fromImage) state.counters["first_search_ms"] = FirstSearchMs;
    if (fromImage) state.counters["publish_ms"] = ImagePublishMs;
    const double entries = static_cast<double>(searchable->Table().Size());
    state.counters["table_B_per_entry"] =
        static_cast<double>(searchable->Table().BytesUsed()) / std::max(entries, 1.0);
    state.counters["orders_B_per_entry"] =
        static_cast<double>(searchable->Orders().BytesUsed()) / std::max(entries, 1.0);
    std::size_t hits = 0;
    for (auto _ : state) {
        hits = RunSearch(view, query);
        benchmark::DoNotOptimize(ResultCountText(hits).data());
    }
    state.counters["hits"] = static_cast<double>(hits);
    state.counters["entries"] = static_cast<double>(searchable->Table().Size());
}

// A new table is published (its folded columns built) and searched once; the copy of the
// entries that stands for the build is not timed.
void BM_FirstSearchAfterPublish(benchmark::State& state) {
    PublishSynthetic();
    for (auto _ : state) {
        state.PauseTiming();
        FileTable copy(Table().columns, {});
        state.ResumeTiming();
        ResultSet view(Publish(std::move(copy)));
        benchmark::DoNotOptimize(RunSearch(view, u"report"));
    }
}

// The same count with grep over a file of the same names, one per line, in the C locale so its
// case folding is the same ASCII-only folding.
void BM_GrepCount(benchmark::State& state, const char* pattern) {
    static const std::string path = [] {
        std::string file = "/tmp/skimlet_bench_names.txt";
        std::ofstream out(file, std::ios::binary);
        for (const std::string& name : Table().namesUtf8) out << name << '\n';
        return file;
    }();
    const std::string command =
        std::string("LC_ALL=C grep -F -i -c -e '") + pattern + "' " + path + " > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) == -1) state.SkipWithError("grep did not run");
    }
}

void BM_Sort(benchmark::State& state, Column column, bool fromImage) {
    ResultSet imageView;
    ResultSet* view = &SyntheticView();
    if (fromImage) {
        std::shared_ptr<const PublishedTable> searchable = PublishImage();
        if (!searchable) {
            state.SkipWithError("SKIMLET_BENCH_IMAGE not set or unreadable");
            return;
        }
        imageView.Attach(searchable);
        view = &imageView;
    } else {
        PublishSynthetic();
    }
    // The sort itself, not the wait for orders still being made after a publish.
    view->Orders();
    for (auto _ : state) {
        // As in the program: the empty query shows every row, then the sort.
        state.PauseTiming();
        RunSearch(*view, u"");
        state.ResumeTiming();
        SortByColumn(*view, column, 1);
    }
    state.counters["rows"] = static_cast<double>(view->Size());
}

// Making one of the table's sort orders, as the published table does beside the searches.
void BM_SortOrder(benchmark::State& state, SortKey key) {
    std::shared_ptr<const PublishedTable> searchable = PublishImage();
    if (!searchable) {
        state.SkipWithError("SKIMLET_BENCH_IMAGE not set or unreadable");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(BuildSortOrder(searchable->Table(), key));
    state.counters["rows"] = static_cast<double>(searchable->Table().Size());
}

void BM_Export(benchmark::State& state) {
    PublishSynthetic();
    ResultSet& view = SyntheticView();
    view.ShowAll();
    auto convert = IconvConverter("CP936");
    std::vector<std::u16string> headers;
    for (int column = 0; column < ColumnCount; ++column)
        headers.push_back(NeutralHeaderText(static_cast<Column>(column)));
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::FILE* file = std::fopen("/tmp/skimlet_bench_export.csv", "wb");
        if (!file || !WriteExport(file, headers, view, *convert))
            state.SkipWithError("export failed");
        if (file) {
            bytes = static_cast<std::size_t>(std::ftell(file));
            std::fclose(file);
        }
    }
    state.counters["bytes"] = static_cast<double>(bytes);
    std::remove("/tmp/skimlet_bench_export.csv");
}

}  // namespace

BENCHMARK_CAPTURE(BM_Keystroke, report, u"report", false)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Keystroke, drive_ab_not_cd, u"d:  ab !cd", false)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Keystroke, empty, u"", false)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Keystroke, chinese, u"报告", false)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Keystroke, wildcard, u"img*.jpg", false)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Keystroke, suffix, u"*.pdf", false)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Keystroke, one_letter, u"e", false)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_FirstSearchAfterPublish)->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK_CAPTURE(BM_GrepCount, report, "report")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Sort, by_name, Column::Name, false)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_Sort, by_size, Column::Size, false)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_Sort, by_modified, Column::Modified, false)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK_CAPTURE(BM_Keystroke, image_report, u"report", true)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Keystroke, image_drive_ab_not_cd, u"d:  ab !cd", true)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Keystroke, image_empty, u"", true)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Keystroke, image_chinese, u"报告", true)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Keystroke, image_wildcard, u"img*.jpg", true)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Keystroke, image_suffix, u"*.pdf", true)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Keystroke, image_one_letter, u"e", true)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
// Queries of several terms, which the scan settles one needle at a time.
BENCHMARK_CAPTURE(BM_Keystroke, image_three_letters, u"a  e  i", true)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Keystroke, image_letter_not_letter, u"a  !e", true)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Keystroke, image_exclusion, u"!e", true)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Keystroke, image_drive_not_letter, u"d:  !e", true)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Keystroke, image_drive_letters_wildcard, u"d:  a  r*t  !x", true)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Keystroke, image_suffix_wildcard, u"*.txt", true)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Sort, image_by_name, Column::Name, true)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_Sort, image_by_size, Column::Size, true)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_Sort, image_by_modified, Column::Modified, true)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(5);

BENCHMARK_CAPTURE(BM_SortOrder, image_name, SortKey::Name)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_SortOrder, image_size, SortKey::Size)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_SortOrder, image_modified, SortKey::Modified)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

BENCHMARK_MAIN();
