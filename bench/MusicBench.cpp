// The music analysis: the time one minute of audio takes to analyse (once per song, when it is
// loaded), from samples and from a WAV file that has to be decoded first.
#include "audio/SongAnalysis.hpp"

#include <SFML/Audio/OutputSoundFile.hpp>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
constexpr unsigned Rate = 44100;
constexpr double Pi = 3.14159265358979323846;

// A minute of a bass tone, a 1 kHz tone and a click on every beat at 120 BPM.
std::vector<float> minuteOfMusic()
{
    std::vector<float> mono(Rate * 60);
    for (std::size_t i = 0; i < mono.size(); ++i)
    {
        const double t = static_cast<double>(i) / Rate;
        const double sinceBeat = std::fmod(t, 0.5);
        mono[i] = static_cast<float>(0.3 * std::sin(2 * Pi * 55 * t) + 0.1 * std::sin(2 * Pi * 1000 * t) +
                                     (sinceBeat < 0.01 ? 0.5 * std::sin(2 * Pi * 3000 * t) : 0.0));
    }
    return mono;
}

void BM_AnalyseMinute(benchmark::State& state)
{
    const std::vector<float> mono = minuteOfMusic();
    for (auto _ : state)
    {
        SongAnalysis analysis;
        analysis.analyse(mono, Rate);
        benchmark::DoNotOptimize(analysis.frameCount());
    }
    state.counters["s_per_minute_of_audio"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AnalyseMinute)->Unit(benchmark::kMillisecond);

void BM_DecodeAndAnalyseStereoWavMinute(benchmark::State& state)
{
    const std::string path = "kestrune-bench-minute.wav";
    {
        const std::vector<float> mono = minuteOfMusic();
        std::vector<sf::Int16> stereo(mono.size() * 2);
        for (std::size_t i = 0; i < mono.size(); ++i)
            stereo[2 * i] = stereo[2 * i + 1] = static_cast<sf::Int16>(std::lrint(mono[i] * 32767.f));
        sf::OutputSoundFile out;
        if (!out.openFromFile(path, Rate, 2))
        {
            state.SkipWithError("cannot write the WAV file");
            return;
        }
        out.write(stereo.data(), stereo.size());
    }
    for (auto _ : state)
    {
        SongAnalysis analysis;
        std::string error;
        if (!analysis.analyseFile(path, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(analysis.frameCount());
    }
    std::remove(path.c_str());
    state.counters["s_per_minute_of_audio"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DecodeAndAnalyseStereoWavMinute)->Unit(benchmark::kMillisecond);

void BM_FrameAtStep(benchmark::State& state)
{
    SongAnalysis analysis;
    analysis.analyse(minuteOfMusic(), Rate);
    MusicFrame frame;
    long step = 0;
    for (auto _ : state)
    {
        analysis.frameAt(static_cast<double>(step++ % 3600) / 60.0, 0.8f, frame);
        benchmark::DoNotOptimize(frame.bass);
    }
}
BENCHMARK(BM_FrameAtStep);
} // namespace

BENCHMARK_MAIN();
