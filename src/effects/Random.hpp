#pragma once

#include <cstdint>

// The program's one pseudo-random sequence: integers 0..32767 inclusive, never seeded, so every
// run repeats it. Our own generator, so the range and the sequence do not depend on the C library.
namespace Random
{
constexpr std::int32_t Max = 32767;

// The next value of the sequence.
std::int32_t next();

// min + (r / 32767) * (max - min) in 32-bit floats, r the next value.
float range(float min, float max);

// Puts the sequence back at its start (a rewind of the player to its first step, and tests).
void restart();

// Where the sequence is, and back there (a snapshot of a playing demo).
std::uint32_t position();
void setPosition(std::uint32_t at);
} // namespace Random
