#include "effects/Random.hpp"

namespace
{
// A 32-bit linear congruential generator; the output is bits 16..30 of the state, which are far
// better mixed than the low bits.
constexpr std::uint32_t InitialState = 1u;
std::uint32_t state = InitialState;
} // namespace

std::int32_t Random::next()
{
    state = state * 1103515245u + 12345u;
    return static_cast<std::int32_t>((state >> 16) & 0x7FFFu);
}

float Random::range(float min, float max)
{
    const float r = static_cast<float>(next());
    return min + (r / static_cast<float>(Max)) * (max - min);
}

void Random::restart()
{
    state = InitialState;
}

std::uint32_t Random::position()
{
    return state;
}

void Random::setPosition(std::uint32_t at)
{
    state = at;
}
