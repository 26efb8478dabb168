#pragma once

#include <functional>
#include <ostream>
#include <streambuf>
#include <string>

// Sits between a console stream and its buffer: passes everything through unless muted, and
// hands every complete line to a listener (the author mode's problem panel). Installed on
// construction, the original buffer is put back on destruction.
class ConsoleTap : public std::streambuf
{
public:
    using Listener = std::function<void(const std::string& line)>;

    explicit ConsoleTap(std::ostream& stream);
    ~ConsoleTap() override;
    ConsoleTap(const ConsoleTap&) = delete;
    ConsoleTap& operator=(const ConsoleTap&) = delete;

    // Muted output reaches neither the console nor the listener (a re-simulation does not print
    // again what was printed when those steps first ran).
    bool muted = false;
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
