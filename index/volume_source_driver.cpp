#include "index/volume_source_driver.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "index/ntfs_layout.h"
#include "index/raw_volume.h"

namespace {

// What one source over the driver keeps between requests.
struct DriverVolume {
    DriverRequests requests;
    uint32_t recordSize = 0;
    std::vector<uint8_t> reply;

    // A refusal may be passing (the record being written, a retried read); one more request
    // before the walk steps below the number costs little and keeps the record.
    bool RecordAtOrBelow(uint64_t n, uint64_t& number, std::span<uint8_t> record) {
        return Ask(n, number, record) || Ask(n, number, record);
    }

    bool Ask(uint64_t n, uint64_t& number, std::span<uint8_t> record) {
        std::fill(reply.begin(), reply.end(), 0);
        uint32_t returned = 0;
        if (requests.fileRecord(n, reply, returned) != 0 ||
            returned < sizeof(NtfsFileRecordOutputBuffer::FileReferenceNumber)) {
            number = n;
            return false;
        }
        NtfsFileRecordOutputBuffer header;
        std::memcpy(&header, reply.data(), FileRecordReplyHeaderBytes);
        // The walk steps by record numbers; a sequence number in the top bits would derail it.
        number = static_cast<uint64_t>(header.FileReferenceNumber) & ntfs::RecordNumberMask;
        // Only a whole record is a record: a cut one would lose the attributes past the cut.
        if (returned < FileRecordReplyHeaderBytes + std::size_t{recordSize} ||
            header.FileRecordLength != recordSize || record.size() != recordSize)
            return false;
        std::memcpy(record.data(), reply.data() + FileRecordReplyHeaderBytes, recordSize);
        // NTFS hands out its fixed-up copy, but nothing promises it. A record whose every stride
        // still ends in the update sequence number is fixed up here; in a copy already fixed up
        // such an ending is the true value, which the array holds too, so the step changes nothing.
        ApplyFixup(record);
        return true;
    }
};

}  // namespace

uint32_t OpenDriverVolume(std::u16string_view, DriverRequests requests, VolumeSource& source) {
    NtfsVolumeDataBuffer reply = {};
    uint32_t returned = 0;
    uint32_t error = requests.volumeData(
        std::span<uint8_t>(reinterpret_cast<uint8_t*>(&reply), sizeof(reply)), returned);
    if (error != 0) return error;

    NtfsVolumeData data;
    data.BytesPerFileRecordSegment = reply.BytesPerFileRecordSegment;
    data.MftValidDataLength = reply.MftValidDataLength;
    auto volume = std::make_shared<DriverVolume>();
    volume->recordSize = data.BytesPerFileRecordSegment;
    // The documented size, which counts the structure's padding: a driver may insist on it.
    volume->reply.assign(
        sizeof(NtfsFileRecordOutputBuffer) + std::size_t{data.BytesPerFileRecordSegment} - 1, 0);
    source.owner = requests.owner;
    volume->requests = std::move(requests);
    source.volumeData = [data](NtfsVolumeData& out) {
        out = data;
        return true;
    };
    source.recordAtOrBelow = [volume](uint64_t n, uint64_t& number, std::span<uint8_t> record) {
        return volume->RecordAtOrBelow(n, number, record);
    };
    return 0;
}

VolumeSource FailedVolume(std::shared_ptr<void> owner) {
    VolumeSource source;
    source.volumeData = [](NtfsVolumeData&) { return false; };
    source.recordAtOrBelow = [](uint64_t n, uint64_t& number, std::span<uint8_t>) {
        number = n;
        return false;
    };
    source.owner = std::move(owner);
    return source;
}
