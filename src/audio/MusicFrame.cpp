#include "audio/MusicFrame.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace
{
std::uint8_t toByte(float value)
{
    return static_cast<std::uint8_t>(std::lrint(std::clamp(value, 0.f, 1.f) * 255.f));
}

void putGrey(std::uint8_t* pixel, std::uint8_t value)
{
    pixel[0] = value;
    pixel[1] = value;
    pixel[2] = value;
    pixel[3] = 255;
}
} // namespace

void MusicFrame::silence()
{
    std::fill(std::begin(spectrum), std::end(spectrum), 0.f);
    std::fill(std::begin(waveform), std::end(waveform), 0.f);
    bass = mid = treble = level = onset = beat = beats = 0.f;
    beatFlag = false;
}

void MusicFrame::toPixels(std::uint8_t* pixels) const
{
    for (int i = 0; i < Bins; ++i)
        putGrey(pixels + 4 * i, toByte(spectrum[i]));
    std::uint8_t* wave = pixels + 4 * Bins;
    for (int i = 0; i < WaveSamples; ++i)
        putGrey(wave + 4 * i, toByte(0.5f + 0.5f * waveform[i]));
}
