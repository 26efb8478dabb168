#include "player/FrameTimer.hpp"

int FrameTimer::advance(float frameTime)
{
    if (Step < frameTime)
        frameTime = Step;

    accumulator += frameTime;
    int steps = 0;
    while (accumulator >= Step)
    {
        accumulator -= Step;
        ++steps;
    }
    return steps;
}
