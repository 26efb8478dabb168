#pragma once

#include <cstdint>
#include <string>
#include <vector>

// How loud a song is along its length, for drawing its waveform: the peak of the samples in each
// 1/60 s of the song (the same frames the analysis counts, frame n from n / 60 s), made once from
// the decoded samples.
class SongEnvelope
{
public:
    // Decodes the file; false when it cannot be read (the envelope is then silent).
    bool load(const std::string& path);
    // From mono samples in -1..1 at `rate` samples per second.
    void build(const std::vector<float>& mono, unsigned rate);

    // The peak (0..1) of the frame heard `seconds` into the song; 0 before it or past its end.
    float peakAt(double seconds) const;
    int frameCount() const { return static_cast<int>(peaks.size()); }

private:
    std::vector<std::uint8_t> peaks; // 0..255
};
