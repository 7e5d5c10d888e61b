// The record walk: one NTFS volume's file records, read from the highest number down, become
// entries and the folder maps from which the paths are resolved.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "index/file_entry.h"
#include "index/volume_source.h"

using FolderNameMap = std::map<uint64_t, std::u16string_view>;
using FolderParentMap = std::map<uint64_t, uint64_t>;

struct VolumeEntries {
    // Reading order: non-increasing RecordNumber. RecordNumber, ParentRecordNumber, Name,
    // IsFolder, SizeText, Created, Modified and Extension are set.
    std::vector<FileEntry> entries;
    FolderNameMap FolderNames;
    FolderParentMap FolderParents;
    // Holds the texts the entries and FolderNames refer to.
    std::unique_ptr<TextArena> texts;
};

// Reads every in-use record from N - 1 down to 36. On a refused volume-data request, or when the
// source fails the volume during the walk, writes the diagnostic line "error" (followed by ": " and
// the source's reason when it gives one) and returns nothing.
std::optional<VolumeEntries> ReadVolume(const VolumeSource& source);
