#include "author/LabelList.hpp"

#include "motion/StepRate.hpp"

#include <algorithm>
#include <cstdio>

namespace
{
std::string whenText(long step)
{
    if (step < 0)
        return "not reached";
    return StepRate::stepText(step) + " (step " + std::to_string(step) + ")";
}
} // namespace

void LabelList::open(std::vector<Entry> found)
{
    labels = std::move(found);
    chosen = 0;
    top = 0;
    for (std::size_t i = 0; i < labels.size(); ++i)
        if (labels[i].step >= 0)
        {
            chosen = i;
            break;
        }
    follow();
    shown = true;
}

long LabelList::press(sf::Keyboard::Key key)
{
    if (!shown || labels.empty())
        return -1;
    switch (key)
    {
    case sf::Keyboard::Up:
        chosen = chosen == 0 ? labels.size() - 1 : chosen - 1;
        follow();
        return -1;
    case sf::Keyboard::Down:
        chosen = chosen + 1 == labels.size() ? 0 : chosen + 1;
        follow();
        return -1;
    case sf::Keyboard::Enter:
        if (labels[chosen].step < 0)
            return -1;
        shown = false;
        return labels[chosen].step;
    default: return -1;
    }
}

void LabelList::follow()
{
    if (chosen < top)
        top = chosen;
    else if (chosen >= top + MostShown)
        top = chosen + 1 - MostShown;
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
    const std::size_t end = std::min(labels.size(), top + MostShown);
    if (top > 0)
        shownLines.push_back("  ... " + std::to_string(top) + " more above");
    for (std::size_t i = top; i < end; ++i)
    {
        const Entry& entry = labels[i];
        shownLines.push_back(std::string(i == chosen ? "> :" : "  :") + entry.name + "\t" + whenText(entry.step) +
                             "   line " + std::to_string(entry.fileLine));
    }
    if (end < labels.size())
        shownLines.push_back("  ... " + std::to_string(labels.size() - end) + " more below");
    return shownLines;
}

int LabelList::chosenLine() const
{
    if (labels.empty())
        return -1;
    return static_cast<int>(1 + (top > 0 ? 1 : 0) + (chosen - top));
}

std::string LabelList::choiceText() const
{
    if (labels.empty())
        return "the main flow has no labels";
    const Entry& entry = labels[chosen];
    const std::string when = whenText(entry.step);
    return "label :" + entry.name + (entry.step >= 0 ? " at " : " ") + when + ", line " +
           std::to_string(entry.fileLine);
}
