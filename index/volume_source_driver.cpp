#include "index/volume_source_driver.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "index/ntfs_layout.h"
#include "index/raw_volume.h"
#include "index/utf8.h"

std::string ErrorText(uint32_t error) {
    std::string text = "error " + std::to_string(error);
    switch (error) {
        case driver_error::AccessDenied:
            return text + " (access denied)";
        case driver_error::InvalidHandle:
            return text + " (invalid handle)";
        case driver_error::NotReady:
            return text + " (device not ready)";
        case driver_error::InsufficientBuffer:
            return text + " (reply buffer too small)";
        default:
            return text;
    }
}

namespace {

// Errors that say nothing about one record but about the volume or the handle: asking for the
// next record would only fail again, once per record of the volume.
bool FailsTheVolume(uint32_t error) {
    switch (error) {
        case driver_error::AccessDenied:
        case driver_error::InvalidHandle:
        case driver_error::NotReady:
        case driver_error::InsufficientBuffer:
            return true;
        default:
            return false;
    }
}

// What one source over the driver keeps between requests.
struct DriverVolume {
    std::string name;  // the device path, for the diagnostic line
    DriverRequests requests;
    uint32_t recordSize = 0;
    std::vector<uint8_t> reply;
    std::string failure;
    uint64_t refusedInARow = 0;
    uint32_t lastError = 0;

    // A refusal may be passing (the record being written, a retried read); one more request
    // before the walk steps below the number costs little and keeps the record.
    bool RecordAtOrBelow(uint64_t n, uint64_t& number, std::span<uint8_t> record) {
        number = n;
        if (!failure.empty()) return false;
        if (Ask(n, number, record) || (failure.empty() && Ask(n, number, record))) {
            refusedInARow = 0;
            return true;
        }
        if (failure.empty() && ++refusedInARow >= MaxRefusedRun)
            failure = name + " " + std::to_string(refusedInARow) +
                      " file records in a row were refused, the last with " + ErrorText(lastError);
        return false;
    }

    // The volume is opened for reading only, which the file-record request is documented to
    // need; a driver that still wants write access gets a handle with it, once.
    bool Reopen() {
        if (!requests.reopenWithWriteAccess) return false;
        std::optional<DriverRequests> reopened = requests.reopenWithWriteAccess();
        requests.reopenWithWriteAccess = nullptr;
        if (!reopened) return false;
        requests = std::move(*reopened);
        requests.reopenWithWriteAccess = nullptr;
        return true;
    }

    bool Ask(uint64_t n, uint64_t& number, std::span<uint8_t> record) {
        std::fill(reply.begin(), reply.end(), 0);
        uint32_t returned = 0;
        lastError = requests.fileRecord(n, reply, returned);
        if (lastError == driver_error::AccessDenied && Reopen()) {
            std::fill(reply.begin(), reply.end(), 0);
            lastError = requests.fileRecord(n, reply, returned);
        }
        if (lastError != 0) {
            if (FailsTheVolume(lastError))
                failure = name + " the file-record request failed with " + ErrorText(lastError);
            number = n;
            return false;
        }
        if (returned < sizeof(NtfsFileRecordOutputBuffer::FileReferenceNumber)) {
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

uint32_t OpenDriverVolume(std::u16string_view devicePath, DriverRequests requests,
                          VolumeSource& source) {
    NtfsVolumeDataBuffer reply = {};
    auto askVolumeData = [&reply](const DriverRequests& on) {
        reply = {};
        uint32_t returned = 0;
        return on.volumeData(std::span<uint8_t>(reinterpret_cast<uint8_t*>(&reply), sizeof(reply)),
                             returned);
    };
    uint32_t error = askVolumeData(requests);
    if (error == driver_error::AccessDenied && requests.reopenWithWriteAccess) {
        std::optional<DriverRequests> reopened = requests.reopenWithWriteAccess();
        if (reopened) {
            requests = std::move(*reopened);
            requests.reopenWithWriteAccess = nullptr;
            error = askVolumeData(requests);
        }
    }
    if (error != 0) return error;

    NtfsVolumeData data;
    data.BytesPerFileRecordSegment = reply.BytesPerFileRecordSegment;
    data.MftValidDataLength = reply.MftValidDataLength;
    auto volume = std::make_shared<DriverVolume>();
    volume->name = ToUtf8(devicePath);
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
    source.failure = [volume] { return volume->failure; };
    return 0;
}

VolumeSource FailedVolume(std::string reason, std::shared_ptr<void> owner) {
    VolumeSource source;
    source.failure = [reason] { return reason; };
    source.volumeData = [](NtfsVolumeData&) { return false; };
    source.recordAtOrBelow = [](uint64_t n, uint64_t& number, std::span<uint8_t>) {
        number = n;
        return false;
    };
    source.owner = std::move(owner);
    return source;
}
