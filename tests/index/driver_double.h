// A double of the NTFS driver: answers the volume-data and file-record requests as documented,
// from the bytes of a volume image, with switches for the ways a driver has been seen to answer.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "index/raw_volume.h"
#include "index/volume_source.h"
#include "index/volume_source_driver.h"

namespace testntfs {

struct DriverSwitches {
    // Error 122 for a reply buffer below the documented sizeof + record size - 1; otherwise a
    // buffer that holds the header and the record is enough.
    bool insistOnDocumentedSize = false;
    // Replies for these records are cut to this many bytes of the record (returned count and
    // FileRecordLength alike).
    std::set<uint64_t> shortReplies;
    uint32_t shortReplyBytes = 0;
    // Records handed out as they lie on disk, the update sequence not applied.
    bool withoutFixup = false;
    // Requests that land on these records are refused this many times before they are answered.
    std::map<uint64_t, int> transientRefusals;
    // Every file-record request of a handle opened without write access is refused (error 5).
    bool deniedWithoutWriteAccess = false;
    // Every file-record request fails with this error (0: none).
    uint32_t refuseEveryRecord = 0;
    // The valid length the volume data claims, instead of the $MFT's.
    std::optional<int64_t> claimedValidLength;
};

class DriverDouble {
  public:
    // `read` reads the volume's bytes; false from Open when it is no NTFS volume.
    DriverDouble(ReadAt read, DriverSwitches switches);
    bool Open();
    // The requests of one handle; `writeAccess` as the handle was opened.
    DriverRequests Requests(bool writeAccess = false);

    // Every record number asked for, in order, and the reply buffer sizes given.
    std::vector<uint64_t> asked;
    std::set<std::size_t> replySizes;

  private:
    uint32_t VolumeData(std::span<uint8_t> reply, uint32_t& returned);
    uint32_t FileRecord(bool writeAccess, uint64_t asked, std::span<uint8_t> reply,
                        uint32_t& returned);

    ReadAt read_;
    DriverSwitches switches_;
    std::optional<VolumeSource> volume_;
    NtfsVolumeDataBuffer data_ = {};
    std::map<uint64_t, int> refusedSoFar_;
    // A split build asks from several threads at once, as a driver allows; the double's log, its
    // refusal counts and the raw reader behind it are not shared safely without this.
    std::mutex mutex_;
};

}  // namespace testntfs
