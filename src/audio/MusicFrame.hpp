#pragma once

#include <cstdint>

// What the picture and the script see of the music at one step: the values the shaders' music
// uniforms carry. All zero is silence.
struct MusicFrame
{
    static constexpr int Bins = 512;
    static constexpr int WaveSamples = 512;

    // 0..1: decibels from -100 to -30 (the playground's mapping), bin k at k * rate / 2048 Hz.
    float spectrum[Bins] = {};
    // -1..1: the last 512 samples heard, oldest first.
    float waveform[WaveSamples] = {};
    // 0..1: each band's bins averaged on the spectrum's scale.
    float bass = 0.f;
    float mid = 0.f;
    float treble = 0.f;
    // RMS of the last 2048 samples heard, 0..1.
    float level = 0.f;
    // How much louder the newest step's sound is than the steps before (0: not at all).
    float onset = 0.f;
    // True on the step of a detected beat; `beat` is 1 there and falls to 0 over BeatDecaySteps.
    bool beatFlag = false;
    float beat = 0.f;
    // Beats of the tempo grid since the song started (0 before a tempo or a song).
    float beats = 0.f;

    void silence();
    // The 512 x 2 RGBA image of iSpectrum: row 0 the spectrum, row 1 the waveform (0.5 is 0).
    void toPixels(std::uint8_t* pixels) const;
};
