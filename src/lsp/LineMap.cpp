#include "lsp/LineMap.hpp"

#include <algorithm>

namespace
{
// The length of the UTF-8 sequence at text[at] and its UTF-16 units (one per byte when invalid).
void step(const std::string& text, std::size_t at, std::size_t& length, int& units)
{
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    length = lead < 0x80 ? 1 : lead >= 0xF0 && lead < 0xF8 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (length > text.size() - at)
        length = 1;
    for (std::size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80)
            length = 1;
    units = length == 4 ? 2 : 1;
}
} // namespace

LineMap::LineMap(const std::string& text) : text(text)
{
    starts.push_back(0);
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        starts.push_back(at + 1);
}

std::size_t LineMap::lineStart(int index) const
{
    if (index < 0)
        return 0;
    if (index >= lineCount())
        return text.size();
    return starts[static_cast<std::size_t>(index)];
}

std::string LineMap::line(int index) const
{
    if (index < 0 || index >= lineCount())
        return std::string();
    const std::size_t begin = starts[static_cast<std::size_t>(index)];
    std::size_t end = index + 1 < lineCount() ? starts[static_cast<std::size_t>(index) + 1] - 1 : text.size();
    if (end > begin && text[end - 1] == '\r')
        --end;
    return text.substr(begin, end - begin);
}

std::size_t LineMap::offset(Position where) const
{
    if (where.line < 0)
        return 0;
    if (where.line >= lineCount())
        return text.size();
    const std::size_t begin = lineStart(where.line);
    std::size_t end = where.line + 1 < lineCount() ? starts[static_cast<std::size_t>(where.line) + 1] - 1 : text.size();
    // A place past the end of a CR LF line is before its CR: text typed there stays on the line.
    if (end > begin && text[end - 1] == '\r')
        --end;
    return begin + bytes(text.substr(begin, end - begin), where.character);
}

LineMap::Position LineMap::position(std::size_t at) const
{
    at = std::min(at, text.size());
    const auto after = std::upper_bound(starts.begin(), starts.end(), at);
    const int index = static_cast<int>(after - starts.begin()) - 1;
    const std::size_t begin = starts[static_cast<std::size_t>(index)];
    return {index, units(text.substr(begin, at - begin), at - begin)};
}

int LineMap::units(const std::string& text, std::size_t bytes)
{
    bytes = std::min(bytes, text.size());
    int count = 0;
    for (std::size_t at = 0; at < bytes;)
    {
        std::size_t length = 1;
        int unit = 1;
        step(text, at, length, unit);
        at += length;
        count += unit;
    }
    return count;
}

std::size_t LineMap::bytes(const std::string& text, int units)
{
    std::size_t at = 0;
    while (at < text.size() && units > 0)
    {
        std::size_t length = 1;
        int unit = 1;
        step(text, at, length, unit);
        at += length;
        units -= unit;
    }
    return at;
}
