#pragma once

#include "audio/MusicFrame.hpp"

#include <cstdint>
#include <string>
#include <vector>

// What is heard of one song at every step's position, worked out once when the song is loaded:
// the spectrum (2048-point FFT, Blackman window, the playground's decibel mapping), the waveform,
// the bass, mid and treble bands, the RMS level, an onset strength and beats. Every value at a
// position is a function of the file alone (smoothing looks back over earlier frames of the file,
// never at what was played before), so playing, seeking and rendering see the same values.
// Analysis frame n is what is heard during the step n / 60 s into the song: the window ends
// with the samples from n / 60 to (n + 1) / 60 s.
class SongAnalysis
{
public:
    static constexpr int FftSize = 2048;
    // Band bounds in Hz: bass [BassFrom, MidFrom), mid [MidFrom, TrebleFrom), treble
    // [TrebleFrom, TrebleTo) (bins above the song's Nyquist frequency are left out).
    static constexpr double BassFrom = 20.0;
    static constexpr double MidFrom = 250.0;
    static constexpr double TrebleFrom = 4000.0;
    static constexpr double TrebleTo = 16000.0;
    // The spectrum's decibel range, mapped to 0..1.
    static constexpr float MinDecibels = -100.f;
    static constexpr float MaxDecibels = -30.f;
    // Each bin averages the magnitudes of this many frames of the file, the newest weighing most.
    static constexpr int SmoothingFrames = 8;
    static constexpr double SmoothingDecay = 0.5;
    // A beat: the newest frame's energy at least BeatRiseDb above the mean of the four frames
    // before, louder than BeatFloorDb (RMS, dBFS), at least MinBeatGap frames after the last beat.
    static constexpr float BeatRiseDb = 6.f;
    static constexpr float BeatFloorDb = -40.f;
    static constexpr int MinBeatGap = 6;
    // iBeat falls linearly from 1 to 0 over this many frames after a beat.
    static constexpr int BeatDecayFrames = 15;

    // Decodes a song file to mono samples in -1..1 (the channels averaged) and its sample rate;
    // false, with the reason in `error`, when it cannot be read.
    static bool decodeMono(const std::string& path, std::vector<float>& mono, unsigned& sampleRate,
                           std::string& error);
    // Decodes the file and analyses it; false, with the reason in `error`, when it cannot be read.
    bool analyseFile(const std::string& path, std::string& error);
    // Analyses mono samples in -1..1 at `rate` samples per second.
    void analyse(const std::vector<float>& mono, unsigned rate);

    // The frame heard `seconds` into the song played at `gain` (0..1: the stream's volume / 100).
    // Before the song or after its end, and at gain 0, it is silence. Allocates nothing.
    void frameAt(double seconds, float gain, MusicFrame& out) const;

    int frameCount() const { return frames; }
    unsigned sampleRate() const { return rate; }
    // The analysis frame that holds `seconds` into the song (may be out of range).
    static long frameIndex(double seconds);

private:
    void analyseFrames(const std::vector<float>& mono);
    void detectBeats(const std::vector<float>& mono);
    int binOf(double hertz) const;
    float bandLevel(const std::int16_t* decibels, int from, int to, float shift) const;

    unsigned rate = 0;
    int frames = 0;
    // The song as mono 16-bit samples, for the waveform.
    std::vector<std::int16_t> samples;
    // Smoothed magnitude per frame and bin (FftSize / 2 bins), in hundredths of a decibel.
    std::vector<std::int16_t> decibels;
    std::vector<float> level;
    std::vector<float> onset;
    std::vector<std::uint8_t> beatFlag;
    std::vector<float> beatLevel;
    int bassBins[2] = {0, 0};
    int midBins[2] = {0, 0};
    int trebleBins[2] = {0, 0};
};
