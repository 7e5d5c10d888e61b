#include "index/index_build.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "index/classify.h"
#include "index/folder_paths.h"
#include "index/mft_reader.h"
#include "index/platform.h"
#include "index/run_slices.h"

namespace {

// One volume read and resolved; nothing when it could not be opened or read.
std::optional<VolumeEntries> VolumeWorker(const std::u16string& devicePath,
                                          const VolumeOpener& open, unsigned parts,
                                          ThreadBudget& budget) {
    std::optional<VolumeSource> source = open(devicePath);
    if (!source) return std::nullopt;
    std::optional<VolumeEntries> volume = ReadVolume(
        *source, parts, [&open, &devicePath] { return open(devicePath); }, budget);
    if (volume && !ResolvePaths(*volume, devicePath)) {
        ThePlatform().diagnostic("error: the volume's folder paths pass 4 GiB");
        volume.reset();
    }
    return volume;
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
    std::vector<std::optional<VolumeEntries>> read(volumes.size());
    ThreadBudget budget(partsPerVolume);
    RunSlices(budget, volumes.size(), [&](std::size_t i) {
        read[i] = VolumeWorker(volumes[i], open, partsPerVolume, budget);
    });

    // The volumes are joined, and their icon sets appended, in volume order, so the rows and
    // the icon indices do not depend on which volume ended first.
    TableColumns columns;
    std::vector<VolumeBlock> blocks;
    for (std::size_t i = 0; i < volumes.size(); ++i) {
        std::optional<VolumeEntries>& volume = read[i];
        VolumeBlock block;
        block.firstRow = static_cast<uint32_t>(columns.Rows());
        block.firstFolder = static_cast<uint32_t>(columns.folderStart.size());
        if (volume) {
            block.rows = static_cast<uint32_t>(volume->columns.Rows());
            block.folders = static_cast<uint32_t>(volume->columns.folderStart.size());
            if (columns.Rows() + block.rows >= UINT32_MAX ||
                !columns.Append(std::move(volume->columns))) {
                ThePlatform().diagnostic("error: the table's texts pass 4 GiB");
                volume.reset();
            }
        }
        if (!volume) {
            if (failed) failed->push_back(volumes[i]);
            continue;
        }
        const std::u16string& path = volumes[i];
        block.drive = path.size() >= 2 ? path[path.size() - 2] : u'C';
        block.icons = AppendIcons();
        blocks.push_back(block);
        volume.reset();
    }
    return FileTable(std::move(columns), std::move(blocks));
}
