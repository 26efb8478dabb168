#pragma once

#include <functional>
#include <ostream>
#include <streambuf>
#include <string>

// Sits between a console stream and its buffer: passes everything through, and hands every
// complete line to a listener (the author mode's problem panel). Installed on construction, the
// original buffer is put back on destruction. A quiet seek (ConsoleQuiet) replaces the tap itself
// for its steps, so it silences the console and the listener alike; a tap must therefore be
// made or destroyed only while the console is not quiet.
class ConsoleTap : public std::streambuf
{
public:
    using Listener = std::function<void(const std::string& line)>;

    explicit ConsoleTap(std::ostream& stream);
    ~ConsoleTap() override;
    ConsoleTap(const ConsoleTap&) = delete;
    ConsoleTap& operator=(const ConsoleTap&) = delete;

    Listener listener;

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    void take(const char* text, std::streamsize count);

    std::ostream& stream;
    std::streambuf* original;
    std::string pending; // the line being written, for the listener
};
