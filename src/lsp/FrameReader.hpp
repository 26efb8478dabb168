#pragma once

#include <cstddef>
#include <string>

// The protocol's base layer: messages framed by a "Content-Length: N" header block and an empty
// line. Bytes are fed as they arrive, in pieces of any size; whole message bodies come out. A
// header block without a usable length, or a length beyond MaxBody, is a framing error: it is
// reported once, and reading goes on at the next "Content-Length" header (what lies before it,
// the refused body too, is dropped).
class FrameReader
{
public:
    // A 10 MB document is an ordinary message; anything far beyond is refused unread.
    static constexpr std::size_t MaxBody = 64u << 20;
    static constexpr std::size_t MaxHeader = 8192;

    enum class Result
    {
        Message,  // `out` holds a body
        Error,    // `out` says what was wrong with the frame
        NeedMore  // nothing complete yet
    };

    void feed(const char* data, std::size_t size);
    Result next(std::string& out);

    // The frame of a body, ready to write.
    static std::string frame(const std::string& body);

private:
    std::string buffer;
    std::size_t used = 0;      // bytes of `buffer` already handed out
};
