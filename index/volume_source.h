// The seam between the record walk and a volume: the NTFS volume data, and "the in-use file
// record at or below n". The NTFS driver answers both on Windows; our raw reader answers them
// from the volume's bytes where the driver cannot (Wine, Linux). The walk reads ranges of
// records through ReadRecordRange, so that parts of one volume can be read apart.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

// Receives one record of a range: its number and its bytes, valid during the call only.
using RecordVisitor = std::function<void(uint64_t number, std::span<const uint8_t> record)>;

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
    // Why the volume as a whole cannot be read, once a request has failed for all its records
    // (access lost, reply buffer refused, device gone, refusals without end): recordAtOrBelow then
    // returns false, and the walk stops and fails the volume instead of stepping below. Empty
    // while the volume reads; may be left unset.
    std::function<std::string()> failure;
    // Reads a range as ReadRecordRange does, for a source that can do better than one copied
    // record per request: the raw reader lends records in place from its chunks and reads the
    // next chunk while the current one is handed out. Unset where there is no such way.
    std::function<bool(uint64_t lo, uint64_t hi, bool takeAnswerBelowLo,
                       const RecordVisitor& visit)>
        readRange;
    // Keeps the handle or file behind the two functions open for as long as the source lives.
    std::shared_ptr<void> owner;
};

// Hands `visit` every record that recordAtOrBelow delivers for the numbers in [lo, hi), highest
// first, asking once per in-use record: each answer's number, less one, is the next number asked
// for. `recordSize` is BytesPerFileRecordSegment. The answer to the request for lo itself may lie
// below lo; it is handed back only with `takeAnswerBelowLo`: the lowest part of a volume takes
// it, since the walk has always listed that record; a part above another leaves it to that part.
// False when the source failed the volume (see VolumeSource::failure): the range is not whole.
bool ReadRecordRange(const VolumeSource& source, uint32_t recordSize, uint64_t lo, uint64_t hi,
                     bool takeAnswerBelowLo, const RecordVisitor& visit);
