#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <string>

#include "index/index_build.h"
#include "index/raw_volume.h"
#include "index/utf8.h"
#include "index/volume_source_driver.h"

namespace {

// Closes the volume handle when the last copy of the source goes away.
std::shared_ptr<void> OwnHandle(HANDLE handle) {
    return std::shared_ptr<void>(handle, [](void* h) {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    });
}

uint32_t Control(HANDLE handle, DWORD code, const void* input, DWORD inputBytes,
                 std::span<uint8_t> reply, uint32_t& returned) {
    DWORD written = 0;
    if (!DeviceIoControl(handle, code, const_cast<void*>(input), inputBytes, reply.data(),
                         static_cast<DWORD>(reply.size()), &written, nullptr))
        return GetLastError();
    returned = written;
    return 0;
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

// The two requests over one handle, which `owner` keeps open.
DriverRequests RequestsOver(HANDLE handle, std::shared_ptr<void> owner) {
    DriverRequests requests;
    requests.volumeData = [handle](std::span<uint8_t> reply, uint32_t& returned) {
        return Control(handle, FSCTL_GET_NTFS_VOLUME_DATA, nullptr, 0, reply, returned);
    };
    requests.fileRecord = [handle](uint64_t asked, std::span<uint8_t> reply, uint32_t& returned) {
        NTFS_FILE_RECORD_INPUT_BUFFER input;
        input.FileReferenceNumber.QuadPart = static_cast<LONGLONG>(asked);
        return Control(handle, FSCTL_GET_NTFS_FILE_RECORD, &input, sizeof(input), reply, returned);
    };
    requests.owner = std::move(owner);
    return requests;
}

HANDLE OpenVolumeHandle(const std::wstring& path, DWORD access) {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

}  // namespace

std::optional<VolumeSource> OpenWindowsVolume(std::u16string_view devicePath) {
    // Read access is all the two requests are documented to need, and a program that parses
    // what it reads from a raw volume should not hold write access to it.
    std::wstring path(devicePath.begin(), devicePath.end());
    HANDLE handle = OpenVolumeHandle(path, GENERIC_READ);
    std::shared_ptr<void> owner = OwnHandle(handle);
    if (handle == INVALID_HANDLE_VALUE)
        return FailedVolume(ToUtf8(devicePath) + " cannot be opened, " + ErrorText(GetLastError()),
                            owner);

    DriverRequests requests = RequestsOver(handle, owner);
    requests.reopenWithWriteAccess = [path]() -> std::optional<DriverRequests> {
        HANDLE writable = OpenVolumeHandle(path, GENERIC_READ | GENERIC_WRITE);
        if (writable == INVALID_HANDLE_VALUE) return std::nullopt;
        return RequestsOver(writable, OwnHandle(writable));
    };

    VolumeSource source;
    uint32_t error = OpenDriverVolume(devicePath, std::move(requests), source);
    if (error == 0) return source;
    // Where the driver does not implement the NTFS requests (Wine), read the volume's bytes.
    if (error == driver_error::NotSupported || error == driver_error::InvalidFunction) {
        ReadAt read = [handle](uint64_t offset, std::span<uint8_t> buffer) {
            return ReadHandleAt(handle, offset, buffer);
        };
        if (std::optional<VolumeSource> raw = OpenRawVolume(std::move(read), owner)) return raw;
        return FailedVolume(ToUtf8(devicePath) + " not a readable NTFS volume", owner);
    }
    return FailedVolume(
        ToUtf8(devicePath) + " the volume-data request failed with " + ErrorText(error), owner);
}
