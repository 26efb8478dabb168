#pragma once

#include "motion/StepRate.hpp"

#include <cstdint>
#include <string>
#include <vector>

// Frame-time figures for authors: how many frames and steps ran, the median, 90th percentile and
// worst frame time, and the share of frames slower than one step of real time. Frame times land
// in a histogram allocated once, so recording a frame never allocates.
class FrameStats
{
public:
    static constexpr double BinSeconds = 20e-6;
    static constexpr double RealTime = 1.0 / StepRate::StepsPerSecond;

    FrameStats();

    void addFrame(double seconds, bool stepped);
    // The frame time below which `fraction` (0..1) of the frames lie, to the bin's width.
    double percentile(double fraction) const;
    // One line: "kestrune: stats: ..."
    std::string summary() const;

    std::uint64_t frames = 0;
    std::uint64_t steps = 0;
    std::uint64_t behind = 0;
    double worst = 0.0;

private:
    std::vector<std::uint32_t> bins; // the last bin takes every longer frame
};
