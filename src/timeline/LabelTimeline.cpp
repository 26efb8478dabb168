#include "timeline/LabelTimeline.hpp"

#include "catalogs/DemoPaths.hpp"
#include "motion/StepRate.hpp"
#include "player/Player.hpp"
#include "player/StartPoint.hpp"
#include "script/Script.hpp"
#include "script/ScriptFlow.hpp"
#include "script/TimelineDocument.hpp"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

namespace
{
// The seek's own line for a label it does not reach goes nowhere: the timeline says it.
class QuietErrors
{
public:
    QuietErrors() : previous(std::cerr.rdbuf(nowhere.rdbuf())) {}
    ~QuietErrors() { std::cerr.rdbuf(previous); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

private:
    std::ostringstream nowhere;
    std::streambuf* previous;
};
} // namespace

void LabelTimeline::compute(Player& player)
{
    Script script;
    std::ifstream file(DemoPaths::Script);
    script.parse(file);
    // Console lines of the demo are printed once by playing, not by the run here.
    player.markPrinted(StartPoint::MaxSteps);
    std::vector<int> lines;
    for (int definition : ScriptFlow(script).mainFlowLabels())
    {
        const std::size_t i = static_cast<std::size_t>(definition);
        Arrival arrival;
        arrival.label = script.lines[i].params[0];
        arrival.line = script.fileLines[i];
        arrivals.push_back(arrival);
        // A label is arrived at on the line after its definition.
        lines.push_back(definition + 1);
    }
    // One quiet run from the start notes where the main flow first arrives at every label (the
    // step a seek to that label lands on) and where the demo ends: a seek per label would run the
    // demo again from the start for each.
    QuietErrors quiet;
    player.rewind();
    const std::vector<long> steps = player.arrivals(lines, &length);
    for (std::size_t i = 0; i < arrivals.size(); ++i)
        arrivals[i].step = steps[i];
}

void LabelTimeline::print(std::ostream& out) const
{
    std::size_t width = 0;
    for (const Arrival& arrival : arrivals)
        width = std::max(width, arrival.label.size() + 1);
    for (const Arrival& arrival : arrivals)
    {
        std::string name = ":" + arrival.label;
        name.resize(width + 2, ' ');
        out << name
            << (arrival.step < 0 ? std::string("never reached")
                                 : StepRate::stepText(arrival.step) + " (step " + std::to_string(arrival.step) + ")")
            << "  " << DemoPaths::Script << ":" << arrival.line << "\n";
    }
    if (length < 0)
        out << "length: plays on past the first hour\n";
    else
        out << "length: " << StepRate::stepText(length) << " (" << length << " steps)\n";
}

nlohmann::json LabelTimeline::json() const
{
    TimelineDocument document;
    document.script = DemoPaths::Script;
    for (const Arrival& arrival : arrivals)
        document.labels.push_back({arrival.label, arrival.line, arrival.step});
    document.length = length;
    return document.toJson();
}
