#include "cli/CommandLine.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
// Every field in one line, so that a row shows at once which one differs and that the options a
// row does not give keep their defaults.
std::string fields(const CommandLine& line)
{
    std::ostringstream out;
    out << "help=" << line.help << " version=" << line.showVersion << " dir='" << line.dir << "' start='"
        << line.start << "' check=" << line.check << " render='" << line.renderOut << "' frames=" << line.frames
        << " seconds=" << line.seconds << " fps=" << line.fps << " stats=" << line.stats
        << " drawAll=" << line.drawAll << " author=" << line.author << " listCommands=" << line.listCommands
        << " json=" << line.json << " commandLine=" << line.commandLine;
    return out.str();
}
} // namespace

TEST(CommandLine, ParsesOptionsOrSaysWhatIsWrong)
{
    // A folder whose name has a dot: an existing folder is taken as --render's output whatever its name.
    const fs::path dotted = fs::temp_directory_path() / ("kestrune-take-" + std::to_string(getpid()) + ".2");
    fs::create_directories(dotted);
    const std::string take = dotted.string();

    struct Row
    {
        std::vector<std::string> args; // after the program's name
        std::string error;             // exact text; empty for a parse that succeeds
        std::function<void(CommandLine&)> expect = [](CommandLine&) {}; // the fields that differ from the defaults
        std::string commandLine = "";  // empty: the words joined by spaces, as none needs quoting
    };
    const Row rows[] = {
        // Successful parses.
        {{}, ""},
        {{"demo"}, "", [](CommandLine& c) { c.dir = "demo"; }},
        {{"-"}, "", [](CommandLine& c) { c.dir = "-"; }}, // a lone dash is a name, not an option
        {{"my=dir"}, "", [](CommandLine& c) { c.dir = "my=dir"; }},
        {{"--help"}, "", [](CommandLine& c) { c.help = true; }},
        {{"-h"}, "", [](CommandLine& c) { c.help = true; }},
        {{"--version"}, "", [](CommandLine& c) { c.showVersion = true; }},
        {{"--start", "intro", "demo"}, "", [](CommandLine& c) { c.start = "intro"; c.dir = "demo"; }},
        {{"--start=12.5"}, "", [](CommandLine& c) { c.start = "12.5"; }},
        {{"--start=a=b"}, "", [](CommandLine& c) { c.start = "a=b"; }}, // only the first '=' splits
        {{"--render", "out", "--frames", "30", "--fps", "30"}, "",
         [](CommandLine& c) { c.renderOut = "out"; c.frames = 30; c.fps = 30; }},
        {{"--render=clip.webm", "--seconds=2.5", "--fps=60"}, "",
         [](CommandLine& c) { c.renderOut = "clip.webm"; c.seconds = 2.5; }},
        {{"--render", "OUT.MP4", "--start", "orbit"}, "", [](CommandLine& c) { c.renderOut = "OUT.MP4"; c.start = "orbit"; }},
        {{"--render", take, "--frames", "1"}, "", [&](CommandLine& c) { c.renderOut = take; c.frames = 1; }},
        {{"--render", "my take"}, "", [](CommandLine& c) { c.renderOut = "my take"; }, "kestrune --render 'my take'"},
        {{"--check", "demo"}, "", [](CommandLine& c) { c.check = true; c.dir = "demo"; }},
        {{"--author", "--start", "orbit"}, "", [](CommandLine& c) { c.author = true; c.start = "orbit"; }},
        {{"--stats", "--draw-all"}, "", [](CommandLine& c) { c.stats = true; c.drawAll = true; }},
        {{"--list-commands", "--json"}, "", [](CommandLine& c) { c.listCommands = true; c.json = true; }},

        // An option whose value is missing.
        {{"--start"}, "option --start needs a value"},
        {{"--render"}, "option --render needs a value"},
        {{"--render", "out", "--frames"}, "option --frames needs a value"},
        {{"--render", "out", "--seconds"}, "option --seconds needs a value"},
        {{"--render", "out", "--fps"}, "option --fps needs a value"},
        {{"--start="}, "option --start needs a label or a number of seconds"},
        {{"--start", ""}, "option --start needs a label or a number of seconds"},
        {{"--render="}, "option --render needs a folder or a .mp4/.webm file"},

        // Values that are not accepted.
        {{"--render", "out.png"},
         "option --render takes a folder (a name without an extension) or a .mp4 or .webm file, not 'out.png'"},
        {{"--render", "clip.mp4.gif"},
         "option --render takes a folder (a name without an extension) or a .mp4 or .webm file, not 'clip.mp4.gif'"},
        {{"--render", "out", "--frames", "0"}, "option --frames needs a positive whole number, not '0'"},
        {{"--render", "out", "--frames", "-3"}, "option --frames needs a positive whole number, not '-3'"},
        {{"--render", "out", "--frames", "2.5"}, "option --frames needs a positive whole number, not '2.5'"},
        {{"--render", "out", "--frames", "ten"}, "option --frames needs a positive whole number, not 'ten'"},
        {{"--render", "out", "--frames="}, "option --frames needs a positive whole number, not ''"},
        {{"--render", "out", "--frames", "99999999999999999999"},
         "option --frames needs a positive whole number, not '99999999999999999999'"},
        {{"--render", "out", "--seconds", "0"}, "option --seconds needs a positive number, not '0'"},
        {{"--render", "out", "--seconds", "-1"}, "option --seconds needs a positive number, not '-1'"},
        {{"--render", "out", "--seconds", "2s"}, "option --seconds needs a positive number, not '2s'"},
        {{"--render", "out", "--seconds", "inf"}, "option --seconds needs a positive number, not 'inf'"},
        {{"--render", "out", "--seconds", "nan"}, "option --seconds needs a positive number, not 'nan'"},
        {{"--render", "out", "--seconds="}, "option --seconds needs a positive number, not ''"},
        {{"--render", "out", "--fps", "24"}, "option --fps takes 60 or 30, not '24'"},
        {{"--render", "out", "--fps="}, "option --fps takes 60 or 30, not ''"},

        // Words that are neither options nor one folder.
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--bogus=1"}, "unknown option '--bogus=1'"},
        {{"-x"}, "unknown option '-x'"},
        {{"one", "two"}, "more than one folder given ('one' and 'two')"},

        // Options that do not go together.
        {{"--json"}, "--json goes with --list-commands or --timeline"},
        {{"--render", "out", "--frames", "5", "--seconds", "2"}, "--frames and --seconds cannot be used together"},
        {{"--frames", "5"}, "--frames, --seconds and --fps go with --render"},
        {{"--seconds", "2"}, "--frames, --seconds and --fps go with --render"},
        {{"--fps", "30"}, "--frames, --seconds and --fps go with --render"},
        {{"--check", "--render", "out"}, "--check cannot be combined with --render or --start"},
        {{"--check", "--start", "intro"}, "--check cannot be combined with --render or --start"},
        {{"--author", "--check"}, "--author plays in a window; it cannot be combined with --check or --render"},
        {{"--author", "--render", "out"}, "--author plays in a window; it cannot be combined with --check or --render"},
    };
    for (const Row& row : rows)
    {
        std::vector<const char*> argv{"kestrune"};
        std::string typed = "kestrune";
        for (const std::string& arg : row.args)
        {
            argv.push_back(arg.c_str());
            typed += " " + arg;
        }
        SCOPED_TRACE(typed);

        CommandLine parsed;
        std::string error;
        const bool ok = parsed.parse(static_cast<int>(argv.size()), argv.data(), error);
        EXPECT_EQ(ok, row.error.empty());
        EXPECT_EQ(error, row.error);
        if (!row.error.empty())
            continue;
        CommandLine expected;
        row.expect(expected);
        expected.commandLine = row.commandLine.empty() ? typed : row.commandLine;
        EXPECT_EQ(fields(parsed), fields(expected));
    }
    fs::remove_all(dotted);
}
