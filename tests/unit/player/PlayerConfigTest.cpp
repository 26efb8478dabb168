#include "player/Player.hpp"
#include "catalogs/MusicManager.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace
{
// Runs loadConfig in a fresh working directory holding the given config.json text (none when null).
struct ConfigRun
{
    explicit ConfigRun(const char* text)
    {
        const fs::path previous = fs::current_path();
        const fs::path dir = fs::temp_directory_path() / ("kestrune-config-" + std::to_string(counter++));
        fs::create_directories(dir);
        if (text)
            std::ofstream(dir / "config.json") << text;
        fs::current_path(dir);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        app.loadConfig();
        out = testing::internal::GetCapturedStdout();
        err = testing::internal::GetCapturedStderr();
        fs::current_path(previous);
        fs::remove_all(dir);
    }

    static inline int counter = 0;
    Player app;
    std::string out;
    std::string err;
};
} // namespace

TEST(PlayerConfig, MissingFileKeepsDefaults)
{
    ConfigRun run(nullptr);
    EXPECT_EQ(run.err, "Config.json missing.\n");
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(run.app.fullscreen());
    EXPECT_TRUE(run.app.vsync());
    EXPECT_EQ(run.app.title(), "Kestrune Demo");
}

TEST(PlayerConfig, AppliesKeysAndReportsLoaded)
{
    ConfigRun run(R"({"fullscreen": true, "vsync": false, "title": "Night", "other": 3})");
    EXPECT_EQ(run.out, "config.json: Loaded configuration.\n");
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(run.app.fullscreen());
    EXPECT_FALSE(run.app.vsync());
    EXPECT_EQ(run.app.title(), "Night");
}

TEST(PlayerConfig, SyntaxErrorAppliesNothing)
{
    ConfigRun run(R"({"fullscreen": true, "vsync": fal)");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("config.json: Error while parsing JSON.\n[json.exception.parse_error.", 0), 0u) << run.err;
    EXPECT_FALSE(run.app.fullscreen());
    EXPECT_TRUE(run.app.vsync());
}

TEST(PlayerConfig, ArrayOrNumberUsesDefaultsButLoads)
{
    for (const char* text : {"[true, false]", "7"})
    {
        ConfigRun run(text);
        EXPECT_EQ(run.out, "config.json: Loaded configuration.\n") << text;
        EXPECT_EQ(run.err, "") << text;
        EXPECT_FALSE(run.app.fullscreen()) << text;
    }
}

TEST(PlayerConfig, WrongTypeKeepsThatDefaultAndAppliesTheRest)
{
    ConfigRun run(R"({"fullscreen": "yes", "vsync": false, "title": ["a"]})");
    EXPECT_EQ(run.err,
              "config.json: Ignoring key \"fullscreen\", keeping its default: [json.exception.type_error.302] type "
              "must be boolean, but is string\n"
              "config.json: Ignoring key \"title\", keeping its default: [json.exception.type_error.302] type must "
              "be string, but is array\n");
    EXPECT_EQ(run.out, "config.json: Loaded configuration.\n");
    EXPECT_FALSE(run.app.fullscreen());
    EXPECT_FALSE(run.app.vsync());
    EXPECT_EQ(run.app.title(), "Kestrune Demo");
}

TEST(PlayerConfig, MusicFalseMutesThePlayer)
{
    ASSERT_FALSE(MusicManager::instance().muted);
    ConfigRun unmuted(R"({"music": true})");
    EXPECT_FALSE(MusicManager::instance().muted);
    ConfigRun muted(R"({"music": false})");
    EXPECT_TRUE(MusicManager::instance().muted);
    EXPECT_EQ(MusicManager::instance().stream().getVolume(), 0.f);
}
