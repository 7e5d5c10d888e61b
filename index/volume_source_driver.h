// The NTFS driver's two requests, as the Windows source makes them, and what is made of their
// replies. Only the requests themselves go through DeviceIoControl (volume_source_win.cpp); the
// reply checks live here, where the native tests drive them with a double of the driver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "index/volume_source.h"

// The system's error codes that the handling of the replies tells apart.
namespace driver_error {
inline constexpr uint32_t InvalidFunction = 1;
inline constexpr uint32_t AccessDenied = 5;
inline constexpr uint32_t InvalidHandle = 6;
inline constexpr uint32_t NotReady = 21;
inline constexpr uint32_t NotSupported = 50;
inline constexpr uint32_t InsufficientBuffer = 122;
}  // namespace driver_error

#pragma pack(push, 1)

// NTFS_VOLUME_DATA_BUFFER, the reply to FSCTL_GET_NTFS_VOLUME_DATA.
struct NtfsVolumeDataBuffer {
    int64_t VolumeSerialNumber;
    int64_t NumberSectors;
    int64_t TotalClusters;
    int64_t FreeClusters;
    int64_t TotalReserved;
    uint32_t BytesPerSector;
    uint32_t BytesPerCluster;
    uint32_t BytesPerFileRecordSegment;
    uint32_t ClustersPerFileRecordSegment;
    int64_t MftValidDataLength;
    int64_t MftStartLcn;
    int64_t Mft2StartLcn;
    int64_t MftZoneStart;
    int64_t MftZoneEnd;
};
static_assert(sizeof(NtfsVolumeDataBuffer) == 96);
static_assert(offsetof(NtfsVolumeDataBuffer, NumberSectors) == 8);
static_assert(offsetof(NtfsVolumeDataBuffer, TotalClusters) == 16);
static_assert(offsetof(NtfsVolumeDataBuffer, BytesPerSector) == 40);
static_assert(offsetof(NtfsVolumeDataBuffer, BytesPerCluster) == 44);
static_assert(offsetof(NtfsVolumeDataBuffer, BytesPerFileRecordSegment) == 48);
static_assert(offsetof(NtfsVolumeDataBuffer, ClustersPerFileRecordSegment) == 52);
static_assert(offsetof(NtfsVolumeDataBuffer, MftValidDataLength) == 56);
static_assert(offsetof(NtfsVolumeDataBuffer, MftStartLcn) == 64);
static_assert(offsetof(NtfsVolumeDataBuffer, Mft2StartLcn) == 72);
static_assert(offsetof(NtfsVolumeDataBuffer, MftZoneEnd) == 88);

// NTFS_FILE_RECORD_OUTPUT_BUFFER, the reply to FSCTL_GET_NTFS_FILE_RECORD: the record follows at
// FileRecordBuffer. The platform's structure is padded to a multiple of 8 bytes, and the reply's
// documented size, sizeof + record size - 1, counts that padding.
struct NtfsFileRecordOutputBuffer {
    int64_t FileReferenceNumber;
    uint32_t FileRecordLength;
    uint8_t FileRecordBuffer[1];
    uint8_t padding[3];
};
static_assert(sizeof(NtfsFileRecordOutputBuffer) == 16);
static_assert(offsetof(NtfsFileRecordOutputBuffer, FileRecordLength) == 8);
static_assert(offsetof(NtfsFileRecordOutputBuffer, FileRecordBuffer) == 12);

#pragma pack(pop)

inline constexpr std::size_t FileRecordReplyHeaderBytes =
    offsetof(NtfsFileRecordOutputBuffer, FileRecordBuffer);

// File-record refusals in a row after which the volume is taken as unreadable: far more records
// than any damaged stretch of a real $MFT holds, and far fewer than a large volume has.
inline constexpr uint64_t MaxRefusedRun = uint64_t{1} << 16;

// The two requests on an open volume. Each fills `reply`, sets `returned` to the bytes written
// and gives 0, or gives the system error code.
struct DriverRequests {
    std::function<uint32_t(std::span<uint8_t> reply, uint32_t& returned)> volumeData;
    std::function<uint32_t(uint64_t asked, std::span<uint8_t> reply, uint32_t& returned)>
        fileRecord;
    // Opens the volume again with write access as well, for a driver that refuses a request on a
    // handle opened for reading only; the requests over the new handle, or nothing. May be unset.
    std::function<std::optional<DriverRequests>()> reopenWithWriteAccess;
    // Keeps the volume open for as long as the source lives.
    std::shared_ptr<void> owner;
};

// Asks the driver for the volume data. On success (0) `source` reads the volume's records through
// the driver; otherwise the request's error code is returned and `source` is left alone.
uint32_t OpenDriverVolume(std::u16string_view devicePath, DriverRequests requests,
                          VolumeSource& source);

// A source for a volume that cannot be read at all: its volume-data request fails, and `reason`
// (naming the volume) says why.
VolumeSource FailedVolume(std::string reason, std::shared_ptr<void> owner);

// "error 5 (access denied)": a system error code for a diagnostic line.
std::string ErrorText(uint32_t error);
