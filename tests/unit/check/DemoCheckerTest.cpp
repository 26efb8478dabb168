#include "check/DemoChecker.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace
{
// Checks the demo made of `files` (path, text) in a fresh working folder.
std::vector<std::string> checkedLines(const std::vector<std::pair<std::string, std::string>>& files)
{
    const fs::path previous = fs::current_path();
    const fs::path dir = fs::temp_directory_path() / ("kestrune-demo-check-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "assets");
    fs::current_path(dir);
    for (const auto& [path, text] : files)
        std::ofstream(path, std::ios::binary) << text;
    DemoChecker checker;
    checker.canOpenDisplay = false;
    checker.checkAll();
    fs::current_path(previous);
    fs::remove_all(dir);
    std::vector<std::string> lines;
    for (const Diagnostics::Entry& entry : checker.diagnostics.entries)
        lines.push_back(Diagnostics::format(entry));
    return lines;
}
} // namespace

TEST(DemoChecker, FollowsStartUpsOrderAndNamesTheEntriesItNeeds)
{
    const std::string noPostShader =
        ": error: no such file: the player cannot start without its post-processing shader";
    const std::vector<std::string> opening = {"config.json: warning: no such file; every setting keeps its default",
                                              "assets/shaders/passthrough.vert" + noPostShader,
                                              "assets/shaders/vignette.frag" + noPostShader};
    const std::string noScript = "assets/demo.script: error: no such file: there is nothing to play";
    const auto missingKey = [](const char* file, const char* key) {
        return std::string("assets/") + file + ":1:1: error: missing top-level key \"" + key +
               "\"; nothing in this file is loaded";
    };
    const struct
    {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files;
        std::vector<std::string> middle; // between the opening lines and the script's
    } cases[] = {
        // Every catalog holds one mistake, so the order of the lines is the order of the checks.
        {"start-up's order, the fade's sprite after the particle systems, the noise last",
         {{"assets/textures.json", "[]"},
          {"assets/music.json", "[]"},
          {"assets/sprites.json", "[]"},
          {"assets/particles.json", R"({"particlesystems": {"fire": {"file": "assets/fire.json"}}})"},
          {"assets/fire.json", "[]"},
          {"assets/shaders.json", "[]"},
          {"assets/text.json", "[]"}},
         {missingKey("textures.json", "textures"), missingKey("music.json", "music"),
          missingKey("sprites.json", "sprites"),
          "assets/fire.json:1:1: error: a particle system must be an object, not array",
          "assets/sprites.json: warning: no sprite \"black\": the screen fade has no overlay",
          missingKey("shaders.json", "shaders"), missingKey("text.json", "textsystems"),
          "assets/textures.json: warning: no texture \"noise\": the post-processing shader gets no noise channel"}},
        {"both entries there",
         {{"assets/textures.json", R"({"textures": {"noise": {"file": "n.png"}}})"},
          {"assets/sprites.json", R"({"sprites": {"black": {"texture": "noise", "rectW": 1, "rectH": 1}}})"}},
         {"assets/textures.json:1:25: error: texture \"noise\": file \"n.png\" does not exist"}},
    };
    for (const auto& c : cases)
    {
        std::vector<std::string> expected = opening;
        expected.insert(expected.end(), c.middle.begin(), c.middle.end());
        expected.push_back(noScript);
        EXPECT_EQ(checkedLines(c.files), expected) << c.what;
    }
}
