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
// .mp4 or .webm. Anything else (out.gif, out.png) would silently become a folder of that name.
bool renderOutputAccepted(const std::string& text)
{
    std::error_code code;
    return std::filesystem::is_directory(text, code) || std::filesystem::path(text).extension().empty() ||
           !OfflineRenderer::videoFormat(text).empty();
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
                    "                         a video when OUT ends in .mp4 or .webm\n"
                    "  --frames N             with --render: render N frames\n"
                    "  --seconds S            with --render: render S seconds of demo time\n"
                    "  --fps 60|30            with --render: frame rate of the output (default 60)\n"
                    "  --snapshot-memory MB   with --author: memory for the snapshots that make seeks\n"
                    "                         start near their step (default 1024)\n"
                    "  --stats                print frame-time figures at exit\n"
                    "  --draw-all             draw every pass, also those that cannot change a pixel\n"
                    "                         (to check that leaving them out changes nothing)\n"
                    "  --list-commands        print the script's commands with their parameters\n"
                    "                         (name:kind, [optional=default]) and exit\n"
                    "  --json                 with --list-commands: one JSON document of the\n"
                    "                         commands, constants and easing curves\n"
                    "  --help                 show this help and exit\n"
                    "  --version              show the version and exit\n");
    return text;
}

const char* CommandLine::version()
{
    return "kestrune 0.2.0";
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
        else if (name == "--render")
        {
            if (!takeValue())
                return false;
            if (value.empty())
            {
                error = "option --render needs a folder or a .mp4/.webm file";
                return false;
            }
            if (!renderOutputAccepted(value))
            {
                error = "option --render takes a folder (a name without an extension) or a .mp4 or .webm file, not '" +
                        value + "'";
                return false;
            }
            renderOut = value;
        }
        else if (name == "--snapshot-memory")
        {
            if (!takeValue())
                return false;
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
        else if (arg.size() > 1 && arg[0] == '-')
        {
            error = "unknown option '" + arg + "'";
            return false;
        }
        else if (dir.empty())
            dir = arg;
        else
        {
            error = "more than one folder given ('" + dir + "' and '" + arg + "')";
            return false;
        }
    }

    if (json && !listCommands)
    {
        error = "--json goes with --list-commands";
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
