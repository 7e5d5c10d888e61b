// The seam between the record walk and a volume: the NTFS volume data, and "the in-use file
// record at or below n". The NTFS driver answers both on Windows; our raw reader answers them
// from the volume's bytes where the driver cannot (Wine, Linux).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

struct NtfsVolumeData {
    uint32_t BytesPerFileRecordSegment = 0;
    int64_t MftValidDataLength = 0;
};

struct VolumeSource {
    std::function<bool(NtfsVolumeData& data)> volumeData;
    // Copies the in-use record with the highest number at or below n into `record` (exactly
    // BytesPerFileRecordSegment bytes, update-sequence fix-up applied) and stores its number in
    // `number`. Returns false when the record asked for is refused (damaged), in which case the
    // walk goes on below `number`: the refused record's number when known, else n. When no
    // record at or below n is in use, returns true with number 0 and a zeroed record.
    std::function<bool(uint64_t n, uint64_t& number, std::span<uint8_t> record)> recordAtOrBelow;
    // Keeps the handle or file behind the two functions open for as long as the source lives.
    std::shared_ptr<void> owner;
};
