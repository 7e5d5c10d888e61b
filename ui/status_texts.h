// The texts the window shows for the load, the searches and a failed export; portable, so they
// are tested natively and shared with skimlet-cli.
#pragma once

#include <cstddef>
#include <string>

#include "results/export.h"

extern const char16_t* const LoadWaitText;  // shown while the index is built

// The message of a failed export: "无法打开文件" when the file cannot be opened, "写入文件失败"
// when a write fails after the open; empty when the export was written.
std::u16string ExportFailureText(ExportOutcome outcome);

// "N 个对象".
std::u16string ResultCountText(std::size_t count);

// "N 个对象   耗时: S秒", with S in "%f" form.
std::u16string LoadSummary(std::size_t count, double seconds);
