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
        << " json=" << line.json << " range=" << line.rangeFirst << ":" << line.rangeLast << " part=" << line.part
        << "/" << line.parts << " jobs=" << line.jobs << " size='" << line.size << "' manifest=" << line.manifest
        << " join='" << line.joinOut << "' snapshotMegabytes=" << line.snapshotMegabytes << " timeline=" << line.timeline
        << " lsp=" << line.lsp << " send=" << line.send << " request='" << line.sendRequest << "' profile='"
        << line.profileOut << "' budget=" << line.budgetMs << "/" << line.budgetGiven << " export='"
        << line.exportOut << "'";
    for (const std::string& part : line.joinParts)
        out << " '" << part << "'";
    out << " commandLine=" << line.commandLine;
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
        {{"--author", "--snapshot-memory", "256"}, "",
         [](CommandLine& c) { c.author = true; c.snapshotMegabytes = 256; c.snapshotMemoryGiven = true; }},
        {{"--stats", "--draw-all"}, "", [](CommandLine& c) { c.stats = true; c.drawAll = true; }},
        {{"--profile", "trace.json"}, "", [](CommandLine& c) { c.profileOut = "trace.json"; }},
        {{"--render", "out", "--profile=t.json", "--stats"}, "",
         [](CommandLine& c) { c.renderOut = "out"; c.profileOut = "t.json"; c.stats = true; }},
        {{"--author", "--budget", "8.5", "--profile", "t.json"}, "",
         [](CommandLine& c) { c.author = true; c.budgetMs = 8.5; c.budgetGiven = true; c.profileOut = "t.json"; }},
        {{"--list-commands", "--json"}, "", [](CommandLine& c) { c.listCommands = true; c.json = true; }},
        {{"--render", "clip.mkv"}, "", [](CommandLine& c) { c.renderOut = "clip.mkv"; }},
        {{"--render", "clip.MOV"}, "", [](CommandLine& c) { c.renderOut = "clip.MOV"; }},
        {{"--render", "clip.mp4.gif"}, "", [](CommandLine& c) { c.renderOut = "clip.mp4.gif"; }},

        // Ranges, parts, processes, sizes: frames are numbered as in the whole render, and times
        // count on the render's clock at its frame rate (T seconds ends with frame T x fps).
        {{"--render", "out", "--range", "3:9"}, "", [](CommandLine& c) { c.renderOut = "out"; c.rangeFirst = 3; c.rangeLast = 9; }},
        {{"--render", "out", "--range", "7:7"}, "", [](CommandLine& c) { c.renderOut = "out"; c.rangeFirst = 7; c.rangeLast = 7; }},
        {{"--render", "out", "--range=12.5s:20s"}, "",
         [](CommandLine& c) { c.renderOut = "out"; c.rangeFirst = 751; c.rangeLast = 1200; }},
        {{"--render", "out", "--range", "12.5s:20s", "--fps", "30"}, "",
         [](CommandLine& c) { c.renderOut = "out"; c.rangeFirst = 376; c.rangeLast = 600; c.fps = 30; }},
        {{"--render", "out", "--range", "0s:10"}, "", [](CommandLine& c) { c.renderOut = "out"; c.rangeFirst = 1; c.rangeLast = 10; }},
        {{"--render", "out", "--range", "100:"}, "", [](CommandLine& c) { c.renderOut = "out"; c.rangeFirst = 100; }},
        {{"--render", "out", "--range", ":50"}, "", [](CommandLine& c) { c.renderOut = "out"; c.rangeFirst = 1; c.rangeLast = 50; }},
        {{"--render", "out.mp4", "--part", "2/3", "--frames", "90"}, "",
         [](CommandLine& c) { c.renderOut = "out.mp4"; c.part = 2; c.parts = 3; c.frames = 90; }},
        {{"--render", "out", "--part", "1/1"}, "", [](CommandLine& c) { c.renderOut = "out"; c.part = 1; c.parts = 1; }},
        {{"--render", "out", "--jobs", "2", "--manifest"}, "",
         [](CommandLine& c) { c.renderOut = "out"; c.jobs = 2; c.manifest = true; }},
        {{"--render", "out.gif", "--size", "481x271"}, "", [](CommandLine& c) { c.renderOut = "out.gif"; c.size = "481x271"; }},
        {{"--render", "out.mp4", "--size=1280x720"}, "", [](CommandLine& c) { c.renderOut = "out.mp4"; c.size = "1280x720"; }},
        {{"--join", "out.mp4", "a", "b"}, "",
         [](CommandLine& c) { c.joinOut = "out.mp4"; c.joinParts = {"a", "b"}; }},
        {{"--export", "demo", "viewer"}, "", [](CommandLine& c) { c.dir = "demo"; c.exportOut = "viewer"; }},
        {{"--export", "demo", "-"}, "", [](CommandLine& c) { c.dir = "demo"; c.exportOut = "-"; }},

        // An option whose value is missing.
        {{"--start"}, "option --start needs a value"},
        {{"--render"}, "option --render needs a value"},
        {{"--render", "out", "--frames"}, "option --frames needs a value"},
        {{"--render", "out", "--seconds"}, "option --seconds needs a value"},
        {{"--render", "out", "--fps"}, "option --fps needs a value"},
        {{"--start="}, "option --start needs a label or a number of seconds"},
        {{"--start", ""}, "option --start needs a label or a number of seconds"},
        {{"--render="}, "option --render needs a folder or a video file"},
        {{"--render", "out", "--range"}, "option --range needs a value"},
        {{"--render", "out", "--part"}, "option --part needs a value"},
        {{"--render", "out", "--jobs"}, "option --jobs needs a value"},
        {{"--render", "out", "--size"}, "option --size needs a value"},
        {{"--join"}, "option --join needs a value"},
        {{"--export"}, "option --export needs a demo folder and an output folder, as in --export DIR OUT"},
        {{"--export", "demo"}, "option --export needs a demo folder and an output folder, as in --export DIR OUT"},
        {{"--export=demo", "viewer"}, "option --export needs a demo folder and an output folder, as in --export DIR OUT"},
        {{"--export", "demo", ""}, "option --export needs a demo folder and an output folder, as in --export DIR OUT"},
        {{"--export", "demo", "viewer", "--check"}, "--export DIR OUT takes no other options"},
        {{"--check", "--export", "demo", "viewer"}, "--export DIR OUT takes no other options"},
        {{"--author", "--snapshot-memory"}, "option --snapshot-memory needs a value"},

        // Values that are not accepted.
        {{"--render", "out.png"},
         "option --render takes a folder (a name without an extension) or a .mp4, .webm, .mkv, .mov or .gif file, not "
         "'out.png'"},
        {{"--render", "clip.gif.png"},
         "option --render takes a folder (a name without an extension) or a .mp4, .webm, .mkv, .mov or .gif file, not "
         "'clip.gif.png'"},
        {{"--render", "out", "--range", "9:3"}, "option --range 9:3 ends before it starts"},
        {{"--render", "out", "--range", "2s:1s"}, "option --range 2s:1s ends before it starts"},
        {{"--render", "out", "--range", "0s:0s"}, "option --range 0s:0s holds no frame"},
        {{"--render", "out", "--range", "9"}, "option --range takes FIRST:LAST in frames (1:600) or seconds (12.5s:20s), not '9'"},
        {{"--render", "out", "--range", "0:5"}, "option --range takes FIRST:LAST in frames (1:600) or seconds (12.5s:20s), not '0:5'"},
        {{"--render", "out", "--range", "a:b"}, "option --range takes FIRST:LAST in frames (1:600) or seconds (12.5s:20s), not 'a:b'"},
        {{"--render", "out", "--range", "-1s:2s"}, "option --range takes FIRST:LAST in frames (1:600) or seconds (12.5s:20s), not '-1s:2s'"},
        {{"--render", "out", "--range", "s:2"}, "option --range takes FIRST:LAST in frames (1:600) or seconds (12.5s:20s), not 's:2'"},
        {{"--render", "out", "--part", "4/3"}, "option --part takes K/N with 1 <= K <= N, not '4/3'"},
        {{"--render", "out", "--part", "0/3"}, "option --part takes K/N with 1 <= K <= N, not '0/3'"},
        {{"--render", "out", "--part", "3"}, "option --part takes K/N with 1 <= K <= N, not '3'"},
        {{"--render", "out", "--part", "1/x"}, "option --part takes K/N with 1 <= K <= N, not '1/x'"},
        {{"--render", "out", "--jobs", "0"}, "option --jobs needs a whole number from 1 to 64, not '0'"},
        {{"--render", "out", "--jobs", "65"}, "option --jobs needs a whole number from 1 to 64, not '65'"},
        {{"--render", "out", "--size", "1280"}, "option --size takes WIDTHxHEIGHT from 2x2 to 8192x8192 (1280x720), not '1280'"},
        {{"--render", "out", "--size", "1x1"}, "option --size takes WIDTHxHEIGHT from 2x2 to 8192x8192 (1280x720), not '1x1'"},
        {{"--render", "out.mp4", "--size", "641x360"}, "option --size 641x360: a .mp4 video needs an even width and height"},
        {{"--join", "out.png", "a"},
         "option --join takes a folder (a name without an extension) or a .mp4, .webm, .mkv, .mov or .gif file, not "
         "'out.png'"},
        {{"--render", "out", "--frames", "0"}, "option --frames needs a positive whole number, not '0'"},
        {{"--author", "--snapshot-memory", "0"}, "option --snapshot-memory needs a positive whole number of megabytes, not '0'"},
        {{"--author", "--snapshot-memory", "1.5"},
         "option --snapshot-memory needs a positive whole number of megabytes, not '1.5'"},
        {{"--snapshot-memory", "64"}, "--snapshot-memory goes with --author"},
        {{"--profile"}, "option --profile needs a value"},
        {{"--profile", "traces/"}, "option --profile needs the name of a file to write the trace to"},
        {{"--check", "--profile", "t.json"}, "--profile goes with playing, --render or --author"},
        {{"--render", "out", "--jobs", "2", "--profile", "t.json"},
         "--profile cannot be combined with --jobs: the trace is of one process"},
        {{"--budget", "8"}, "--budget goes with --author"},
        {{"--author", "--budget", "0"}, "option --budget needs a positive number of milliseconds, not '0'"},
        {{"--author", "--budget", "fast"}, "option --budget needs a positive number of milliseconds, not 'fast'"},
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
        {{"--range", "1:2"}, "--range, --part, --jobs, --size and --manifest go with --render"},
        {{"--part", "1/2"}, "--range, --part, --jobs, --size and --manifest go with --render"},
        {{"--jobs", "2"}, "--range, --part, --jobs, --size and --manifest go with --render"},
        {{"--manifest"}, "--range, --part, --jobs, --size and --manifest go with --render"},
        {{"--render", "out", "--range", "1:2", "--frames", "5"}, "--range cannot be combined with --frames or --seconds"},
        {{"--render", "out", "--jobs", "2", "--part", "1/2"}, "--jobs and --part cannot be used together"},
        {{"--join", "out"}, "--join out needs the part folders to join"},
        {{"--join", "out", "a", "--fps", "30"}, "--frames, --seconds and --fps go with --render"},
        {{"--join", "out", "a", "--render", "x"}, "--join takes only OUT and the part folders: the parts hold the render's settings"},
        {{"demo", "--join", "out", "a"}, "--join takes only OUT and the part folders: the parts hold the render's settings"},
        {{"--send", "demo", "{}", "--check"}, "--send DIR REQUEST takes no other options"},
        {{"--send", "demo"}, "option --send needs a folder and a request, as in --send DIR '{\"state\": true}'"},
        {{"--send=demo", "a", "b"}, "option --send needs a folder and a request, as in --send DIR '{\"state\": true}'"},
        {{"--lsp", "demo"}, "--lsp takes no other option and no folder (the editor names the files)"},
        {{"--lsp", "--render", "out"}, "--lsp takes no other option and no folder (the editor names the files)"},
        {{"--timeline", "--start", "intro"}, "--timeline cannot be combined with --check, --author, --render or --start"},
        {{"--timeline", "--author"}, "--timeline cannot be combined with --check, --author, --render or --start"},
        // Two faults on one line: the first rule in the table's order is the one reported.
        {{"--check", "--render", "out", "--range", "9:3"}, "option --range 9:3 ends before it starts"},
        {{"--json", "--frames", "3"}, "--json goes with --list-commands or --timeline"},
        {{"--render", "out.webm", "--size", "3x4", "--check"}, "option --size 3x4: a .webm video needs an even width and height"},
        {{"--render", "out.mov", "--size", "4x3"}, "option --size 4x3: a .mov video needs an even width and height"},
        {{"--render", "out.mkv", "--size", "3x3"}, "", [](CommandLine& c) { c.renderOut = "out.mkv"; c.size = "3x3"; }},
        {{"--fps", "60"}, "", [](CommandLine&) {}}, // the player's own rate changes nothing
        {{"--check=yes"}, "", [](CommandLine& c) { c.check = true; }}, // a switch ignores a value
        {{"--timeline", "--json", "demo"}, "", [](CommandLine& c) { c.timeline = true; c.json = true; c.dir = "demo"; }},
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
