#pragma once

#include <string>

// What the shell checks before anything opens: that the folder is a demo at all, and that there
// is an X display. The graphics library aborts the whole process (with a core dump) when it
// cannot open a display, so the shell asks Xlib first and explains instead.
class LaunchCheck
{
public:
    // False (with one line in `error`) when `folder` holds neither assets/ nor config.json. A
    // demo with missing pieces passes: its own start-up messages say what is missing.
    static bool isDemoFolder(const std::string& folder, std::string& error);

    // True when an X display can be opened; otherwise false with the reason in `reason`.
    static bool hasDisplay(std::string& reason);

    // ffmpeg for a video, and an X display for an offline render's GL context; false after one
    // line saying what is missing and how to get it. Checked before anything creates a GL
    // resource, which would abort the program without a display.
    static bool canRender(bool video, const std::string& commandLine);

    // The user's own command line, run on a virtual screen.
    static std::string underVirtualScreen(const std::string& commandLine);

    // argv as a line the shell reads back the same (single quotes where needed).
    static std::string quoteCommandLine(int argc, const char* const* argv);
};
