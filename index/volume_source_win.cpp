#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "index/index_build.h"
#include "index/raw_volume.h"

namespace {

constexpr DWORD VolumeDataReplyBytes = 96;
constexpr std::size_t VolumeDataRecordSizeOffset = 48;
constexpr std::size_t VolumeDataValidLengthOffset = 56;
constexpr std::size_t FileRecordReplyHeaderBytes = 12;

// Closes the volume handle when the last copy of the source goes away.
std::shared_ptr<void> OwnHandle(HANDLE handle) {
    return std::shared_ptr<void>(handle, [](void* h) {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    });
}

bool RequestVolumeData(HANDLE handle, NtfsVolumeData& data, DWORD& error) {
    uint8_t reply[VolumeDataReplyBytes] = {};
    DWORD returned = 0;
    if (!DeviceIoControl(handle, FSCTL_GET_NTFS_VOLUME_DATA, nullptr, 0, reply, sizeof(reply),
                         &returned, nullptr)) {
        error = GetLastError();
        return false;
    }
    std::memcpy(&data.BytesPerFileRecordSegment, reply + VolumeDataRecordSizeOffset,
                sizeof(data.BytesPerFileRecordSegment));
    std::memcpy(&data.MftValidDataLength, reply + VolumeDataValidLengthOffset,
                sizeof(data.MftValidDataLength));
    return true;
}

// A source that refuses the volume-data request, so the walk reports the volume as unreadable.
VolumeSource RefusingSource(std::shared_ptr<void> owner) {
    VolumeSource source;
    source.volumeData = [](NtfsVolumeData&) { return false; };
    source.recordAtOrBelow = [](uint64_t n, uint64_t& number, std::span<uint8_t>) {
        number = n;
        return false;
    };
    source.owner = std::move(owner);
    return source;
}

bool ReadHandleAt(HANDLE handle, uint64_t offset, std::span<uint8_t> buffer) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        OVERLAPPED at = {};
        uint64_t position = offset + done;
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        DWORD want = static_cast<DWORD>(std::min<std::size_t>(buffer.size() - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(handle, buffer.data() + done, want, &got, &at) || got == 0) return false;
        done += got;
    }
    return true;
}

}  // namespace

std::optional<VolumeSource> OpenWindowsVolume(std::u16string_view devicePath) {
    std::wstring path(devicePath.begin(), devicePath.end());
    HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    std::shared_ptr<void> owner = OwnHandle(handle);

    NtfsVolumeData data;
    DWORD error = 0;
    if (!RequestVolumeData(handle, data, error)) {
        // Where the driver does not implement the NTFS requests (Wine), read the volume's bytes.
        if (handle != INVALID_HANDLE_VALUE &&
            (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION)) {
            ReadAt read = [handle](uint64_t offset, std::span<uint8_t> buffer) {
                return ReadHandleAt(handle, offset, buffer);
            };
            if (std::optional<VolumeSource> raw = OpenRawVolume(std::move(read), owner)) return raw;
        }
        return RefusingSource(owner);
    }

    VolumeSource source;
    source.volumeData = [data](NtfsVolumeData& out) {
        out = data;
        return true;
    };
    auto reply = std::make_shared<std::vector<uint8_t>>();
    source.recordAtOrBelow = [handle, reply](uint64_t n, uint64_t& number,
                                             std::span<uint8_t> record) {
        reply->assign(record.size() + FileRecordReplyHeaderBytes, 0);
        LARGE_INTEGER asked;
        asked.QuadPart = static_cast<LONGLONG>(n);
        DWORD returned = 0;
        if (!DeviceIoControl(handle, FSCTL_GET_NTFS_FILE_RECORD, &asked, sizeof(asked),
                             reply->data(), static_cast<DWORD>(reply->size()), &returned,
                             nullptr) ||
            returned < FileRecordReplyHeaderBytes) {
            number = n;
            return false;
        }
        std::memcpy(&number, reply->data(), sizeof(number));
        // The walk steps by record numbers; a sequence number in the top bits would derail it.
        number &= 0x0000FFFFFFFFFFFF;
        std::memcpy(record.data(), reply->data() + FileRecordReplyHeaderBytes, record.size());
        return true;
    };
    source.owner = std::move(owner);
    return source;
}
