#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

// The ffmpeg program, which encodes and muxes every video: found on the PATH, started with the
// options every call shares, waited for.
class Ffmpeg
{
public:
    // True when an ffmpeg program is on the PATH.
    static bool installed();

    // "ffmpeg" and the options every call shares (quiet but for errors, overwrite, no input
    // from the terminal), followed by `args`.
    static std::vector<std::string> command(const std::vector<std::string>& args);

    // Runs a command of `command` to completion; true when it exits with 0.
    static bool run(std::vector<std::string> args);

    // Starts a command that reads its input from the returned pipe (`input`); -1 with a reason in
    // `error` when it cannot start.
    static pid_t start(std::vector<std::string> args, int& input, std::string& error);

    // The frames ffprobe decodes from the first video stream of `path` and the container's duration
    // in seconds; false with a reason in `error` when ffprobe cannot read it.
    static bool probe(const std::string& path, long& frames, double& seconds, std::string& error);

    // Waits for a started command; true when it exited with 0.
    static bool finish(pid_t child);
};
