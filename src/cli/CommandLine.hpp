#pragma once

#include "motion/StepRate.hpp"

#include <string>
#include <vector>

// The author's options, as OptionTable lists them. Without any, the player plays the current folder
// exactly as before.
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
    int fps = StepRate::StepsPerSecond; // --fps 60|30
    long rangeFirst = -1;      // --range A:B, in frames of the render (times converted); -1 = none
    long rangeLast = -1;       //   B; -1 = until the demo ends
    int part = 0;              // --part K/N: K; 0 = none
    int parts = 0;             //   N
    int jobs = 0;              // --jobs N; 0 = one process
    std::string size;          // --size WxH; empty = 1920x1080
    bool manifest = false;     // --manifest
    std::string joinOut;       // --join OUT; empty = none
    std::vector<std::string> joinParts; // the part folders after --join OUT
    bool stats = false;        // --stats
    std::string profileOut;    // --profile OUT.json; empty = none
    double budgetMs = 1000.0 / StepRate::StepsPerSecond; // --budget MS (with --author)
    bool budgetGiven = false;
    bool drawAll = false;      // --draw-all
    bool author = false;       // --author
    long snapshotMegabytes = DefaultSnapshotMegabytes; // --snapshot-memory MB (with --author)
    bool snapshotMemoryGiven = false;
    static constexpr long DefaultSnapshotMegabytes = 1024;
    bool listCommands = false; // --list-commands
    bool json = false;         // --json (with --list-commands or --timeline)
    std::string sendRequest;   // --send DIR REQUEST: the request (DIR is `dir`)
    bool send = false;
    bool lsp = false;          // --lsp
    bool timeline = false;     // --timeline
    std::string exportOut;     // --export DIR OUT: OUT (DIR is `dir`); empty = none
    std::string commandLine;   // the whole command as typed, quoted for the shell

private:
    // The table's parsers and rules set and read the fields below.
    friend class OptionTable;
    int words = 0; // the words of the command line, the program's name included
    std::string rangeText;
    double rangeFirstSeconds = -1.0;
    double rangeLastSeconds = -1.0;
    long sizeWidth = 0;
    long sizeHeight = 0;
};
