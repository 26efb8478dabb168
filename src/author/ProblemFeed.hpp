#pragma once

#include "report/Problem.hpp"

#include <SFML/System/Clock.hpp>

#include <string>
#include <vector>

class ErrorPanel;
class Player;
class TimelineStrip;

// Author mode's ear for the problems the demo reports: each one, placed at the script line that
// was running, is shown on the panel for a while and marks the timeline at the current step. Our
// own problems are heard as values from Problem's listeners, not read back from standard error;
// SFML's prints, which have no other way out, are handed in as lines.
//
// While the player's console is quiet (a seek runs steps printed once already) nothing is shown;
// a reload, whose steps back to the author's were never printed with the saved files, gathers
// what it meets instead.
class ProblemFeed
{
public:
    ProblemFeed(const Player& player, ErrorPanel& panel, TimelineStrip& strip, const sf::Clock& clock);
    ProblemFeed(const ProblemFeed&) = delete;
    ProblemFeed& operator=(const ProblemFeed&) = delete;

    // A line of SFML's error stream.
    void hearLine(const std::string& line);
    // While set, what is heard while the console is quiet is marked on the timeline and each
    // distinct text is added to `into` once; null: it is dropped.
    void gather(std::vector<std::string>* into) { gathered = into; }
    // A problem that author mode reports itself and the panel holds already: not shown again.
    void hold(const Problem* problem) { held = problem; }

    // The panel's text of a problem or a line, placed at the script line that was running (or,
    // for the interpreter's own problems, the line they name).
    static std::string placed(const Problem& problem);
    static std::string placed(const std::string& line);

private:
    void hear(const Problem& problem);
    void show(const std::string& text);

    const Player& player;
    ErrorPanel& panel;
    TimelineStrip& strip;
    const sf::Clock& clock;
    std::vector<std::string>* gathered = nullptr;
    const Problem* held = nullptr;
    Problem::Listening listening;
};
