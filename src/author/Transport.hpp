#pragma once

#include "player/FrameTimer.hpp"

#include <SFML/Window/Keyboard.hpp>

#include <string>
#include <vector>

// The author's transport controls: pause, single steps, seeks, speed and a loop range. It only
// decides what a key press or a frame asks for; the application carries it out, so every seek
// lands on the state playing has at that step.
class Transport
{
public:
    static constexpr int MinSpeedExponent = -3; // 1/8x
    static constexpr int MaxSpeedExponent = 3;  // 8x

    // What a key press asks the application to do.
    struct Request
    {
        enum class Kind
        {
            None,         // a key the transport does not use
            Changed,      // pause, speed or loop changed: print the state line
            Seek,         // go to `step` (exactly: backwards by re-simulating from the start)
            StepOnce,     // run one step and show it
            ToggleHelp,   // show or hide the key panel
            ToggleOverlay, // show or hide the overlay
            SeekBar,       // to the neighbouring bar of the tempo grid: `step` is 1 (next) or -1
            ToggleLabels,  // show or hide the labels to warp to
            SeekLabel,     // to the neighbouring label of the main flow: `step` is 1 (next) or -1
            ToggleProfile  // show or hide the costliest lines and passes of the last second
        };
        Kind kind = Kind::None;
        long step = 0;
    };

    // The keys as the author reads of them: in the overlay's help ("keys", "what") and in
    // --help ("brief").
    struct KeyHelp
    {
        const char* keys;
        const char* what;
        const char* brief;
    };
    static const std::vector<KeyHelp>& keyHelp();

    // A key press at `step` (the steps run since the start).
    Request press(sf::Keyboard::Key key, bool shift, long step);

    // Steps to run in a frame that took frameTime seconds. At speed 1 it is the player's own
    // pacing (at most one step per frame, real time at most); at 2^e each of those steps becomes
    // 2^e, so at 8x a frame runs eight and at 1/2x a step comes every second frame.
    int stepsForFrame(float frameTime);

    // The step to return to when playing has just reached the end of the loop range; -1 when
    // there is none to return to.
    long loopReturn(long step) const;

    // "author: paused at 4.500 s (step 270)", with ", speed 2x" or ", speed 1/2x" when the speed
    // is not 1.
    std::string stateLine(long step) const;
    // The same without "author: ", for lines that say more first.
    std::string stateText(long step) const;
    // "2x", "1/2x", "1x".
    std::string speedText() const;
    static std::string speedText(int exponent);

    // A loop between two steps given in either order (a Shift drag on the timeline); false, and
    // nothing changes, when they are the same step.
    bool setLoop(long from, long to);
    // "author: loop 4.000 s to 5.000 s (steps 240 to 300)", "author: loop from 4.000 s (step 240)"
    // or "author: no loop".
    std::string loopLine() const;

    // Pause or play as Space does, for a request that says which.
    void setPaused(bool on);

    bool atNormalSpeed() const { return speedExponent == 0; }
    bool hasLoop() const { return loopEnd >= 0; }

    bool paused = false;
    int speedExponent = 0;
    long loopStart = -1; // -1: no mark
    long loopEnd = -1;   // -1: no range

private:
    FrameTimer timer;
    int slowTicks = 0; // ticks toward the next step below speed 1
};
