// Where the NTFS volumes of a disk image lie: a bare volume, or the partitions of an MBR (primary
// and logical) or a GPT disk. Disk images are what users of the command line have at hand.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "index/raw_volume.h"

struct VolumeExtent {
    uint64_t offset = 0;
    uint64_t length = 0;
    bool operator==(const VolumeExtent&) const = default;
};

// The extents, in partition-table order, whose first sector is an NTFS boot sector. An image that
// begins with an NTFS boot sector is one volume spanning the image. A partition that claims bytes
// past the image's end is cut to the image; one that starts past it is left out.
std::vector<VolumeExtent> FindNtfsExtents(const ReadAt& read, uint64_t imageSize);

#ifndef _WIN32
// FindNtfsExtents over an image file or block device; empty when it cannot be opened.
std::vector<VolumeExtent> FindNtfsExtentsInFile(const std::string& path);
#endif
