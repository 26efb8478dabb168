#include "catalogs/MusicManager.hpp"
#include "catalogs/CatalogTestSupport.hpp"

#include <cstdlib>
#include <limits>

namespace
{
const float Step = 1.f / 60.f;

// One second of silence, 44100 Hz mono 16-bit PCM.
void writeWav(const std::string& path)
{
    std::ofstream out(path, std::ios::binary);
    const auto word = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    out << "RIFF";
    word(36 + 88200, 4);
    out << "WAVEfmt ";
    // Format block: PCM, mono, rate, byte rate, block size, bits per sample.
    for (const auto& [value, bytes] :
         {std::pair{16u, 4}, {1u, 2}, {1u, 2}, {44100u, 4}, {88200u, 4}, {2u, 2}, {16u, 2}})
        word(value, bytes);
    out << "data";
    word(88200, 4);
    out << std::string(88200, '\0');
}

// Every test starts from this catalog; all playable songs use the one test file.
const char* const Catalog = R"({"music": {
    "zz": "x.ogg", "nofile": {"volume": 3}, "bad": {"file": "missing.ogg", "volume": 20},
    "soft": {"file": "song.wav", "volume": 55.7}, "full": {"file": "song.wav"},
    "one": {"file": "song.wav", "volume": true}, "loud": {"file": "song.wav", "volume": 80},
    "loop": {"file": "song.wav", "loopTo": 250.9}, "far": {"file": "song.wav", "loopTo": 1e12},
    "back": {"file": "song.wav", "loopTo": -5}, "t1": {"file": 1}, "t2": {"file": "b.ogg", "volume": "loud"},
    "t3": {"file": "c.ogg", "loopTo": true}, "t4": {"file": "d.ogg", "loopTo": "1s"}}})";

class MusicManagerTest : public TempFolderTest
{
protected:
    static void SetUpTestSuite() { ::setenv("ALSOFT_DRIVERS", "null", 0); }

    void SetUp() override
    {
        TempFolderTest::SetUp();
        writeWav("song.wav");
        write("music.json", Catalog);
        loaded = captured([&] { EXPECT_TRUE(music.load("music.json")); });
    }

    void TearDown() override
    {
        music.stream().stop();
        TempFolderTest::TearDown();
    }

    float streamVolume() { return music.stream().getVolume(); }
    sf::SoundSource::Status status() { return music.stream().getStatus(); }

    MusicManager music;
    Console loaded;
};
} // namespace

TEST_F(MusicManagerTest, LoadsSongsInKeyOrderAndSkipsTheBadOnes)
{
    // A song is announced before its properties are read.
    std::string created;
    for (const char* key : {"back", "bad", "far", "full", "loop", "loud", "one", "soft", "t1", "t2", "t3", "t4"})
        created += std::string("MusicManager: Creating SONG with name ") + key + "\n";
    const std::string skip = ": [json.exception.type_error.302] type must be ";
    EXPECT_EQ(loaded, (Console{created, "MusicManager: Missing FILE property for [nofile]\n"
                                        "MusicManager: Skipping [t1]" +
                                            skip +
                                            "string, but is number\n"
                                            "MusicManager: Skipping [t2]" +
                                            skip +
                                            "number, but is string\n"
                                            "MusicManager: Skipping [t3]" +
                                            skip +
                                            "number, but is boolean\n"
                                            "MusicManager: Skipping [t4]" +
                                            skip +
                                            "number, but is string\n"
                                            "MusicManager: Missing FILE property for [zz]\n"}));
    for (const char* key : {"nofile", "t1", "t2", "t3", "t4", "zz"})
        EXPECT_FALSE(music.hasSong(key)) << key;
    EXPECT_TRUE(music.hasSong("bad"));

    // The music catalog has no missing-properties line of its own.
    MusicManager other;
    write("songs.json", R"({"songs": {}})");
    write("empty.json", "");
    EXPECT_EQ(captured([&] { EXPECT_FALSE(other.load("songs.json")); }),
              errLines("validateJson: Missing prop: music.\n"));
    EXPECT_EQ(captured([&] { EXPECT_FALSE(other.load("absent.json")); }),
              errLines("MusicManager: Unable to open file absent.json.\n"));
    EXPECT_EQ(captured([&] { EXPECT_FALSE(other.load("empty.json")); }),
              errLines("MusicManager: Error while parsing JSON.\n" + parseErrorOf("") +
                       "\nvalidateJson: Missing prop: music.\n"));
}

TEST_F(MusicManagerTest, PlaySetsVolumeAndLoopPoints)
{
    for (const auto& [key, volume] : {std::pair{"full", 100.f}, {"soft", 55.f}, {"one", 1.f}})
    {
        music.play(false, key);
        EXPECT_EQ(music.currentVolume, volume) << key;
        EXPECT_NEAR(streamVolume(), volume, 0.01f) << key;
        EXPECT_EQ(status(), sf::SoundSource::Playing) << key;
    }

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
        EXPECT_EQ(status(), sf::SoundSource::Playing) << key;
    }
}

TEST_F(MusicManagerTest, FailedPlayReportsOneLineAndResumeRestarts)
{
    music.play(false, "soft");
    EXPECT_EQ(captured([&] { music.play(false, "nope"); }),
              errLines("MusicManager: Song with key nope does not exist.\n"));
    EXPECT_EQ(status(), sf::SoundSource::Playing);
    EXPECT_EQ(music.currentVolume, 55.f);

    // Opening stops the current song even when it fails.
    EXPECT_EQ(captured([&] { music.play(false, "bad"); }),
              errLines("MusicManager: Unable to load music file missing.ogg.\n"));
    EXPECT_EQ(status(), sf::SoundSource::Stopped);
    EXPECT_EQ(music.currentVolume, 55.f);

    // Resuming a stopped song starts it again.
    music.resume();
    EXPECT_EQ(status(), sf::SoundSource::Playing);
    music.pause();
    EXPECT_EQ(status(), sf::SoundSource::Paused);
    music.resume();
    EXPECT_EQ(status(), sf::SoundSource::Playing);
}

TEST_F(MusicManagerTest, FadeOutRampsLinearlyToExactlyZeroAndKeepsPlaying)
{
    music.play(false, "loud");
    music.fadeOut(2.f);
    float elapsed = 0.f;
    float previous = 80.f;
    int steps = 0;
    for (; music.fadeTween.running && steps < 200; ++steps, previous = music.currentVolume)
    {
        music.updateFade(Step);
        elapsed += Step;
        if (elapsed >= 2.f)
            continue;
        EXPECT_NEAR(music.currentVolume, 80.f - 40.f * elapsed, 1e-3f) << "step " << steps;
        EXPECT_NEAR(previous - music.currentVolume, 80.f / 120.f, 1e-3f) << "step " << steps;
        EXPECT_NEAR(streamVolume(), music.currentVolume, 0.01f) << "step " << steps;
        EXPECT_TRUE(music.fadeTween.running) << "step " << steps;
        if (steps == 59)
        {
            EXPECT_NEAR(music.currentVolume, 40.f, 1e-3f);
        }
    }
    // It ends on the first step at which the accumulated time reaches the duration.
    EXPECT_GE(elapsed, 2.f);
    EXPECT_LT(elapsed - Step, 2.f);
    EXPECT_EQ(music.currentVolume, 0.f);
    EXPECT_EQ(streamVolume(), 0.f);
    music.updateFade(Step);
    EXPECT_EQ(music.currentVolume, 0.f);
    EXPECT_EQ(status(), sf::SoundSource::Playing);
}

TEST_F(MusicManagerTest, DegenerateFadesEndAtTheNextUpdateAndPlayDoesNotStopAFade)
{
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

    // A song started during a fade plays at its own volume until the next update.
    music.play(false, "loud");
    music.fadeOut(2.f);
    for (int i = 0; i < 30; ++i)
        music.updateFade(Step);
    EXPECT_NEAR(music.currentVolume, 60.f, 1e-3f);

    music.play(false, "soft");
    EXPECT_EQ(music.currentVolume, 55.f);
    EXPECT_NEAR(streamVolume(), 55.f, 0.01f);
    EXPECT_TRUE(music.fadeTween.running);
    music.updateFade(Step);
    EXPECT_NEAR(music.currentVolume, 80.f - 40.f * 31.f / 60.f, 1e-3f);
    EXPECT_NEAR(streamVolume(), music.currentVolume, 0.01f);
}

TEST_F(MusicManagerTest, MutedPlayerStaysSilentAndItsFadeNeverEnds)
{
    music.mute();
    EXPECT_TRUE(music.muted);
    EXPECT_EQ(streamVolume(), 0.f);
    music.play(false, "soft");
    EXPECT_EQ(music.currentVolume, 55.f);
    EXPECT_EQ(streamVolume(), 0.f);

    music.fadeOut(1.f);
    for (int i = 0; i < 120; ++i)
        music.updateFade(Step);
    EXPECT_EQ(streamVolume(), 0.f);
    EXPECT_EQ(music.currentVolume, 55.f);
    EXPECT_TRUE(music.fadeTween.running);
    EXPECT_NEAR(music.fadeTween.elapsed, 2.f, 1e-4f);
}

TEST_F(MusicManagerTest, HeldPlayerTracksTheSongAndReleasesItWherePlayingWouldBe)
{
    const auto advance = [&](int steps) {
        for (int i = 0; i < steps; ++i)
            music.advanceHeld(Step);
    };
    const auto offset = [&] { return music.stream().getPlayingOffset().asSeconds(); };

    music.hold();
    music.play(false, "full");
    EXPECT_EQ(status(), sf::SoundSource::Stopped); // silent while held
    advance(12);
    music.pause();
    advance(30); // paused: the position stays
    music.resume();
    advance(12);
    EXPECT_NEAR(music.heldSeconds(), 24 * Step, 1e-4);
    music.release();
    EXPECT_EQ(status(), sf::SoundSource::Playing);
    EXPECT_NEAR(offset(), 0.4f, 0.05f);

    // resume on a playing song starts it over, and a song that runs past its end stops.
    music.hold();
    EXPECT_NEAR(music.heldSeconds(), offset(), 0.05);
    music.resume();
    EXPECT_EQ(music.heldSeconds(), 0.0);
    advance(70);
    EXPECT_EQ(music.heldStatus(), sf::SoundSource::Stopped);
    music.release();
    EXPECT_EQ(status(), sf::SoundSource::Stopped);

    // A paused song is released paused at its position.
    music.hold();
    music.play(false, "full");
    advance(30);
    music.pause();
    music.release();
    EXPECT_EQ(status(), sf::SoundSource::Paused);
    EXPECT_NEAR(offset(), 0.5f, 0.05f);
}
