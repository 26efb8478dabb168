#include "audio/SongAnalysis.hpp"

#include "motion/StepRate.hpp"

#include <SFML/Audio/InputSoundFile.hpp>

#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace
{
constexpr int Bins = SongAnalysis::FftSize / 2;
constexpr double Pi = 3.14159265358979323846;
// Hundredths of a decibel; silence is stored as this floor, far below what any gain maps above 0.
constexpr float StoredScale = 100.f;
constexpr float FloorDecibels = -200.f;
constexpr double EnergyEpsilon = 1e-10;

struct FftDeleter
{
    void operator()(kiss_fftr_state* state) const { kiss_fftr_free(state); }
};

// The first sample after frame n: frame n holds the samples from n / 60 s up to (n + 1) / 60 s.
long frameEnd(long n, unsigned rate)
{
    return static_cast<long>((static_cast<std::int64_t>(n) + 1) * rate / StepRate::StepsPerSecond);
}

float sampleAt(const std::vector<float>& mono, long i)
{
    return i >= 0 && i < static_cast<long>(mono.size()) ? mono[static_cast<std::size_t>(i)] : 0.f;
}

float toUnit(float decibels)
{
    const float range = SongAnalysis::MaxDecibels - SongAnalysis::MinDecibels;
    return std::clamp((decibels - SongAnalysis::MinDecibels) / range, 0.f, 1.f);
}
} // namespace

bool SongAnalysis::decodeMono(const std::string& path, std::vector<float>& mono, unsigned& sampleRate,
                              std::string& error)
{
    sf::InputSoundFile input;
    if (!input.openFromFile(path) || input.getChannelCount() == 0 || input.getSampleRate() == 0)
    {
        error = "cannot decode " + path;
        return false;
    }
    const unsigned channels = input.getChannelCount();
    mono.clear();
    mono.reserve(static_cast<std::size_t>(input.getSampleCount() / channels));
    // In blocks, so that a long song never needs its interleaved samples all at once.
    std::vector<sf::Int16> block(static_cast<std::size_t>(4096 * channels));
    for (;;)
    {
        const std::uint64_t got = input.read(block.data(), block.size());
        for (std::uint64_t i = 0; i + channels <= got; i += channels)
        {
            float sum = 0.f;
            for (unsigned c = 0; c < channels; ++c)
                sum += block[static_cast<std::size_t>(i + c)];
            mono.push_back(sum / (32768.f * static_cast<float>(channels)));
        }
        if (got < block.size())
            break;
    }
    sampleRate = input.getSampleRate();
    return true;
}

bool SongAnalysis::analyseFile(const std::string& path, std::string& error)
{
    std::vector<float> mono;
    unsigned sampleRate = 0;
    if (!decodeMono(path, mono, sampleRate, error))
        return false;
    analyse(mono, sampleRate);
    return true;
}

void SongAnalysis::analyse(const std::vector<float>& mono, unsigned sampleRate)
{
    rate = sampleRate;
    frames =
        rate == 0
            ? 0
            : static_cast<int>((static_cast<std::int64_t>(mono.size()) * StepRate::StepsPerSecond + rate - 1) / rate);
    samples.resize(mono.size());
    std::transform(mono.begin(), mono.end(), samples.begin(), [](float s) {
        return static_cast<std::int16_t>(std::lrint(std::clamp(s, -1.f, 1.f) * 32767.f));
    });
    bassBins[0] = binOf(BassFrom);
    bassBins[1] = midBins[0] = binOf(MidFrom);
    midBins[1] = trebleBins[0] = binOf(TrebleFrom);
    trebleBins[1] = binOf(TrebleTo);
    analyseFrames(mono);
    detectBeats(mono);
}

int SongAnalysis::binOf(double hertz) const
{
    const double bin = std::ceil(hertz * FftSize / rate);
    return static_cast<int>(std::clamp(bin, 0.0, static_cast<double>(Bins)));
}

void SongAnalysis::analyseFrames(const std::vector<float>& mono)
{
    const std::size_t count = static_cast<std::size_t>(frames);
    decibels.assign(count * Bins, static_cast<std::int16_t>(FloorDecibels * StoredScale));
    level.assign(count, 0.f);

    std::unique_ptr<kiss_fftr_state, FftDeleter> fft(kiss_fftr_alloc(FftSize, 0, nullptr, nullptr));
    std::vector<float> window(FftSize);
    for (int i = 0; i < FftSize; ++i)
    {
        const double x = 2.0 * Pi * i / FftSize;
        window[static_cast<std::size_t>(i)] = static_cast<float>(0.42 - 0.5 * std::cos(x) + 0.08 * std::cos(2.0 * x));
    }
    double weights[SmoothingFrames];
    double weightSum = 0.0;
    for (int j = 0; j < SmoothingFrames; ++j)
        weightSum += weights[j] = std::pow(SmoothingDecay, j);

    std::vector<float> input(FftSize);
    std::vector<kiss_fft_cpx> output(Bins + 1);
    // The magnitudes of the last SmoothingFrames frames, a ring indexed by frame.
    std::vector<float> history(static_cast<std::size_t>(SmoothingFrames) * Bins, 0.f);
    for (long n = 0; n < frames; ++n)
    {
        const long first = frameEnd(n, rate) - FftSize;
        double squares = 0.0;
        for (int i = 0; i < FftSize; ++i)
        {
            const float s = sampleAt(mono, first + i);
            squares += static_cast<double>(s) * s;
            input[static_cast<std::size_t>(i)] = s * window[static_cast<std::size_t>(i)];
        }
        level[static_cast<std::size_t>(n)] = static_cast<float>(std::sqrt(squares / FftSize));
        kiss_fftr(fft.get(), input.data(), output.data());

        float* newest = &history[static_cast<std::size_t>(n % SmoothingFrames) * Bins];
        for (int k = 0; k < Bins; ++k)
            newest[k] = std::hypot(output[static_cast<std::size_t>(k)].r, output[static_cast<std::size_t>(k)].i) /
                        FftSize;
        std::int16_t* stored = &decibels[static_cast<std::size_t>(n) * Bins];
        for (int k = 0; k < Bins; ++k)
        {
            // Frames before the song are silence: they add nothing.
            double sum = 0.0;
            for (int j = 0; j < SmoothingFrames && j <= n; ++j)
                sum += weights[j] * history[static_cast<std::size_t>((n - j) % SmoothingFrames) * Bins + k];
            const double magnitude = sum / weightSum;
            const float db = magnitude > 0.0 ? static_cast<float>(20.0 * std::log10(magnitude)) : FloorDecibels;
            stored[k] = static_cast<std::int16_t>(std::lrint(std::max(db, FloorDecibels) * StoredScale));
        }
    }
}

void SongAnalysis::detectBeats(const std::vector<float>& mono)
{
    const std::size_t count = static_cast<std::size_t>(frames);
    onset.assign(count, 0.f);
    beatFlag.assign(count, 0);
    beatLevel.assign(count, 0.f);
    // The mean square of the samples each frame adds.
    std::vector<double> energy(count, 0.0);
    for (long n = 0; n < frames; ++n)
    {
        const long from = frameEnd(n - 1, rate);
        const long to = frameEnd(n, rate);
        double squares = 0.0;
        for (long i = from; i < to; ++i)
            squares += static_cast<double>(sampleAt(mono, i)) * sampleAt(mono, i);
        energy[static_cast<std::size_t>(n)] = to > from ? squares / static_cast<double>(to - from) : 0.0;
    }
    constexpr int Before = 4;
    const double floor = std::pow(10.0, BeatFloorDb / 10.0);
    long lastBeat = -MinBeatGap;
    for (long n = 0; n < frames; ++n)
    {
        double earlier = 0.0;
        for (long j = n - Before; j < n; ++j)
            earlier += j >= 0 ? energy[static_cast<std::size_t>(j)] : 0.0;
        earlier /= Before;
        const double now = energy[static_cast<std::size_t>(n)];
        const float rise = static_cast<float>(10.0 * std::log10((now + EnergyEpsilon) / (earlier + EnergyEpsilon)));
        onset[static_cast<std::size_t>(n)] = std::max(0.f, rise);
        if (rise >= BeatRiseDb && now >= floor && n - lastBeat >= MinBeatGap)
        {
            beatFlag[static_cast<std::size_t>(n)] = 1;
            lastBeat = n;
        }
        const long since = n - lastBeat;
        if (lastBeat >= 0 && since < BeatDecayFrames)
            beatLevel[static_cast<std::size_t>(n)] = 1.f - static_cast<float>(since) / BeatDecayFrames;
    }
}

long SongAnalysis::frameIndex(double seconds)
{
    return static_cast<long>(std::floor(seconds * StepRate::StepsPerSecond + 0.5));
}

float SongAnalysis::bandLevel(const std::int16_t* stored, int from, int to, float shift) const
{
    if (to <= from)
        return 0.f;
    float sum = 0.f;
    for (int k = from; k < to; ++k)
        sum += toUnit(stored[k] / StoredScale + shift);
    return sum / static_cast<float>(to - from);
}

void SongAnalysis::frameAt(double seconds, float gain, MusicFrame& out) const
{
    const long n = frameIndex(seconds);
    if (!(gain > 0.f) || n < 0 || n >= frames)
    {
        out.silence();
        return;
    }
    const float amplitude = std::min(gain, 1.f);
    const float shift = 20.f * std::log10(amplitude);
    const std::int16_t* stored = &decibels[static_cast<std::size_t>(n) * Bins];
    for (int k = 0; k < MusicFrame::Bins; ++k)
        out.spectrum[k] = toUnit(stored[k] / StoredScale + shift);
    const long last = frameEnd(n, rate);
    for (int i = 0; i < MusicFrame::WaveSamples; ++i)
    {
        const long at = last - MusicFrame::WaveSamples + i;
        const float s = at >= 0 && at < static_cast<long>(samples.size()) ? samples[static_cast<std::size_t>(at)] : 0;
        out.waveform[i] = s / 32767.f * amplitude;
    }
    out.bass = bandLevel(stored, bassBins[0], bassBins[1], shift);
    out.mid = bandLevel(stored, midBins[0], midBins[1], shift);
    out.treble = bandLevel(stored, trebleBins[0], trebleBins[1], shift);
    const std::size_t i = static_cast<std::size_t>(n);
    out.level = level[i] * amplitude;
    out.onset = onset[i];
    out.beatFlag = beatFlag[i] != 0;
    out.beat = beatLevel[i];
}
