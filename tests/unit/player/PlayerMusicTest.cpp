#include "player/Player.hpp"

#include "ConsoleCapture.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include <unistd.h>

#ifdef KESTRUNE_TEST_GL
namespace fs = std::filesystem;
using testsupport::capture;

namespace
{
// FNV-1a over everything the music uniforms carry at a step.
std::uint64_t hashOf(const MusicFrame& frame)
{
    std::uint64_t hash = 1469598103934665603ull;
    const auto add = [&hash](const void* data, std::size_t size) {
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i)
            hash = (hash ^ bytes[i]) * 1099511628211ull;
    };
    add(frame.spectrum, sizeof frame.spectrum);
    add(frame.waveform, sizeof frame.waveform);
    const float values[] = {frame.bass, frame.mid, frame.treble, frame.level, frame.beat, frame.beats};
    add(values, sizeof values);
    return hash;
}

struct MusicDemo
{
    MusicDemo()
    {
        dir = fs::temp_directory_path() / ("kestrune-music-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::copy(fs::path(KESTRUNE_SOURCE_DIR) / "examples" / "music", dir, fs::copy_options::recursive);
        previous = fs::current_path();
        fs::current_path(dir);
    }
    ~MusicDemo()
    {
        fs::current_path(previous);
        fs::remove_all(dir);
    }
    fs::path dir;
    fs::path previous;
};
} // namespace

// The music example's uniforms at every step are the same whether the step is reached by
// playing, by a seek from the start (as --start and a render's range begin), by a seek back
// (author mode), or after author mode reloads the saved song and seeks back to where it was.
TEST(PlayerMusic, SameUniformsAtAStepHoweverItIsReached)
{
    MusicDemo demo;
    Player app;
    ASSERT_TRUE(capture([&] {
                    app.loadConfig();
                    return app.load();
                }).err.empty());

    const long steps = 420;
    std::vector<std::uint64_t> played(steps + 1);
    int loud = 0;
    int beats = 0;
    capture([&] {
        played[0] = hashOf(app.music());
        for (long k = 1; k <= steps; ++k)
        {
            app.update();
            app.renderScene();
            played[static_cast<std::size_t>(k)] = hashOf(app.music());
            loud += app.music().level > 0.05f ? 1 : 0;
            beats += app.music().beatFlag ? 1 : 0;
        }
    });
    // The song plays: the values are not those of silence, and its kicks are found.
    EXPECT_GT(loud, steps / 2);
    EXPECT_GE(beats, 12);
    // 120 BPM from the song's start at step 1: 420 steps is 13.95 beats.
    EXPECT_NEAR(app.music().beats, 419 / 30.0, 1e-4);

    const long targets[] = {1, 31, 100, 247, 361, 420};
    for (long target : targets)
    {
        SCOPED_TRACE(target);
        capture([&] { app.seekTo(target); });
        EXPECT_EQ(hashOf(app.music()), played[static_cast<std::size_t>(target)]) << "seek back";
        capture([&] {
            app.rewind();
            app.seekTo(target);
        });
        EXPECT_EQ(hashOf(app.music()), played[static_cast<std::size_t>(target)]) << "from the start";
    }
    capture([&] {
        app.reload({"assets/music/groove.wav"});
        app.seekTo(300);
    });
    EXPECT_EQ(hashOf(app.music()), played[300]) << "after the song is saved";
}
#endif
