#include "motion/StepRate.hpp"

#include <cstdio>

std::string StepRate::secondsText(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", seconds);
    return text;
}

std::string StepRate::stepText(long step)
{
    return secondsText(static_cast<double>(step) / StepsPerSecond);
}

std::string StepRate::clockText(double seconds)
{
    const long total = static_cast<long>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}
