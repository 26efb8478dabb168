#include "cli/LaunchCheck.hpp"

#include "catalogs/DemoPaths.hpp"
#include "player/Player.hpp"
#include "render/Ffmpeg.hpp"

#include <X11/Xlib.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>

namespace
{
bool needsQuotes(const std::string& word)
{
    if (word.empty())
        return true;
    for (const char c : word)
    {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           std::string("_-./:=@%+,").find(c) != std::string::npos;
        if (!plain)
            return true;
    }
    return false;
}

std::string shellWord(const std::string& word)
{
    if (!needsQuotes(word))
        return word;
    std::string quoted = "'";
    for (const char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}
} // namespace

bool LaunchCheck::isDemoFolder(const std::string& folder, std::string& error)
{
    namespace fs = std::filesystem;
    if (DemoPaths::isDemoFolder(folder))
        return true;
    std::error_code code;
    fs::path shown = fs::absolute(folder, code).lexically_normal();
    if (shown.filename().empty() && shown.has_relative_path()) // "/home/me/." gives "/home/me/"
        shown = shown.parent_path();
    error = shown.string() + " is not a demo folder (it holds neither " + DemoPaths::Assets + "/ nor " +
            DemoPaths::Config + "); give the demo's folder: kestrune DIR";
    return false;
}

bool LaunchCheck::hasDisplay(std::string& reason)
{
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name)
    {
        reason = "there is no display (DISPLAY is not set)";
        return false;
    }
    Display* display = XOpenDisplay(name);
    if (!display)
    {
        reason = std::string("the display '") + name + "' cannot be opened";
        return false;
    }
    // Held until the process ends: when the only client of an X server started for this run
    // (xvfb-run without -noreset) closes its connection the server resets, and the window's own
    // connection, opened a moment later, could fail.
    static Display* const held = display;
    if (held != display)
        XCloseDisplay(display);
    return true;
}

std::string LaunchCheck::underVirtualScreen(const std::string& commandLine)
{
    // A screen of the demo's size.
    return "xvfb-run -a -s \"-screen 0 " + std::to_string(Player::Width) + "x" + std::to_string(Player::Height) +
           "x24\" " + commandLine;
}

std::string LaunchCheck::quoteCommandLine(int argc, const char* const* argv)
{
    std::string line;
    for (int i = 0; i < argc; ++i)
        line += (i > 0 ? " " : "") + shellWord(argv[i]);
    return line;
}

bool LaunchCheck::canRender(bool video, const std::string& commandLine)
{
    if (video && !Ffmpeg::installed())
    {
        std::cerr << "kestrune: a video render needs ffmpeg, which is not installed (Debian: apt-get install ffmpeg); "
                     "a folder of PNG frames needs nothing more"
                  << std::endl;
        return false;
    }
    std::string reason;
    if (!hasDisplay(reason))
    {
        std::cerr << "kestrune: --render needs an X display for its GL context (it shows no window), and " << reason
                  << "; run it under a virtual screen: " << underVirtualScreen(commandLine) << std::endl;
        return false;
    }
    return true;
}
