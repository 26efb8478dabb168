#pragma once

#include <string>

// How a part of --jobs tells the process that started it how far it has come: the parent hands
// each part the write end of a pipe as file descriptor ChildFd and names it in the part's
// environment; the part writes a line "FRAMES TOTAL" now and then (TOTAL -1 while unknown), and
// the parent reads the last complete line.
class ProgressPipe
{
public:
    static constexpr int ChildFd = 3;

    // In a part: the descriptor to report on; -1 in a process that --jobs did not start.
    static int inherited();
    // The environment entry a part is started with, and whether an entry is one (a part's own
    // entry is replaced, never handed on).
    static std::string environmentEntry();
    static bool isEntry(const char* entry);

    // One report; false when the pipe is gone. Allocates nothing: a part reports while it renders.
    static bool send(int fd, long frames, long total);

    // In the parent: what came out of the pipe. Each complete line updates frames and total.
    void take(const char* data, std::size_t count, long& frames, long& total);

private:
    std::string pending; // a line not yet complete
};
