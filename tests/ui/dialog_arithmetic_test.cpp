// The progress step and the place of the minimised icon.
#include <gtest/gtest.h>

#include "ui/dialog_arithmetic.h"

namespace kv::ui {
namespace {

TEST(ProgressStep, StepsForTypicalCounts) {
    EXPECT_EQ(ProgressStep(1), 101);  // one file fills the bar, three take three steps, 200 take 100
    EXPECT_EQ(ProgressStep(3), 34);
    EXPECT_EQ(ProgressStep(100), 2);
    EXPECT_EQ(ProgressStep(150), 1);
    EXPECT_EQ(ProgressStep(200), 1);
    EXPECT_EQ(ProgressStep(0), 0);  // no file records: no step instead of a division by zero
    EXPECT_EQ(ProgressStep(-5), 0);
}

TEST(MinimisedIconOffset, CentresWithTruncationTowardsZero) {
    EXPECT_EQ(MinimisedIconOffset(33, 32), 1);
    EXPECT_EQ(MinimisedIconOffset(30, 32), 0);   // (30 - 32 + 1) / 2 = -1 / 2 = 0
    EXPECT_EQ(MinimisedIconOffset(28, 32), -1);  // -3 / 2 = -1
    EXPECT_EQ(MinimisedIconOffset(160, 32), 64);
    EXPECT_EQ(MinimisedIconOffset(0, 0), 0);
}

}  // namespace
}  // namespace kv::ui
