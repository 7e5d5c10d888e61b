// The folder of every entry of one volume, each folder's path stored once.
#pragma once

#include <cstddef>
#include <string_view>

#include "index/mft_reader.h"

// Stores the folder path of every folder that holds an entry and sets each entry's folder. The
// drive is the last two units of the device path ("\\.\C:" gives "C:"); it is the volume's first
// folder, the folder of every entry whose parent is no folder read here. The parent walk is
// bounded, so a cycle in a damaged volume cannot hang it. A folder whose path would be longer
// than MaxPathUnits, the longest path the system opens, and every folder below it, has the path
// "C:\…\" and its own name instead. False when the paths pass the store's offsets.
bool ResolvePaths(VolumeEntries& volume, std::u16string_view devicePath,
                  std::size_t maxBytes = TableColumns::MaxTextBytes);

constexpr std::size_t MaxPathUnits = 32767;
