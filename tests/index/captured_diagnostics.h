// Silences and collects the diagnostic lines of one test; lines may come from several threads.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "index/platform.h"

class CapturedDiagnostics {
  public:
    CapturedDiagnostics() : saved_(ThePlatform().diagnostic) {
        ThePlatform().diagnostic = [this](std::string_view line) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.emplace_back(line);
        };
    }
    CapturedDiagnostics(const CapturedDiagnostics&) = delete;
    CapturedDiagnostics& operator=(const CapturedDiagnostics&) = delete;
    ~CapturedDiagnostics() { ThePlatform().diagnostic = saved_; }
    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

  private:
    std::function<void(std::string_view)> saved_;
    std::mutex mutex_;
    std::vector<std::string> lines_;
};
