#include "audio/SongAnalysis.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <vector>

namespace
{
constexpr unsigned Rate = 44100;
constexpr double Pi = 3.14159265358979323846;

std::vector<float> sine(double hertz, double seconds, float amplitude)
{
    std::vector<float> out(static_cast<std::size_t>(seconds * Rate));
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = amplitude * static_cast<float>(std::sin(2.0 * Pi * hertz * static_cast<double>(i) / Rate));
    return out;
}

// Short bursts of a 2 kHz tone every 60 / bpm seconds, the first at 0.
std::vector<float> clicks(double bpm, double seconds)
{
    std::vector<float> out(static_cast<std::size_t>(seconds * Rate), 0.f);
    const double period = 60.0 / bpm * Rate;
    for (double at = 0.0; at < static_cast<double>(out.size()); at += period)
    {
        const std::size_t first = static_cast<std::size_t>(std::lround(at));
        for (std::size_t i = 0; i < 200 && first + i < out.size(); ++i)
            out[first + i] = 0.8f * static_cast<float>(std::sin(2.0 * Pi * 2000.0 * static_cast<double>(i) / Rate));
    }
    return out;
}

int loudestBin(const MusicFrame& frame)
{
    return static_cast<int>(std::max_element(std::begin(frame.spectrum), std::end(frame.spectrum)) -
                            std::begin(frame.spectrum));
}

enum class Band
{
    Bass,
    Mid,
    Treble
};

Band loudestBand(const MusicFrame& frame)
{
    if (frame.bass >= frame.mid && frame.bass >= frame.treble)
        return Band::Bass;
    return frame.mid >= frame.treble ? Band::Mid : Band::Treble;
}
} // namespace

TEST(SongAnalysis, SineLandsInItsBinAndBand)
{
    struct Case
    {
        double hertz;
        int bin; // hertz * 2048 / 44100, rounded
        Band band;
    };
    const Case cases[] = {
        {86.13, 4, Band::Bass}, {150.0, 7, Band::Bass}, {1000.0, 46, Band::Mid},
        {3000.0, 139, Band::Mid}, {6000.0, 279, Band::Treble}, {10000.0, 464, Band::Treble},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.hertz);
        // Quiet enough that the peak does not saturate the decibel range (about -48 dB).
        SongAnalysis analysis;
        analysis.analyse(sine(c.hertz, 1.0, 0.02f), Rate);
        MusicFrame frame;
        analysis.frameAt(0.5, 1.f, frame);
        EXPECT_EQ(loudestBin(frame), c.bin);
        EXPECT_EQ(loudestBand(frame), c.band);
        EXPECT_GT(frame.spectrum[c.bin], 0.7f);
        // Far from the tone the spectrum is near its floor.
        EXPECT_LT(frame.spectrum[(c.bin + 200) % MusicFrame::Bins], 0.3f);
        // A sine's RMS is its amplitude over the square root of two.
        EXPECT_NEAR(frame.level, 0.02f / std::sqrt(2.f), 0.0005f);
        EXPECT_FALSE(frame.beatFlag);
    }
}

// A band holds the bins whose centre frequency lies within its bounds: a sine on the bin centre
// just below and just above each bound shows in the band levels as the mean of exactly those bins.
// (The frame's spectrum stops at bin 512, 11 kHz: the treble bins above it are silent for these
// sines, and the treble's upper bound is left out.)
TEST(SongAnalysis, BandsHoldTheBinsWhoseCentreLiesWithinTheirBounds)
{
    const double binHertz = double(Rate) / SongAnalysis::FftSize;
    auto meanOf = [&](const MusicFrame& frame, double from, double to) {
        float sum = 0.f;
        int count = 0;
        for (int k = 0; k < SongAnalysis::FftSize / 2; ++k)
            if (k * binHertz >= from && k * binHertz < to)
            {
                sum += k < MusicFrame::Bins ? frame.spectrum[k] : 0.f;
                ++count;
            }
        return count > 0 ? sum / static_cast<float>(count) : 0.f;
    };
    for (double edge : {SongAnalysis::BassFrom, SongAnalysis::MidFrom, SongAnalysis::TrebleFrom})
    {
        const double above = std::ceil(edge / binHertz);
        for (double bin : {above - 1.0, above})
        {
            SCOPED_TRACE(testing::Message() << bin * binHertz << " Hz, by the bound at " << edge << " Hz");
            SongAnalysis analysis;
            analysis.analyse(sine(bin * binHertz, 1.0, 0.02f), Rate);
            MusicFrame frame;
            analysis.frameAt(0.5, 1.f, frame);
            EXPECT_NEAR(frame.bass, meanOf(frame, SongAnalysis::BassFrom, SongAnalysis::MidFrom), 1e-5f);
            EXPECT_NEAR(frame.mid, meanOf(frame, SongAnalysis::MidFrom, SongAnalysis::TrebleFrom), 1e-5f);
            EXPECT_NEAR(frame.treble, meanOf(frame, SongAnalysis::TrebleFrom, SongAnalysis::TrebleTo), 1e-5f);
        }
    }
}

TEST(SongAnalysis, SilenceIsZeroEverywhere)
{
    SongAnalysis analysis;
    analysis.analyse(std::vector<float>(Rate * 2, 0.f), Rate);
    ASSERT_EQ(analysis.frameCount(), 120);
    for (int n = 0; n < analysis.frameCount(); ++n)
    {
        MusicFrame frame;
        frame.bass = 1.f; // must be overwritten
        analysis.frameAt(n / 60.0, 1.f, frame);
        EXPECT_EQ(*std::max_element(std::begin(frame.spectrum), std::end(frame.spectrum)), 0.f);
        EXPECT_EQ(*std::max_element(std::begin(frame.waveform), std::end(frame.waveform)), 0.f);
        EXPECT_EQ(frame.bass + frame.mid + frame.treble + frame.level + frame.beat, 0.f) << n;
    }
}

TEST(SongAnalysis, GainScalesWhatIsHeard)
{
    SongAnalysis analysis;
    analysis.analyse(sine(1000.0, 1.0, 0.5f), Rate);
    struct Case
    {
        float gain;
        float level;
        float peakDrop; // of the mapped spectrum at the tone's bin: 20 log10(gain) / 70
    };
    MusicFrame full;
    analysis.frameAt(0.5, 1.f, full);
    const float peak = full.spectrum[46];
    const Case cases[] = {{1.f, 0.3536f, 0.f}, {0.5f, 0.1768f, 6.0206f / 70.f}, {0.1f, 0.03536f, 20.f / 70.f}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.gain);
        MusicFrame frame;
        analysis.frameAt(0.5, c.gain, frame);
        EXPECT_NEAR(frame.level, c.level, 0.002f);
        // A loud tone saturates at 1; compare against the unsaturated bins next to the peak.
        EXPECT_NEAR(full.spectrum[50] - frame.spectrum[50], c.peakDrop, 0.01f);
        EXPECT_LE(frame.spectrum[46], peak);
    }
    MusicFrame muted;
    analysis.frameAt(0.5, 0.f, muted);
    EXPECT_EQ(muted.level + muted.bass + muted.spectrum[46], 0.f);
}

TEST(SongAnalysis, ClickTrainAt120BpmBeatsEveryThirtySteps)
{
    SongAnalysis analysis;
    analysis.analyse(clicks(120.0, 10.0), Rate);
    std::vector<int> beats;
    for (int n = 0; n < analysis.frameCount(); ++n)
    {
        MusicFrame frame;
        analysis.frameAt(n / 60.0, 1.f, frame);
        if (frame.beatFlag)
        {
            beats.push_back(n);
            EXPECT_EQ(frame.beat, 1.f);
            EXPECT_GT(frame.onset, SongAnalysis::BeatRiseDb);
        }
    }
    std::vector<int> expected;
    for (int n = 0; n < 600; n += 30)
        expected.push_back(n);
    EXPECT_EQ(beats, expected);

    // iBeat falls from 1 to 0 within BeatDecayFrames.
    MusicFrame frame;
    analysis.frameAt(31 / 60.0, 1.f, frame);
    EXPECT_NEAR(frame.beat, 1.f - 1.f / SongAnalysis::BeatDecayFrames, 1e-6f);
    analysis.frameAt((30 + SongAnalysis::BeatDecayFrames) / 60.0, 1.f, frame);
    EXPECT_EQ(frame.beat, 0.f);
}

TEST(SongAnalysis, OutsideTheSongIsSilence)
{
    SongAnalysis analysis;
    analysis.analyse(sine(440.0, 1.0, 0.5f), Rate);
    for (double seconds : {-1.0, 1.01, 100.0})
    {
        MusicFrame frame;
        frame.level = 1.f;
        analysis.frameAt(seconds, 1.f, frame);
        EXPECT_EQ(frame.level, 0.f) << seconds;
    }
}

TEST(SongAnalysis, WaveformIsTheLastSamplesHeard)
{
    SongAnalysis analysis;
    const std::vector<float> song = sine(440.0, 1.0, 0.5f);
    analysis.analyse(song, Rate);
    MusicFrame frame;
    analysis.frameAt(10 / 60.0, 1.f, frame);
    // Frame 10 ends with the sample before 11 / 60 s.
    const std::size_t end = 11 * Rate / 60;
    for (int i = 0; i < MusicFrame::WaveSamples; i += 37)
        EXPECT_NEAR(frame.waveform[i], song[end - MusicFrame::WaveSamples + static_cast<std::size_t>(i)], 1e-4f);
}

TEST(SongAnalysis, FileThatCannotBeDecodedIsRefused)
{
    SongAnalysis analysis;
    std::string error;
    EXPECT_FALSE(analysis.analyseFile("no-such-song.ogg", error));
    EXPECT_NE(error.find("no-such-song.ogg"), std::string::npos);
}
