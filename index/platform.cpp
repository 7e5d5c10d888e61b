#include "index/platform.h"

#include <atomic>
#include <ctime>
#include <iostream>

namespace {

bool LibraryLocalTime(int64_t unixSeconds, CivilTime& local) {
    std::time_t seconds = static_cast<std::time_t>(unixSeconds);
    std::tm parts{};
#ifdef _WIN32
    if (localtime_s(&parts, &seconds) != 0) return false;
#else
    if (localtime_r(&seconds, &parts) == nullptr) return false;
#endif
    local = {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
             parts.tm_hour,        parts.tm_min,     parts.tm_sec};
    return true;
}

// Off Windows there is no image list; hand out consecutive indices as an append would.
int CountingIconList(int) {
    static std::atomic<int> count{0};
    return count++;
}

void StandardOutputLine(std::string_view line) {
    std::cout << line << std::endl;
}

}  // namespace

Platform& ThePlatform() {
    static Platform platform{CountingIconList, LibraryLocalTime, StandardOutputLine};
    return platform;
}
