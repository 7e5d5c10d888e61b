#include "index/index_build.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "index/classify.h"
#include "index/folder_paths.h"
#include "index/mft_reader.h"
#include "index/run_slices.h"

namespace {

// Every volume that was read appends its own set of icons to the icon list, and the entries keep
// the indices of that set. The sets are appended in volume order, whichever read ends first, so
// the same volumes always give the same icon indices.
class IconTurns {
  public:
    // Waits for the turn of volume `volume`, appends its icons when it was read, and passes the
    // turn on.
    IconMap Take(std::size_t volume, bool read) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return next_ == volume; });
        IconMap icons;
        if (read) icons = BuildIconMap();
        ++next_;
        changed_.notify_all();
        return icons;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t next_ = 0;
};

// One volume read, resolved and classified; empty when it could not be opened or read.
VolumeEntries VolumeWorker(const std::u16string& devicePath, std::size_t position,
                           const VolumeOpener& open, unsigned parts, ThreadBudget& budget,
                           IconTurns& turns, uint8_t& wasRead) {
    std::optional<VolumeEntries> volume;
    try {
        std::optional<VolumeSource> source = open(devicePath);
        if (source)
            volume = ReadVolume(
                *source, parts, [&open, &devicePath] { return open(devicePath); }, budget);
    } catch (...) {
        // The later volumes wait for this one's turn.
        turns.Take(position, false);
        throw;
    }
    wasRead = volume.has_value();
    IconMap icons = turns.Take(position, volume.has_value());
    if (!volume) return {};
    CategoryMap categories = BuildCategoryMap();
    ResolvePaths(*volume, devicePath, icons, categories, parts, budget);
    return std::move(*volume);
}

}  // namespace

unsigned DefaultBuildParts() {
    // Lets a test or a benchmark force the split from outside, e.g. to compare 1 with several.
    if (const char* forced = std::getenv("SKIMLET_BUILD_PARTS")) {
        int parts = std::atoi(forced);
        if (parts > 0) return static_cast<unsigned>(parts);
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

FileTable BuildIndex(const std::vector<std::u16string>& volumes, const VolumeOpener& open,
                     std::vector<std::u16string>* failed, unsigned partsPerVolume) {
    if (partsPerVolume == 0) partsPerVolume = DefaultBuildParts();
    // Each worker writes only its own slot, so the workers share nothing until they are joined.
    std::vector<VolumeEntries> read(volumes.size());
    std::vector<uint8_t> wasRead(volumes.size(), 0);
    IconTurns turns;
    ThreadBudget budget(partsPerVolume);
    RunSlices(budget, volumes.size(), [&](std::size_t i) {
        read[i] = VolumeWorker(volumes[i], i, open, partsPerVolume, budget, turns, wasRead[i]);
    });
    if (failed)
        for (std::size_t i = 0; i < volumes.size(); ++i)
            if (!wasRead[i]) failed->push_back(volumes[i]);

    // The first volume's block becomes the table itself, sparing a copy of the largest part;
    // the others are appended in volume order, so the rows do not depend on which ended first.
    std::size_t total = 0;
    for (const VolumeEntries& volume : read) total += volume.entries.size();
    std::vector<FileEntry> entries;
    std::vector<std::unique_ptr<TextArena>> texts;
    for (VolumeEntries& volume : read) {
        if (entries.empty()) {
            entries = std::move(volume.entries);
            entries.reserve(total);
        } else {
            entries.insert(entries.end(), volume.entries.begin(), volume.entries.end());
            volume.entries = {};
        }
        if (volume.texts) texts.push_back(std::move(volume.texts));
        for (auto& more : volume.moreTexts) texts.push_back(std::move(more));
    }
    return FileTable(std::move(entries), std::move(texts));
}
