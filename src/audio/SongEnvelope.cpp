#include "audio/SongEnvelope.hpp"

#include "audio/SongAnalysis.hpp"
#include "motion/StepRate.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

bool SongEnvelope::load(const std::string& path)
{
    std::vector<float> mono;
    unsigned rate = 0;
    std::string error;
    if (!SongAnalysis::decodeMono(path, mono, rate, error))
    {
        peaks.clear();
        return false;
    }
    build(mono, rate);
    return true;
}

void SongEnvelope::build(const std::vector<float>& mono, unsigned rate)
{
    peaks.clear();
    if (rate == 0)
        return;
    // Frame n holds the samples from n / 60 s up to (n + 1) / 60 s, as the analysis counts them.
    const auto frameStart = [rate](std::int64_t n) {
        return static_cast<std::size_t>(n * rate / StepRate::StepsPerSecond);
    };
    for (std::int64_t n = 0; frameStart(n) < mono.size(); ++n)
    {
        const std::size_t end = std::min(frameStart(n + 1), mono.size());
        float peak = 0.f;
        for (std::size_t i = frameStart(n); i < end; ++i)
            peak = std::max(peak, std::fabs(mono[i]));
        peaks.push_back(static_cast<std::uint8_t>(std::lround(std::min(peak, 1.f) * 255.f)));
    }
}

float SongEnvelope::peakAt(double seconds) const
{
    if (seconds < 0.0)
        return 0.f;
    const double frame = std::floor(seconds * StepRate::StepsPerSecond);
    if (frame >= static_cast<double>(peaks.size()))
        return 0.f;
    return static_cast<float>(peaks[static_cast<std::size_t>(frame)]) / 255.f;
}
