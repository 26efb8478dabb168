#include "check/Utf8.hpp"

namespace
{
bool continuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}
} // namespace

std::size_t Utf8::invalidAt(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size())
    {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80)
        {
            ++i;
            continue;
        }
        // The allowed range of the second byte narrows for E0, ED, F0 and F4 (no overlong forms,
        // no surrogates, nothing above U+10FFFF).
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF)
            length = 2;
        else if (lead >= 0xE0 && lead <= 0xEF)
        {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        }
        else if (lead >= 0xF0 && lead <= 0xF4)
        {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        }
        if (length == 0 || i + length > text.size())
            return i;
        const unsigned char second = static_cast<unsigned char>(text[i + 1]);
        if (second < low || second > high)
            return i;
        for (std::size_t k = 2; k < length; ++k)
            if (!continuation(static_cast<unsigned char>(text[i + k])))
                return i;
        i += length;
    }
    return std::string_view::npos;
}
