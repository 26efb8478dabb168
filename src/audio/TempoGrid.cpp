#include "audio/TempoGrid.hpp"

#include "motion/StepRate.hpp"

#include <algorithm>

#include <cmath>

namespace
{
long floorDiv(long a, long b)
{
    const long q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}
} // namespace

bool TempoGrid::set(double bpm, int beatsPerBar, double offset)
{
    if (!(bpm > 0.0) || !std::isfinite(bpm) || beatsPerBar < 1 || !std::isfinite(offset))
        return false;
    beatsPerMinute = bpm;
    barLength = beatsPerBar;
    offsetSeconds = offset;
    return true;
}

long TempoGrid::beatStep(long k, long anchor) const
{
    const double seconds = offsetSeconds + static_cast<double>(k) * 60.0 / beatsPerMinute;
    return anchor + std::lround(seconds * StepRate::StepsPerSecond);
}

long TempoGrid::beatAt(long step, long anchor) const
{
    long k = static_cast<long>(std::floor(beatsAt(step, anchor)));
    // The estimate is off by at most one where a beat's step was rounded.
    while (beatStep(k + 1, anchor) <= step)
        ++k;
    while (beatStep(k, anchor) > step)
        --k;
    return k;
}

long TempoGrid::stepsToBeat(long step, long anchor, long beats) const
{
    return beatStep(beatAt(step, anchor) + beats, anchor) - step;
}

long TempoGrid::stepsToBar(long step, long anchor, long bars) const
{
    const long bar = floorDiv(beatAt(step, anchor), barLength);
    return beatStep((bar + bars) * barLength, anchor) - step;
}

double TempoGrid::beatsAt(long step, long anchor) const
{
    const double seconds = static_cast<double>(step - anchor) / StepRate::StepsPerSecond - offsetSeconds;
    return seconds * beatsPerMinute / 60.0;
}

long TempoGrid::barSeek(long step, long anchor, int direction) const
{
    long target = step + stepsToBar(step, anchor, direction > 0 ? 1 : 0);
    if (direction < 0 && target == step)
        target = step + stepsToBar(step, anchor, -1);
    return std::max(0L, target);
}

TempoGrid::BarBeat TempoGrid::barBeatAt(long step, long anchor) const
{
    const long k = beatAt(step, anchor);
    const long bar = floorDiv(k, barLength);
    return {bar + 1, static_cast<int>(k - bar * barLength) + 1};
}
