#pragma once

#include "author/LabelList.hpp"

#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/RectangleShape.hpp>
#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Text.hpp>
#include <SFML/Graphics/VertexArray.hpp>

#include <cstdint>
#include <vector>

// Author mode's timeline along the bottom of the window (never in the demo's picture): the steps
// of the demo from 0 to its end (or as far as playing has gone, with room ahead), the playhead,
// the main flow's labels, the loop range, the steps where problems were reported and the song's
// waveform where it plays. It maps the pointer's x to a step and back; the application carries
// out the seeks. Steady frames allocate nothing: the shapes and texts are made when the labels,
// the problems or the steps shown change.
class TimelineStrip
{
public:
    static constexpr int Height = 96; // along the window's bottom edge
    static constexpr int Inset = 32;  // the track keeps this far from the left and right edges
    // Steps of room ahead while the end is not known are whole multiples of this (10 s).
    static constexpr long RoomQuantum = 600;

    // Where the track lies in a window: step 0 at x = left, the last step of the span at
    // x = left + width; the strip takes the rows from top to the bottom edge.
    struct Track
    {
        int left = Inset;
        int width = 1;
        int top = 0;
    };
    static Track trackFor(unsigned windowWidth, unsigned windowHeight);

    // The steps the strip spans: the demo's end when known (at least 1), otherwise the furthest
    // known step with room ahead (a quarter more, at least 10 s), rounded up to 10 s.
    static long spanFor(long known, long end);
    // The step under the pointer at x: round((x - left) * span / width), clamped to 0..span.
    static long stepAt(int x, const Track& track, long span);
    // Where a step lies along the track (the inverse of stepAt, unclamped).
    static float xOf(long step, const Track& track, long span);
    // Among the labels' steps (-1: not reached; any order): the greatest before `step` / the
    // smallest after it, -1 when there is none.
    static long previousLabel(const std::vector<LabelList::Entry>& labels, long step);
    static long nextLabel(const std::vector<LabelList::Entry>& labels, long step);

    TimelineStrip();

    // The bundled font; false when it cannot be read (the names are then not drawn).
    bool load();
    // The labels to mark, with their names.
    void setLabels(const std::vector<LabelList::Entry>& labels);
    // A problem was reported in this step.
    void addProblem(long step);
    // The demo changed (a reload): what was learned of the steps from `from` on no longer holds.
    void forget(long from);
    // What the music had at the end of a step, 0..1.
    void record(long step, float amplitude);
    // How long the frame that showed a step took, in seconds; shown along the strip, and marked
    // where it is over the budget.
    void recordFrameTime(long step, double seconds);
    void setBudget(double seconds);
    double budget() const { return budgetSeconds; }
    // The frame that showed the step took longer than the budget.
    bool overBudget(long step) const;

    // The pointer at y (in the target's coordinates) is on the strip of this track.
    static bool contains(float y, const Track& track) { return y >= static_cast<float>(track.top); }

    struct State
    {
        long step = 0;
        long known = 0; // the furthest step known
        long end = -1;  // the step the demo ends in, -1: not known
        long loopStart = -1;
        long loopEnd = -1;
        bool loopPending = false; // a Shift drag not released yet shows the range it would set
    };
    void draw(sf::RenderTarget& target, const State& state);

private:
    void layout(const Track& track, long span);
    void buildColumns(std::size_t first, std::size_t last);
    void placeMarks();

    sf::Font font;
    bool fontLoaded = false;
    std::vector<LabelList::Entry> labels;
    std::vector<sf::Text> names;
    std::vector<bool> nameShown;
    std::vector<long> problems;
    // The music's peak per step, 0..255, for the steps run so far (reserved for the first hour).
    std::vector<std::uint8_t> amplitude;
    // The frame time per step in seconds, 0 where none was recorded (reserved as amplitude is).
    std::vector<float> frameTimes;
    double budgetSeconds = 1.0 / 60.0;
    long dirtyFrom = -1; // steps recorded since the columns were made
    long dirtyTo = -1;
    bool marksDirty = true;

    Track track;
    long span = -1; // the span the shapes were made for (-1: none yet)
    sf::RectangleShape plate;
    sf::RectangleShape unknown; // the steps past what is known yet
    sf::RectangleShape loop;
    sf::RectangleShape playhead;
    sf::VertexArray waveform{sf::Lines};
    sf::VertexArray frameBars{sf::Lines};
    sf::VertexArray labelMarks{sf::Lines};
    sf::VertexArray problemMarks{sf::Triangles};
};
