// Our own answer to the two volume requests, read from the raw bytes of an NTFS volume: boot
// sector, the $MFT data runs, the update-sequence fix-up and the $MFT bitmap.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "index/volume_source.h"

// Reads exactly buffer.size() bytes at a byte offset of the volume; false on any failure.
using ReadAt = std::function<bool(uint64_t offset, std::span<uint8_t> buffer)>;

// One run of a non-resident attribute: `length` clusters from virtual cluster `vcn`, stored at
// logical cluster `lcn`, or not stored at all (sparse, reads as zeros).
struct DataRun {
    static constexpr int64_t Sparse = -1;
    uint64_t vcn = 0;
    uint64_t length = 0;
    int64_t lcn = Sparse;
    bool operator==(const DataRun&) const = default;
};

// Decodes mapping pairs starting at `lowestVcn` and appends the runs. False when a pair is
// truncated, a length is 0, or a cluster number leaves the range 0..2^62; runs decoded before
// the fault are left in `runs`.
bool DecodeDataRuns(std::span<const uint8_t> mappingPairs, uint64_t lowestVcn,
                    std::vector<DataRun>& runs);

// Checks and undoes the update-sequence protection of a multi-sector record in place: the last
// two bytes of every 512-byte stride must equal the sequence number and get back their saved
// values. False (the record is damaged) when the array does not fit or a stride does not match.
bool ApplyFixup(std::span<uint8_t> record);

// Nothing when the boot sector, the $MFT record or its runs are damaged, with why in `refusal`
// when it is given.
std::optional<VolumeSource> OpenRawVolume(ReadAt read, std::shared_ptr<void> owner,
                                          std::string* refusal = nullptr);

#ifndef _WIN32
// Whole reads with pread, retried on short reads and interruptions.
ReadAt FileReader(int descriptor);
// An image file or block device read with pread, from byte `offset` on: a volume of a disk image
// begins at its partition's offset.
std::optional<VolumeSource> OpenVolumeImage(const std::string& path, uint64_t offset = 0,
                                            std::string* refusal = nullptr);
#endif
