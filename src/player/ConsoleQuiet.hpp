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

    // While set, each complete line written quietly to SFML's error stream is handed to it
    // instead of being dropped; null drops them all. Author mode listens while a reload runs back
    // to the author's step, when the problems of a changed demo have never been printed; our own
    // problems it hears as values (Problem), not as lines.
    void hearErrors(Listener listener);

    bool isOn() const { return on; }

private:
    // Buffers that pass nothing on.
    LineSplitBuffer discard;      // standard output and standard error
    LineSplitBuffer errorDiscard; // SFML's error stream
    std::streambuf* out = nullptr;
    std::streambuf* err = nullptr;
    std::streambuf* sfmlErr = nullptr;
    bool on = false;
};
