// The whole index build of one image (read, parse, resolve, format, classify, publish), its
// phases, the memory the table costs per entry, and sleuthkit's fls on the same image.
// The image is named by SKIMLET_BENCH_IMAGE; scripts/bench.sh makes the 1,000,000-entry one.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "index/classify.h"
#include "index/file_entry.h"
#include "index/file_table.h"
#include "index/folder_paths.h"
#include "index/index_build.h"
#include "index/mft_reader.h"
#include "index/raw_volume.h"
#include "results/result_set.h"

namespace {

std::optional<std::string> BenchImage(benchmark::State& state) {
    const char* path = std::getenv("SKIMLET_BENCH_IMAGE");
    if (!path || access(path, R_OK) != 0) {
        state.SkipWithError("set SKIMLET_BENCH_IMAGE to a readable NTFS image");
        return std::nullopt;
    }
    return std::string(path);
}

VolumeOpener ImageOpener(const std::string& path) {
    return [path](std::u16string_view) { return OpenVolumeImage(path); };
}

void ReleaseMemory() {
    malloc_trim(0);
}

// The peak resident size of a process that does nothing but one build, per entry: a child is
// forked before this process holds any table, so nothing but the build counts.
void PeakMemoryOfBuild(benchmark::State& state) {
    std::optional<std::string> image = BenchImage(state);
    if (!image) return;
    double peak = 0, entries = 0;
    for (auto _ : state) {
        int channel[2];
        if (pipe(channel) != 0) {
            state.SkipWithError("no pipe");
            return;
        }
        pid_t child = fork();
        if (child == 0) {
            close(channel[0]);
            FileTable table = BuildIndex({u"\\\\.\\C:"}, ImageOpener(*image));
            // The window shows every row once the build is published.
            ResultSet view(table);
            view.ShowAll();
            uint64_t count = table.Size();
            bool sent = write(channel[1], &count, sizeof count) == sizeof count;
            _exit(sent ? 0 : 1);
        }
        close(channel[1]);
        uint64_t count = 0;
        bool received = child > 0 && read(channel[0], &count, sizeof count) == sizeof count;
        close(channel[0]);
        int status = 0;
        struct rusage usage {};
        if (child <= 0 || wait4(child, &status, 0, &usage) != child || !received ||
            !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the build in a child process failed");
            return;
        }
        peak = static_cast<double>(usage.ru_maxrss) * 1024;  // ru_maxrss is in KiB
        entries = static_cast<double>(count);
    }
    state.counters["entries"] = entries;
    state.counters["peak_MB"] = peak / 1e6;
    state.counters["peak_per_entry"] = entries ? peak / entries : 0;
}
BENCHMARK(PeakMemoryOfBuild)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void WholeBuild(benchmark::State& state) {
    std::optional<std::string> image = BenchImage(state);
    if (!image) return;
    VolumeOpener open = ImageOpener(*image);
    std::size_t entries = 0;
    for (auto _ : state) {
        FileTable table = BuildIndex({u"\\\\.\\C:"}, open);
        benchmark::DoNotOptimize(table.Entries().data());
        entries = table.Size();
    }
    state.counters["entries"] = static_cast<double>(entries);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * entries));
    ReleaseMemory();
}
BENCHMARK(WholeBuild)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(5);

void ReadAndParse(benchmark::State& state) {
    std::optional<std::string> image = BenchImage(state);
    if (!image) return;
    std::size_t entries = 0;
    for (auto _ : state) {
        std::optional<VolumeSource> source = OpenVolumeImage(*image);
        std::optional<VolumeEntries> volume = source ? ReadVolume(*source) : std::nullopt;
        if (!volume) {
            state.SkipWithError("the image cannot be read");
            return;
        }
        entries = volume->entries.size();
    }
    state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(ReadAndParse)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Paths, time texts and classification of an already read volume.
void ResolveFormatClassify(benchmark::State& state) {
    std::optional<std::string> image = BenchImage(state);
    if (!image) return;
    std::optional<VolumeSource> source = OpenVolumeImage(*image);
    std::optional<VolumeEntries> volume = source ? ReadVolume(*source) : std::nullopt;
    if (!volume) {
        state.SkipWithError("the image cannot be read");
        return;
    }
    IconMap icons = BuildIconMap();
    CategoryMap categories = BuildCategoryMap();
    for (auto _ : state) ResolvePaths(*volume, u"\\\\.\\C:", icons, categories);
    state.counters["entries"] = static_cast<double>(volume->entries.size());
}
BENCHMARK(ResolveFormatClassify)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

struct MemoryUse {
    double residentBytes;
    double allocatedBytes;
};

MemoryUse CurrentMemoryUse() {
    long pages = 0, resident = 0;
    std::ifstream statm("/proc/self/statm");
    statm >> pages >> resident;
    struct mallinfo2 info = mallinfo2();
    return {static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)),
            static_cast<double>(info.uordblks + info.hblkhd)};
}

// Growth of the process with the FileTable and a ResultSet showing every row, per entry.
void MemoryPerEntry(benchmark::State& state) {
    std::optional<std::string> image = BenchImage(state);
    if (!image) return;
    VolumeOpener open = ImageOpener(*image);
    double resident = 0, allocated = 0, entries = 0, texts = 0;
    for (auto _ : state) {
        ReleaseMemory();
        MemoryUse before = CurrentMemoryUse();
        FileTable table = BuildIndex({u"\\\\.\\C:"}, open);
        ResultSet view(table);
        view.ShowAll();
        MemoryUse after = CurrentMemoryUse();
        entries = static_cast<double>(table.Size());
        resident = after.residentBytes - before.residentBytes;
        allocated = after.allocatedBytes - before.allocatedBytes;
        texts = 0;
        for (const auto& arena : table.Texts()) texts += static_cast<double>(arena->BytesUsed());
    }
    state.counters["entries"] = entries;
    state.counters["rss_per_entry"] = entries ? resident / entries : 0;
    state.counters["heap_per_entry"] = entries ? allocated / entries : 0;
    state.counters["row_bytes"] = static_cast<double>(sizeof(FileEntry) + sizeof(uint32_t));
    state.counters["texts_per_entry"] = entries ? texts / entries : 0;
    ReleaseMemory();
}
BENCHMARK(MemoryPerEntry)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The reference: sleuthkit listing every path of the same image.
void FlsReference(benchmark::State& state) {
    std::optional<std::string> image = BenchImage(state);
    if (!image) return;
    std::string command = "fls -r -p -u '" + *image + "' > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("fls failed");
            return;
        }
    }
}
BENCHMARK(FlsReference)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
