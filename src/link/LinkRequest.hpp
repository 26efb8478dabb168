#pragma once

#include "motion/StepRate.hpp"

#include <string>

// One request line of author mode's control channel, read without trusting it: a JSON object
// with one key ({"seek": {"line": 60}}, {"pause": true}, {"speed": 2}, ...) gives a request, and
// anything else gives the reason it is refused. Reading never throws and never recurses deeper
// than a request can nest.
class LinkRequest
{
public:
    // A request line longer than this is refused without being read.
    static constexpr std::size_t LongestLine = 4096;
    // Times and steps past this many steps (a day) are refused as nonsense.
    static constexpr long LongestStep = 24L * 60L * 60L * StepRate::StepsPerSecond;

    enum class Kind
    {
        Invalid,   // `error` says why
        SeekStep,  // step
        SeekTime,  // step (the time's step: round(seconds x 60))
        SeekLabel, // label
        SeekLine,  // line (1-based, of the script file)
        Pause,
        Play,
        Step,      // step: how many steps, forward (> 0) or back (< 0)
        Speed,     // speedExponent: the speed is 2^speedExponent
        Loop,      // loopStart, loopEnd (steps)
        NoLoop,
        State
    };

    static LinkRequest read(const std::string& line);

    Kind kind = Kind::Invalid;
    std::string error;
    long step = 0;
    double seconds = 0.0;
    std::string label;
    int line = 0;
    int speedExponent = 0;
    long loopStart = 0;
    long loopEnd = 0;

private:
    static LinkRequest refused(const std::string& why);
};
