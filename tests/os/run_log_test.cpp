// The run log's line: a fixed-width local time, the text on one line, a Windows line break.
#include <gtest/gtest.h>

#include "os/run_log.h"

namespace kv::os {
namespace {

TEST(FormatLogLine, TimeIsZeroPaddedAndTheTextStaysOneLine) {
    EXPECT_EQ(FormatLogLine({2026, 1, 2, 3, 4, 5, 6}, {"Placed ", "C:\\App\\A.EXE"}),
              "2026-01-02 03:04:05.006 Placed C:\\App\\A.EXE\r\n");
    EXPECT_EQ(FormatLogLine({2026, 12, 31, 23, 59, 59, 999}, {"Failed:\r\nline two\n"}),
              "2026-12-31 23:59:59.999 Failed: | line two | \r\n");
}

}  // namespace
}  // namespace kv::os
