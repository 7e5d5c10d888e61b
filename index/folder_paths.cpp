#include "index/folder_paths.h"

#include <algorithm>

#include "index/time_texts.h"

namespace {

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
        std::size_t count = volume.FolderNames.size();
        records_.reserve(count);
        folders_.reserve(count);
        for (const auto& [record, name] : volume.FolderNames) {
            records_.push_back(record);
            Folder folder;
            folder.name = name;
            folders_.push_back(folder);
        }
        for (std::size_t i = 0; i < count; ++i) {
            auto parent = volume.FolderParents.find(records_[i]);
            if (parent == volume.FolderParents.end()) continue;
            folders_[i].hasParentLink = true;
            folders_[i].parent = IndexOf(parent->second);
        }
    }

    // The FolderPath of an entry whose parent is `record`.
    FolderText ForParent(uint64_t record) {
        if (record == lastParent_) return lastText_;
        int64_t index = IndexOf(record);
        lastParent_ = record;
        lastText_ = index < 0 ? driveText_ : Resolve(static_cast<std::size_t>(index));
        return lastText_;
    }

  private:
    enum class State : uint8_t { Unvisited, OnChain, Done };
    struct Folder {
        std::u16string_view name;
        bool hasParentLink = false;
        int64_t parent = -1;  // index in folders_, -1 when the parent is not a folder read here
        State state = State::Unvisited;
        FolderText text;
    };

    int64_t IndexOf(uint64_t record) const {
        auto found = std::lower_bound(records_.begin(), records_.end(), record);
        if (found == records_.end() || *found != record) return -1;
        return found - records_.begin();
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
                if (folder.parent >= 0 && folders_[folder.parent].state == State::Done)
                    above = folders_[folder.parent].text;
                std::u16string_view aboveText(above.text, above.length);
                folder.text = {arena_.Store(aboveText, u"\\", folder.name),
                               above.length + 1 + folder.name.size()};
            }
            folder.state = State::Done;
        }
        return folders_[index].text;
    }

    TextArena& arena_;
    FolderText driveText_;
    std::vector<uint64_t> records_;
    std::vector<Folder> folders_;
    std::vector<std::size_t> chain_;
    uint64_t lastParent_ = UINT64_MAX;
    FolderText lastText_;
};

}  // namespace

void ResolvePaths(VolumeEntries& volume, std::u16string_view devicePath, const IconMap& icons,
                  const CategoryMap& categories) {
    if (!volume.texts) volume.texts = std::make_unique<TextArena>();
    TextArena& arena = *volume.texts;
    std::u16string_view drive =
        devicePath.size() >= 2 ? devicePath.substr(devicePath.size() - 2) : devicePath;
    FolderPaths folders(volume, drive, arena);
    TimeTextFormatter times(arena);
    EntryClassifier classifier(icons, categories);
    constexpr std::size_t EntriesPerBatch = TimeTextFormatter::BatchSize / 2;
    uint64_t filetimes[TimeTextFormatter::BatchSize];
    const char16_t* texts[TimeTextFormatter::BatchSize];
    std::vector<FileEntry>& entries = volume.entries;
    for (std::size_t first = 0; first < entries.size(); first += EntriesPerBatch) {
        std::size_t count = std::min(EntriesPerBatch, entries.size() - first);
        for (std::size_t i = 0; i < count; ++i) {
            filetimes[2 * i] = entries[first + i].Created;
            filetimes[2 * i + 1] = entries[first + i].Modified;
        }
        times.Texts(filetimes, texts, 2 * count);
        for (std::size_t i = 0; i < count; ++i) {
            FileEntry& entry = entries[first + i];
            FolderText folder = folders.ForParent(entry.ParentRecordNumber);
            entry.SetFolderPath(folder.text, folder.length);
            entry.SetTimeTexts(texts[2 * i], texts[2 * i + 1]);
            classifier.Classify(entry);
        }
    }
}
