#pragma once

#include "motion/StepRate.hpp"

#include <string>

// Where --start asks the demo to begin: a value that reads wholly as a number is a time in
// seconds (round(seconds x 60) steps), anything else a label of the main flow.
class StartPoint
{
public:
    // A fast-forward to a label gives up after this much demo time.
    static constexpr long MaxSteps = 60L * 60L * StepRate::StepsPerSecond;

    explicit StartPoint(const std::string& text);

    // Before anything opens: a time within the first hour, or a label that the script in the
    // working directory defines and its main flow can reach. False with a one-line reason.
    bool validate(std::string& error) const;

    // "--start VALUE: assets/demo.script defines no label "VALUE"".
    std::string undefinedLabel() const;

    const std::string& text() const { return value; }
    bool byTime() const { return timed; }
    // The step a time lands on.
    long step() const { return timedStep; }

private:
    std::string value;
    bool timed = false;
    double seconds = 0.0;
    long timedStep = 0;
};
