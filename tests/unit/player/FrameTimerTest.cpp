#include "player/FrameTimer.hpp"

#include <gtest/gtest.h>

TEST(FrameTimer, LongFrameRunsExactlyOneStep)
{
    FrameTimer timer;
    EXPECT_EQ(timer.advance(0.1f), 1);
    EXPECT_EQ(timer.accumulator, 0.f);
    EXPECT_EQ(timer.advance(5.f), 1);
    EXPECT_EQ(timer.accumulator, 0.f);
}

TEST(FrameTimer, ShortFramesAccumulateIntoOneStep)
{
    FrameTimer timer;
    EXPECT_EQ(timer.advance(0.007f), 0);
    EXPECT_EQ(timer.advance(0.007f), 0);
    EXPECT_EQ(timer.advance(0.007f), 1);
    EXPECT_NEAR(timer.accumulator, 0.021f - FrameTimer::Step, 1e-6f);
}

TEST(FrameTimer, NeverMoreThanOneStepPerFrame)
{
    FrameTimer timer;
    timer.accumulator = FrameTimer::Step * 0.99f;
    EXPECT_EQ(timer.advance(1.f), 1);
    EXPECT_LT(timer.accumulator, FrameTimer::Step);
}
