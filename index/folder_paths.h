// The folder paths of one volume's entries, with their time texts and classification.
#pragma once

#include <cstddef>
#include <string_view>

#include "index/classify.h"
#include "index/mft_reader.h"

// Fills FolderPath (and so FullPath), CreatedText and ModifiedText of every entry and
// classifies it. The drive is the last two units of the device path ("\\.\C:" gives "C:").
// The parent walk is bounded, so a cycle in a damaged volume cannot hang it. A folder whose path
// would be longer than MaxPathUnits, the longest path the system opens, and every folder below
// it, has the path "C:\…\" and its own name instead. With `parts` above 1 the entries are
// done in that many slices, on threads from `budget` or, without one, on as many threads.
void ResolvePaths(VolumeEntries& volume, std::u16string_view devicePath, const IconMap& icons,
                  const CategoryMap& categories, unsigned parts, ThreadBudget& budget);
void ResolvePaths(VolumeEntries& volume, std::u16string_view devicePath, const IconMap& icons,
                  const CategoryMap& categories, unsigned parts = 1);

constexpr std::size_t MaxPathUnits = 32767;
