// The status bar's texts for the load and the searches; portable, so they are tested natively
// and shared with skimlet-cli.
#pragma once

#include <cstddef>
#include <string>

extern const char16_t* const LoadWaitText;  // shown while the index is built

// "N 个对象".
std::u16string ResultCountText(std::size_t count);

// "N 个对象   耗时: S秒", with S in "%f" form.
std::u16string LoadSummary(std::size_t count, double seconds);
