#pragma once

// `kestrune --lsp`: the language server on standard input and output. The protocol owns the
// original standard output; anything else the program prints there (a script's log lines) goes
// to standard error instead.
class StdioServer
{
public:
    // Runs until "exit" or the end of input; the process's exit status.
    static int run();
};
