#include "watch/DemoFiles.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
class DemoFolder : public testing::Test
{
protected:
    void SetUp() override
    {
        previous = fs::current_path();
        dir = fs::temp_directory_path() / ("kestrune-demofiles-" + std::to_string(::getpid()));
        fs::create_directories(dir / "assets" / "textures");
        fs::current_path(dir);
    }
    void TearDown() override
    {
        fs::current_path(previous);
        fs::remove_all(dir);
    }
    static void write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

    fs::path previous;
    fs::path dir;
};
} // namespace

TEST_F(DemoFolder, FilesNamedButMissingAreWatchedByName)
{
    write("assets/textures/ball.png", "x");
    write("assets/textures.json", R"({ "textures": { "ball": { "file": "assets/textures/ball.png" },
        "ball2": { "file": "assets/textures/ball2.png" } } })");
    write("assets/music.json", R"({ "music": { "song": { "file": "assets/music/song2.ogg", "volume": 70 } } })");
    write("assets/text.json", R"({ "texts": { "hello": { "text": "and/or it goes.", "font": "assets/fonts/a.ttf" } } })");
    write("assets/demo.script", "object_load_animations ball, assets/ball.anim.json\nlog a/b\n");

    const std::vector<std::string> files = DemoFiles::collect();
    auto has = [&files](const std::string& path) { return std::count(files.begin(), files.end(), path) == 1; };
    struct Row
    {
        const char* path;
        bool watched;
    };
    const Row rows[] = {
        {"assets/textures/ball.png", true},   // there
        {"assets/textures/ball2.png", true},  // missing, named by a catalog
        {"assets/music/song2.ogg", true},     // a missing song
        {"assets/fonts/a.ttf", true},         // a missing font
        {"assets/ball.anim.json", true},      // missing, named by the script
        {"assets/demo.script", true},         // the fixed files, there or not
        {"assets/sprites.json", true},
        {"config.json", true},                // missing: creating it is a save
        {"and/or it goes.", false},           // a text, not a file name
        {"a/b", false},                       // no extension
        {"textures", false},                  // a key
    };
    for (const Row& row : rows)
        EXPECT_EQ(has(row.path), row.watched) << row.path;
    EXPECT_EQ(DemoFiles::namedByScript().count("assets/ball.anim.json"), 1u);
}
