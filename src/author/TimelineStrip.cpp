#include "author/TimelineStrip.hpp"

#include "author/EmbeddedFont.hpp"
#include "player/StartPoint.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace
{
constexpr unsigned NameSize = 14;
constexpr float NameRow = 3.f;     // the names' top, below the strip's top
constexpr float MarkTop = 22.f;    // label marks and the loop start below the names
constexpr float WaveMiddle = 55.f; // the waveform's centre line
constexpr float WaveHalf = 28.f;   // its height at full scale, either side
constexpr float ProblemTop = 86.f; // problem marks: small triangles along the bottom
constexpr float ProblemSize = 8.f;
constexpr float NameGap = 6.f;
constexpr std::size_t MostProblems = 256;
constexpr float FrameBarHeight = 20.f; // frame times rise from the bottom edge: this at twice the budget

const sf::Color PlateColour(0, 0, 0, 176);
const sf::Color UnknownColour(70, 70, 80, 110);
const sf::Color WaveColour(90, 170, 230);
const sf::Color LabelColour(120, 230, 160);
const sf::Color NameColour(190, 200, 195);
const sf::Color ProblemColour(235, 70, 70);
const sf::Color PlayheadColour(255, 255, 255);
const sf::Color LoopColour(80, 140, 255, 90);
const sf::Color PendingLoopColour(80, 140, 255, 55);
const sf::Color FrameColour(200, 200, 200, 120);
const sf::Color OverBudgetColour(255, 150, 30);
} // namespace

TimelineStrip::Track TimelineStrip::trackFor(unsigned windowWidth, unsigned windowHeight)
{
    Track result;
    result.left = Inset;
    result.width = std::max(1, static_cast<int>(windowWidth) - 2 * Inset);
    result.top = static_cast<int>(windowHeight) - Height;
    return result;
}

long TimelineStrip::spanFor(long known, long end)
{
    if (end >= 0)
        return std::max(end, 1L);
    known = std::max(known, 0L);
    const long ahead = std::max(RoomQuantum, known / 4);
    return (known + ahead + RoomQuantum - 1) / RoomQuantum * RoomQuantum;
}

long TimelineStrip::stepAt(int x, const Track& at, long steps)
{
    const std::int64_t along = std::clamp(x - at.left, 0, at.width);
    // Rounded to the nearest step, halves up, in whole numbers so that every caller agrees.
    return static_cast<long>((along * steps + at.width / 2) / at.width);
}

float TimelineStrip::xOf(long step, const Track& at, long steps)
{
    return static_cast<float>(at.left) +
           static_cast<float>(static_cast<double>(step) * at.width / static_cast<double>(std::max(steps, 1L)));
}

long TimelineStrip::previousLabel(const std::vector<LabelList::Entry>& all, long step)
{
    long found = -1;
    for (const LabelList::Entry& entry : all)
        if (entry.step >= 0 && entry.step < step)
            found = std::max(found, entry.step);
    return found;
}

long TimelineStrip::nextLabel(const std::vector<LabelList::Entry>& all, long step)
{
    long found = -1;
    for (const LabelList::Entry& entry : all)
        if (entry.step > step && (found < 0 || entry.step < found))
            found = entry.step;
    return found;
}

TimelineStrip::TimelineStrip()
{
    // The first hour's steps, so that recording while playing never allocates.
    amplitude.reserve(static_cast<std::size_t>(StartPoint::MaxSteps) + 1);
    frameTimes.reserve(static_cast<std::size_t>(StartPoint::MaxSteps) + 1);
    problems.reserve(MostProblems);
    plate.setFillColor(PlateColour);
    unknown.setFillColor(UnknownColour);
    playhead.setFillColor(PlayheadColour);
}

bool TimelineStrip::load()
{
    fontLoaded = font.loadFromMemory(EmbeddedFont::data(), EmbeddedFont::size());
    return fontLoaded;
}

void TimelineStrip::setLabels(const std::vector<LabelList::Entry>& found)
{
    labels = found;
    names.clear();
    for (const LabelList::Entry& entry : labels)
    {
        const std::string name = ":" + entry.name;
        names.emplace_back(sf::String::fromUtf8(name.begin(), name.end()), font, NameSize);
        names.back().setFillColor(NameColour);
    }
    nameShown.assign(labels.size(), false);
    marksDirty = true;
}

void TimelineStrip::addProblem(long step)
{
    const auto at = std::lower_bound(problems.begin(), problems.end(), step);
    if ((at != problems.end() && *at == step) || problems.size() >= MostProblems)
        return;
    problems.insert(at, step);
    marksDirty = true;
}

void TimelineStrip::forget(long from)
{
    if (static_cast<std::size_t>(std::max(from, 0L)) < amplitude.size())
        amplitude.resize(static_cast<std::size_t>(std::max(from, 0L)));
    if (static_cast<std::size_t>(std::max(from, 0L)) < frameTimes.size())
        frameTimes.resize(static_cast<std::size_t>(std::max(from, 0L)));
    problems.erase(std::lower_bound(problems.begin(), problems.end(), from), problems.end());
    span = -1;
}

void TimelineStrip::recordFrameTime(long step, double seconds)
{
    if (step < 0 || static_cast<std::size_t>(step) >= frameTimes.capacity())
        return;
    if (static_cast<std::size_t>(step) >= frameTimes.size())
        frameTimes.resize(static_cast<std::size_t>(step) + 1, 0.f);
    frameTimes[static_cast<std::size_t>(step)] = static_cast<float>(std::max(seconds, 0.0));
    dirtyFrom = dirtyFrom < 0 ? step : std::min(dirtyFrom, step);
    dirtyTo = std::max(dirtyTo, step);
}

void TimelineStrip::setBudget(double seconds)
{
    budgetSeconds = seconds > 0.0 ? seconds : budgetSeconds;
    span = -1;
}

bool TimelineStrip::overBudget(long step) const
{
    return step >= 0 && static_cast<std::size_t>(step) < frameTimes.size() &&
           frameTimes[static_cast<std::size_t>(step)] > static_cast<float>(budgetSeconds);
}

void TimelineStrip::record(long step, float level)
{
    if (step < 0 || static_cast<std::size_t>(step) >= amplitude.capacity())
        return;
    if (static_cast<std::size_t>(step) >= amplitude.size())
        amplitude.resize(static_cast<std::size_t>(step) + 1, 0);
    amplitude[static_cast<std::size_t>(step)] =
        static_cast<std::uint8_t>(std::lround(std::clamp(level, 0.f, 1.f) * 255.f));
    dirtyFrom = dirtyFrom < 0 ? step : std::min(dirtyFrom, step);
    dirtyTo = std::max(dirtyTo, step);
}

void TimelineStrip::layout(const Track& at, long steps)
{
    track = at;
    span = steps;
    plate.setPosition(0.f, static_cast<float>(track.top));
    plate.setSize(sf::Vector2f(static_cast<float>(track.left * 2 + track.width), static_cast<float>(Height)));
    waveform.resize(static_cast<std::size_t>(track.width) * 2);
    frameBars.resize(static_cast<std::size_t>(track.width) * 2);
    buildColumns(0, static_cast<std::size_t>(track.width) - 1);
    dirtyFrom = dirtyTo = -1;
    marksDirty = true;
}

void TimelineStrip::buildColumns(std::size_t first, std::size_t last)
{
    const std::int64_t columns = track.width;
    const float middle = static_cast<float>(track.top) + WaveMiddle;
    last = std::min(last, static_cast<std::size_t>(columns - 1));
    for (std::size_t column = first; column <= last; ++column)
    {
        // The loudest step among those the column covers (at least one).
        const auto c = static_cast<std::int64_t>(column);
        const std::int64_t from = c * span / columns;
        const std::int64_t to = std::max(from + 1, (c + 1) * span / columns);
        std::uint8_t peak = 0;
        for (std::int64_t step = from; step < to && step < static_cast<std::int64_t>(amplitude.size()); ++step)
            peak = std::max(peak, amplitude[static_cast<std::size_t>(step)]);
        const float half = peak == 0 ? 0.f : std::max(0.5f, WaveHalf * static_cast<float>(peak) / 255.f);
        const float x = static_cast<float>(track.left + static_cast<int>(column)) + 0.5f;
        sf::Color colour = WaveColour;
        colour.a = peak == 0 ? 0 : 255;
        waveform[column * 2] = sf::Vertex(sf::Vector2f(x, middle - half), colour);
        waveform[column * 2 + 1] = sf::Vertex(sf::Vector2f(x, middle + half + 1.f), colour);

        // The slowest frame among the column's steps; over the budget it is marked.
        float slowest = 0.f;
        bool over = false;
        for (std::int64_t step = from; step < to && step < static_cast<std::int64_t>(frameTimes.size()); ++step)
        {
            slowest = std::max(slowest, frameTimes[static_cast<std::size_t>(step)]);
            over = over || overBudget(step);
        }
        const float bottom = static_cast<float>(track.top + Height);
        const float height =
            slowest <= 0.f ? 0.f
                           : std::max(1.f, FrameBarHeight * std::min(1.f, slowest / static_cast<float>(2.0 * budgetSeconds)));
        sf::Color bar = over ? OverBudgetColour : FrameColour;
        bar.a = slowest <= 0.f ? 0 : bar.a;
        frameBars[column * 2] = sf::Vertex(sf::Vector2f(x, bottom - height), bar);
        frameBars[column * 2 + 1] = sf::Vertex(sf::Vector2f(x, bottom), bar);
    }
}

void TimelineStrip::placeMarks()
{
    marksDirty = false;
    const float top = static_cast<float>(track.top);
    labelMarks.resize(labels.size() * 2);
    float namesEnd = -1e9f;
    for (std::size_t i = 0; i < labels.size(); ++i)
    {
        const long step = labels[i].step;
        const float x = step >= 0 ? std::round(xOf(step, track, span)) + 0.5f : -10.f;
        labelMarks[i * 2] = sf::Vertex(sf::Vector2f(x, top + MarkTop), LabelColour);
        labelMarks[i * 2 + 1] = sf::Vertex(sf::Vector2f(x, top + static_cast<float>(Height)), LabelColour);
        // A name that would run into the one before it is left out; its mark stays.
        nameShown[i] = false;
        if (step < 0 || step > span || x < namesEnd + NameGap)
            continue;
        names[i].setPosition(std::round(x + 3.f), top + NameRow);
        nameShown[i] = fontLoaded;
        namesEnd = x + 3.f + names[i].getLocalBounds().width;
    }
    problemMarks.resize(problems.size() * 3);
    for (std::size_t i = 0; i < problems.size(); ++i)
    {
        const float x = xOf(problems[i], track, span);
        problemMarks[i * 3] = sf::Vertex(sf::Vector2f(x, top + ProblemTop), ProblemColour);
        problemMarks[i * 3 + 1] = sf::Vertex(sf::Vector2f(x - ProblemSize / 2.f, top + ProblemTop + ProblemSize), ProblemColour);
        problemMarks[i * 3 + 2] = sf::Vertex(sf::Vector2f(x + ProblemSize / 2.f, top + ProblemTop + ProblemSize), ProblemColour);
    }
}

void TimelineStrip::draw(sf::RenderTarget& target, const State& state)
{
    const sf::Vector2f size = target.getView().getSize();
    const Track now = trackFor(static_cast<unsigned>(size.x), static_cast<unsigned>(size.y));
    const long steps = spanFor(state.known, state.end);
    if (steps != span || now.left != track.left || now.width != track.width || now.top != track.top)
        layout(now, steps);
    else if (dirtyFrom >= 0)
    {
        // Only the columns that hold newly recorded steps change.
        const std::int64_t columns = track.width;
        const std::int64_t first = std::max<std::int64_t>(0, dirtyFrom * columns / span - 1);
        const std::int64_t last = (dirtyTo + 1) * columns / span + 1;
        buildColumns(static_cast<std::size_t>(first), static_cast<std::size_t>(std::min(last, columns - 1)));
        dirtyFrom = dirtyTo = -1;
    }
    if (marksDirty)
        placeMarks();

    const float top = static_cast<float>(track.top);
    const float right = static_cast<float>(track.left + track.width);
    target.draw(plate);
    if (state.end < 0)
    {
        // What lies past the furthest known step is room ahead, not the demo yet.
        const float from = std::min(xOf(state.known, track, span), right);
        unknown.setPosition(from, top + MarkTop);
        unknown.setSize(sf::Vector2f(right - from, static_cast<float>(Height) - MarkTop));
        target.draw(unknown);
    }
    if (state.loopStart >= 0)
    {
        const float from = xOf(state.loopStart, track, span);
        const float to = state.loopEnd >= 0 ? xOf(state.loopEnd, track, span) : from + 2.f;
        loop.setFillColor(state.loopPending ? PendingLoopColour : LoopColour);
        loop.setPosition(std::round(from), top + MarkTop);
        loop.setSize(sf::Vector2f(std::max(2.f, std::round(to) - std::round(from)), static_cast<float>(Height) - MarkTop));
        target.draw(loop);
    }
    target.draw(waveform);
    target.draw(frameBars);
    target.draw(labelMarks);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (nameShown[i])
            target.draw(names[i]);
    target.draw(problemMarks);
    playhead.setPosition(std::round(xOf(std::min(state.step, span), track, span)) - 1.f, top);
    playhead.setSize(sf::Vector2f(2.f, static_cast<float>(Height)));
    target.draw(playhead);
}
