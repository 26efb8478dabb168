#pragma once

#include <ostream>
#include <string>
#include <vector>

// --export DIR OUT: the demo in the working directory made into a folder a viewer runs without
// Kestrune: the demo's files (set to play full screen), this player, the shared libraries it needs
// that a desktop does not have, their licences and a `play` launcher; and OUT.tar.gz of the same.
// Everything is built beside OUT and renamed into place only when all of it worked.
class DemoExport
{
public:
    // `out`: the bundle folder (absolute); `player`: the program to carry.
    DemoExport(std::string out, std::string player);

    // Checks the demo first and refuses one with errors; one line on `err` for every failure.
    // 0 when OUT and OUT.tar.gz are there, 1 otherwise.
    int run(std::ostream& err);

    // False when a display cannot be opened: the check then skips compiling shaders.
    bool canOpenDisplay = true;

    struct Library
    {
        std::string soname; // libsfml-graphics.so.2.5
        std::string path;   // where the loader found it
    };
    // The libraries of `ldd` output that the bundle carries: all but those every desktop has.
    // False with `error` when the loader cannot find one.
    static bool carried(const std::string& lddOutput, std::vector<Library>& libraries, std::string& error);
    // True for a library that a Debian or Ubuntu desktop with an X display and OpenGL has.
    static bool assumed(const std::string& soname);
    // The package a file belongs to, from `dpkg -S` output ("libfoo1:amd64: /usr/lib/...").
    static std::string packageOf(const std::string& dpkgOutput);
    // config.json's text with "fullscreen" set; empty text gives a config of that key alone.
    // False when the text is not a JSON object.
    static bool fullscreenConfig(const std::string& text, std::string& out);
    // The launcher's text.
    static const char* launcher();

private:
    bool build(std::ostream& err);
    bool copyDemo(const std::string& to, std::ostream& err);
    bool carryLibraries(const std::string& bundle, std::ostream& err);
    bool writeArchive(const std::string& stageParent, const std::string& tarball, std::ostream& err);
    bool replaceable(const std::string& path) const;

    std::string out;
    std::string player;
    std::string stage; // the hidden folder beside OUT that the bundle is built in
};
