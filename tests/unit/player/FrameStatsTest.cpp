#include "player/FrameStats.hpp"

#include <gtest/gtest.h>

TEST(FrameStats, PercentilesWorstAndShareBehind)
{
    FrameStats stats;
    // Ten frames of 1 .. 10 ms (inside their 20-microsecond bins), the last without a step, and one of 40 ms.
    for (int i = 1; i <= 10; ++i)
        stats.addFrame((i + 0.005) / 1000.0, i != 10);
    stats.addFrame(0.040, true);
    EXPECT_EQ(stats.frames, 11u);
    EXPECT_EQ(stats.steps, 10u);
    EXPECT_EQ(stats.behind, 1u);
    EXPECT_NEAR(stats.percentile(0.5), 0.006, FrameStats::BinSeconds);
    EXPECT_NEAR(stats.percentile(0.9), 0.010, FrameStats::BinSeconds);
    EXPECT_DOUBLE_EQ(stats.worst, 0.040);
    EXPECT_EQ(stats.summary(), "kestrune: stats: 11 frames, 10 steps; frame time median 6.01 ms, 90th percentile "
                               "10.01 ms, worst 40.00 ms; 9.1% of frames behind real time (over 16.67 ms)");
}

TEST(FrameStats, FramesLongerThanTheHistogramStillCount)
{
    FrameStats stats;
    stats.addFrame(5.0, true);
    EXPECT_DOUBLE_EQ(stats.percentile(0.5), 5.0);
    EXPECT_EQ(stats.behind, 1u);
}
