#include "ui/status_texts.h"

#include <cstdint>
#include <cstdio>

#include "index/file_entry.h"
#include "index/format_count.h"

const char16_t* const LoadWaitText = u"正在整理数据，请稍等片刻.........";

std::u16string ExportFailureText(ExportOutcome outcome) {
    switch (outcome) {
        case ExportOutcome::Written:
            return {};
        case ExportOutcome::CannotOpen:
            return u"无法打开文件";
        case ExportOutcome::WriteFailed:
            return u"写入文件失败";
    }
    return {};
}

std::u16string ResultCountText(std::size_t count) {
    return FormatCount(static_cast<uint64_t>(count)) + u" 个对象";
}

std::u16string LoadSummary(std::size_t count, double seconds) {
    char digits[512];  // "%f" of the largest double has 316 characters
    std::snprintf(digits, sizeof digits, "%f", seconds);
    std::u16string text = ResultCountText(count);
    text += u"   耗时: ";
    for (const char* c = digits; *c; ++c) text.push_back(static_cast<char16_t>(*c));
    text += u"秒";
    return text;
}
