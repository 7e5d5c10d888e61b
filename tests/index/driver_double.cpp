#include "tests/index/driver_double.h"

#include <cstring>

#include "index/raw_volume.h"

namespace testntfs {

namespace {

constexpr uint32_t FileCorrupt = 1392;  // ERROR_FILE_CORRUPT

uint64_t Load(const std::vector<uint8_t>& bytes, std::size_t offset, int width) {
    uint64_t value = 0;
    for (int i = 0; i < width; ++i) value |= uint64_t(bytes.at(offset + i)) << (8 * i);
    return value;
}

}  // namespace

DriverDouble::DriverDouble(ReadAt read, DriverSwitches switches)
    : read_(std::move(read)), switches_(std::move(switches)) {}

bool DriverDouble::Open() {
    // Which records are in use, and their bytes, come from the volume through the raw reader; the
    // geometry of the reply straight from the boot sector.
    std::vector<uint8_t> boot(512);
    if (!read_(0, boot)) return false;
    volume_ = OpenRawVolume(read_, nullptr);
    if (!volume_) return false;
    NtfsVolumeData raw;
    if (!volume_->volumeData(raw)) return false;
    uint32_t bytesPerSector = uint32_t(Load(boot, 0x0B, 2));
    uint32_t bytesPerCluster = bytesPerSector * uint32_t(Load(boot, 0x0D, 1));
    data_.VolumeSerialNumber = int64_t(Load(boot, 0x48, 8));
    data_.NumberSectors = int64_t(Load(boot, 0x28, 8));
    data_.TotalClusters = data_.NumberSectors * bytesPerSector / bytesPerCluster;
    data_.BytesPerSector = bytesPerSector;
    data_.BytesPerCluster = bytesPerCluster;
    data_.BytesPerFileRecordSegment = raw.BytesPerFileRecordSegment;
    data_.ClustersPerFileRecordSegment = raw.BytesPerFileRecordSegment / bytesPerCluster;
    data_.MftValidDataLength = switches_.claimedValidLength.value_or(raw.MftValidDataLength);
    data_.MftStartLcn = int64_t(Load(boot, 0x30, 8));
    data_.Mft2StartLcn = int64_t(Load(boot, 0x38, 8));
    return true;
}

DriverRequests DriverDouble::Requests(bool writeAccess) {
    DriverRequests requests;
    requests.volumeData = [this](std::span<uint8_t> reply, uint32_t& returned) {
        return VolumeData(reply, returned);
    };
    requests.fileRecord = [this, writeAccess](uint64_t number, std::span<uint8_t> reply,
                                              uint32_t& returned) {
        return FileRecord(writeAccess, number, reply, returned);
    };
    return requests;
}

uint32_t DriverDouble::VolumeData(std::span<uint8_t> reply, uint32_t& returned) {
    if (reply.size() < sizeof(data_)) return driver_error::InsufficientBuffer;
    std::memcpy(reply.data(), &data_, sizeof(data_));
    returned = sizeof(data_);
    return 0;
}

uint32_t DriverDouble::FileRecord(bool writeAccess, uint64_t number, std::span<uint8_t> reply,
                                  uint32_t& returned) {
    std::lock_guard<std::mutex> lock(mutex_);
    asked.push_back(number);
    replySizes.insert(reply.size());
    if (switches_.refuseEveryRecord != 0) return switches_.refuseEveryRecord;
    if (switches_.deniedWithoutWriteAccess && !writeAccess) return driver_error::AccessDenied;
    const uint32_t size = data_.BytesPerFileRecordSegment;
    const std::size_t needed = switches_.insistOnDocumentedSize
                                   ? sizeof(NtfsFileRecordOutputBuffer) + size - 1
                                   : FileRecordReplyHeaderBytes + size;
    if (reply.size() < needed) return driver_error::InsufficientBuffer;

    std::vector<uint8_t> record(size);
    uint64_t found = 0;
    if (!volume_->recordAtOrBelow(number, found, record)) return FileCorrupt;
    auto transient = switches_.transientRefusals.find(found);
    if (transient != switches_.transientRefusals.end() &&
        refusedSoFar_[found]++ < transient->second)
        return FileCorrupt;
    if (switches_.withoutFixup) {
        // Back to the form on disk: the sequence number at the end of every 512-byte stride.
        std::size_t array = std::size_t(Load(record, 0x04, 2));
        for (std::size_t end = 510; end < record.size(); end += 512) {
            record[end] = record[array];
            record[end + 1] = record[array + 1];
        }
    }
    uint32_t length = switches_.shortReplies.count(found) ? switches_.shortReplyBytes : size;
    NtfsFileRecordOutputBuffer header = {};
    header.FileReferenceNumber = int64_t(found | Load(record, 0x10, 2) << 48);
    header.FileRecordLength = length;
    std::memcpy(reply.data(), &header, FileRecordReplyHeaderBytes);
    std::memcpy(reply.data() + FileRecordReplyHeaderBytes, record.data(), length);
    returned = uint32_t(FileRecordReplyHeaderBytes + length);
    return 0;
}

}  // namespace testntfs
