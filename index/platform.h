// The few things the portable core needs from the platform. The Windows layer installs its own
// functions at start; natively the defaults (C library, a counting icon list) serve tools and
// tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct CivilTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

struct Platform {
    // Appends icon resource `resourceId` to the FileIconList and returns its index. Called by
    // several volume workers at once, so it must be thread-safe.
    std::function<int(int resourceId)> appendIcon;
    // Local broken-down time of a count of seconds since 1970-01-01 UTC; false when the C
    // library cannot convert it.
    std::function<bool(int64_t unixSeconds, CivilTime& local)> localTime;
    // A diagnostic line of the build ("error", "Error creating thread!"), without line end.
    std::function<void(std::string_view line)> diagnostic;
};

// Process-wide; replace members before the build starts.
Platform& ThePlatform();
