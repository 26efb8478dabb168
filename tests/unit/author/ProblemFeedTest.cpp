#include "author/ErrorPanel.hpp"
#include "author/ProblemFeed.hpp"
#include "author/TimelineStrip.hpp"
#include "cutscene/GameCutscene.hpp"
#include "player/Player.hpp"
#include "report/Problem.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#ifdef KESTRUNE_TEST_GL
namespace fs = std::filesystem;

namespace
{
// A demo whose first step reports a problem at the script's first line.
class Feed : public testing::Test
{
protected:
    void SetUp() override
    {
        previous = fs::current_path();
        dir = fs::temp_directory_path() / ("kestrune-feed-" + std::to_string(::getpid()));
        fs::create_directories(dir / "assets");
        fs::current_path(dir);
        std::ofstream("assets/demo.script") << "set_flag 9, 1\ndelay 1\nexit\n:init\nexit\n:render\nexit\n";
        GameCutscene& cutscene = GameCutscene::instance();
        cutscene.clearScene();
        cutscene.loadScript("assets/demo.script");
        errors = std::cerr.rdbuf(&recorded);
    }

    void TearDown() override
    {
        std::cerr.rdbuf(errors);
        GameCutscene::instance().clearScene();
        fs::current_path(previous);
        fs::remove_all(dir);
    }

    fs::path previous;
    fs::path dir;
    // Standard error's buffer while a test runs: it records, and hands nothing on to anyone.
    std::stringbuf recorded;
    std::streambuf* errors = nullptr;
};
} // namespace

// Author mode's panel hears the problems themselves: with standard error's buffer replaced by one
// that only records, the panel still gets each problem, placed, and the console its line.
TEST_F(Feed, ThePanelGetsProblemsWithoutATapOnStandardError)
{
    Player player;
    ErrorPanel panel;
    TimelineStrip strip;
    sf::Clock clock;
    ProblemFeed feed(player, panel, strip, clock);

    const std::string name = "ghost";
    Problem::report(Problem("GameCutscene") << "No such object [" << name << "]");
    EXPECT_EQ(panel.lines(), std::vector<std::string>{"GameCutscene: No such object [ghost]"});
    EXPECT_EQ(recorded.str(), "GameCutscene: No such object [ghost]\n");

    // The interpreter's problem, placed at the line that ran.
    testing::internal::CaptureStdout();
    EXPECT_TRUE(player.seekTo(1));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(panel.lines(), (std::vector<std::string>{
                                 "GameCutscene: No such object [ghost]",
                                 "assets/demo.script:1: ScriptInterp: (set_flag) flag index 9 is out of range 0..8."}));

    // A problem author mode reports itself and already holds is not shown twice; SFML's lines
    // come in as lines.
    const std::string reason = "--start nowhere: assets/demo.script defines no label \"nowhere\"";
    const Problem own = Player::startProblem(reason);
    feed.hold(&own);
    Problem::report(own);
    feed.hold(nullptr);
    feed.hearLine("Failed to load image \"assets/sky.png\". Reason: Unable to open file");
    EXPECT_EQ(panel.lines().size(), 3u);
    EXPECT_EQ(panel.lines().back(), "Failed to load image \"assets/sky.png\". Reason: Unable to open file");
    EXPECT_EQ(recorded.str(), "GameCutscene: No such object [ghost]\n"
                              "ScriptInterp: (set_flag @1) flag index 9 is out of range 0..8.\n"
                              "kestrune: --start nowhere: assets/demo.script defines no label \"nowhere\"\n");
}

// A seek through steps printed once is quiet: the console and the panel hear nothing, and a
// reload's gathering gets each distinct problem once.
TEST_F(Feed, AQuietSeekShowsNothingAndAReloadGathers)
{
    Player player;
    ErrorPanel panel;
    TimelineStrip strip;
    sf::Clock clock;
    ProblemFeed feed(player, panel, strip, clock);

    testing::internal::CaptureStdout();
    player.markPrinted(100);
    EXPECT_TRUE(player.seekTo(1));
    EXPECT_TRUE(panel.empty());
    EXPECT_EQ(recorded.str(), "");

    std::vector<std::string> gathered;
    feed.gather(&gathered);
    player.rewind();
    EXPECT_TRUE(player.seekTo(1));
    player.rewind();
    EXPECT_TRUE(player.seekTo(1));
    feed.gather(nullptr);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(panel.empty());
    EXPECT_EQ(recorded.str(), "");
    EXPECT_EQ(gathered,
              std::vector<std::string>{"assets/demo.script:1: ScriptInterp: (set_flag) flag index 9 is out of range 0..8."});
}
#endif
