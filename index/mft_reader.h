// The record walk: one NTFS volume's file records, read from the highest number down, become
// entries and the folder maps from which the paths are resolved.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "index/file_entry.h"
#include "index/volume_source.h"

class ThreadBudget;

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
    // Texts made later on further threads, one arena each.
    std::vector<std::unique_ptr<TextArena>> moreTexts;
};

// Another source for the same volume; nothing when it cannot be opened again.
using VolumeReopener = std::function<std::optional<VolumeSource>()>;

// Reads every in-use record from N - 1 down to 36. On a refused volume-data request, or when the
// source fails the volume during the walk, writes the diagnostic line "error" (followed by ": " and
// the source's reason when it gives one) and returns nothing. With `parts` above 1 the record
// range is split into that many slices, each read and parsed through a source of its own from
// `reopen`, on threads from `budget`; the entries are the same, in the same order, as with one
// part.
std::optional<VolumeEntries> ReadVolume(const VolumeSource& source, unsigned parts,
                                        const VolumeReopener& reopen, ThreadBudget& budget);
// The same on a budget of `parts` threads of its own.
std::optional<VolumeEntries> ReadVolume(const VolumeSource& source, unsigned parts = 1,
                                        const VolumeReopener& reopen = {});
