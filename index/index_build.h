// Reads every listed volume in parallel, one worker thread per volume, and returns the FileTable.
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

// Indexes every volume with `open`, each in a worker thread of its own. `volumes` are device
// paths ("\\.\C:") in the order the system lists the drives; the table holds each volume's
// entries as one block, in that order. A volume that cannot be opened or read adds nothing, and
// its device path goes to `failed` (in volume order) when that is given.
FileTable BuildIndex(const std::vector<std::u16string>& volumes, const VolumeOpener& open,
                     std::vector<std::u16string>* failed = nullptr);

#ifdef _WIN32
// The fixed NTFS drives as device paths.
std::vector<std::u16string> FindNtfsVolumes();
// Opens "\\.\C:" for reading with the NTFS driver's control codes (again with write access if
// the driver refuses a read-only handle), falling back to the raw reader over the same handle when
// the driver answers error 50 or 1. A volume that cannot be opened or read still yields a source,
// whose refused volume-data request makes the walk write "error: " with the volume and the reason.
std::optional<VolumeSource> OpenWindowsVolume(std::u16string_view devicePath);
#endif
