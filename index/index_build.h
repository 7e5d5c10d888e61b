// Reads every listed volume in parallel, one worker thread per volume, into the ResultSet, then
// publishes it as the FileTable.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "index/volume_source.h"

// Device paths ("\\.\C:") of the volumes to index, in the order the system lists the drives.
extern std::vector<std::u16string> VolumeList;

// Opens the volume behind a device path; nothing when it cannot be opened.
using VolumeOpener = std::function<std::optional<VolumeSource>(std::u16string_view devicePath)>;

// Indexes every volume of VolumeList with `open`; returns 0. Every volume gets a worker.
int BuildIndex(const VolumeOpener& open);

// One volume: read, resolve, classify, then append to the ResultSet under the TableLock.
void VolumeWorker(std::u16string devicePath, const VolumeOpener& open);

#ifdef _WIN32
// The fixed NTFS drives as device paths.
std::vector<std::u16string> FindNtfsVolumes();
// Opens "\\.\C:" with the NTFS driver's control codes, falling back to the raw reader over the
// same handle when the driver answers error 50 or 1. A volume that cannot be opened or read still
// yields a source, whose refused volume-data request makes the walk write "error".
std::optional<VolumeSource> OpenWindowsVolume(std::u16string_view devicePath);
#endif
