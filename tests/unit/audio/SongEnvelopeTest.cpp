#include "audio/SongEnvelope.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

// Frames of 1/60 s: at 600 samples per second each frame holds ten samples.
TEST(SongEnvelope, EachFrameHoldsThePeakOfItsOwnSamples)
{
    std::vector<float> mono(35, 0.f);
    mono[3] = -0.5f; // frame 0, negative: the magnitude counts
    mono[9] = 0.25f; // the last sample of frame 0
    mono[10] = 1.f;  // the first of frame 1
    mono[34] = 0.2f; // frame 3 holds only five samples
    SongEnvelope envelope;
    envelope.build(mono, 600);
    ASSERT_EQ(envelope.frameCount(), 4);
    const struct
    {
        double seconds;
        float peak;
    } cases[] = {{0.0, 128.f / 255.f}, {1.0 / 60.0 - 1e-9, 128.f / 255.f}, {1.0 / 60.0, 1.f},
                 {2.5 / 60.0, 0.f}, {3.0 / 60.0, 51.f / 255.f}, {4.0 / 60.0, 0.f}, {-0.01, 0.f}};
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(envelope.peakAt(c.seconds), c.peak) << "at " << c.seconds << " s";
}

TEST(SongEnvelope, TheBundledSongIsDecodedAndNotSilent)
{
    SongEnvelope envelope;
    ASSERT_TRUE(envelope.load(std::string(KESTRUNE_SOURCE_DIR) + "/assets/music/arpeggio.wav"));
    EXPECT_GT(envelope.frameCount(), 60);
    float loudest = 0.f;
    for (int frame = 0; frame < envelope.frameCount(); ++frame)
        loudest = std::max(loudest, envelope.peakAt((frame + 0.5) / 60.0));
    EXPECT_GT(loudest, 0.05f);
    EXPECT_FALSE(envelope.load("no/such/song.wav"));
    EXPECT_EQ(envelope.frameCount(), 0);
}
