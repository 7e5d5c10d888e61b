// Reads every listed volume in parallel and returns the FileTable.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "index/file_table.h"
#include "index/volume_source.h"

// Opens the volume behind a device path; nothing when it cannot be opened.
using VolumeOpener = std::function<std::optional<VolumeSource>(std::u16string_view devicePath)>;

// Indexes every volume with `open`. `volumes` are device paths ("\\.\C:") in the order the
// system lists the drives; the table holds each volume's entries as one block, in that order. A
// volume that cannot be opened or read adds nothing, and its device path goes to `failed` (in
// volume order) when that is given. Each volume is read and resolved in `partsPerVolume` parts
// (0: the default), and the volumes and their parts together run on at most that many threads at
// once, besides the raw reader's read-ahead; the table is the same for every count.
FileTable BuildIndex(const std::vector<std::u16string>& volumes, const VolumeOpener& open,
                     std::vector<std::u16string>* failed = nullptr, unsigned partsPerVolume = 0);

// The number of cores, or SKIMLET_BUILD_PARTS when it is set to a positive count.
unsigned DefaultBuildParts();

#ifdef _WIN32
// The fixed NTFS drives as device paths.
std::vector<std::u16string> FindNtfsVolumes();
// Opens "\\.\C:" for reading with the NTFS driver's control codes (again with write access if
// the driver refuses a read-only handle), falling back to the raw reader over the same handle when
// the driver answers error 50 or 1. A volume that cannot be opened or read still yields a source,
// whose refused volume-data request makes the walk write "error: " with the volume and the reason.
std::optional<VolumeSource> OpenWindowsVolume(std::u16string_view devicePath);
#endif
