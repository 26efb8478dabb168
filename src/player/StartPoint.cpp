#include "player/StartPoint.hpp"

#include "catalogs/DemoPaths.hpp"
#include "motion/StepRate.hpp"
#include "script/Script.hpp"
#include "script/ScriptFlow.hpp"

#include <cmath>
#include <cstdlib>
#include <fstream>

StartPoint::StartPoint(const std::string& text) : value(text)
{
    if (text.empty())
        return;
    char* end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(number))
        return;
    timed = true;
    seconds = number;
    timedStep = std::lround(seconds * StepRate::StepsPerSecond);
}

std::string StartPoint::undefinedLabel() const
{
    return "--start " + value + ": " + DemoPaths::Script + " defines no label \"" + value + "\"";
}

bool StartPoint::validate(std::string& error) const
{
    if (timed)
    {
        if (seconds >= 0.0 && seconds * StepRate::StepsPerSecond < static_cast<double>(MaxSteps))
            return true;
        error = "--start " + value + ": the time must lie between 0 and one hour";
        return false;
    }
    Script script;
    std::ifstream file(DemoPaths::Script);
    if (!file)
    {
        error = std::string("--start ") + value + ": cannot open " + DemoPaths::Script;
        return false;
    }
    script.parse(file);
    if (script.labels.count(value) == 0)
    {
        error = undefinedLabel();
        return false;
    }
    // Known before running: fast-forwarding the whole demo would only find the same.
    if (!ScriptFlow(script).reaches(value))
    {
        error = "--start " + value + ": the main flow never reaches label \"" + value + "\" (" +
                (value == Script::InitSection || value == Script::RenderSection
                     ? "it starts a section, which the player runs by label"
                     : "no path from the script's first line leads there") +
                "); start at a label of the main flow or at a time";
        return false;
    }
    return true;
}
