#include "report/Problem.hpp"

#include "CountingAllocator.hpp"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace
{
// Standard error into a string for the test's length.
struct ConsoleText
{
    ConsoleText() : previous(std::cerr.rdbuf(text.rdbuf())) {}
    ~ConsoleText() { std::cerr.rdbuf(previous); }
    std::ostringstream text;
    std::streambuf* previous;
};
} // namespace

// The forms a file's problem takes on the console and in the panel: a heading other than the
// component, none at all, a second line, numbers of every kind.
TEST(ProblemListeners, TheConsoleLinesOfFileProblems)
{
    const std::string path = "assets/textures.json";
    const std::string what = "[json.exception.parse_error.101] parse error";
    const std::string command = "object_move";
    const struct
    {
        const char* what;
        Problem problem;
        const char* console;
        const char* panel;
    } cases[] = {
        {"headed by its component", Problem("TextureManager").file(path) << "Unable to open file " << path << ".",
         "TextureManager: Unable to open file assets/textures.json.\n",
         "TextureManager: Unable to open file assets/textures.json."},
        {"headed otherwise", Problem("DemoConfig").headed("config.json") << "Ignoring key \"vsync\"",
         "config.json: Ignoring key \"vsync\"\n", "config.json: Ignoring key \"vsync\""},
        {"no heading", Problem("DemoConfig").headed(nullptr) << "Config.json missing.", "Config.json missing.\n",
         "Config.json missing."},
        {"a second line", Problem("TextureManager").file(path).detail(what) << "Error while parsing JSON.",
         "TextureManager: Error while parsing JSON.\n[json.exception.parse_error.101] parse error\n",
         "TextureManager: Error while parsing JSON. [json.exception.parse_error.101] parse error"},
        {"numbers", Problem("TextureManager") << "Image is " << 9000 << " x " << 7000u << " pixels, "
                                               << std::size_t(8192) << " at most; " << -3L << " " << 2.5 << " s",
         "TextureManager: Image is 9000 x 7000 pixels, 8192 at most; -3 2.5 s\n",
         "TextureManager: Image is 9000 x 7000 pixels, 8192 at most; -3 2.5 s"},
        {"a double as the console writes it", Problem("kestrune") << (1234567.0 / 60.0) << " s",
         "kestrune: 20576.1 s\n", "kestrune: 20576.1 s"},
        {"a command, its line and a parameter", Problem("ScriptInterp").at(command, 4).param(1) << "bad",
         "ScriptInterp: (object_move @5) param 1 bad\n", "ScriptInterp: (object_move) parameter 2: bad"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        ConsoleText console;
        Problem::report(c.problem);
        EXPECT_EQ(console.text.str(), c.console);
        EXPECT_EQ(c.problem.panelText(""), c.panel);
    }
    EXPECT_EQ(cases[0].problem.filePath(), path);
    EXPECT_EQ(cases[1].problem.heading(), "config.json");
    EXPECT_STREQ(cases[1].problem.component(), "DemoConfig");
    EXPECT_EQ(cases[2].problem.heading(), "");
    EXPECT_EQ(cases[3].problem.detailText(), what);
    EXPECT_EQ(cases[3].problem.text(), "Error while parsing JSON.");
}

// Listeners come and go with their handles; the console hears every report first; a handle moved
// keeps its registration; a full table refuses without breaking the others.
TEST(ProblemListeners, HandlesRegisterAndUnregister)
{
    ConsoleText console;
    std::vector<std::string> order;
    {
        Problem::Listening first = Problem::listen([&](const Problem& problem) {
            order.push_back("first after " + console.text.str() + " " + problem.text());
        });
        Problem::Listening second = Problem::listen([&](const Problem&) { order.push_back("second"); });
        EXPECT_TRUE(first.active());
        Problem::report(Problem("Script") << "one");
        Problem::Listening moved = std::move(second);
        EXPECT_FALSE(second.active());
        EXPECT_TRUE(moved.active());
        first.stop();
        EXPECT_FALSE(first.active());
        Problem::report(Problem("Script") << "two");
    }
    Problem::report(Problem("Script") << "three");
    EXPECT_EQ(order, (std::vector<std::string>{"first after Script: one\n one", "second", "second"}));
    EXPECT_EQ(console.text.str(), "Script: one\nScript: two\nScript: three\n");

    int heard = 0;
    std::vector<Problem::Listening> all;
    for (int i = 0; i < Problem::MaxListeners; ++i)
        all.push_back(Problem::listen([&heard](const Problem&) { ++heard; }));
    Problem::Listening extra = Problem::listen([&heard](const Problem&) { heard += 100; });
    EXPECT_FALSE(extra.active());
    Problem::report(Problem("Script") << "four");
    EXPECT_EQ(heard, Problem::MaxListeners);
    all.pop_back();
    Problem::Listening again = Problem::listen([&heard](const Problem&) { heard += 100; });
    EXPECT_TRUE(again.active());
}

// A report in steady state (the frame loop's "No such object" every step) allocates nothing:
// not the problem, not the table, not the console's line, not a listener that keeps nothing.
TEST(ProblemListeners, ReportingAllocatesNothing)
{
    ConsoleText console;
    const std::string name = "ghost";
    long heard = 0;
    Problem::Listening listening = Problem::listen([&heard](const Problem& problem) {
        heard += problem.storedLine() + static_cast<long>(problem.command().size());
    });
    const std::string command = "object_move";
    // The console's string buffer grows once; the reports after that are what is counted.
    for (int i = 0; i < 64; ++i)
        Problem::report(Problem("GameCutscene").at(command, 3) << "No such object [" << name << "] " << i);
    console.text.str(std::string(1 << 16, ' '));
    console.text.seekp(0);
    allocations = 0;
    countingAllocations = true;
    for (int i = 0; i < 64; ++i)
        Problem::report(Problem("GameCutscene").at(command, 3) << "No such object [" << name << "] " << i << 0.5);
    countingAllocations = false;
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(heard, 128L * (3 + 11));
}
