#pragma once

#include <cstdint>

// Colour alpha for an opacity: the low 8 bits of opacity x 255 truncated toward zero.
// Values beyond the 32-bit range (and NaN) give 0 instead of undefined behaviour.
inline std::uint8_t opacityToAlpha(float opacity)
{
    const float scaled = opacity * 255.f;
    if (!(scaled > -2147483648.f && scaled < 2147483648.f))
        return 0;
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(static_cast<std::int32_t>(scaled)) & 0xFFu);
}
