#pragma once

#include <string>

// The player's fixed step, and how a time reads. Everything that counts in steps (the timer, the
// song's analysis frames, seeks, a full-rate render) counts this many a second; the lowest room
// holds it so that every room reads the same number.
namespace StepRate
{
constexpr int StepsPerSecond = 60;

// A time as the author reads it: "S.SSS s".
std::string secondsText(double seconds);
// The time of a step, as secondsText.
std::string stepText(long step);
// Whole minutes and seconds, "M:SS", for how long a render has left.
std::string clockText(double seconds);
} // namespace StepRate
