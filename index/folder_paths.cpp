#include "index/folder_paths.h"

#include <algorithm>
#include <string>

#include "index/unit_bytes.h"

namespace {

// The ellipsis in the store's byte form.
const std::string OverlongMark = "\\\xE2\x80\xA6\\";

std::size_t UnitsIn(std::string_view bytes) {
    std::size_t units = 0;
    for (char byte : bytes) units += (static_cast<unsigned char>(byte) & 0xC0) != 0x80 ? 1 : 0;
    return units;
}

// The folder paths of a volume, made once and shared by all entries in them. Each folder's text
// is its parent's text, a backslash and its name, so a folder costs one store.
class FolderPaths {
  public:
    FolderPaths(VolumeEntries& volume, std::u16string_view drive, std::size_t maxBytes)
        : columns_(volume.columns), maxBytes_(maxBytes) {
        fits_ = columns_.AddFolder(drive, driveFolder_, maxBytes_);
        driveUnits_ = drive.size();
        // Folder records are numbers below the volume's record count, so a table by number
        // costs four bytes per record of the $MFT and finds each entry's folder in one read. Of
        // a folder named twice, the later name is kept.
        uint64_t highest = 0;
        for (const WalkedFolder& folder : volume.folders)
            highest = std::max(highest, folder.number);
        if (!volume.folders.empty()) indexOfRecord_.assign(highest + 1, NotAFolder);
        for (const WalkedFolder& folder : volume.folders) {
            uint32_t& index = indexOfRecord_[folder.number];
            if (index == NotAFolder) {
                index = static_cast<uint32_t>(folders_.size());
                folders_.emplace_back();
            }
            folders_[index].row = folder.row;
            folders_[index].parentRecord = folder.parent;
        }
        for (Folder& folder : folders_) folder.parent = IndexOf(folder.parentRecord);
    }

    // Sets each entry's folder. In the entries' order, as a cycle in a damaged volume is cut
    // where the walk first meets it.
    bool SetFolders() {
        std::vector<FileEntry>& entries = columns_.entries;
        uint64_t lastParent = UINT64_MAX;
        uint32_t lastFolder = driveFolder_;
        for (std::size_t row = 0; row < entries.size() && fits_; ++row) {
            const uint64_t parent = entries[row].ParentRecordNumber();
            if (parent != lastParent) {
                lastParent = parent;
                const int64_t index = IndexOf(parent);
                lastFolder = index < 0 ? driveFolder_ : Resolve(static_cast<std::size_t>(index));
            }
            columns_.folderOf[row] = lastFolder;
        }
        return fits_;
    }

  private:
    enum class State : uint8_t { Unvisited, OnChain, Done };
    struct Folder {
        uint32_t row = 0;  // the folder's own entry, whose name it has
        uint64_t parentRecord = 0;
        int64_t parent = -1;  // index in folders_, -1 when the parent is not a folder read here
        State state = State::Unvisited;
        // Below a path too long to open: shown as the drive, "\…\" and the folder's name.
        bool overlong = false;
        uint32_t stored = 0;  // its path's index in the volume's folder store
        std::size_t units = 0;
    };

    int64_t IndexOf(uint64_t record) const {
        if (record >= indexOfRecord_.size() || indexOfRecord_[record] == NotAFolder) return -1;
        return indexOfRecord_[record];
    }

    std::string_view StoredText(uint32_t stored) const {
        const std::size_t start = columns_.folderStart[stored];
        const std::size_t end = stored + 1 < columns_.folderStart.size()
                                    ? columns_.folderStart[stored + 1]
                                    : columns_.folders.size();
        return std::string_view(columns_.folders).substr(start, end - start - 1);
    }

    // Walks up to the first folder already resolved or to the top of the chain, then makes the
    // texts on the way back down. Every folder is visited once, so a cycle in a damaged volume
    // ends the walk: the folder that closes it is treated as the top.
    uint32_t Resolve(std::size_t index) {
        std::size_t current = index;
        while (folders_[current].state == State::Unvisited) {
            folders_[current].state = State::OnChain;
            chain_.push_back(current);
            if (folders_[current].parent < 0) break;
            current = static_cast<std::size_t>(folders_[current].parent);
        }
        while (!chain_.empty()) {
            Folder& folder = folders_[chain_.back()];
            chain_.pop_back();
            uint32_t above = driveFolder_;
            std::size_t aboveUnits = driveUnits_;
            bool aboveOverlong = false;
            if (folder.parent >= 0 && folders_[folder.parent].state == State::Done) {
                const Folder& parent = folders_[folder.parent];
                above = parent.stored;
                aboveUnits = parent.units;
                aboveOverlong = parent.overlong;
            }
            const std::string_view name = NameOf(folder.row);
            const std::size_t nameUnits = UnitsIn(name);
            // A path longer than the system can open is not made: a chain of thousands of
            // long-named folders would otherwise cost the square of its depth.
            if (aboveOverlong || aboveUnits + 1 + nameUnits > MaxPathUnits) {
                folder.overlong = true;
                above = driveFolder_;
                aboveUnits = driveUnits_;
            }
            text_.assign(StoredText(above));
            text_ += folder.overlong ? OverlongMark : std::string("\\");
            text_ += name;
            folder.units = aboveUnits + (folder.overlong ? 3 : 1) + nameUnits;
            if (!columns_.AddFolderBytes(text_, folder.stored, maxBytes_)) {
                fits_ = false;
                folder.stored = driveFolder_;
            }
            folder.state = State::Done;
        }
        return folders_[index].stored;
    }

    std::string_view NameOf(uint32_t row) const {
        const std::size_t start = columns_.nameStart[row];
        const std::size_t end = row + 1 < columns_.nameStart.size() ? columns_.nameStart[row + 1]
                                                                    : columns_.names.size();
        return std::string_view(columns_.names).substr(start, end - start - 1);
    }

    TableColumns& columns_;
    std::size_t maxBytes_;
    bool fits_ = true;
    uint32_t driveFolder_ = 0;
    std::size_t driveUnits_ = 0;
    static constexpr uint32_t NotAFolder = UINT32_MAX;
    std::vector<uint32_t> indexOfRecord_;
    std::vector<Folder> folders_;
    std::vector<std::size_t> chain_;
    std::string text_;
};

}  // namespace

bool ResolvePaths(VolumeEntries& volume, std::u16string_view devicePath, std::size_t maxBytes) {
    const std::u16string_view drive =
        devicePath.size() >= 2 ? devicePath.substr(devicePath.size() - 2) : devicePath;
    volume.columns.folderOf.resize(volume.columns.Rows());
    FolderPaths folders(volume, drive, maxBytes);
    const bool fits = folders.SetFolders();
    // The store grew by doubling while the paths were made; the table keeps it for good.
    volume.columns.folders.shrink_to_fit();
    volume.columns.folderStart.shrink_to_fit();
    return fits;
}
