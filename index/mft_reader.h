// The record walk: one NTFS volume's file records, read from the highest number down, become
// entries and the folder maps from which the paths are resolved.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "index/file_table.h"
#include "index/volume_source.h"

class ThreadBudget;

// A folder as the walk found it: its record, its parent's record and the row of its entry, whose
// name is the folder's name.
struct WalkedFolder {
    uint64_t number = 0;
    uint64_t parent = 0;
    uint32_t row = 0;
};

struct VolumeEntries {
    // Reading order: non-increasing RecordNumber. The entries, their names and categories are
    // set; ResolvePaths adds the folders and each entry's folder.
    TableColumns columns;
    // Every folder entry, in reading order.
    std::vector<WalkedFolder> folders;
};

// Another source for the same volume; nothing when it cannot be opened again.
using VolumeReopener = std::function<std::optional<VolumeSource>()>;

// Reads every in-use record from N - 1 down to 36. On a refused volume-data request, or when the
// source fails the volume during the walk, writes the diagnostic line "error" (followed by ": " and
// the source's reason when it gives one) and returns nothing; so does a volume whose names would
// pass the 32-bit offsets of the table's stores. With `parts` above 1 the record range is split
// into that many slices, each read and parsed through a source of its own from `reopen`, on
// threads from `budget`; the entries are the same, in the same order, as with one part.
std::optional<VolumeEntries> ReadVolume(const VolumeSource& source, unsigned parts,
                                        const VolumeReopener& reopen, ThreadBudget& budget);
// The same on a budget of `parts` threads of its own.
std::optional<VolumeEntries> ReadVolume(const VolumeSource& source, unsigned parts = 1,
                                        const VolumeReopener& reopen = {});
