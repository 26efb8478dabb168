#pragma once

#include <nlohmann/json_fwd.hpp>

#include <ostream>
#include <string>
#include <vector>

class Player;

// When playing first arrives at each label of the main flow (the step --start LABEL lands on), and
// how long the demo plays, found in one quiet run from the start.
class LabelTimeline
{
public:
    struct Arrival
    {
        std::string label;
        int line = 0;    // 1-based line of the definition in the script
        long step = -1;  // -1: never reached (the demo ends first, or not in the first hour)
    };

    // Runs the demo in the working directory with a loaded player.
    void compute(Player& player);

    void print(std::ostream& out) const;
    nlohmann::json json() const;

    std::vector<Arrival> arrivals;
    long length = -1; // steps until the demo ends; -1: it plays on past the first hour
};
