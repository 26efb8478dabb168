#include "author/ProblemFeed.hpp"

#include "author/ErrorPanel.hpp"
#include "author/TimelineStrip.hpp"
#include "catalogs/DemoPaths.hpp"
#include "cutscene/GameCutscene.hpp"
#include "player/Player.hpp"

#include <algorithm>

namespace
{
// "path:line" of a stored line of the script playing, or empty.
std::string scriptPlace(int stored)
{
    const GameCutscene& cutscene = GameCutscene::instance();
    if (stored < 0 || stored >= cutscene.script.lineCount())
        return std::string();
    return std::string(DemoPaths::Script) + ":" +
           std::to_string(cutscene.script.fileLines[static_cast<std::size_t>(stored)]);
}
} // namespace

ProblemFeed::ProblemFeed(const Player& demo, ErrorPanel& problems, TimelineStrip& timeline, const sf::Clock& wallClock)
    : player(demo), panel(problems), strip(timeline), clock(wallClock)
{
    listening = Problem::listen([this](const Problem& problem) { hear(problem); });
}

void ProblemFeed::hear(const Problem& problem)
{
    if (&problem == held)
        return;
    show(placed(problem));
}

void ProblemFeed::hearLine(const std::string& line)
{
    if (!line.empty())
        show(placed(line));
}

void ProblemFeed::show(const std::string& text)
{
    if (player.quietNow())
    {
        if (!gathered)
            return;
        strip.addProblem(player.steps());
        if (std::find(gathered->begin(), gathered->end(), text) == gathered->end())
            gathered->push_back(text);
        return;
    }
    strip.addProblem(player.steps());
    panel.add(text, clock.getElapsedTime().asSeconds());
}

std::string ProblemFeed::placed(const Problem& problem)
{
    int stored = GameCutscene::instance().interp.executingLine;
    if (stored < 0)
        stored = problem.storedLine();
    return problem.panelText(scriptPlace(stored));
}

std::string ProblemFeed::placed(const std::string& line)
{
    return ErrorPanel::describe(line, scriptPlace(GameCutscene::instance().interp.executingLine));
}
