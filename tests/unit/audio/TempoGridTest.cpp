#include "audio/TempoGrid.hpp"

#include <gtest/gtest.h>

#include <cmath>

TEST(TempoGrid, RefusesImpossibleGrids)
{
    struct Case
    {
        double bpm;
        int beatsPerBar;
        double offset;
        bool accepted;
    };
    const Case cases[] = {{120.0, 4, 0.0, true},   {0.0, 4, 0.0, false},       {-60.0, 4, 0.0, false},
                          {NAN, 4, 0.0, false},    {INFINITY, 4, 0.0, false},  {120.0, 0, 0.0, false},
                          {120.0, 3, NAN, false},  {174.0, 7, -0.25, true}};
    for (const Case& c : cases)
    {
        TempoGrid grid;
        grid.set(90.0, 3, 0.5);
        EXPECT_EQ(grid.set(c.bpm, c.beatsPerBar, c.offset), c.accepted) << c.bpm;
        EXPECT_EQ(grid.bpm(), c.accepted ? c.bpm : 90.0);
        EXPECT_EQ(grid.beatsPerBar(), c.accepted ? c.beatsPerBar : 3);
    }
}

// Walking from bar to bar with stepsToBar, as a script's loop of delay_bars 1 does, every bar
// starts on the step nearest its exact time for ten minutes, at tempos whose beats fall between
// steps.
TEST(TempoGrid, BarsStayOnTheirNearestStepForTenMinutes)
{
    struct Case
    {
        double bpm;
        int beatsPerBar;
        double offset;
        long anchor;
    };
    const Case cases[] = {{174.0, 4, 0.0, 1}, {174.0, 4, 0.123, 37}, {133.0, 3, 0.0, 0}, {97.3, 7, 1.5, 5}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.bpm);
        TempoGrid grid;
        ASSERT_TRUE(grid.set(c.bpm, c.beatsPerBar, c.offset));
        long step = c.anchor + std::lround(c.offset * 60.0); // bar 1 starts here
        long bar = 0;
        while (step < 10 * 60 * 60 + c.anchor)
        {
            step += grid.stepsToBar(step, c.anchor, 1);
            ++bar;
            const double exact = (c.offset + bar * c.beatsPerBar * 60.0 / c.bpm) * 60.0 + c.anchor;
            ASSERT_LE(std::fabs(static_cast<double>(step) - exact), 0.5) << "bar " << bar;
            const TempoGrid::BarBeat at = grid.barBeatAt(step, c.anchor);
            ASSERT_EQ(at.bar, bar + 1);
            ASSERT_EQ(at.beat, 1);
        }
        EXPECT_GT(bar, 10 * c.bpm / c.beatsPerBar - 2);
    }
}

TEST(TempoGrid, BeatsFromAnyStep)
{
    TempoGrid grid;
    ASSERT_TRUE(grid.set(174.0, 4, 0.0));
    // 174 BPM: a beat every 20.69 steps; beat 1 at step 21, beat 2 at 41, beat 3 at 62, beat 4 at 83.
    struct Case
    {
        long step;
        long beats;
        long wait;
        long bars;
        long barWait;
        long bar;
        int beat;
    };
    const Case cases[] = {
        {0, 1, 21, 1, 83, 1, 1},  {10, 1, 11, 1, 73, 1, 1}, {21, 1, 20, 1, 62, 1, 2},
        {21, 3, 62, 2, 145, 1, 2}, {82, 1, 1, 1, 1, 1, 4},  {83, 1, 20, 1, 83, 2, 1},
        {-5, 1, 5, 1, 5, 0, 4},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.step);
        EXPECT_EQ(grid.stepsToBeat(c.step, 0, c.beats), c.wait);
        EXPECT_EQ(grid.stepsToBar(c.step, 0, c.bars), c.barWait);
        EXPECT_EQ(grid.barBeatAt(c.step, 0).bar, c.bar);
        EXPECT_EQ(grid.barBeatAt(c.step, 0).beat, c.beat);
    }
    EXPECT_DOUBLE_EQ(grid.beatsAt(60, 0), 2.9);
    EXPECT_DOUBLE_EQ(grid.beatsAt(70, 10), 2.9);
}

// The author's bar keys: the next bar's start, or back to the start of this bar (the one before
// from a bar's first step), never before the start.
TEST(TempoGrid, BarKeysGoToTheNeighbouringBarStarts)
{
    TempoGrid grid;
    ASSERT_TRUE(grid.set(174.0, 4, 0.0));
    // Bars start at steps 0, 83 and 166.
    const struct
    {
        long step;
        int direction;
        long anchor;
        long target;
    } cases[] = {{0, 1, 0, 83},      {0, -1, 0, 0},     {100, 1, 0, 166},  {100, -1, 0, 83},
                 {83, -1, 0, 0},     {83, 1, 0, 166},   {165, 1, 0, 166},  {166, -1, 0, 83},
                 {130, 1, 30, 196},  {130, -1, 30, 113}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.step) + " " + std::to_string(c.direction));
        EXPECT_EQ(grid.barSeek(c.step, c.anchor, c.direction), c.target);
    }
}
