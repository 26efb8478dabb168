#pragma once

#include "motion/StepRate.hpp"

// Turns measured frame times into fixed simulation steps. The frame time is clamped to one
// step, so a frame runs at most one step: slow frames slow the demo down instead of bursting
// to catch up, and every run of the same script sees the same sequence of steps.
class FrameTimer
{
public:
    static constexpr float Step = 1.f / StepRate::StepsPerSecond;

    // Number of fixed steps (0 or 1) that a frame of this length runs.
    int advance(float frameTime);

    float accumulator = 0.f;
};
