#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Where the lines of a text start, to turn the protocol's positions (line, UTF-16 unit) into byte
// offsets and back. Text that is not UTF-8 counts one unit per byte it cannot decode.
class LineMap
{
public:
    struct Position
    {
        int line = 0;
        int character = 0;
    };

    explicit LineMap(const std::string& text);

    int lineCount() const { return static_cast<int>(starts.size()); }
    // The line's bytes without its end ("\n" or "\r\n").
    std::string line(int index) const;
    std::size_t lineStart(int index) const;

    // The byte offset of a position; positions past a line's end or the text's end are clamped.
    std::size_t offset(Position position) const;
    Position position(std::size_t offset) const;

    // UTF-16 units of the first `bytes` bytes of `text`, and back.
    static int units(const std::string& text, std::size_t bytes);
    static std::size_t bytes(const std::string& text, int units);

private:
    const std::string& text;
    std::vector<std::size_t> starts;
};
