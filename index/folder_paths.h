// The folder paths of one volume's entries, with their time texts and classification.
#pragma once

#include <string_view>

#include "index/classify.h"
#include "index/mft_reader.h"

// Fills FolderPath (and so FullPath), CreatedText and ModifiedText of every entry and
// classifies it. The drive is the last two units of the device path ("\\.\C:" gives "C:").
// The parent walk is bounded, so a cycle in a damaged volume cannot hang it.
void ResolvePaths(VolumeEntries& volume, std::u16string_view devicePath, const IconMap& icons,
                  const CategoryMap& categories);
