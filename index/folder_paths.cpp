#include "index/folder_paths.h"

#include "index/run_slices.h"
#include "index/time_texts.h"

namespace {

constexpr std::u16string_view OverlongMark = u"\\\u2026\\";

struct FolderText {
    const char16_t* text = u"";
    std::size_t length = 0;
};

// The folder path of every folder of a volume, made once and shared by all entries in it. Each
// folder's text is its parent's text, a backslash and its name, so a folder costs one store.
class FolderPaths {
  public:
    FolderPaths(const VolumeEntries& volume, std::u16string_view drive, TextArena& arena)
        : arena_(arena) {
        driveText_ = {arena.Store(drive), drive.size()};
        // Folder records are numbers below the volume's record count, so a table by number
        // costs four bytes per record of the $MFT and finds each entry's folder in one read.
        const std::size_t count = volume.FolderNames.size();
        folders_.reserve(count);
        if (count > 0) indexOfRecord_.assign(volume.FolderNames.rbegin()->first + 1, NotAFolder);
        for (const auto& [record, name] : volume.FolderNames) {
            indexOfRecord_[record] = static_cast<uint32_t>(folders_.size());
            Folder folder;
            folder.name = name;
            folders_.push_back(folder);
        }
        for (const auto& [record, parent] : volume.FolderParents) {
            const int64_t index = IndexOf(record);
            if (index < 0) continue;
            folders_[static_cast<std::size_t>(index)].hasParentLink = true;
            folders_[static_cast<std::size_t>(index)].parent = IndexOf(parent);
        }
        // In the entries' order, as a cycle in a damaged volume is cut where the walk first
        // meets it; afterwards the paths are only read, from several threads.
        uint64_t lastParent = UINT64_MAX;
        for (const FileEntry& entry : volume.entries) {
            if (entry.ParentRecordNumber == lastParent) continue;
            lastParent = entry.ParentRecordNumber;
            int64_t index = IndexOf(lastParent);
            if (index >= 0) Resolve(static_cast<std::size_t>(index));
        }
    }

    // The FolderPath of an entry whose parent is `record`.
    FolderText ForParent(uint64_t record) const {
        int64_t index = IndexOf(record);
        return index < 0 ? driveText_ : folders_[static_cast<std::size_t>(index)].text;
    }

  private:
    enum class State : uint8_t { Unvisited, OnChain, Done };
    struct Folder {
        std::u16string_view name;
        bool hasParentLink = false;
        int64_t parent = -1;  // index in folders_, -1 when the parent is not a folder read here
        State state = State::Unvisited;
        // Below a path too long to open: shown as the drive, "\…\" and the folder's name.
        bool overlong = false;
        FolderText text;
    };

    int64_t IndexOf(uint64_t record) const {
        if (record >= indexOfRecord_.size() || indexOfRecord_[record] == NotAFolder) return -1;
        return indexOfRecord_[record];
    }

    // Walks up to the first folder already resolved or to the top of the chain, then makes the
    // texts on the way back down. Every folder is visited once, so a cycle in a damaged volume
    // ends the walk: the folder that closes it is treated as the top.
    FolderText Resolve(std::size_t index) {
        std::size_t current = index;
        while (folders_[current].state == State::Unvisited) {
            folders_[current].state = State::OnChain;
            chain_.push_back(current);
            const Folder& folder = folders_[current];
            if (!folder.hasParentLink || folder.parent < 0) break;
            current = static_cast<std::size_t>(folder.parent);
        }
        while (!chain_.empty()) {
            Folder& folder = folders_[chain_.back()];
            chain_.pop_back();
            if (!folder.hasParentLink) {
                // The walk stops at a folder without a parent link and leaves its name out.
                folder.text = driveText_;
            } else {
                FolderText above = driveText_;
                bool aboveOverlong = false;
                if (folder.parent >= 0 && folders_[folder.parent].state == State::Done) {
                    above = folders_[folder.parent].text;
                    aboveOverlong = folders_[folder.parent].overlong;
                }
                // A path longer than the system can open is not made: a chain of thousands of
                // long-named folders would otherwise cost the square of its depth.
                if (aboveOverlong || above.length + 1 + folder.name.size() > MaxPathUnits) {
                    folder.overlong = true;
                    above = driveText_;
                }
                std::u16string_view aboveText(above.text, above.length);
                std::u16string_view separator = folder.overlong ? OverlongMark : u"\\";
                folder.text = {arena_.Store(aboveText, separator, folder.name),
                               above.length + separator.size() + folder.name.size()};
            }
            folder.state = State::Done;
        }
        return folders_[index].text;
    }

    TextArena& arena_;
    FolderText driveText_;
    static constexpr uint32_t NotAFolder = UINT32_MAX;
    std::vector<uint32_t> indexOfRecord_;
    std::vector<Folder> folders_;
    std::vector<std::size_t> chain_;
};

// Formats, resolves and classifies the entries [first, last) with a time formatter of its own.
void ResolveSlice(std::vector<FileEntry>& entries, std::size_t first, std::size_t last,
                  const FolderPaths& folders, const IconMap& icons, const CategoryMap& categories) {
    TimeTextFormatter times;
    EntryClassifier classifier(icons, categories);
    uint64_t lastParent = UINT64_MAX;
    FolderText lastFolder;
    for (std::size_t at = first; at < last; ++at) {
        FileEntry& entry = entries[at];
        if (entry.ParentRecordNumber != lastParent) {
            lastParent = entry.ParentRecordNumber;
            lastFolder = folders.ForParent(lastParent);
        }
        entry.SetFolderPath(lastFolder.text, lastFolder.length);
        entry.SetTimeTexts(times.Text(entry.Created), times.Text(entry.Modified));
        classifier.Classify(entry);
    }
}

}  // namespace

void ResolvePaths(VolumeEntries& volume, std::u16string_view devicePath, const IconMap& icons,
                  const CategoryMap& categories, unsigned parts, ThreadBudget& budget) {
    if (!volume.texts) volume.texts = std::make_unique<TextArena>();
    std::u16string_view drive =
        devicePath.size() >= 2 ? devicePath.substr(devicePath.size() - 2) : devicePath;
    const FolderPaths folders(volume, drive, *volume.texts);
    std::vector<FileEntry>& entries = volume.entries;
    constexpr std::size_t MinEntriesPerPart = 64;
    parts = SliceCount(parts, entries.size(), MinEntriesPerPart);
    auto bound = [&](std::size_t p) { return entries.size() * p / parts; };
    RunSlices(budget, parts, [&](std::size_t p) {
        ResolveSlice(entries, bound(p), bound(p + 1), folders, icons, categories);
    });
}

void ResolvePaths(VolumeEntries& volume, std::u16string_view devicePath, const IconMap& icons,
                  const CategoryMap& categories, unsigned parts) {
    ThreadBudget budget(parts);
    ResolvePaths(volume, devicePath, icons, categories, parts, budget);
}
