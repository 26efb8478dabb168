#include "author/ConsoleTap.hpp"
#include "author/ErrorPanel.hpp"
#include "player/ConsoleQuiet.hpp"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

// The interpreter's own problems are worded by Problem::panelText (ProblemTest); every other
// line is placed as it is.
TEST(ErrorPanel, PlacesConsoleLinesAsTheCheckerDoes)
{
    const struct
    {
        const char* message;
        const char* where;
        const char* expected;
    } cases[] = {
        {"GameCutscene: No such object [hero]", "assets/demo.script:40",
         "assets/demo.script:40: GameCutscene: No such object [hero]"},
        {"TextureManager: Unable to load texture [sky]", "", "TextureManager: Unable to load texture [sky]"},
        {"ScriptInterp: Command [delay] needs 1 parameters. 0 found.", "assets/demo.script:5",
         "assets/demo.script:5: ScriptInterp: Command [delay] needs 1 parameters. 0 found."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorPanel::describe(c.message, c.where), c.expected);
}

TEST(ErrorPanel, PassingReportsExpireNewestLastAndStandingOnesStay)
{
    ErrorPanel panel;
    panel.setSticky("assets/tint.frag", "assets/tint.frag:3: error: 'gl_Colour' undeclared");
    panel.add("first", 0.0);
    panel.add("second", 1.0);
    panel.add("first", 2.0); // renewed: moves to the end
    EXPECT_EQ(panel.lines(),
              (std::vector<std::string>{"assets/tint.frag:3: error: 'gl_Colour' undeclared", "second", "first"}));
    panel.expire(1.0 + ErrorPanel::ShowSeconds);
    EXPECT_EQ(panel.lines().size(), 2u);
    panel.clearSticky("assets/tint.frag");
    panel.expire(2.0 + ErrorPanel::ShowSeconds);
    EXPECT_TRUE(panel.empty());

    for (int i = 0; i < 20; ++i)
        panel.add("report " + std::to_string(i), 10.0);
    const std::vector<std::string> shown = panel.lines();
    ASSERT_EQ(shown.size(), ErrorPanel::MaxLines);
    EXPECT_EQ(shown.back(), "report 19");
}

TEST(ConsoleTap, PassesLinesThroughToTheListener)
{
    std::ostringstream console;
    std::vector<std::string> heard;
    {
        ConsoleTap tap(console);
        tap.listener = [&heard](const std::string& line) { heard.push_back(line); };
        console << "GameCutscene: No such object ["
                << "hero"
                << "]" << std::endl
                << "half ";
        console << "a line" << std::endl;
    }
    console << "after the tap" << std::endl;
    EXPECT_EQ(console.str(), "GameCutscene: No such object [hero]\nhalf a line\nafter the tap\n");
    EXPECT_EQ(heard, (std::vector<std::string>{"GameCutscene: No such object [hero]", "half a line"}));
}

// A quiet seek replays steps whose lines were printed once: a tap on a console stream, as author
// mode installs on SFML's error stream, hears none of them, and hears the lines after the seek again.
TEST(ConsoleTap, AQuietConsoleSilencesTheListenerToo)
{
    std::ostringstream console;
    std::streambuf* const previous = std::cerr.rdbuf(console.rdbuf());
    std::vector<std::string> heard;
    {
        ConsoleTap tap(std::cerr);
        tap.listener = [&heard](const std::string& line) { heard.push_back(line); };
        ConsoleQuiet quiet;
        std::cerr << "before" << std::endl;
        quiet.set(true);
        std::cerr << "not printed again" << std::endl;
        quiet.set(false);
        std::cerr << "after" << std::endl;
    }
    std::cerr.rdbuf(previous);
    EXPECT_EQ(console.str(), "before\nafter\n");
    EXPECT_EQ(heard, (std::vector<std::string>{"before", "after"}));
}
