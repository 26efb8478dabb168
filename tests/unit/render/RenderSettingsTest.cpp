#include "render/OfflineRenderer.hpp"

#include <gtest/gtest.h>

// The frames a render asks for, as one process and --jobs both count them.
TEST(RenderSettings, TheFramesAskedFor)
{
    const struct
    {
        long frames;
        double seconds;
        int fps;
        long asked;
    } rows[] = {
        {-1, -1.0, 60, -1},                       // until the demo ends
        {90, -1.0, 60, 90},                       // --frames
        {90, -1.0, 30, 90},                       // frames are frames at any rate
        {-1, 1.5, 60, 90},                        // --seconds at 60
        {-1, 1.5, 30, 45},                        // and at 30
        {-1, 2.51, 60, 151},                      // a time to the nearest frame
        {-1, 2.508, 60, 150}, {-1, 0.001, 60, 1}, // at least one frame
        {-1, 0.001, 30, 1},   {-1, 600.0, 60, 36000},
    };
    for (const auto& row : rows)
    {
        RenderSettings settings;
        settings.frames = row.frames;
        settings.seconds = row.seconds;
        settings.fps = row.fps;
        EXPECT_EQ(settings.framesAsked(), row.asked) << row.frames << " frames, " << row.seconds << " s at " << row.fps;
    }
}
