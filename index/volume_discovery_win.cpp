#include <windows.h>

#include <vector>

#include "index/index_build.h"

std::vector<std::u16string> FindNtfsVolumes() {
    std::vector<std::u16string> volumes;
    // The first call tells the length the list needs, so no drive is cut off however many
    // there are.
    DWORD needed = GetLogicalDriveStringsW(0, nullptr);
    if (needed == 0) return volumes;
    std::vector<wchar_t> roots(needed + 1, L'\0');
    DWORD written = GetLogicalDriveStringsW(static_cast<DWORD>(roots.size()), roots.data());
    if (written == 0 || written >= roots.size()) return volumes;
    for (wchar_t* root = roots.data(); *root != L'\0'; root += wcslen(root) + 1) {
        if (root[0] >= L'a' && root[0] <= L'z') root[0] = static_cast<wchar_t>(root[0] - 0x20);
        if (GetDriveTypeW(root) != DRIVE_FIXED) continue;
        wchar_t fileSystem[MAX_PATH + 1] = {};
        if (!GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, fileSystem,
                                   MAX_PATH + 1))
            continue;
        if (wcsncmp(fileSystem, L"NTFS", 4) != 0) continue;
        volumes.push_back(std::u16string(u"\\\\.\\") + static_cast<char16_t>(root[0]) + u':');
    }
    return volumes;
}
