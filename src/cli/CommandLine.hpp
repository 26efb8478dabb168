#pragma once

#include <string>

// The author's options. Without any, the player plays the current folder exactly as before.
class CommandLine
{
public:
    // False (with a one-line reason in `error`) on a usage error; the caller exits with 2.
    bool parse(int argc, const char* const* argv, std::string& error);

    static const std::string& usage();
    static const char* version();

    bool help = false;
    bool showVersion = false;
    std::string dir;           // DIR: the folder to play; empty = the working directory
    std::string start;         // --start LABEL|SECONDS; empty = from the beginning
    bool check = false;        // --check
    std::string renderOut;     // --render OUT; empty = play
    long frames = -1;          // --frames N; -1 = until the demo ends
    double seconds = -1.0;     // --seconds S; -1 = until the demo ends
    int fps = 60;              // --fps 60|30
    bool stats = false;        // --stats
    bool drawAll = false;      // --draw-all
    bool author = false;       // --author
    long snapshotMegabytes = DefaultSnapshotMegabytes; // --snapshot-memory MB (with --author)
    static constexpr long DefaultSnapshotMegabytes = 1024;
    bool listCommands = false; // --list-commands
    bool json = false;         // --json (with --list-commands)
    std::string commandLine;   // the whole command as typed, quoted for the shell
};
