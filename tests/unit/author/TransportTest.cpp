#include "player/FrameTimer.hpp"
#include "author/Transport.hpp"

#include <gtest/gtest.h>

namespace
{
using Kind = Transport::Request::Kind;
using Key = sf::Keyboard::Key;

struct PressCase
{
    const char* what;
    bool paused;
    Key key;
    bool shift;
    long step;
    Kind kind;
    long target; // checked for seeks and single steps
};

const PressCase PressCases[] = {
    {"space pauses", false, sf::Keyboard::Space, false, 100, Kind::Changed, 0},
    {"period steps once while paused", true, sf::Keyboard::Period, false, 100, Kind::StepOnce, 101},
    {"period does nothing while playing", false, sf::Keyboard::Period, false, 100, Kind::None, 0},
    {"comma steps back while paused", true, sf::Keyboard::Comma, false, 100, Kind::Seek, 99},
    {"comma stays at the start", true, sf::Keyboard::Comma, false, 0, Kind::None, 0},
    {"comma does nothing while playing", false, sf::Keyboard::Comma, false, 100, Kind::None, 0},
    {"right seeks one second", false, sf::Keyboard::Right, false, 100, Kind::Seek, 160},
    {"shift right seeks ten seconds", false, sf::Keyboard::Right, true, 100, Kind::Seek, 700},
    {"left seeks back one second", true, sf::Keyboard::Left, false, 100, Kind::Seek, 40},
    {"left stops at the start", false, sf::Keyboard::Left, true, 100, Kind::Seek, 0},
    {"home goes to the start", false, sf::Keyboard::Home, false, 100, Kind::Seek, 0},
    {"F1 toggles the help", false, sf::Keyboard::F1, false, 100, Kind::ToggleHelp, 0},
    {"F3 toggles the overlay", false, sf::Keyboard::F3, false, 100, Kind::ToggleOverlay, 0},
    {"G toggles the labels", true, sf::Keyboard::G, false, 100, Kind::ToggleLabels, 0},
    {"page down asks for the next bar", false, sf::Keyboard::PageDown, false, 100, Kind::SeekBar, 1},
    {"page up asks for the bar before", true, sf::Keyboard::PageUp, false, 100, Kind::SeekBar, -1},
    {"N asks for the next label", false, sf::Keyboard::N, false, 100, Kind::SeekLabel, 1},
    {"P asks for the label before", true, sf::Keyboard::P, false, 100, Kind::SeekLabel, -1},
    {"other keys do nothing", false, sf::Keyboard::A, false, 100, Kind::None, 0},
};
} // namespace

TEST(Transport, KeyPressesAskForTheRightThing)
{
    for (const PressCase& c : PressCases)
    {
        Transport transport;
        transport.paused = c.paused;
        const Transport::Request request = transport.press(c.key, c.shift, c.step);
        EXPECT_EQ(request.kind, c.kind) << c.what;
        if (c.kind == Kind::Seek || c.kind == Kind::StepOnce)
        {
            EXPECT_EQ(request.step, c.target) << c.what;
        }
    }
}

TEST(Transport, StateLineNamesPauseTimeStepAndSpeed)
{
    Transport transport;
    EXPECT_EQ(transport.stateLine(270), "author: playing at 4.500 s (step 270)");
    transport.press(sf::Keyboard::Space, false, 270);
    transport.press(sf::Keyboard::RBracket, false, 270);
    EXPECT_EQ(transport.stateLine(741), "author: paused at 12.350 s (step 741), speed 2x");
    for (int i = 0; i < 3; ++i)
        transport.press(sf::Keyboard::LBracket, false, 741);
    EXPECT_EQ(transport.stateLine(1), "author: paused at 0.017 s (step 1), speed 1/4x");
}

TEST(Transport, SpeedIsStepsPerFrameBetweenAnEighthAndEight)
{
    Transport transport;
    for (int i = 0; i < 5; ++i)
        transport.press(sf::Keyboard::RBracket, false, 0);
    EXPECT_EQ(transport.speedText(), "8x");
    EXPECT_EQ(transport.stepsForFrame(1.f), 8) << "a long frame is clamped, then scaled";

    for (int i = 0; i < 5; ++i)
        transport.press(sf::Keyboard::LBracket, false, 0);
    EXPECT_EQ(transport.speedText(), "1/4x");
    transport.press(sf::Keyboard::LBracket, false, 0);
    transport.press(sf::Keyboard::LBracket, false, 0);
    EXPECT_EQ(transport.speedText(), "1/8x");
    int steps = 0;
    for (int frame = 0; frame < 16; ++frame)
        steps += transport.stepsForFrame(FrameTimer::Step);
    EXPECT_EQ(steps, 2) << "one step every eighth frame of 1/60 s";

    transport.paused = true;
    EXPECT_EQ(transport.stepsForFrame(1.f), 0);
}

TEST(Transport, LoopIsMarkedThenPlayedThenCleared)
{
    Transport transport;
    transport.press(sf::Keyboard::L, false, 300);
    EXPECT_FALSE(transport.hasLoop());
    EXPECT_EQ(transport.loopReturn(500), -1);
    transport.press(sf::Keyboard::L, false, 300);
    EXPECT_FALSE(transport.hasLoop()) << "an empty range is not a loop";
    transport.press(sf::Keyboard::L, false, 120); // the end may come before the start
    ASSERT_TRUE(transport.hasLoop());
    EXPECT_EQ(transport.loopStart, 120);
    EXPECT_EQ(transport.loopEnd, 300);
    EXPECT_EQ(transport.loopReturn(299), -1);
    EXPECT_EQ(transport.loopReturn(300), 120);
    transport.press(sf::Keyboard::L, false, 200);
    EXPECT_FALSE(transport.hasLoop());
    EXPECT_EQ(transport.loopStart, -1);
}

TEST(Transport, ADraggedLoopIsOrderedAndSaidOnTheConsole)
{
    const struct
    {
        const char* what;
        long from, to;
        bool set;
        long start, end;
        const char* line;
    } cases[] = {
        {"dragged forward", 240, 300, true, 240, 300, "author: loop 4.000 s to 5.000 s (steps 240 to 300)"},
        {"dragged backward", 300, 240, true, 240, 300, "author: loop 4.000 s to 5.000 s (steps 240 to 300)"},
        {"from the start", 61, 0, true, 0, 61, "author: loop 0.000 s to 1.017 s (steps 0 to 61)"},
        {"no movement keeps the loop there was", 500, 500, false, 100, 200,
         "author: loop 1.667 s to 3.333 s (steps 100 to 200)"},
    };
    for (const auto& c : cases)
    {
        Transport transport;
        transport.setLoop(100, 200);
        EXPECT_EQ(transport.setLoop(c.from, c.to), c.set) << c.what;
        EXPECT_EQ(transport.loopStart, c.start) << c.what;
        EXPECT_EQ(transport.loopEnd, c.end) << c.what;
        EXPECT_EQ(transport.loopLine(), c.line) << c.what;
        EXPECT_EQ(transport.loopReturn(c.end), c.start) << c.what;
    }
    // L's marks are said in the same words.
    Transport transport;
    EXPECT_EQ(transport.loopLine(), "author: no loop");
    transport.press(sf::Keyboard::L, false, 240);
    EXPECT_EQ(transport.loopLine(), "author: loop from 4.000 s (step 240)");
}
