#include "index/index_build.h"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <thread>

#include "index/classify.h"
#include "index/file_table.h"
#include "index/mft_reader.h"
#include "index/platform.h"

std::vector<std::u16string> VolumeList;

void VolumeWorker(std::u16string devicePath, const VolumeOpener& open) {
    std::optional<VolumeSource> source = open(devicePath);
    if (!source) return;
    std::optional<VolumeEntries> volume = ReadVolume(*source);
    if (!volume) return;
    IconMap icons = BuildIconMap();
    CategoryMap categories = BuildCategoryMap();
    ResolvePaths(*volume, devicePath, icons, categories);
    std::lock_guard<std::mutex> lock(TableLock);
    if (ResultSet.empty()) {
        // The first block to arrive becomes the ResultSet itself: no copy, no second page-in.
        ResultSet = std::move(volume->entries);
    } else {
        // Grow to fit the block rather than doubling: it is usually a large part of the table.
        std::size_t needed = ResultSet.size() + volume->entries.size();
        if (needed > ResultSet.capacity())
            ResultSet.reserve(std::max(needed, ResultSet.capacity() + ResultSet.capacity() / 2));
        ResultSet.insert(ResultSet.end(), volume->entries.begin(), volume->entries.end());
    }
    if (volume->texts) TableTexts.push_back(std::move(volume->texts));
}

int BuildIndex(const VolumeOpener& open) {
    ResultSet.clear();
    ResultSet.shrink_to_fit();
    FileTable.clear();
    FileTable.shrink_to_fit();
    TableTexts.clear();
    std::vector<std::thread> workers;
    workers.reserve(VolumeList.size());
    for (const std::u16string& devicePath : VolumeList) {
        try {
            workers.emplace_back(VolumeWorker, devicePath, std::cref(open));
        } catch (const std::system_error&) {
            ThePlatform().diagnostic("Error creating thread!");
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (std::thread& worker : workers) worker.join();
    // The appends grew the ResultSet by doubling; the copy is exact, and the ResultSet is made
    // exact too, since both stay full for the rest of the run.
    FileTable = ResultSet;
    ResultSet.shrink_to_fit();
    return 0;
}
