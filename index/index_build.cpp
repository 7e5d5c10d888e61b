#include "index/index_build.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "index/classify.h"
#include "index/folder_paths.h"
#include "index/mft_reader.h"
#include "index/platform.h"

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
                           const VolumeOpener& open, IconTurns& turns, uint8_t& wasRead) {
    std::optional<VolumeSource> source = open(devicePath);
    std::optional<VolumeEntries> volume;
    if (source) volume = ReadVolume(*source);
    wasRead = volume.has_value();
    IconMap icons = turns.Take(position, volume.has_value());
    if (!volume) return {};
    CategoryMap categories = BuildCategoryMap();
    ResolvePaths(*volume, devicePath, icons, categories);
    return std::move(*volume);
}

}  // namespace

FileTable BuildIndex(const std::vector<std::u16string>& volumes, const VolumeOpener& open,
                     std::vector<std::u16string>* failed) {
    // Each worker writes only its own slot, so the workers share nothing until they are joined.
    std::vector<VolumeEntries> read(volumes.size());
    std::vector<uint8_t> wasRead(volumes.size(), 0);
    IconTurns turns;
    std::vector<std::thread> workers;
    workers.reserve(volumes.size());
    for (std::size_t i = 0; i < volumes.size(); ++i) {
        try {
            workers.emplace_back([&read, &wasRead, &volumes, &open, &turns, i] {
                read[i] = VolumeWorker(volumes[i], i, open, turns, wasRead[i]);
            });
        } catch (const std::system_error&) {
            ThePlatform().diagnostic("Error creating thread!");
            break;
        }
    }
    for (std::thread& worker : workers) worker.join();
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
    }
    return FileTable(std::move(entries), std::move(texts));
}
