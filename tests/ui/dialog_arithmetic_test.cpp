// The progress step and the place of the minimised icon.
#include <gtest/gtest.h>

#include <algorithm>

#include "ui/dialog_arithmetic.h"

namespace kv::ui {
namespace {

TEST(ProgressStep, StepsForTypicalCounts) {
    EXPECT_EQ(ProgressStep(1), 101);
    EXPECT_EQ(ProgressStep(3), 34);
    EXPECT_EQ(ProgressStep(100), 2);
    EXPECT_EQ(ProgressStep(150), 1);
    EXPECT_EQ(ProgressStep(200), 1);
    EXPECT_EQ(ProgressStep(0), 0);   // no file records: no step instead of a division by zero
    EXPECT_EQ(ProgressStep(-5), 0);
}

// A bar of 0..100 that stops at its top, as the control does.
TEST(ProgressStep, BarFillsAfterTheExpectedNumberOfSteps) {
    auto stepsToFill = [](int fileCount) {
        int position = 0;
        int steps = 0;
        while (position < 100) {
            position = std::min(100, position + ProgressStep(fileCount));
            ++steps;
        }
        return steps;
    };
    EXPECT_EQ(stepsToFill(1), 1);
    EXPECT_EQ(stepsToFill(3), 3);
    EXPECT_EQ(stepsToFill(200), 100);
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
