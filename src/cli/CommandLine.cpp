#include "cli/CommandLine.hpp"

#include "author/Transport.hpp"
#include "cli/LaunchCheck.hpp"
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

// A folder is a name without an extension (or one that already is a folder); a video ends in
// .mp4, .webm, .mkv, .mov or .gif. Anything else (out.png) would silently become a folder of that name.
bool renderOutputAccepted(const std::string& text)
{
    std::error_code code;
    return std::filesystem::is_directory(text, code) || std::filesystem::path(text).extension().empty() ||
           !OfflineRenderer::videoFormat(text).empty();
}

const char* const OutputKinds = "a folder (a name without an extension) or a .mp4, .webm, .mkv, .mov or .gif file";

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
} // namespace

namespace
{
// An option's description, wrapped to the usage's width below its column.
std::string described(const std::string& option, const std::string& text)
{
    constexpr std::size_t Column = 25;
    constexpr std::size_t Width = 79;
    std::string out = "  " + option + std::string(Column - 2 - option.size(), ' ');
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

std::string authorKeys()
{
    std::string keys;
    for (const Transport::KeyHelp& key : Transport::keyHelp())
        if (key.brief)
            keys += (keys.empty() ? "" : ", ") + std::string(key.brief);
    return "play with the author's keys: " + keys + "; saved files reload in place";
}
} // namespace

const std::string& CommandLine::usage()
{
    static const std::string text =
        std::string("Usage: kestrune [options] [DIR]\n"
                    "Plays the demo in DIR (config.json and assets/), or in the current folder.\n"
                    "\n"
                    "Options:\n"
                    "  --start LABEL|SECONDS  start at a label of the main flow or at a time, by\n"
                    "                         fast-forwarding the simulation in exact steps\n") +
        described("--author", authorKeys()) +
        std::string("  --check                check config.json, the catalogs, the files they name and\n"
                    "                         the script without playing; prints diagnostics on\n"
                    "                         standard output, exit status 1 on errors\n"
                    "  --render OUT           render offline to a folder of PNG frames (frame_*.png\n"
                    "                         files of an earlier render there are replaced), or to\n"
                    "                         a video when OUT ends in .mp4, .webm, .mkv (lossless),\n"
                    "                         .mov (ProRes) or .gif\n"
                    "  --frames N             with --render: render N frames\n"
                    "  --seconds S            with --render: render S seconds of demo time\n"
                    "  --fps 60|30            with --render: frame rate of the output (default 60)\n") +
        described("--range A:B", "with --render: only frames A to B of the render, numbered as in the whole "
                                 "render; frame numbers (1 is the first) or times (12.5s:20s); B may be left out") +
        described("--size WxH", "with --render: scale the output to W x H pixels") +
        described("--jobs N", "with --render: render in N processes at once, each a contiguous part, "
                              "and join them") +
        described("--part K/N", "with --render: render only the K-th of N equal parts of the frames the "
                                "other options select, into the folder OUT.part-K-of-N") +
        described("--join OUT PART...", "join the folders that --part left into OUT") +
        described("--manifest", "with --render: write the SHA-256 of every frame's pixels to OUT.frames.sha256") +
        std::string("  --snapshot-memory MB   with --author: memory for the snapshots that make seeks\n"
                    "                         start near their step (default 1024)\n"
                    "  --stats                print frame-time figures at exit\n"
                    "  --draw-all             draw every pass, also those that cannot change a pixel\n"
                    "                         (to check that leaving them out changes nothing)\n"
                    "  --list-commands        print the script's commands with their parameters\n"
                    "                         (name:kind, [optional=default]) and exit\n"
                    "  --json                 with --list-commands: one JSON document of the\n"
                    "                         commands, constants and easing curves; with\n"
                    "                         --timeline: the label times as JSON\n"
                    "  --timeline             print when playing first arrives at each label of the\n"
                    "                         main flow, and the demo's length\n"
                    "  --lsp                  serve the Language Server Protocol on standard input\n"
                    "                         and output (for editors)\n"
                    "  --send DIR REQUEST     send one request line to the author-mode player of\n"
                    "                         the demo in DIR and print its answer: exit status 0\n"
                    "                         on ok, 1 on an error, 2 when no player runs there\n"
                    "  --export DIR OUT       make the demo in DIR into a folder OUT (and OUT.tar.gz)\n"
                    "                         that plays without Kestrune: the demo, the player, the\n"
                    "                         libraries it needs and a ./play launcher; refused when\n"
                    "                         --check finds errors\n"
                    "  --help                 show this help and exit\n"
                    "  --version              show the version and exit\n");
    return text;
}

const char* CommandLine::version()
{
    return "kestrune " KESTRUNE_VERSION;
}

bool CommandLine::parse(int argc, const char* const* argv, std::string& error)
{
    commandLine = LaunchCheck::quoteCommandLine(argc, argv);
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        // Options that take a value accept both "--opt value" and "--opt=value".
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        const std::string::size_type eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos)
        {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= argc)
            {
                error = "option " + name + " needs a value";
                return false;
            }
            value = argv[++i];
            return true;
        };

        if (name == "--help" || name == "-h")
            help = true;
        else if (name == "--version")
            showVersion = true;
        else if (name == "--check")
            check = true;
        else if (name == "--author")
            author = true;
        else if (name == "--stats")
            stats = true;
        else if (name == "--draw-all")
            drawAll = true;
        else if (name == "--list-commands")
            listCommands = true;
        else if (name == "--json")
            json = true;
        else if (name == "--lsp")
            lsp = true;
        else if (name == "--timeline")
            timeline = true;
        else if (name == "--start")
        {
            if (!takeValue())
                return false;
            if (value.empty())
            {
                error = "option --start needs a label or a number of seconds";
                return false;
            }
            start = value;
        }
        else if (name == "--send")
        {
            // --send DIR REQUEST: both follow, the folder first.
            if (hasValue || i + 2 >= argc)
            {
                error = "option --send needs a folder and a request, as in --send DIR '{\"state\": true}'";
                return false;
            }
            send = true;
            dir = argv[++i];
            sendRequest = argv[++i];
        }
        else if (name == "--export")
        {
            // --export DIR OUT: both follow, the folder first.
            if (hasValue || i + 2 >= argc || argv[i + 2][0] == '\0')
            {
                error = "option --export needs a demo folder and an output folder, as in --export DIR OUT";
                return false;
            }
            dir = argv[++i];
            exportOut = argv[++i];
        }
        else if (name == "--render")
        {
            if (!takeValue())
                return false;
            if (value.empty())
            {
                error = "option --render needs a folder or a video file";
                return false;
            }
            if (!renderOutputAccepted(value))
            {
                error = std::string("option --render takes ") + OutputKinds + ", not '" + value + "'";
                return false;
            }
            renderOut = value;
        }
        else if (name == "--snapshot-memory")
        {
            if (!takeValue())
                return false;
            snapshotMemoryGiven = true;
            if (!parseCount(value, snapshotMegabytes))
            {
                error = "option --snapshot-memory needs a positive whole number of megabytes, not '" + value + "'";
                return false;
            }
        }
        else if (name == "--frames")
        {
            if (!takeValue())
                return false;
            if (!parseCount(value, frames))
            {
                error = "option --frames needs a positive whole number, not '" + value + "'";
                return false;
            }
        }
        else if (name == "--seconds")
        {
            if (!takeValue())
                return false;
            if (!parseSeconds(value, seconds))
            {
                error = "option --seconds needs a positive number, not '" + value + "'";
                return false;
            }
        }
        else if (name == "--fps")
        {
            if (!takeValue())
                return false;
            if (value != "60" && value != "30")
            {
                error = "option --fps takes 60 or 30, not '" + value + "'";
                return false;
            }
            fps = value == "60" ? 60 : 30;
        }
        else if (name == "--range")
        {
            if (!takeValue())
                return false;
            const std::string::size_type colon = value.find(':');
            const std::string first = colon == std::string::npos ? value : value.substr(0, colon);
            const std::string last = colon == std::string::npos ? "" : value.substr(colon + 1);
            if (colon == std::string::npos || (!first.empty() && !parseRangeEnd(first, rangeFirst, rangeFirstSeconds)) ||
                (!last.empty() && !parseRangeEnd(last, rangeLast, rangeLastSeconds)))
            {
                error = "option --range takes FIRST:LAST in frames (1:600) or seconds (12.5s:20s), not '" + value + "'";
                return false;
            }
            rangeText = value;
            if (first.empty())
                rangeFirst = 1;
        }
        else if (name == "--part")
        {
            if (!takeValue())
                return false;
            if (!parsePart(value, part, parts))
            {
                error = "option --part takes K/N with 1 <= K <= N, not '" + value + "'";
                return false;
            }
        }
        else if (name == "--jobs")
        {
            long count = 0;
            if (!takeValue())
                return false;
            if (!parseCount(value, count) || count > 64)
            {
                error = "option --jobs needs a whole number from 1 to 64, not '" + value + "'";
                return false;
            }
            jobs = static_cast<int>(count);
        }
        else if (name == "--size")
        {
            if (!takeValue())
                return false;
            if (!parseSize(value, sizeWidth, sizeHeight))
            {
                error = "option --size takes WIDTHxHEIGHT from 2x2 to 8192x8192 (1280x720), not '" + value + "'";
                return false;
            }
            size = value;
        }
        else if (name == "--manifest")
            manifest = true;
        else if (name == "--join")
        {
            if (!takeValue())
                return false;
            if (value.empty() || !renderOutputAccepted(value))
            {
                error = std::string("option --join takes ") + OutputKinds + ", not '" + value + "'";
                return false;
            }
            joinOut = value;
        }
        else if (arg.size() > 1 && arg[0] == '-')
        {
            error = "unknown option '" + arg + "'";
            return false;
        }
        else if (!joinOut.empty())
            joinParts.push_back(arg);
        else if (dir.empty())
            dir = arg;
        else
        {
            error = "more than one folder given ('" + dir + "' and '" + arg + "')";
            return false;
        }
    }

    if (!exportOut.empty() && argc != 4)
    {
        error = "--export DIR OUT takes no other options";
        return false;
    }
    if (send && (argc != 4))
    {
        error = "--send DIR REQUEST takes no other options";
        return false;
    }
    // Without author mode nothing keeps snapshots: saying so beats ignoring the option.
    if (snapshotMemoryGiven && !author)
    {
        error = "--snapshot-memory goes with --author";
        return false;
    }
    if (json && !listCommands && !timeline)
    {
        error = "--json goes with --list-commands or --timeline";
        return false;
    }
    if (lsp && (timeline || check || author || listCommands || !renderOut.empty() || !start.empty() || !dir.empty()))
    {
        error = "--lsp takes no other option and no folder (the editor names the files)";
        return false;
    }
    if (timeline && (check || author || !renderOut.empty() || !start.empty()))
    {
        error = "--timeline cannot be combined with --check, --author, --render or --start";
        return false;
    }
    if (frames > 0 && seconds > 0)
    {
        error = "--frames and --seconds cannot be used together";
        return false;
    }
    if (renderOut.empty() && (frames > 0 || seconds > 0 || fps != 60))
    {
        error = "--frames, --seconds and --fps go with --render";
        return false;
    }
    if (!joinOut.empty())
    {
        if (joinParts.empty())
        {
            error = "--join " + joinOut + " needs the part folders to join";
            return false;
        }
        if (!dir.empty() || !renderOut.empty() || !start.empty() || check || author || listCommands || stats || drawAll ||
            !rangeText.empty() || parts > 0 || jobs > 0 || !size.empty() || manifest)
        {
            error = "--join takes only OUT and the part folders: the parts hold the render's settings";
            return false;
        }
        return true;
    }
    if (renderOut.empty() && (!rangeText.empty() || parts > 0 || jobs > 0 || !size.empty() || manifest))
    {
        error = "--range, --part, --jobs, --size and --manifest go with --render";
        return false;
    }
    if (!rangeText.empty() && (frames > 0 || seconds > 0))
    {
        error = "--range cannot be combined with --frames or --seconds";
        return false;
    }
    if (jobs > 0 && parts > 0)
    {
        error = "--jobs and --part cannot be used together";
        return false;
    }
    if (!rangeText.empty())
    {
        // Times are those of the render's own clock: T seconds is where frame T x fps ends.
        if (rangeFirstSeconds >= 0.0)
            rangeFirst = std::lround(rangeFirstSeconds * fps) + 1;
        if (rangeLastSeconds >= 0.0)
            rangeLast = std::lround(rangeLastSeconds * fps);
        if (rangeLast > 0 && rangeLast < rangeFirst)
        {
            error = "option --range " + rangeText + " ends before it starts";
            return false;
        }
        if (rangeLastSeconds >= 0.0 && rangeLast < 1)
        {
            error = "option --range " + rangeText + " holds no frame";
            return false;
        }
    }
    if (!size.empty() && (sizeWidth % 2 != 0 || sizeHeight % 2 != 0))
    {
        const std::string video = OfflineRenderer::videoFormat(renderOut);
        if (video == "mp4" || video == "webm" || video == "mov")
        {
            error = "option --size " + size + ": a ." + video + " video needs an even width and height";
            return false;
        }
    }
    if (check && (!renderOut.empty() || !start.empty()))
    {
        error = "--check cannot be combined with --render or --start";
        return false;
    }
    if (author && (check || !renderOut.empty()))
    {
        error = "--author plays in a window; it cannot be combined with --check or --render";
        return false;
    }
    return true;
}
