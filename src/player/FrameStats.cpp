#include "player/FrameStats.hpp"

#include <cstdio>

namespace
{
// Two seconds of 20-microsecond bins.
const std::size_t BinCount = 100000;
} // namespace

FrameStats::FrameStats() : bins(BinCount, 0) {}

void FrameStats::addFrame(double seconds, bool stepped)
{
    ++frames;
    if (stepped)
        ++steps;
    if (seconds > RealTime)
        ++behind;
    if (seconds > worst)
        worst = seconds;
    std::size_t bin = seconds > 0.0 ? static_cast<std::size_t>(seconds / BinSeconds) : 0;
    if (bin >= bins.size())
        bin = bins.size() - 1;
    ++bins[bin];
}

double FrameStats::percentile(double fraction) const
{
    if (frames == 0)
        return 0.0;
    // The smallest bin with at least ceil(fraction x frames) frames at or below it.
    std::uint64_t wanted = static_cast<std::uint64_t>(fraction * static_cast<double>(frames) + 0.999999);
    if (wanted == 0)
        wanted = 1;
    std::uint64_t seen = 0;
    for (std::size_t i = 0; i < bins.size(); ++i)
    {
        seen += bins[i];
        if (seen >= wanted)
            return i + 1 == bins.size() ? worst : (static_cast<double>(i) + 0.5) * BinSeconds;
    }
    return worst;
}

std::string FrameStats::summary() const
{
    char line[256];
    const double share = frames ? 100.0 * static_cast<double>(behind) / static_cast<double>(frames) : 0.0;
    std::snprintf(line, sizeof line,
                  "kestrune: stats: %llu frames, %llu steps; frame time median %.2f ms, 90th percentile %.2f ms, "
                  "worst %.2f ms; %.1f%% of frames behind real time (over %.2f ms)",
                  static_cast<unsigned long long>(frames), static_cast<unsigned long long>(steps),
                  percentile(0.5) * 1000.0, percentile(0.9) * 1000.0, worst * 1000.0, share, RealTime * 1000.0);
    return line;
}
