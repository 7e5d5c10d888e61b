#include "ui/status_texts.h"

#include <gtest/gtest.h>

#include <string>

#include "index/file_entry.h"
#include "index/utf8.h"

namespace {

TEST(StatusTexts, CountAndLoadSummary) {
    struct CountCase {
        std::size_t count;
        const char* text;
    } counts[] = {{0, "0 个对象"},           {42, "42 个对象"},      {999, "999 个对象"},
                  {1000, "1,000 个对象"},    {1234, "1,234 个对象"}, {1234567, "1,234,567 个对象"},
                  {100000, "100,000 个对象"}};
    for (const CountCase& c : counts) {
        EXPECT_EQ(ToUtf8(ResultCountText(c.count)), c.text);
    }
    struct LoadCase {
        std::size_t count;
        double seconds;
        const char* text;
    } loads[] = {
        {1234567, 3.25, "1,234,567 个对象   耗时: 3.250000秒"},
        {0, 0.0105, "0 个对象   耗时: 0.010500秒"},
        {12, 0.0000004, "12 个对象   耗时: 0.000000秒"},
        {1000, 61.5, "1,000 个对象   耗时: 61.500000秒"},
    };
    for (const LoadCase& c : loads) {
        EXPECT_EQ(ToUtf8(LoadSummary(c.count, c.seconds)), c.text);
    }
    EXPECT_EQ(ToUtf8(LoadWaitText), "正在整理数据，请稍等片刻.........");
}

TEST(StatusTexts, ExportFailures) {
    EXPECT_EQ(ToUtf8(ExportFailureText(ExportOutcome::CannotOpen)), "无法打开文件");
    EXPECT_EQ(ToUtf8(ExportFailureText(ExportOutcome::WriteFailed)), "写入文件失败");
    EXPECT_TRUE(ExportFailureText(ExportOutcome::Written).empty());
}

}  // namespace
