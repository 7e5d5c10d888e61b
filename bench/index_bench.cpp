// The whole index build of one image (read, parse, resolve, format, classify, publish), its
// phases, the memory the table costs per entry, and sleuthkit's fls on the same image.
// The image is named by SKIMLET_BENCH_IMAGE; scripts/bench.sh makes the 1,000,000-entry one.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "index/classify.h"
#include "index/file_entry.h"
#include "index/file_table.h"
#include "index/folder_paths.h"
#include "index/index_build.h"
#include "index/mft_reader.h"
#include "index/raw_volume.h"
#include "results/result_set.h"
#include "search/search_driver.h"

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

// The walk of the whole image split as the build splits it (SKIMLET_BUILD_PARTS, else the cores).
std::optional<VolumeEntries> ReadImage(const std::string& path) {
    std::optional<VolumeSource> source = OpenVolumeImage(path);
    if (!source) return std::nullopt;
    return ReadVolume(*source, DefaultBuildParts(), [&path] { return OpenVolumeImage(path); });
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
            // The window shows every row once the build is published with its ranks.
            ResultSet view(Publish(BuildIndex({u"\\\\.\\C:"}, ImageOpener(*image))));
            view.ShowAll();
            view.Orders();
            uint64_t count = view.Table().Size();
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
        benchmark::DoNotOptimize(table.Names().data());
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
        std::optional<VolumeEntries> volume = ReadImage(*image);
        if (!volume) {
            state.SkipWithError("the image cannot be read");
            return;
        }
        entries = volume->columns.Rows();
    }
    state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(ReadAndParse)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(5);

// The folders of an already read volume.
void ResolveFormatClassify(benchmark::State& state) {
    std::optional<std::string> image = BenchImage(state);
    if (!image) return;
    std::optional<VolumeEntries> volume = ReadImage(*image);
    if (!volume) {
        state.SkipWithError("the image cannot be read");
        return;
    }
    for (auto _ : state) {
        VolumeEntries copy = *volume;
        ResolvePaths(copy, u"\\\\.\\C:");
    }
    state.counters["entries"] = static_cast<double>(volume->columns.Rows());
}
BENCHMARK(ResolveFormatClassify)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(5);

// Drops the image's pages from the page cache, so that the next read of them comes from the disk.
bool EvictFromCache(const std::string& path) {
    int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return false;
    bool dropped = posix_fadvise(descriptor, 0, 0, POSIX_FADV_DONTNEED) == 0;
    close(descriptor);
    return dropped;
}

// The byte ranges a one-part walk of the image reads after opening it: the chunks of the $MFT.
std::vector<std::pair<uint64_t, uint64_t>> MftReads(const std::string& path) {
    int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return {};
    auto reads = std::make_shared<std::vector<std::pair<uint64_t, uint64_t>>>();
    ReadAt fromFile = FileReader(descriptor);
    std::optional<VolumeSource> source = OpenRawVolume(
        [&](uint64_t offset, std::span<uint8_t> buffer) {
            reads->emplace_back(offset, buffer.size());
            return fromFile(offset, buffer);
        },
        nullptr);
    std::vector<std::pair<uint64_t, uint64_t>> walk;
    if (source) {
        reads->clear();
        if (ReadVolume(*source)) walk = *reads;
    }
    close(descriptor);
    return walk;
}

// Start until a keystroke can run (the build and its publication, ranks included) against reading
// the same $MFT chunks in the same order and doing nothing else, with the image out of the page
// cache (`cold`) or in it. Between the two, the walk alone (read and parse). Each ratio is taken
// within one run, as the machine's speed varies from one run to the next.
void StartAgainstRead(benchmark::State& state, bool cold) {
    std::optional<std::string> image = BenchImage(state);
    if (!image) return;
    std::vector<std::pair<uint64_t, uint64_t>> reads = MftReads(*image);
    if (reads.empty()) {
        state.SkipWithError("the image cannot be read");
        return;
    }
    uint64_t largest = 0, total = 0;
    for (const auto& [offset, length] : reads) {
        largest = std::max(largest, length);
        total += length;
    }
    constexpr std::align_val_t Alignment{4096};
    std::unique_ptr<uint8_t, void (*)(uint8_t*)> buffer(
        static_cast<uint8_t*>(::operator new(largest, Alignment)),
        [](uint8_t* bytes) { ::operator delete(bytes, Alignment); });
    VolumeOpener open = ImageOpener(*image);
    using Clock = std::chrono::steady_clock;
    double readSeconds = 0, readAndParseSeconds = 0, startSeconds = 0, ranksSeconds = 0;
    std::size_t entries = 0;
    auto prepare = [&] { return !cold || EvictFromCache(*image); };
    for (auto _ : state) {
        if (!prepare()) {
            state.SkipWithError("the image cannot be dropped from the page cache");
            return;
        }
        int descriptor = ::open(image->c_str(), O_RDONLY | O_CLOEXEC);
        ReadAt fromFile = FileReader(descriptor);
        Clock::time_point begin = Clock::now();
        bool whole = descriptor >= 0;
        for (const auto& [offset, length] : reads)
            whole = whole && fromFile(offset, std::span<uint8_t>(buffer.get(), length));
        readSeconds = std::chrono::duration<double>(Clock::now() - begin).count();
        if (descriptor >= 0) ::close(descriptor);
        if (!whole || !prepare()) {
            state.SkipWithError("the $MFT chunks cannot be read");
            return;
        }
        begin = Clock::now();
        bool read = ReadImage(*image).has_value();
        readAndParseSeconds = std::chrono::duration<double>(Clock::now() - begin).count();
        if (!read || !prepare()) {
            state.SkipWithError("the image cannot be read");
            return;
        }
        begin = Clock::now();
        ResultSet view(Publish(BuildIndex({u"\\\\.\\C:"}, open)));
        view.ShowAll();
        startSeconds = std::chrono::duration<double>(Clock::now() - begin).count();
        view.Orders();
        ranksSeconds = std::chrono::duration<double>(Clock::now() - begin).count();
        entries = view.Table().Size();
        state.SetIterationTime(startSeconds);
    }
    state.counters["entries"] = static_cast<double>(entries);
    state.counters["mft_MB"] = static_cast<double>(total) / 1e6;
    state.counters["read_ms"] = readSeconds * 1e3;
    state.counters["read_parse_ms"] = readAndParseSeconds * 1e3;
    state.counters["start_ms"] = startSeconds * 1e3;
    state.counters["start_per_read"] = readSeconds > 0 ? startSeconds / readSeconds : 0;
    // Until the sort ranks, made beside the searchable table, are there too.
    state.counters["ranks_ms"] = ranksSeconds * 1e3;
    ReleaseMemory();
}
BENCHMARK_CAPTURE(StartAgainstRead, warm, false)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(StartAgainstRead, cold, true)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

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
        ResultSet view(Publish(BuildIndex({u"\\\\.\\C:"}, open)));
        view.ShowAll();
        view.Orders();
        MemoryUse after = CurrentMemoryUse();
        const FileTable& table = view.Table();
        entries = static_cast<double>(table.Size());
        resident = after.residentBytes - before.residentBytes;
        allocated = after.allocatedBytes - before.allocatedBytes;
        texts = static_cast<double>(table.BytesUsed()) - entries * sizeof(FileEntry);
    }
    state.counters["entries"] = entries;
    state.counters["rss_per_entry"] = entries ? resident / entries : 0;
    state.counters["heap_per_entry"] = entries ? allocated / entries : 0;
    state.counters["row_bytes"] = static_cast<double>(sizeof(FileEntry));
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
