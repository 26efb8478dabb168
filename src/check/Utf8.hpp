#pragma once

#include <cstddef>
#include <string_view>

// Where a text stops being valid UTF-8: a Latin-1 "Café" shows broken letters on screen.
class Utf8
{
public:
    // The offset of the first byte that does not belong to a well-formed sequence (overlong
    // forms, surrogates and values beyond U+10FFFF included), or npos when the text is valid.
    static std::size_t invalidAt(std::string_view text);
};
