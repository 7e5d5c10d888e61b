// skimlet-cli: indexes NTFS images (or block devices) as the program indexes its drives, runs one
// search with optional orderings and an export, and prints every field of the resulting rows.
#include <fcntl.h>
#include <unistd.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "index/file_table.h"
#include "index/index_build.h"
#include "index/partition_table.h"
#include "index/platform.h"
#include "index/raw_volume.h"
#include "index/utf8.h"
#include "results/export.h"
#include "results/ordering.h"
#include "results/result_set.h"
#include "results/sort_state.h"
#include "search/search_driver.h"
#include "ui/status_texts.h"

namespace {

const char* const Usage =
    "usage: skimlet-cli [--query TEXT] [--type 0-8] [--sort K] [--ascending] [--descending] "
    "[--click K] [--export FILE] [--codepage NAME] [--count] IMAGE[=L] [IMAGE[=L] ...]";

enum class OrderStep { Sort, Click, Ascending, Descending };

struct Options {
    std::string query;
    int type = 0;
    std::vector<std::pair<OrderStep, int>> orderSteps;
    std::optional<std::string> exportPath;
    std::string codePage = "UTF-8";
    bool countOnly = false;
    std::vector<std::pair<std::string, char>> images;  // path, drive letter
};

bool ParseNumber(const std::string& text, int low, int high, int& value) {
    if (text.empty() || text.size() > 2) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value >= low && value <= high;
}

std::optional<Options> ParseArguments(int argc, char** argv) {
    Options options;
    std::vector<std::pair<std::string, std::optional<char>>> images;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string text;
        int number = 0;
        if (argument == "--query") {
            if (!value(options.query)) return std::nullopt;
        } else if (argument == "--type") {
            if (!value(text) || !ParseNumber(text, 0, 8, options.type)) return std::nullopt;
        } else if (argument == "--sort" || argument == "--click") {
            if (!value(text) || !ParseNumber(text, 0, ColumnCount - 1, number)) return std::nullopt;
            options.orderSteps.push_back(
                {argument == "--sort" ? OrderStep::Sort : OrderStep::Click, number});
        } else if (argument == "--ascending") {
            options.orderSteps.push_back({OrderStep::Ascending, 0});
        } else if (argument == "--descending") {
            options.orderSteps.push_back({OrderStep::Descending, 0});
        } else if (argument == "--export") {
            if (!value(text) || text.empty()) return std::nullopt;
            options.exportPath = text;
        } else if (argument == "--codepage") {
            if (!value(options.codePage) || options.codePage.empty()) return std::nullopt;
        } else if (argument == "--count") {
            options.countOnly = true;
        } else if (argument.size() > 1 && argument[0] == '-' && argument != "-") {
            return std::nullopt;
        } else {
            // IMAGE=L: only a final "=" and one letter name the drive, so "=" may occur in paths.
            std::size_t size = argument.size();
            if (size > 2 && argument[size - 2] == '=') {
                char letter = argument[size - 1];
                if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
                if (letter < 'A' || letter > 'Z') return std::nullopt;
                images.push_back({argument.substr(0, size - 2), letter});
            } else {
                images.push_back({argument, std::nullopt});
            }
        }
    }
    if (images.empty()) return std::nullopt;
    bool used[26] = {};
    for (std::size_t i = 0; i < images.size(); ++i) {
        if (images[i].first.empty()) return std::nullopt;
        std::size_t position = i + 2;  // C, D, E, ... in argument order
        if (!images[i].second && position >= 26) return std::nullopt;
        char letter = images[i].second.value_or(static_cast<char>('A' + position));
        if (used[letter - 'A']) return std::nullopt;
        used[letter - 'A'] = true;
        options.images.push_back({images[i].first, letter});
    }
    return options;
}

struct ImageVolume {
    std::string path;
    uint64_t offset = 0;
    char letter = 'C';
};

// A disk image gives one volume per NTFS partition: the first takes the image's letter, the
// others the next letters that no image claims. An image with no NTFS volume found is kept at
// offset 0, so that reading it fails as a volume and says so.
std::optional<std::vector<ImageVolume>> VolumesOfImages(
    const std::vector<std::pair<std::string, char>>& images) {
    bool used[26] = {};
    for (const auto& image : images) used[image.second - 'A'] = true;
    std::vector<ImageVolume> volumes;
    for (const auto& [path, letter] : images) {
        std::vector<VolumeExtent> extents = FindNtfsExtentsInFile(path);
        volumes.push_back({path, extents.empty() ? 0 : extents[0].offset, letter});
        char next = letter;
        for (std::size_t i = 1; i < extents.size(); ++i) {
            while (next <= 'Z' && used[next - 'A']) ++next;
            if (next > 'Z') return std::nullopt;
            used[next - 'A'] = true;
            volumes.push_back({path, extents[i].offset, next});
        }
    }
    return volumes;
}

// Why an image gave no volume: it cannot be opened, or what it holds is no readable NTFS volume,
// for the reader's `refusal`.
std::string WhyUnreadable(const std::string& path, const std::string& refusal) {
    int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return std::string("cannot be opened: ") + std::strerror(errno);
    ::close(descriptor);
    return refusal.empty() ? "not a readable NTFS volume"
                           : "not a readable NTFS volume: " + refusal;
}

bool IsUtf8Name(const std::string& codePage) {
    std::string name;
    for (char c : codePage) {
        if (c != '-' && c != '_')
            name.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
    return name == "UTF8";
}

void WriteStandardError(std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

// Rows are written through one large buffer: a million rows are a few hundred megabytes.
class RowWriter {
  public:
    ~RowWriter() { Flush(); }

    void Number(uint64_t value) {
        char digits[24];
        int length = 0;
        do {
            digits[length++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (length > 0) buffer_.push_back(digits[--length]);
    }

    void Number(int64_t value) {
        if (value < 0) {
            buffer_.push_back('-');
            Number(0 - static_cast<uint64_t>(value));
        } else {
            Number(static_cast<uint64_t>(value));
        }
    }

    // UTF-8; code units below U+0020 as \u00XX so that a row stays one line of TAB-separated
    // fields, and an unpaired surrogate as U+FFFD.
    void Text(std::u16string_view text) {
        std::size_t start = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] >= 0x20) continue;
            static const char Hex[] = "0123456789ABCDEF";
            AppendUtf8(buffer_, text.substr(start, i - start));
            buffer_ += "\\u00";
            buffer_.push_back(Hex[text[i] >> 4]);
            buffer_.push_back(Hex[text[i] & 15]);
            start = i + 1;
        }
        AppendUtf8(buffer_, text.substr(start));
    }

    void Tab() { buffer_.push_back('\t'); }

    void EndRow() {
        buffer_.push_back('\n');
        if (buffer_.size() >= FlushSize) Flush();
    }

    void Row(const FileTable& table, uint32_t row) {
        const FileEntry& entry = table[row];
        Number(entry.RecordNumber());
        Tab();
        Number(entry.ParentRecordNumber());
        Tab();
        Text(table.Name(row));
        Tab();
        Number(uint64_t{entry.isFolder ? 1u : 0u});
        Tab();
        Text(table.SizeText(row));
        Tab();
        Number(entry.Created);
        Tab();
        Text(table.CreatedText(row).View());
        Tab();
        Number(entry.Modified);
        Tab();
        Text(table.ModifiedText(row).View());
        Tab();
        Text(table.FullPath(row));
        Tab();
        Text(table.FolderPath(row));
        Tab();
        Text(table.Extension(row));
        Tab();
        Number(int64_t{table.IconIndex(row)});
        Tab();
        Number(int64_t{table.Category(row)});
        EndRow();
    }

    void Flush() {
        if (!buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
        buffer_.clear();
        std::fflush(stdout);
    }

  private:
    static constexpr std::size_t FlushSize = 16 << 20;
    std::string buffer_;
};

}  // namespace

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    // The build frees its scratch in blocks of a few megabytes as it goes. The Windows heap gives
    // such blocks back to the system at once; glibc keeps them once it has raised its own
    // threshold, so a fixed one holds the process to the memory it uses.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
    std::optional<Options> parsed = ParseArguments(argc, argv);
    std::optional<CodePageConverter> converter;
    if (parsed && parsed->exportPath) {
        // UTF-8 goes through the conversion the window's UTF-8 export uses, so that both write
        // the same bytes for every name; iconv would write "?" for a lone surrogate.
        converter = IsUtf8Name(parsed->codePage) ? CodePageConverter(ToUtf8)
                                                 : IconvConverter(parsed->codePage);
        if (!converter) parsed.reset();
    }
    if (!parsed) {
        std::fprintf(stderr, "%s\n", Usage);
        return 2;
    }
    const Options& options = *parsed;
    tzset();
    ThePlatform().diagnostic = WriteStandardError;

    std::optional<std::vector<ImageVolume>> imageVolumes = VolumesOfImages(options.images);
    if (!imageVolumes) {
        WriteStandardError("skimlet-cli: more NTFS partitions than drive letters");
        return 2;
    }
    std::map<std::u16string, ImageVolume> imageOf;
    std::vector<std::u16string> volumes;
    for (const ImageVolume& volume : *imageVolumes) {
        std::u16string devicePath = std::u16string(u"\\\\.\\") + char16_t(volume.letter) + u':';
        volumes.push_back(devicePath);
        imageOf[devicePath] = volume;
    }
    VolumeOpener open = [&imageOf](std::u16string_view devicePath) -> std::optional<VolumeSource> {
        const ImageVolume& image = imageOf.at(std::u16string(devicePath));
        std::string refusal;
        std::optional<VolumeSource> source = OpenVolumeImage(image.path, image.offset, &refusal);
        if (!source)
            ThePlatform().diagnostic("error: " + image.path + " (" + image.letter +
                                     ":): " + WhyUnreadable(image.path, refusal));
        return source;
    };

    auto start = std::chrono::steady_clock::now();
    std::vector<std::u16string> failed;
    ResultSet results(Publish(BuildIndex(volumes, open, &failed)));
    std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    WriteStandardError(ToUtf8(LoadSummary(results.Table().Size(), seconds.count())));

    results.SetTypeFilter(options.type);
    RunSearch(results, FromUtf8(options.query));
    SortState sort;
    for (const auto& [step, position] : options.orderSteps) {
        const Column column = static_cast<Column>(position);  // checked by ParseArguments
        switch (step) {
            case OrderStep::Sort:
                sort.Sort(results, column);
                break;
            case OrderStep::Click:
                sort.Click(results, column);
                break;
            case OrderStep::Ascending:
                sort.SetAscending(true);
                break;
            case OrderStep::Descending:
                sort.SetAscending(false);
                break;
        }
    }

    bool exportFailed = false;
    if (options.exportPath) {
        const ExportOutcome outcome = ExportToFile(std::fopen(options.exportPath->c_str(), "wb"),
                                                   sort.HeaderTexts(), results, *converter);
        if (outcome != ExportOutcome::Written) {
            WriteStandardError(ToUtf8(ExportFailureText(outcome)) + ": " + *options.exportPath);
            exportFailed = true;
        }
    }

    if (!options.countOnly) {
        RowWriter rows;
        for (std::size_t i = 0; i < results.Size(); ++i)
            rows.Row(results.Table(), results.RowNumber(i));
    }
    WriteStandardError(ToUtf8(ResultCountText(results.Size())));
    return exportFailed || !failed.empty() ? 1 : 0;
}
