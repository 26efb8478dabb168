#include "motion/StepRate.hpp"

#include <gtest/gtest.h>

// Every console line, panel and timeline that shows a time goes through these, so a slip here
// changes what the author reads everywhere at once.
TEST(StepRate, StepTimesReadAsSecondsToTheMillisecond)
{
    const struct
    {
        long step;
        const char* text;
    } rows[] = {
        {0, "0.000 s"},      {1, "0.017 s"},         {2, "0.033 s"},         {59, "0.983 s"},
        {60, "1.000 s"},     {90, "1.500 s"},        {3599, "59.983 s"},     {216000, "3600.000 s"},
        {5184000, "86400.000 s"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(StepRate::stepText(row.step), row.text) << "step " << row.step;
}

TEST(StepRate, ClockShowsWholeMinutesAndSeconds)
{
    const struct
    {
        double seconds;
        const char* text;
    } rows[] = {
        {0.0, "0:00"}, {0.99, "0:00"}, {59.999, "0:59"}, {60.0, "1:00"}, {61.5, "1:01"}, {3725.9, "62:05"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(StepRate::clockText(row.seconds), row.text) << row.seconds << " s";
}
