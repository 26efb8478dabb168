#pragma once

#include "player/LineSplitBuffer.hpp"

#include <ostream>

// Sits between a console stream and its buffer: passes everything through, and hands every
// complete line to its listener (the author mode's problem panel). Installed on construction, the
// original buffer is put back on destruction. A quiet seek (ConsoleQuiet) replaces the tap itself
// for its steps, so it silences the console and the listener alike; a tap must therefore be
// made or destroyed only while the console is not quiet.
class ConsoleTap : public LineSplitBuffer
{
public:
    explicit ConsoleTap(std::ostream& stream);
    ~ConsoleTap() override;
    ConsoleTap(const ConsoleTap&) = delete;
    ConsoleTap& operator=(const ConsoleTap&) = delete;

private:
    std::ostream& stream;
};
