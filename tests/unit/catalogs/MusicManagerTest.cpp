#include "catalogs/MusicManager.hpp"

#include <SFML/System/Err.hpp>

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace
{
namespace fs = std::filesystem;
using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

const float Step = 1.f / 60.f;

// One second of a 440 Hz sine, 44100 Hz mono 16-bit PCM.
void writeWav(const std::string& path)
{
    const std::uint32_t rate = 44100;
    const std::uint32_t samples = rate;
    std::ofstream out(path, std::ios::binary);
    const auto word = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    out << "RIFF";
    word(36 + samples * 2, 4);
    out << "WAVEfmt ";
    word(16, 4);
    word(1, 2); // PCM
    word(1, 2); // mono
    word(rate, 4);
    word(rate * 2, 4);
    word(2, 2);
    word(16, 2);
    out << "data";
    word(samples * 2, 4);
    for (std::uint32_t i = 0; i < samples; ++i)
    {
        const double sample = 8000.0 * std::sin(2.0 * 3.141592653589793 * 440.0 * i / rate);
        word(static_cast<std::uint16_t>(static_cast<std::int16_t>(sample)), 2);
    }
}

class MusicManagerTest : public testing::Test
{
protected:
    static void SetUpTestSuite() { ::setenv("ALSOFT_DRIVERS", "null", 0); }

    void SetUp() override
    {
        static int counter = 0;
        dir = fs::temp_directory_path() /
              ("kestrune_music_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::create_directories(dir);
        sfmlErrors = sf::err().rdbuf(sfmlOutput.rdbuf());
        song = (dir / "song.wav").string();
        writeWav(song);
    }

    void TearDown() override
    {
        music.stream().stop();
        sf::err().rdbuf(sfmlErrors);
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    // Loads a catalog text; returns standard output and error.
    std::pair<std::string, std::string> load(const std::string& text, bool expected = true)
    {
        const std::string file = (dir / "music.json").string();
        std::ofstream(file) << text;
        CaptureStdout();
        CaptureStderr();
        EXPECT_EQ(music.load(file), expected);
        std::string errors = GetCapturedStderr();
        return {GetCapturedStdout(), errors};
    }

    // A catalog of songs that all play the test file: "full" (no volume), "soft" (55.7), "loud" (80).
    void loadStandardSongs()
    {
        const auto output = load(R"({"music": {"full": {"file": ")" + song + R"("}, "soft": {"file": ")" + song +
                                 R"(", "volume": 55.7}, "loud": {"file": ")" + song + R"(", "volume": 80}}})");
        ASSERT_EQ(output.second, "");
    }

    float streamVolume() { return music.stream().getVolume(); }

    fs::path dir;
    std::string song;
    MusicManager music;
    std::ostringstream sfmlOutput;
    std::streambuf* sfmlErrors = nullptr;
};
} // namespace

TEST_F(MusicManagerTest, CreatesSongsInByteOrderOfKeys)
{
    const auto output = load(R"({"music": {"b": {"file": "b.ogg"}, "a": {"file": "a.ogg", "volume": 10}}})");
    EXPECT_EQ(output.first, "MusicManager: Creating SONG with name a\nMusicManager: Creating SONG with name b\n");
    EXPECT_EQ(output.second, "");
    EXPECT_TRUE(music.hasSong("a"));
    EXPECT_TRUE(music.hasSong("b"));
    EXPECT_FALSE(music.hasSong("c"));
}

TEST_F(MusicManagerTest, VolumeDefaultsTo100AndTruncates)
{
    loadStandardSongs();
    music.play(false, "full");
    EXPECT_FLOAT_EQ(music.currentVolume, 100.f);
    EXPECT_NEAR(streamVolume(), 100.f, 0.01f);
    EXPECT_EQ(music.stream().getStatus(), sf::SoundSource::Playing);

    music.play(false, "soft");
    EXPECT_FLOAT_EQ(music.currentVolume, 55.f);
    EXPECT_NEAR(streamVolume(), 55.f, 0.01f);
}

TEST_F(MusicManagerTest, LoopPointStartsAtLoopToAndRunsToTheEnd)
{
    load(R"({"music": {"loop": {"file": ")" + song + R"(", "loopTo": 250.9}, "far": {"file": ")" + song +
         R"(", "loopTo": 1e12}, "back": {"file": ")" + song + R"(", "loopTo": -5}}})");
    music.play(true, "loop");
    EXPECT_TRUE(music.stream().getLoop());
    EXPECT_EQ(music.stream().getLoopPoints().offset.asMilliseconds(), 250);
    EXPECT_EQ(music.stream().getLoopPoints().length.asMilliseconds(), 750);

    // Positions outside the song are refused by the audio library: the whole song loops.
    for (const char* key : {"far", "back"})
    {
        music.play(false, key);
        EXPECT_FALSE(music.stream().getLoop());
        EXPECT_EQ(music.stream().getLoopPoints().offset.asMilliseconds(), 0) << key;
        EXPECT_EQ(music.stream().getLoopPoints().length.asMilliseconds(), 1000) << key;
        EXPECT_EQ(music.stream().getStatus(), sf::SoundSource::Playing) << key;
    }
}

TEST_F(MusicManagerTest, UnknownSongLeavesCurrentSongPlaying)
{
    loadStandardSongs();
    music.play(false, "soft");
    CaptureStderr();
    music.play(false, "nope");
    EXPECT_EQ(GetCapturedStderr(), "MusicManager: Song with key nope does not exist.\n");
    EXPECT_EQ(music.stream().getStatus(), sf::SoundSource::Playing);
    EXPECT_FLOAT_EQ(music.currentVolume, 55.f);
}

TEST_F(MusicManagerTest, UnopenableFileStopsCurrentSong)
{
    const std::string missing = (dir / "missing.ogg").string();
    load(R"({"music": {"bad": {"file": ")" + missing + R"(", "volume": 20}, "good": {"file": ")" + song +
         R"(", "volume": 70}}})");
    music.play(false, "good");
    CaptureStderr();
    music.play(false, "bad");
    EXPECT_EQ(GetCapturedStderr(), "MusicManager: Unable to load music file " + missing + ".\n");
    EXPECT_EQ(music.stream().getStatus(), sf::SoundSource::Stopped);
    EXPECT_FLOAT_EQ(music.currentVolume, 70.f);
}

TEST_F(MusicManagerTest, EntryWithoutFileIsReported)
{
    const auto output = load(R"({"music": {"a": "x.ogg", "b": {"volume": 3}, "c": {"file": "c.ogg"}}})");
    EXPECT_EQ(output.second, "MusicManager: Missing FILE property for [a]\n"
                             "MusicManager: Missing FILE property for [b]\n");
    EXPECT_EQ(output.first, "MusicManager: Creating SONG with name c\n");
    EXPECT_FALSE(music.hasSong("a"));
    EXPECT_FALSE(music.hasSong("b"));
}

TEST_F(MusicManagerTest, CatalogLevelFailures)
{
    auto output = load(R"({"songs": {}})", false);
    EXPECT_EQ(output.second, "validateJson: Missing prop: music.\n");
    EXPECT_EQ(output.first, "");

    const std::string absent = (dir / "absent.json").string();
    CaptureStderr();
    EXPECT_FALSE(music.load(absent));
    EXPECT_EQ(GetCapturedStderr(), "MusicManager: Unable to open file " + absent + ".\n");

    output = load("", false);
    std::istringstream errors(output.second);
    std::string line;
    std::getline(errors, line);
    EXPECT_EQ(line, "MusicManager: Error while parsing JSON.");
    std::getline(errors, line);
    EXPECT_EQ(line.rfind("[json.exception.parse_error.101]", 0), 0u) << line;
    std::getline(errors, line);
    EXPECT_EQ(line, "validateJson: Missing prop: music.");
    EXPECT_FALSE(std::getline(errors, line));
}

TEST_F(MusicManagerTest, MutedPlayerStaysSilent)
{
    loadStandardSongs();
    music.mute();
    EXPECT_TRUE(music.muted);
    EXPECT_FLOAT_EQ(streamVolume(), 0.f);

    music.play(false, "soft");
    EXPECT_FLOAT_EQ(music.currentVolume, 55.f);
    EXPECT_FLOAT_EQ(streamVolume(), 0.f);

    music.fadeOut(1.f);
    for (int i = 0; i < 120; ++i)
        music.updateFade(Step);
    EXPECT_FLOAT_EQ(streamVolume(), 0.f);
    EXPECT_FLOAT_EQ(music.currentVolume, 55.f);
    EXPECT_TRUE(music.fadeTween.running);
}

TEST_F(MusicManagerTest, FadeOutRampsLinearlyToExactlyZero)
{
    loadStandardSongs();
    music.play(false, "loud");
    music.fadeOut(2.f);

    float elapsed = 0.f;
    float previous = 80.f;
    int steps = 0;
    while (music.fadeTween.running && steps < 200)
    {
        music.updateFade(Step);
        elapsed += Step;
        ++steps;
        if (elapsed < 2.f)
        {
            EXPECT_NEAR(music.currentVolume, 80.f - 40.f * elapsed, 1e-3f) << "step " << steps;
            EXPECT_NEAR(previous - music.currentVolume, 80.f / 120.f, 1e-3f) << "step " << steps;
            EXPECT_TRUE(music.fadeTween.running) << "step " << steps;
        }
        if (steps == 60)
        {
            EXPECT_NEAR(music.currentVolume, 40.f, 1e-3f);
        }
        previous = music.currentVolume;
    }
    EXPECT_GE(elapsed, 2.f);
    EXPECT_LT(elapsed - Step, 2.f);
    EXPECT_EQ(music.currentVolume, 0.f);
    EXPECT_EQ(streamVolume(), 0.f);

    // The finished ramp leaves the song playing silently.
    music.updateFade(Step);
    EXPECT_EQ(music.currentVolume, 0.f);
    EXPECT_EQ(music.stream().getStatus(), sf::SoundSource::Playing);
}

TEST_F(MusicManagerTest, DegenerateFadeDurationEndsAtNextUpdate)
{
    loadStandardSongs();
    for (const float duration : {0.f, -3.f, std::numeric_limits<float>::quiet_NaN()})
    {
        music.play(false, "loud");
        music.fadeOut(duration);
        EXPECT_TRUE(music.fadeTween.running) << duration;
        music.updateFade(Step);
        EXPECT_EQ(music.currentVolume, 0.f) << duration;
        EXPECT_EQ(streamVolume(), 0.f) << duration;
        EXPECT_FALSE(music.fadeTween.running) << duration;
    }
}

TEST_F(MusicManagerTest, PlayDuringFadeIsOverriddenByNextUpdate)
{
    loadStandardSongs();
    music.play(false, "loud");
    music.fadeOut(2.f);
    for (int i = 0; i < 30; ++i)
        music.updateFade(Step);
    EXPECT_NEAR(music.currentVolume, 60.f, 1e-3f);

    music.play(false, "soft");
    EXPECT_FLOAT_EQ(music.currentVolume, 55.f);
    EXPECT_NEAR(streamVolume(), 55.f, 0.01f);
    EXPECT_TRUE(music.fadeTween.running);

    music.updateFade(Step);
    EXPECT_NEAR(music.currentVolume, 80.f - 40.f * 31.f / 60.f, 1e-3f);
    EXPECT_NEAR(streamVolume(), music.currentVolume, 0.01f);
}

TEST_F(MusicManagerTest, PauseAndResumeChangeStreamState)
{
    loadStandardSongs();
    music.play(true, "full");
    EXPECT_EQ(music.stream().getStatus(), sf::SoundSource::Playing);
    music.pause();
    EXPECT_EQ(music.stream().getStatus(), sf::SoundSource::Paused);
    music.resume();
    EXPECT_EQ(music.stream().getStatus(), sf::SoundSource::Playing);
    music.stream().stop();
    music.resume();
    EXPECT_EQ(music.stream().getStatus(), sf::SoundSource::Playing);
}

TEST_F(MusicManagerTest, TypeErrorsSkipOnlyTheirEntry)
{
    const auto output = load(R"({"music": {"a": {"file": 1}, "b": {"file": "b.ogg", "volume": "loud"},
                                           "c": {"file": "c.ogg", "loopTo": true},
                                           "d": {"file": "d.ogg", "loopTo": "1s"},
                                           "e": {"file": ")" + song + R"(", "volume": true}}})");
    EXPECT_EQ(output.second,
              "MusicManager: Skipping [a]: [json.exception.type_error.302] type must be string, but is number\n"
              "MusicManager: Skipping [b]: [json.exception.type_error.302] type must be number, but is string\n"
              "MusicManager: Skipping [c]: [json.exception.type_error.302] type must be number, but is boolean\n"
              "MusicManager: Skipping [d]: [json.exception.type_error.302] type must be number, but is string\n");
    EXPECT_EQ(output.first, "MusicManager: Creating SONG with name e\n");
    for (const char* key : {"a", "b", "c", "d"})
        EXPECT_FALSE(music.hasSong(key)) << key;

    music.play(false, "e");
    EXPECT_FLOAT_EQ(music.currentVolume, 1.f);
}
