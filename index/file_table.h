// Path resolution and time texts of one volume's entries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "index/classify.h"
#include "index/mft_reader.h"

// "%Y-%m-%d %H:%M" of a FILETIME in local time; empty before 1970 or past what the local-time
// conversion handles.
std::u16string TimeTextFor(uint64_t filetime);

// Fills FolderPath (and so FullPath), CreatedText and ModifiedText of every entry and
// classifies it. The drive is the last two units of the device path ("\\.\C:" gives "C:").
// The parent walk is bounded, so a cycle in a damaged volume cannot hang it.
void ResolvePaths(VolumeEntries& volume, std::u16string_view devicePath, const IconMap& icons,
                  const CategoryMap& categories);
