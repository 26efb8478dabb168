#pragma once

#include <cstddef>
#include <functional>
#include <streambuf>
#include <string>

// A stream buffer that hands every complete line written to it to a listener, and passes what is
// written on to another buffer, or drops it when there is none. The console tap of author mode
// and the quiet console of a seek are both made of it.
class LineSplitBuffer : public std::streambuf
{
public:
    using Listener = std::function<void(const std::string& line)>;

    // A runaway line is cut at this length rather than grown without bound.
    static constexpr std::size_t LongestLine = 4096;

    explicit LineSplitBuffer(std::streambuf* through = nullptr) : through(through) {}

    Listener listener;

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char_type* text, std::streamsize count) override;
    int sync() override;

    std::streambuf* through;

private:
    void take(const char_type* text, std::streamsize count);

    std::string pending; // the line being written, for the listener
};
