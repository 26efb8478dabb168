#include "author/Transport.hpp"

#include "motion/StepRate.hpp"

#include <algorithm>
#include <cstdio>

namespace
{
constexpr long ShortSeekSteps = 1 * StepRate::StepsPerSecond;
constexpr long LongSeekSteps = 10 * StepRate::StepsPerSecond;

Transport::Request changed()
{
    return {Transport::Request::Kind::Changed, 0};
}

Transport::Request seek(long step)
{
    return {Transport::Request::Kind::Seek, std::max(0L, step)};
}
} // namespace

const std::vector<Transport::KeyHelp>& Transport::keyHelp()
{
    static const std::string speeds = "double / halve the speed (" + Transport::speedText(MinSpeedExponent) + " to " +
                                      Transport::speedText(MaxSpeedExponent) + ")";
    static const std::vector<KeyHelp> keys = {
        {"Space", "pause / play", "Space pause"},
        {". (period)", "while paused: one step forward", ". and , one step"},
        {", (comma)", "while paused: one step back", nullptr},
        {"Right, Left", "seek 1 s (with Shift: 10 s)", "Left/Right seek"},
        {"Home", "back to the start", "Home start"},
        {"], [", speeds.c_str(), "[ ] speed"},
        {"L", "mark a loop's start, then its end; again: no loop", "L loop"},
        {"PageUp, PageDown", "previous / next bar of the tempo grid", "PageUp/PageDown bars"},
        {"G", "labels of the main flow and when it reaches them: Up/Down, Enter goes there", "G labels"},
        {"P, N", "previous / next label of the main flow", "P/N labels"},
        {"mouse", "timeline: click or drag seeks; Shift+drag sets the loop", nullptr},
        {"F1", "this help", "F1 help"},
        {"F3", "show / hide the overlay and timeline (problems stay shown)", "F3 overlay"},
        {"F4", "show / hide the costliest script lines and passes of the last second", "F4 profile"},
        {"Escape", "quit; during a long seek: stop it there", nullptr},
    };
    return keys;
}

Transport::Request Transport::press(sf::Keyboard::Key key, bool shift, long step)
{
    using Kind = Request::Kind;
    switch (key)
    {
    case sf::Keyboard::Space:
        paused = !paused;
        timer.accumulator = 0.f;
        return changed();
    case sf::Keyboard::Period: return paused ? Request{Kind::StepOnce, step + 1} : Request{};
    case sf::Keyboard::Comma: return paused && step > 0 ? seek(step - 1) : Request{};
    case sf::Keyboard::Right: return seek(step + (shift ? LongSeekSteps : ShortSeekSteps));
    case sf::Keyboard::Left: return seek(step - (shift ? LongSeekSteps : ShortSeekSteps));
    case sf::Keyboard::Home: return seek(0);
    case sf::Keyboard::RBracket: speedExponent = std::min(speedExponent + 1, MaxSpeedExponent); return changed();
    case sf::Keyboard::LBracket: speedExponent = std::max(speedExponent - 1, MinSpeedExponent); return changed();
    case sf::Keyboard::L:
        // Mark the start, then the end (in either order), then clear.
        if (hasLoop())
            loopStart = loopEnd = -1;
        else if (loopStart < 0)
            loopStart = step;
        else if (step != loopStart)
        {
            loopEnd = std::max(step, loopStart);
            loopStart = std::min(step, loopStart);
        }
        return changed();
    case sf::Keyboard::G: return {Kind::ToggleLabels, 0};
    case sf::Keyboard::N: return {Kind::SeekLabel, 1};
    case sf::Keyboard::P: return {Kind::SeekLabel, -1};
    case sf::Keyboard::PageDown: return {Kind::SeekBar, 1};
    case sf::Keyboard::PageUp: return {Kind::SeekBar, -1};
    case sf::Keyboard::F1: return {Kind::ToggleHelp, 0};
    case sf::Keyboard::F3: return {Kind::ToggleOverlay, 0};
    case sf::Keyboard::F4: return {Kind::ToggleProfile, 0};
    default: return {};
    }
}

int Transport::stepsForFrame(float frameTime)
{
    if (paused)
        return 0;
    // The player's own pacing gives the ticks: at most one per frame, one per 1/60 s of real
    // time. At speed 2^e a tick runs 2^e steps; at 1/2^e every 2^e-th tick runs one, so at 1/2x a
    // step comes on every second frame.
    const int ticks = timer.advance(frameTime);
    if (speedExponent >= 0)
        return ticks << speedExponent;
    slowTicks += ticks;
    const int steps = slowTicks >> -speedExponent;
    slowTicks -= steps << -speedExponent;
    return steps;
}

void Transport::setPaused(bool on)
{
    paused = on;
    timer.accumulator = 0.f;
}

bool Transport::setLoop(long from, long to)
{
    if (from == to)
        return false;
    loopStart = std::min(from, to);
    loopEnd = std::max(from, to);
    return true;
}

std::string Transport::loopLine() const
{
    if (hasLoop())
        return "author: loop " + StepRate::stepText(loopStart) + " to " + StepRate::stepText(loopEnd) + " (steps " +
               std::to_string(loopStart) + " to " + std::to_string(loopEnd) + ")";
    if (loopStart >= 0)
        return "author: loop from " + StepRate::stepText(loopStart) + " (step " + std::to_string(loopStart) + ")";
    return "author: no loop";
}

long Transport::loopReturn(long step) const
{
    return hasLoop() && step >= loopEnd ? loopStart : -1;
}

std::string Transport::speedText() const
{
    return speedText(speedExponent);
}

std::string Transport::speedText(int exponent)
{
    char text[16];
    if (exponent >= 0)
        std::snprintf(text, sizeof text, "%dx", 1 << exponent);
    else
        std::snprintf(text, sizeof text, "1/%dx", 1 << -exponent);
    return text;
}

std::string Transport::stateLine(long step) const
{
    return "author: " + stateText(step);
}

std::string Transport::stateText(long step) const
{
    std::string line = std::string(paused ? "paused" : "playing") + " at " + StepRate::stepText(step) + " (step " +
                       std::to_string(step) + ")";
    if (!atNormalSpeed())
        line += ", speed " + speedText();
    return line;
}
