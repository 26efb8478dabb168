#include "render/SoundTrack.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace
{
const int StepFrames = 735; // 44100 / 60

void putLe(std::ofstream& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A mono 44.1 kHz song whose frame i holds the sample value i + 1.
void writeSong(const fs::path& path, int frames)
{
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    putLe(out, 36 + frames * 2, 4);
    out.write("WAVEfmt ", 8);
    putLe(out, 16, 4);
    putLe(out, 1, 2);
    putLe(out, 1, 2);
    putLe(out, 44100, 4);
    putLe(out, 88200, 4);
    putLe(out, 2, 2);
    putLe(out, 16, 2);
    out.write("data", 4);
    putLe(out, frames * 2, 4);
    for (int i = 0; i < frames; ++i)
        putLe(out, static_cast<std::uint32_t>(i + 1), 2);
}

// The left channel of the track's steps (both channels carry the mono song).
struct Track
{
    Track()
    {
        // Tests run in processes of their own, side by side: the folder is this process's.
        dir = fs::temp_directory_path() /
              ("kestrune-track-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
        fs::create_directories(dir);
        std::string error;
        EXPECT_TRUE(track.open((dir / "track.wav").string(), error)) << error;
    }
    ~Track() { fs::remove_all(dir); }

    Song song(int frames, double loopTo = 0.0)
    {
        const fs::path path = dir / ("song" + std::to_string(frames) + ".wav");
        writeSong(path, frames);
        Song result;
        result.file = path.string();
        result.loopTo = loopTo;
        return result;
    }

    std::vector<std::int16_t> left()
    {
        EXPECT_TRUE(track.close());
        std::ifstream in(dir / "track.wav", std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<std::int16_t> samples;
        for (std::size_t at = 44; at + 3 < bytes.size(); at += 4)
            samples.push_back(static_cast<std::int16_t>(static_cast<unsigned char>(bytes[at]) |
                                                        (static_cast<unsigned char>(bytes[at + 1]) << 8)));
        return samples;
    }

    static int counter;
    fs::path dir;
    SoundTrack track;
};
int Track::counter = 0;
} // namespace

TEST(SoundTrack, PauseHoldsThePlaceResumeContinuesAndRestarts)
{
    Track t;
    const Song song = t.song(44100);
    t.track.startRecording(false);
    t.track.songStarted(song, false);
    t.track.endStep(100.f); // step 0: frames 0..734
    t.track.paused();
    t.track.endStep(100.f); // silent
    t.track.resumed();
    t.track.endStep(50.f); // continues at frame 735, at half volume
    t.track.resumed();     // on a playing song: from the beginning
    t.track.endStep(100.f);

    const std::vector<std::int16_t> left = t.left();
    ASSERT_EQ(left.size(), 4u * StepFrames);
    EXPECT_EQ(left[0], 1);
    EXPECT_EQ(left[734], 735);
    EXPECT_EQ(left[StepFrames], 0);
    EXPECT_EQ(left[2 * StepFrames - 1], 0);
    EXPECT_EQ(left[2 * StepFrames], 368); // 736 / 2
    EXPECT_EQ(left[3 * StepFrames], 1);
    EXPECT_TRUE(t.track.hasMusic());
}

TEST(SoundTrack, SongEndsWithoutLoopAndWrapsToLoopToWithIt)
{
    Track once;
    once.track.startRecording(false);
    once.track.songStarted(once.song(1000), false);
    once.track.endStep(100.f);
    once.track.endStep(100.f);
    const std::vector<std::int16_t> a = once.left();
    EXPECT_EQ(a[999], 1000);
    EXPECT_EQ(a[1000], 0);

    Track looped;
    looped.track.startRecording(false);
    looped.track.songStarted(looped.song(1000, 10.0), true); // 10 ms = frame 441
    looped.track.endStep(100.f);
    looped.track.endStep(100.f);
    const std::vector<std::int16_t> b = looped.left();
    EXPECT_EQ(b[999], 1000);
    EXPECT_EQ(b[1000], 442);
}

TEST(SoundTrack, StepsBeforeRecordingMoveTheSongOnSilently)
{
    Track t;
    t.track.songStarted(t.song(44100), false);
    t.track.endStep(100.f);
    t.track.endStep(100.f);
    // The fast-forward's last step comes first in the track, as its frame does.
    t.track.startRecording(true);
    t.track.endStep(100.f);
    const std::vector<std::int16_t> left = t.left();
    ASSERT_EQ(left.size(), 2u * StepFrames);
    EXPECT_EQ(left[0], StepFrames + 1);
    EXPECT_EQ(left[StepFrames], 2 * StepFrames + 1);
}

TEST(SoundTrack, WithoutASongTheTrackIsSilent)
{
    Track t;
    t.track.startRecording(false);
    t.track.resumed();
    t.track.endStep(100.f);
    const std::vector<std::int16_t> left = t.left();
    ASSERT_EQ(left.size(), static_cast<std::size_t>(StepFrames));
    EXPECT_EQ(left[0], 0);
    EXPECT_FALSE(t.track.hasMusic());
}

TEST(SoundTrack, ARangeAt30FramesPerSecondTakesBackBothStepsOfItsFirstFrame)
{
    // A render at 30 fps keeps every other step's frame; a range starting at a later frame owes
    // the sound of the two steps since the frame before, with the volume each step had.
    Track t;
    t.track.songStarted(t.song(44100), false);
    t.track.endStep(100.f); // step 0
    t.track.endStep(50.f);  // step 1
    t.track.endStep(100.f); // step 2
    t.track.startRecording(2);
    t.track.endStep(100.f); // step 3
    const std::vector<std::int16_t> left = t.left();
    ASSERT_EQ(left.size(), 3u * StepFrames);
    EXPECT_EQ(left[0], (StepFrames + 1) / 2);
    EXPECT_EQ(left[StepFrames], 2 * StepFrames + 1);
    EXPECT_EQ(left[2 * StepFrames], 3 * StepFrames + 1);

    // No more than the steps that ran are taken back.
    Track early;
    early.track.songStarted(early.song(44100), false);
    early.track.endStep(100.f);
    early.track.startRecording(2);
    EXPECT_EQ(early.left().size(), static_cast<std::size_t>(StepFrames));
}
