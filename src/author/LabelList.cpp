#include "author/LabelList.hpp"

#include "player/FrameTimer.hpp"

#include <cstdio>

void LabelList::open(std::vector<Entry> found)
{
    labels = std::move(found);
    chosen = 0;
    for (std::size_t i = 0; i < labels.size(); ++i)
        if (labels[i].step >= 0)
        {
            chosen = i;
            break;
        }
    shown = true;
}

long LabelList::press(sf::Keyboard::Key key)
{
    if (!shown || labels.empty())
        return -1;
    switch (key)
    {
    case sf::Keyboard::Up: chosen = chosen == 0 ? labels.size() - 1 : chosen - 1; return -1;
    case sf::Keyboard::Down: chosen = chosen + 1 == labels.size() ? 0 : chosen + 1; return -1;
    case sf::Keyboard::Enter:
        if (labels[chosen].step < 0)
            return -1;
        shown = false;
        return labels[chosen].step;
    default: return -1;
    }
}

std::vector<std::string> LabelList::lines() const
{
    std::vector<std::string> shownLines;
    if (labels.empty())
    {
        shownLines.push_back("the main flow has no labels   (G closes)");
        return shownLines;
    }
    shownLines.push_back("labels: Up / Down choose, Enter goes there, G closes");
    for (std::size_t i = 0; i < labels.size(); ++i)
    {
        const Entry& entry = labels[i];
        char when[64];
        if (entry.step >= 0)
            std::snprintf(when, sizeof when, "%.3f s (step %ld)",
                          static_cast<double>(entry.step) / FrameTimer::StepsPerSecond, entry.step);
        else
            std::snprintf(when, sizeof when, "not reached");
        shownLines.push_back(std::string(i == chosen ? "> :" : "  :") + entry.name + "\t" + when + "   line " +
                             std::to_string(entry.fileLine));
    }
    return shownLines;
}
