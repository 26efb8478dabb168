#include "cli/OptionTable.hpp"

#include "author/Transport.hpp"
#include "cli/CommandLine.hpp"
#include "motion/StepRate.hpp"
#include "render/OfflineRenderer.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace
{
bool parseCount(const std::string& text, long& out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || value <= 0)
        return false;
    out = value;
    return true;
}

bool parseSeconds(const std::string& text, double& out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(value) || value <= 0.0)
        return false;
    out = value;
    return true;
}

// A folder is a name without an extension (or one that already is a folder); a video ends in one
// of the containers' extensions. Anything else (out.png) would silently become a folder of that name.
bool renderOutputAccepted(const std::string& text)
{
    std::error_code code;
    return std::filesystem::is_directory(text, code) || std::filesystem::path(text).extension().empty() ||
           !OfflineRenderer::videoFormat(text).empty();
}

// One end of --range: a frame number (1 = the first), or a time in seconds with an "s" ("12.5s").
bool parseRangeEnd(const std::string& text, long& frame, double& seconds)
{
    if (text.size() > 1 && text.back() == 's')
    {
        char* end = nullptr;
        const std::string number = text.substr(0, text.size() - 1);
        const double value = std::strtod(number.c_str(), &end);
        if (*end != '\0' || !std::isfinite(value) || value < 0.0 || number.empty() ||
            !(std::isdigit(static_cast<unsigned char>(number[0])) || number[0] == '.'))
            return false;
        seconds = value;
        return true;
    }
    return parseCount(text, frame);
}

// K/N with 1 <= K <= N.
bool parsePart(const std::string& text, int& part, int& parts)
{
    const std::string::size_type slash = text.find('/');
    long k = 0;
    long n = 0;
    if (slash == std::string::npos || !parseCount(text.substr(0, slash), k) || !parseCount(text.substr(slash + 1), n) ||
        k > n || n > 100000)
        return false;
    part = static_cast<int>(k);
    parts = static_cast<int>(n);
    return true;
}

// WIDTHxHEIGHT, each from 2 to 8192.
bool parseSize(const std::string& text, long& width, long& height)
{
    const std::string::size_type x = text.find('x');
    return x != std::string::npos && parseCount(text.substr(0, x), width) && parseCount(text.substr(x + 1), height) &&
           width >= 2 && height >= 2 && width <= 8192 && height <= 8192;
}

// "a, b or c"
std::string listed(const std::vector<std::string>& words, const std::string& last)
{
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i)
        text += (i == 0 ? "" : i + 1 == words.size() ? " " + last + " " : ", ") + words[i];
    return text;
}

std::string frameRatesText(const std::string& separator)
{
    std::string text;
    for (int rate : OptionTable::frameRates())
        text += (text.empty() ? "" : separator) + std::to_string(rate);
    return text;
}

// ".mp4, .webm, .mkv (lossless), .mov (ProRes) or .gif"; `code` marks the names for Markdown.
std::string videoKinds(bool code = false)
{
    const std::string mark = code ? "`" : "";
    std::vector<std::string> names;
    for (const OutputFormat::Container& row : OutputFormat::containers())
        names.push_back(mark + "." + row.extension + mark + (*row.note ? std::string(" (") + row.note + ")" : ""));
    return listed(names, "or");
}

std::string authorKeys()
{
    std::string keys;
    for (const Transport::KeyHelp& key : Transport::keyHelp())
        if (key.brief)
            keys += (keys.empty() ? "" : ", ") + std::string(key.brief);
    return "play with the author's keys: " + keys + "; saved files reload in place";
}

// "`Space` pause / play, ..." for the documents.
std::string authorKeyList()
{
    std::string keys;
    for (const Transport::KeyHelp& key : Transport::keyHelp())
        keys += (keys.empty() ? "" : "; ") + std::string("`") + key.keys + "` " + key.what;
    return keys;
}

// An option's description, wrapped to the usage's width below its column.
std::string described(const std::string& option, const std::string& text)
{
    constexpr std::size_t Column = 25;
    constexpr std::size_t Width = 79;
    std::string out = "  " + option;
    out += option.size() + 3 > Column ? "\n" + std::string(Column, ' ') : std::string(Column - 2 - option.size(), ' ');
    std::size_t lineLength = Column;
    std::size_t at = 0;
    bool first = true;
    while (at < text.size())
    {
        std::size_t end = text.find(' ', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(at, end - at);
        if (!first && lineLength + 1 + word.size() > Width)
        {
            out += "\n" + std::string(Column, ' ');
            lineLength = Column;
            first = true;
        }
        out += (first ? "" : " ") + word;
        lineLength += (first ? 0 : 1) + word.size();
        first = false;
        at = end + 1;
    }
    return out + "\n";
}

void pushFlag(bool on, const std::string& name, std::vector<std::string>& args)
{
    if (on)
        args.push_back(name);
}
} // namespace

const char* OptionTable::driverName(Driver driver)
{
    switch (driver)
    {
    case Driver::Play: return "play";
    case Driver::Author: return "author mode";
    case Driver::Check: return "check";
    case Driver::Render: return "render";
    case Driver::Join: return "join";
    case Driver::Timeline: return "timeline";
    case Driver::Listing: return "listing";
    case Driver::Lsp: return "language server";
    case Driver::Send: return "channel";
    case Driver::Export: return "export";
    case Driver::Info: return "information";
    }
    return "";
}

const std::vector<int>& OptionTable::frameRates()
{
    static const std::vector<int> rates = {StepRate::StepsPerSecond, StepRate::StepsPerSecond / 2};
    return rates;
}

const std::vector<OptionTable::Option>& OptionTable::options()
{
    static const std::vector<Option> table = {
        {"--start", "", "LABEL|SECONDS", 1, Driver::Play, Values::Label,
         "start at a label of the main flow or at a time, by fast-forwarding the simulation in exact steps",
         "jump to the first step in which the main flow arrives at `:LABEL` (running on to it or by a jump), or to "
         "round(SECONDS x " + std::to_string(StepRate::StepsPerSecond) + ") steps, then play (a value that reads "
         "wholly as a number is a time, never a label)",
         "start at a label of the main flow or at a time: the simulation is fast-forwarded in exact steps without "
         "showing them (init, flags, objects, tweens, particles, text, fades, buffer contents and the music position "
         "end up as playing would leave them); the skipped steps draw only what the arrival's picture needs; a label "
         "the script does not define or the main flow never reaches is one line on standard error and exit status 2",
         [](CommandLine& line, const std::string& value, const std::string&, std::string& error) {
             if (value.empty())
             {
                 error = "option --start needs a label or a number of seconds";
                 return false;
             }
             line.start = value;
             return true;
         },
         [](const CommandLine& line, RenderSettings& settings) { settings.start = line.start; },
         [](const RenderSettings& settings, const std::string& name, std::vector<std::string>& args) {
             if (!settings.start.empty())
                 args.insert(args.end(), {name, settings.start});
         }},
        {"--author", "", "", 0, Driver::Author, Values::None, authorKeys(),
         "play with transport keys, an overlay and problems on screen (see Author mode)",
         "author mode: the transport keys pause, step, seek, change the speed and loop (" + authorKeyList() +
             "); every seek lands on "
         "the exact state playing has at that step; after each key one line `author: paused at 4.500 s (step 270)` "
         "on standard output; problems also show on screen, placed at their file and line; a save of any file the "
         "demo uses is checked, and when it is good the demo is read again and returns to the same step, while a "
         "broken one is reported as `file:line: error: ...` and changes nothing. A second `--author` on a folder "
         "whose player still runs is refused (exit status 2)",
         [](CommandLine& line, const std::string&, const std::string&, std::string&) {
             line.author = true;
             return true;
         }},
        {"--check", "", "", 0, Driver::Check, Values::None,
         "check config.json, the catalogs, the files they name and the script without playing; prints diagnostics "
         "on standard output, exit status 1 on errors",
         "check the demo without opening a window; exit status 1 when there are errors",
         "check the demo without playing or opening a window: config.json, every catalog and the files they name, "
         "the script and its animation files; prints on standard output compiler-style diagnostics `path:line: "
         "error: text` / `path:line: warning: text` and a summary `N errors, N warnings`; exit status 0 without "
         "errors, 1 otherwise; a folder that is not a demo gets the same one line and status 2 as playing it",
         [](CommandLine& line, const std::string&, const std::string&, std::string&) {
             line.check = true;
             return true;
         }},
        {"--render", "", "OUT", 1, Driver::Render, Values::Output,
         "render offline to a folder of PNG frames (frame_*.png files of an earlier render there are replaced), or "
         "to a video when OUT ends in " + videoKinds(),
         "render offline to a folder of PNG frames (earlier `frame_*.png` files there are replaced), or to a video "
         "when OUT ends in " + videoKinds(true) + " (see Rendering a demo to a video)",
         "render offline, one step per frame, no clock: OUT a folder gets `frame_000001.png` ...; OUT ending in " +
             videoKinds(true) + " becomes a video with the music (needs ffmpeg; a GIF has no sound); any other extension "
             "is a usage error (a folder that already exists is taken whatever its name). The `frame_*.png` files of "
             "an earlier render in that folder are removed first, with one line saying how many, so that the folder "
             "holds exactly this render's frames. Frame *k* is exactly what playing shows after *k* steps, on every "
             "run. Needs an X display for its GL context (no window is shown): on a machine without one, it says so "
             "and repeats the whole command under `xvfb-run -a -s \"-screen 0 1920x1080x24\"`",
         [](CommandLine& line, const std::string& value, const std::string&, std::string& error) {
             if (value.empty())
             {
                 error = "option --render needs a folder or a video file";
                 return false;
             }
             if (!renderOutputAccepted(value))
             {
                 error = "option --render takes " + OutputFormat::outputKinds() + ", not '" + value + "'";
                 return false;
             }
             line.renderOut = value;
             return true;
         },
         [](const CommandLine& line, RenderSettings& settings) { settings.out = line.renderOut; },
         [](const RenderSettings& settings, const std::string& name, std::vector<std::string>& args) {
             args.insert(args.end(), {name, settings.out});
         }},
        {"--frames", "", "N", 1, Driver::Render, Values::Number, "with --render: render N frames",
         "render N frames",
         "how many frames to render; without `--frames` or `--seconds` rendering ends where playing would end, and "
         "stops after ten minutes of demo time with one line saying so",
         [](CommandLine& line, const std::string& value, const std::string&, std::string& error) {
             if (!parseCount(value, line.frames))
             {
                 error = "option --frames needs a positive whole number, not '" + value + "'";
                 return false;
             }
             return true;
         },
         [](const CommandLine& line, RenderSettings& settings) { settings.frames = line.frames; },
         [](const RenderSettings& settings, const std::string& name, std::vector<std::string>& args) {
             if (settings.frames > 0)
                 args.insert(args.end(), {name, std::to_string(settings.frames)});
         }},
        {"--seconds", "", "S", 1, Driver::Render, Values::Number, "with --render: render S seconds of demo time",
         "render S seconds of demo time", "",
         [](CommandLine& line, const std::string& value, const std::string&, std::string& error) {
             if (!parseSeconds(value, line.seconds))
             {
                 error = "option --seconds needs a positive number, not '" + value + "'";
                 return false;
             }
             return true;
         },
         [](const CommandLine& line, RenderSettings& settings) { settings.seconds = line.seconds; },
         // --jobs hands the parts a frame count instead: a time passed on as text could round to another frame.
         nullptr},
        {"--fps", "", frameRatesText("|"), 1, Driver::Render, Values::Fps,
         "with --render: frame rate of the output (default " + std::to_string(StepRate::StepsPerSecond) + ")",
         "the frame rate of the output (default " + std::to_string(StepRate::StepsPerSecond) + ")",
         "the frame rate of the output; below " + std::to_string(StepRate::StepsPerSecond) +
             " every frame stands for several steps",
         [](CommandLine& line, const std::string& value, const std::string&, std::string& error) {
             for (int rate : OptionTable::frameRates())
                 if (value == std::to_string(rate))
                 {
                     line.fps = rate;
                     return true;
                 }
             error = "option --fps takes " + frameRatesText(" or ") + ", not '" + value + "'";
             return false;
         },
         [](const CommandLine& line, RenderSettings& settings) { settings.fps = line.fps; },
         [](const RenderSettings& settings, const std::string& name, std::vector<std::string>& args) {
             if (settings.fps != StepRate::StepsPerSecond)
                 args.insert(args.end(), {name, std::to_string(settings.fps)});
         }},
        {"--range", "", "A:B", 1, Driver::Render, Values::Number,
         "with --render: only frames A to B of the render, numbered as in the whole render; frame numbers (1 is the "
         "first) or times (12.5s:20s); B may be left out",
         "only frames A to B of the render (or times, `12.5s:20s`), numbered as in the whole render (Rendering at "
         "scale)",
         "",
         [](CommandLine& line, const std::string& value, const std::string&, std::string& error) {
             const std::string::size_type colon = value.find(':');
             const std::string first = colon == std::string::npos ? value : value.substr(0, colon);
             const std::string last = colon == std::string::npos ? "" : value.substr(colon + 1);
             if (colon == std::string::npos ||
                 (!first.empty() && !parseRangeEnd(first, line.rangeFirst, line.rangeFirstSeconds)) ||
                 (!last.empty() && !parseRangeEnd(last, line.rangeLast, line.rangeLastSeconds)))
             {
                 error = "option --range takes FIRST:LAST in frames (1:600) or seconds (12.5s:20s), not '" + value + "'";
                 return false;
             }
             line.rangeText = value;
             if (first.empty())
                 line.rangeFirst = 1;
             return true;
         },
         [](const CommandLine& line, RenderSettings& settings) {
             settings.rangeFirst = line.rangeFirst;
             settings.rangeLast = line.rangeLast;
         },
         [](const RenderSettings& settings, const std::string& name, std::vector<std::string>& args) {
             if (settings.rangeFirst > 0)
                 args.insert(args.end(), {name, std::to_string(settings.rangeFirst) + ":" +
                                                    (settings.rangeLast > 0 ? std::to_string(settings.rangeLast) : "")});
         }},
        {"--size", "", "WxH", 1, Driver::Render, Values::Number, "with --render: scale the output to W x H pixels",
         "scale the output to W x H pixels, PNG frames included", "",
         [](CommandLine& line, const std::string& value, const std::string&, std::string& error) {
             if (!parseSize(value, line.sizeWidth, line.sizeHeight))
             {
                 error = "option --size takes WIDTHxHEIGHT from 2x2 to 8192x8192 (1280x720), not '" + value + "'";
                 return false;
             }
             line.size = value;
             return true;
         },
         [](const CommandLine& line, RenderSettings& settings) { settings.size = line.size; },
         [](const RenderSettings& settings, const std::string& name, std::vector<std::string>& args) {
             if (!settings.size.empty())
                 args.insert(args.end(), {name, settings.size});
         }},
        {"--jobs", "", "N", 1, Driver::Render, Values::Number,
         "with --render: render in N processes at once, each a contiguous part, and join them",
         "render in N processes at once, each a contiguous part, and join them (Rendering at scale)", "",
         [](CommandLine& line, const std::string& value, const std::string&, std::string& error) {
             long count = 0;
             if (!parseCount(value, count) || count > 64)
             {
                 error = "option --jobs needs a whole number from 1 to 64, not '" + value + "'";
                 return false;
             }
             line.jobs = static_cast<int>(count);
             return true;
         }},
        {"--part", "", "K/N", 1, Driver::Render, Values::Number,
         "with --render: render only the K-th of N equal parts of the frames the other options select, into the "
         "folder OUT.part-K-of-N",
         "render only the K-th of N equal parts of the frames the other options select, into the folder "
         "`OUT.part-K-of-N` (Rendering at scale)",
         "",
         [](CommandLine& line, const std::string& value, const std::string&, std::string& error) {
             if (!parsePart(value, line.part, line.parts))
             {
                 error = "option --part takes K/N with 1 <= K <= N, not '" + value + "'";
                 return false;
             }
             return true;
         },
         [](const CommandLine& line, RenderSettings& settings) {
             settings.part = line.part;
             settings.parts = line.parts;
         },
         [](const RenderSettings& settings, const std::string& name, std::vector<std::string>& args) {
             if (settings.parts > 0)
                 args.insert(args.end(), {name, std::to_string(settings.part) + "/" + std::to_string(settings.parts)});
         }},
        {"--join", "", "OUT PART...", 1, Driver::Join, Values::Output, "join the folders that --part left into OUT",
         "join the folders that `--part` left into OUT; the parts hold the render's settings (Rendering at scale)", "",
         [](CommandLine& line, const std::string& value, const std::string&, std::string& error) {
             if (value.empty() || !renderOutputAccepted(value))
             {
                 error = "option --join takes " + OutputFormat::outputKinds() + ", not '" + value + "'";
                 return false;
             }
             line.joinOut = value;
             return true;
         }},
        {"--manifest", "", "", 0, Driver::Render, Values::None,
         "with --render: write the SHA-256 of every frame's pixels to OUT.frames.sha256",
         "write the SHA-256 of every frame's pixels to `OUT.frames.sha256` (Rendering at scale)", "",
         [](CommandLine& line, const std::string&, const std::string&, std::string&) {
             line.manifest = true;
             return true;
         },
         [](const CommandLine& line, RenderSettings& settings) { settings.manifest = line.manifest; },
         [](const RenderSettings& settings, const std::string& name, std::vector<std::string>& args) {
             pushFlag(settings.manifest, name, args);
         }},
        {"--snapshot-memory", "", "MB", 1, Driver::Author, Values::Number,
         "with --author: memory for the snapshots that make seeks start near their step (default " +
             std::to_string(CommandLine::DefaultSnapshotMegabytes) + ")",
         "memory for the snapshots that make seeks start near their step (default " +
             std::to_string(CommandLine::DefaultSnapshotMegabytes) + " MB)",
         "",
         [](CommandLine& line, const std::string& value, const std::string&, std::string& error) {
             line.snapshotMemoryGiven = true;
             if (!parseCount(value, line.snapshotMegabytes))
             {
                 error = "option --snapshot-memory needs a positive whole number of megabytes, not '" + value + "'";
                 return false;
             }
             return true;
         }},
        {"--stats", "", "", 0, Driver::Play, Values::None, "print frame-time figures and the five costliest lines at exit",
         "at exit, frame-time figures and the five costliest script lines on standard error",
         "at exit, one summary of frame times on standard error (median, 90th percentile, worst, share of frames "
         "behind real time), then the five costliest script lines; every render ends with the summary too",
         [](CommandLine& line, const std::string&, const std::string&, std::string&) {
             line.stats = true;
             return true;
         }},
        {"--profile", "", "OUT.json", 1, Driver::Play, Values::Number,
         "write where each frame's time goes (script lines, passes, the display) as a trace that trace viewers "
         "open, at exit",
         "write where each frame's time goes as a trace that trace viewers open (Profiling)",
         "at exit, write where each frame's time went (the step's script lines, particle systems, text instances "
         "and tweens, each draw and pass, the post pass, the display wait, with --render the read-back) to "
         "OUT.json in the Trace Event Format; with plain play, --render or --author",
         [](CommandLine& line, const std::string& value, const std::string&, std::string& error) {
             if (value.empty() || std::filesystem::path(value).filename().empty())
             {
                 error = "option --profile needs the name of a file to write the trace to";
                 return false;
             }
             line.profileOut = value;
             return true;
         }},
        {"--budget", "", "MS", 1, Driver::Author, Values::Number,
         "with --author: the frame time over which the timeline marks a step (default 16.67, a sixtieth of a "
         "second)",
         "the frame time over which the timeline marks a step (default 16.67 ms)",
         "the frame time in milliseconds over which author mode's timeline strip marks a step (default 16.67, a "
         "sixtieth of a second)",
         [](CommandLine& line, const std::string& value, const std::string&, std::string& error) {
             if (!parseSeconds(value, line.budgetMs))
             {
                 error = "option --budget needs a positive number of milliseconds, not '" + value + "'";
                 return false;
             }
             line.budgetGiven = true;
             return true;
         }},
        {"--draw-all", "", "", 0, Driver::Play, Values::None,
         "draw every pass, also those that cannot change a pixel (to check that leaving them out changes nothing)",
         "draw every pass, also those that cannot change a pixel",
         "draw every pass, also those that cannot change a pixel (only to check that leaving them out changes "
         "nothing)",
         [](CommandLine& line, const std::string&, const std::string&, std::string&) {
             line.drawAll = true;
             return true;
         },
         [](const CommandLine& line, RenderSettings& settings) { settings.drawAll = line.drawAll; },
         [](const RenderSettings& settings, const std::string& name, std::vector<std::string>& args) {
             pushFlag(settings.drawAll, name, args);
         }},
        {"--list-commands", "", "", 0, Driver::Listing, Values::None,
         "print the script's commands with their parameters (name:kind, [optional=default]) and exit",
         "print the script's commands with their parameters and exit",
         "print every command the player knows, one line each: the name, its section (`built-in` or `scene`) and "
         "its parameters as `name:kind`, optional ones as `[name:kind=default]`; exit status 0",
         [](CommandLine& line, const std::string&, const std::string&, std::string&) {
             line.listCommands = true;
             return true;
         }},
        {"--json", "", "", 0, Driver::Listing, Values::None,
         "with --list-commands: one JSON document of the commands, constants and easing curves; with --timeline: "
         "the label times as JSON",
         "with `--list-commands`: the commands, constants and easing curves as one JSON document for editors; with "
         "`--timeline`: the label times as JSON",
         "with `--list-commands`: one JSON document on standard output, for editors and scripts: `\"commands\"` (in "
         "dispatch order, built-in first; each with `\"name\"`, `\"section\"`, `\"needs\"` and `\"params\"`, a "
         "parameter with `\"name\"`, `\"kind\"` and, when optional, `\"optional\": true` and `\"default\"`), "
         "`\"constants\"` (`\"name\"`, `\"value\"`, `\"section\"`) and `\"easings\"` (`\"number\"`, `\"name\"`, "
         "`\"constant\"` or null); with `--timeline`: the label times as JSON",
         [](CommandLine& line, const std::string&, const std::string&, std::string&) {
             line.json = true;
             return true;
         }},
        {"--timeline", "", "", 0, Driver::Timeline, Values::None,
         "print when playing first arrives at each label of the main flow, and the demo's length",
         "print when playing first arrives at each label of the main flow (the seek of `--start`) and the demo's "
         "length",
         "",
         [](CommandLine& line, const std::string&, const std::string&, std::string&) {
             line.timeline = true;
             return true;
         }},
        {"--lsp", "", "", 0, Driver::Lsp, Values::None,
         "serve the Language Server Protocol on standard input and output (for editors)",
         "serve the Language Server Protocol on standard input and output (see The language server)", "",
         [](CommandLine& line, const std::string&, const std::string&, std::string&) {
             line.lsp = true;
             return true;
         }},
        {"--send", "", "DIR REQUEST", 2, Driver::Send, Values::Folder,
         "send one request line to the author-mode player of the demo in DIR and print its answer: exit status 0 "
         "on ok, 1 on an error, 2 when no player runs there",
         "send one request line to the author-mode player running the demo in DIR and print its answer line; exit "
         "status 0 on `ok`, 1 on an error, 2 when no player runs there (see The editor's channel)",
         "",
         [](CommandLine& line, const std::string& folder, const std::string& request, std::string&) {
             line.send = true;
             line.dir = folder;
             line.sendRequest = request;
             return true;
         },
         nullptr, nullptr, "option --send needs a folder and a request, as in --send DIR '{\"state\": true}'"},
        {"--export", "", "DIR OUT", 2, Driver::Export, Values::Folder,
         "make the demo in DIR into a folder OUT (and OUT.tar.gz) that plays without Kestrune: the demo, the "
         "player, the libraries it needs and a ./play launcher; refused when --check finds errors",
         "make the demo in DIR into a folder OUT (and `OUT.tar.gz`) that plays without Kestrune: `OUT/play` (see "
         "Exporting a demo)",
         "",
         [](CommandLine& line, const std::string& folder, const std::string& out, std::string& error) {
             if (out.empty())
             {
                 error = "option --export needs a demo folder and an output folder, as in --export DIR OUT";
                 return false;
             }
             line.dir = folder;
             line.exportOut = out;
             return true;
         },
         nullptr, nullptr, "option --export needs a demo folder and an output folder, as in --export DIR OUT"},
        {"--help", "-h", "", 0, Driver::Info, Values::None, "show this help and exit", "show the options and exit", "",
         [](CommandLine& line, const std::string&, const std::string&, std::string&) {
             line.help = true;
             return true;
         }},
        {"--version", "", "", 0, Driver::Info, Values::None, "show the version and exit",
         "show the version and exit", "",
         [](CommandLine& line, const std::string&, const std::string&, std::string&) {
             line.showVersion = true;
             return true;
         }},
    };
    return table;
}

const OptionTable::Option* OptionTable::find(const std::string& name)
{
    for (const Option& option : options())
        if (option.name == name || (!option.alias.empty() && option.alias == name))
            return &option;
    return nullptr;
}

const std::vector<OptionTable::Rule>& OptionTable::rules()
{
    // In the order they are checked: with two faults on a line, the first here is the one reported.
    static const std::vector<Rule> table = {
        {Relation::Excludes, {"--send"}, {"any other option"},
         [](const CommandLine& line) { return line.send && line.words != 4; },
         [](const CommandLine&) { return std::string("--send DIR REQUEST takes no other options"); }},
        {Relation::Excludes, {"--export"}, {"any other option"},
         [](const CommandLine& line) { return !line.exportOut.empty() && line.words != 4; },
         [](const CommandLine&) { return std::string("--export DIR OUT takes no other options"); }},
        {Relation::GoesWith, {"--budget"}, {"--author"},
         [](const CommandLine& line) { return line.budgetGiven && !line.author; },
         [](const CommandLine&) { return std::string("--budget goes with --author"); }},
        {Relation::Excludes, {"--profile"}, {"--check", "--timeline", "--lsp", "--list-commands", "--send", "--join"},
         [](const CommandLine& line) {
             return !line.profileOut.empty() &&
                    (line.check || line.timeline || line.lsp || line.listCommands || line.send || !line.joinOut.empty());
         },
         [](const CommandLine&) { return std::string("--profile goes with playing, --render or --author"); }},
        // A trace is of one process; the parts of --jobs are several.
        {Relation::Excludes, {"--profile"}, {"--jobs"},
         [](const CommandLine& line) { return !line.profileOut.empty() && line.jobs > 0; },
         [](const CommandLine&) {
             return std::string("--profile cannot be combined with --jobs: the trace is of one process");
         }},
        // Without author mode nothing keeps snapshots: saying so beats ignoring the option.
        {Relation::GoesWith, {"--snapshot-memory"}, {"--author"},
         [](const CommandLine& line) { return line.snapshotMemoryGiven && !line.author; },
         [](const CommandLine&) { return std::string("--snapshot-memory goes with --author"); }},
        {Relation::GoesWith, {"--json"}, {"--list-commands", "--timeline"},
         [](const CommandLine& line) { return line.json && !line.listCommands && !line.timeline; },
         [](const CommandLine&) { return std::string("--json goes with --list-commands or --timeline"); }},
        {Relation::Excludes, {"--lsp"}, {"--timeline", "--check", "--author", "--list-commands", "--render", "--start", "DIR"},
         [](const CommandLine& line) {
             return line.lsp && (line.timeline || line.check || line.author || line.listCommands ||
                                 !line.renderOut.empty() || !line.start.empty() || !line.dir.empty());
         },
         [](const CommandLine&) {
             return std::string("--lsp takes no other option and no folder (the editor names the files)");
         }},
        {Relation::Excludes, {"--timeline"}, {"--check", "--author", "--render", "--start"},
         [](const CommandLine& line) {
             return line.timeline && (line.check || line.author || !line.renderOut.empty() || !line.start.empty());
         },
         [](const CommandLine&) {
             return std::string("--timeline cannot be combined with --check, --author, --render or --start");
         }},
        {Relation::Excludes, {"--frames"}, {"--seconds"},
         [](const CommandLine& line) { return line.frames > 0 && line.seconds > 0; },
         [](const CommandLine&) { return std::string("--frames and --seconds cannot be used together"); }},
        // The player's own rate is the default, so that giving it changes nothing.
        {Relation::GoesWith, {"--frames", "--seconds", "--fps"}, {"--render"},
         [](const CommandLine& line) {
             return line.renderOut.empty() && (line.frames > 0 || line.seconds > 0 || line.fps != StepRate::StepsPerSecond);
         },
         [](const CommandLine&) { return std::string("--frames, --seconds and --fps go with --render"); }},
        {Relation::Value, {"--join"}, {},
         [](const CommandLine& line) { return !line.joinOut.empty() && line.joinParts.empty(); },
         [](const CommandLine& line) { return "--join " + line.joinOut + " needs the part folders to join"; }},
        // Every rule after this one concerns an option that --join refuses here.
        {Relation::Excludes, {"--join"},
         {"DIR", "--render", "--start", "--check", "--author", "--list-commands", "--stats", "--draw-all", "--range",
          "--part", "--jobs", "--size", "--manifest"},
         [](const CommandLine& line) {
             return !line.joinOut.empty() &&
                    (!line.dir.empty() || !line.renderOut.empty() || !line.start.empty() || line.check || line.author ||
                     line.listCommands || line.stats || line.drawAll || !line.rangeText.empty() || line.parts > 0 ||
                     line.jobs > 0 || !line.size.empty() || line.manifest);
         },
         [](const CommandLine&) {
             return std::string("--join takes only OUT and the part folders: the parts hold the render's settings");
         }},
        {Relation::GoesWith, {"--range", "--part", "--jobs", "--size", "--manifest"}, {"--render"},
         [](const CommandLine& line) {
             return line.renderOut.empty() &&
                    (!line.rangeText.empty() || line.parts > 0 || line.jobs > 0 || !line.size.empty() || line.manifest);
         },
         [](const CommandLine&) {
             return std::string("--range, --part, --jobs, --size and --manifest go with --render");
         }},
        {Relation::Excludes, {"--range"}, {"--frames", "--seconds"},
         [](const CommandLine& line) { return !line.rangeText.empty() && (line.frames > 0 || line.seconds > 0); },
         [](const CommandLine&) { return std::string("--range cannot be combined with --frames or --seconds"); }},
        {Relation::Excludes, {"--jobs"}, {"--part"},
         [](const CommandLine& line) { return line.jobs > 0 && line.parts > 0; },
         [](const CommandLine&) { return std::string("--jobs and --part cannot be used together"); }},
        {Relation::Value, {"--range"}, {},
         [](const CommandLine& line) {
             return !line.rangeText.empty() && line.rangeLast > 0 && line.rangeLast < line.rangeFirst;
         },
         [](const CommandLine& line) { return "option --range " + line.rangeText + " ends before it starts"; }},
        {Relation::Value, {"--range"}, {},
         [](const CommandLine& line) {
             return !line.rangeText.empty() && line.rangeLastSeconds >= 0.0 && line.rangeLast < 1;
         },
         [](const CommandLine& line) { return "option --range " + line.rangeText + " holds no frame"; }},
        {Relation::Value, {"--size"}, {},
         [](const CommandLine& line) {
             const OutputFormat::Container* video = OutputFormat(line.renderOut).container();
             return !line.size.empty() && (line.sizeWidth % 2 != 0 || line.sizeHeight % 2 != 0) && video &&
                    video->evenSize;
         },
         [](const CommandLine& line) {
             return "option --size " + line.size + ": a ." + OfflineRenderer::videoFormat(line.renderOut) +
                    " video needs an even width and height";
         }},
        {Relation::Excludes, {"--check"}, {"--render", "--start"},
         [](const CommandLine& line) { return line.check && (!line.renderOut.empty() || !line.start.empty()); },
         [](const CommandLine&) { return std::string("--check cannot be combined with --render or --start"); }},
        {Relation::Excludes, {"--author"}, {"--check", "--render"},
         [](const CommandLine& line) { return line.author && (line.check || !line.renderOut.empty()); },
         [](const CommandLine&) {
             return std::string("--author plays in a window; it cannot be combined with --check or --render");
         }},
    };
    return table;
}

namespace
{
std::vector<std::string> related(const std::string& name, OptionTable::Relation relation)
{
    std::vector<std::string> others;
    for (const OptionTable::Rule& rule : OptionTable::rules())
    {
        if (rule.relation != relation)
            continue;
        for (const std::string& option : rule.options)
            if (option == name)
                for (const std::string& other : rule.others)
                    if (other != name && std::find(others.begin(), others.end(), other) == others.end())
                        others.push_back(other);
        // A refusal holds both ways: --check excludes --author as --author excludes --check.
        if (relation == OptionTable::Relation::Excludes)
            for (const std::string& other : rule.others)
                if (other == name)
                    for (const std::string& option : rule.options)
                        if (std::find(others.begin(), others.end(), option) == others.end())
                            others.push_back(option);
    }
    return others;
}
} // namespace

std::vector<std::string> OptionTable::goesWith(const std::string& name)
{
    return related(name, Relation::GoesWith);
}

std::vector<std::string> OptionTable::excludes(const std::string& name)
{
    return related(name, Relation::Excludes);
}

RenderSettings OptionTable::renderSettings(const CommandLine& line)
{
    RenderSettings settings;
    for (const Option& option : options())
        if (option.copy)
            option.copy(line, settings);
    return settings;
}

std::vector<std::string> OptionTable::renderArguments(const RenderSettings& settings)
{
    std::vector<std::string> args;
    for (const Option& option : options())
        if (option.spell)
            option.spell(settings, option.name, args);
    return args;
}

std::string OptionTable::usage()
{
    std::string text = "Usage: kestrune [options] [DIR]\n"
                       "Plays the demo in DIR (config.json and assets/), or in the current folder.\n"
                       "\n"
                       "Options:\n";
    for (const Option& option : options())
        text += described(option.name + (option.argument.empty() ? "" : " " + option.argument), option.help);
    return text;
}
