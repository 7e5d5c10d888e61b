// Our own answer to the two volume requests, read from the raw bytes of an NTFS volume: boot
// sector, the $MFT data runs, the update-sequence fix-up and the $MFT bitmap.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "index/volume_source.h"

// Reads exactly buffer.size() bytes at a byte offset of the volume; false on any failure.
using ReadAt = std::function<bool(uint64_t offset, std::span<uint8_t> buffer)>;

// Nothing when the boot sector, the $MFT record or its runs are damaged.
std::optional<VolumeSource> OpenRawVolume(ReadAt read, std::shared_ptr<void> owner);

#ifndef _WIN32
// An image file or block device read with pread.
std::optional<VolumeSource> OpenVolumeImage(const std::string& path);
#endif
