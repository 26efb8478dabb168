#pragma once

#include "player/LineSplitBuffer.hpp"

#include <streambuf>

// Silences the console (std::cout, std::cerr and SFML's error stream) while a seek plays again
// steps whose lines have been printed once already: each line of the demo is printed once.
class ConsoleQuiet
{
public:
    using Listener = LineSplitBuffer::Listener;

    ConsoleQuiet() = default;
    ConsoleQuiet(const ConsoleQuiet&) = delete;
    ConsoleQuiet& operator=(const ConsoleQuiet&) = delete;
    ~ConsoleQuiet();

    // On: every stream writes into nothing; off: each gets back the buffer it had.
    void set(bool on);

    // While set, each complete line written quietly to standard error or SFML's error stream
    // (problems, not the script's output) is handed to it instead of being dropped; null drops
    // them all. Author mode listens while a reload runs back to the author's step, when the
    // lines of a changed script have never been printed.
    void hearErrors(Listener listener);

private:
    // Buffers that pass nothing on.
    LineSplitBuffer discard;      // standard output
    LineSplitBuffer errorDiscard; // standard error and SFML's error stream
    std::streambuf* out = nullptr;
    std::streambuf* err = nullptr;
    std::streambuf* sfmlErr = nullptr;
    bool on = false;
};
