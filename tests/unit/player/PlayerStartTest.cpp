#include "player/Player.hpp"
#include "player/StartPoint.hpp"
#include "player/FrameTimer.hpp"
#include "cutscene/GameCutscene.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
// Render counts the frames in flag 3; the label "here" is first reached by a jump, after the
// main flow has already passed the label's position.
const char* const JumpScript = R"(goto later
:here
set_flag 1, 5
delay 1
exit
:later
set_flag 2, 1
delay 0.2
goto here
:init
exit
:render
add_flag 3, 1
exit
)";

// A fresh cutscene with the script loaded in a temporary working directory.
class FastForward : public testing::Test
{
protected:
    void SetUp() override
    {
        previous = fs::current_path();
        dir = fs::temp_directory_path() / ("kestrune-ff-" + std::to_string(::getpid()));
        fs::create_directories(dir / "assets");
        fs::current_path(dir);
    }

    void TearDown() override
    {
        fs::current_path(previous);
        fs::remove_all(dir);
    }

    void load(const char* script)
    {
        std::ofstream("assets/demo.script") << script;
        GameCutscene& cutscene = GameCutscene::instance();
        for (auto& flag : cutscene.flags)
            flag = 0;
        cutscene.clearScene();
        cutscene.loadScript("assets/demo.script");
    }

    fs::path previous;
    fs::path dir;
};
} // namespace

TEST_F(FastForward, LabelStopsAfterTheStepThatArrivesThereAsPlayingDoes)
{
    GameCutscene& cutscene = GameCutscene::instance();
    testing::internal::CaptureStdout();
    load(JumpScript);
    Player played;
    int steps = 0;
    do
    {
        played.update();
        played.renderScene();
        ++steps;
    } while (cutscene.flags[1] != 5 && steps < 1000);
    const auto playedFlags = cutscene.flags;
    const int playedPc = cutscene.interp.pc;

    load(JumpScript);
    Player skipped;
    EXPECT_TRUE(skipped.seekTo(StartPoint("here")));
    testing::internal::GetCapturedStdout();

    EXPECT_GT(steps, 10); // the jump, not the first step's pass over the label's position
    EXPECT_EQ(skipped.time(), played.time());
    EXPECT_EQ(cutscene.flags, playedFlags);
    EXPECT_EQ(cutscene.flags[3], steps); // the render section ran after every step, the arrival's too
    EXPECT_EQ(skipped.steps(), steps);
    EXPECT_EQ(cutscene.interp.pc, playedPc);
    EXPECT_EQ(cutscene.interp.followers.watchLine, -1);
}

TEST_F(FastForward, TimeRunsRoundedStepsAndAnEndBeforeTheStartFails)
{
    testing::internal::CaptureStdout();
    load(JumpScript);
    Player timed;
    const bool timedOk = timed.seekTo(StartPoint("0.509"));
    Player reference;
    for (int i = 0; i < 31; ++i)
        reference.update();
    const float timedTime = timed.time();

    // The second script's render section, run after the main flow has ended, waits in a delay:
    // the interpreter runs again, yet the demo has ended and no window was closed.
    const char* const endingScripts[] = {
        "delay 0.1\nexit\n:init\nexit\n:render\nexit\n",
        "delay 0.1\nset_flag 1, 1\nexit\n:init\nexit\n:render\nif %flag_1, 1\ndelay 1\nendif\nexit\n"};
    std::vector<bool> endedOk;
    std::vector<std::string> endedErr, expectedErr;
    for (const char* script : endingScripts)
    {
        load(script);
        Player toTheEnd;
        int steps = 0;
        while (toTheEnd.running() && steps < 1000)
        {
            toTheEnd.update();
            toTheEnd.renderScene();
            ++steps;
        }
        load(script);
        Player ended;
        testing::internal::CaptureStderr();
        endedOk.push_back(ended.seekTo(StartPoint("2")));
        endedErr.push_back(testing::internal::GetCapturedStderr());
        std::ostringstream expected;
        expected << "kestrune: --start 2: the demo ends after " << steps << " steps (" << steps / 60.0
                 << " s), before the start point\n";
        expectedErr.push_back(expected.str());
    }

    // A label the main flow never reaches: it ends first.
    load(JumpScript);
    Player never;
    testing::internal::CaptureStderr();
    const bool neverOk = never.seekTo(StartPoint("init"));
    const std::string neverErr = testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();

    EXPECT_TRUE(timedOk);
    EXPECT_EQ(timedTime, reference.time());
    EXPECT_EQ(endedOk, std::vector<bool>(2, false));
    EXPECT_EQ(endedErr, expectedErr);
    EXPECT_FALSE(neverOk);
    EXPECT_NE(neverErr.find("before the start point"), std::string::npos) << neverErr;
}

// --timeline's one run: the arrivals and the end of the demo from the same quiet run, the end where
// a seek past it stops, and a demo that never ends said so.
TEST_F(FastForward, ArrivalsWithTheEndRunOnToTheDemosEnd)
{
    const char* const ending = ":one\ndelay 0.5\n:two\ndelay 1\nexit\n:init\nexit\n:render\nexit\n";
    const char* const endless = ":one\ndelay 0.5\n:two\ndelay 1\ngoto two\n:init\nexit\n:render\nexit\n";
    struct Row
    {
        const char* script;
        bool ends;
    };
    for (const Row& row : {Row{ending, true}, Row{endless, false}})
    {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        load(row.script);
        Player seeker;
        const bool pastTheEnd = seeker.seekTo(StartPoint::MaxSteps);
        const long endStep = pastTheEnd ? -1 : seeker.steps();

        load(row.script);
        Player player;
        std::vector<int> lines;
        for (const char* name : {"one", "two"})
            lines.push_back(GameCutscene::instance().script.labels.at(name));
        const std::vector<long> alone = player.arrivals(lines);
        long end = -2;
        const std::vector<long> withEnd = player.arrivals(lines, &end);
        testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();

        EXPECT_EQ(withEnd, alone) << row.script;
        EXPECT_GT(withEnd[1], withEnd[0]) << row.script;
        EXPECT_EQ(end, row.ends ? endStep : -1) << row.script;
        EXPECT_EQ(pastTheEnd, !row.ends) << row.script;
        EXPECT_EQ(player.steps(), 0) << "the player is back where it was";
    }
}

TEST_F(FastForward, ArrivalsAreWhereLabelSeeksLandAndTheDemoStaysWhereItWas)
{
    // "never" is only reached after an hour; "gone" is after the exit.
    const char* const script = R"(:first
set_flag 1, 1
delay 0.5
:second
goto here
:here
set_flag 2, 1
delay 3700
:never
exit
:gone
exit
:init
exit
:render
add_flag 3, 1
exit
)";
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const std::vector<std::string> names = {"first", "second", "here", "never", "gone"};
    std::vector<long> landed;
    for (const std::string& name : names)
    {
        load(script);
        Player seeker;
        landed.push_back(seeker.seekTo(StartPoint(name)) ? seeker.steps() : -1);
    }

    load(script);
    Player player;
    EXPECT_TRUE(player.seekTo(40));
    const auto flagsBefore = GameCutscene::instance().flags;
    std::vector<int> lines;
    for (const std::string& name : names)
        lines.push_back(GameCutscene::instance().script.labels.at(name));
    const std::vector<long> arrived = player.arrivals(lines);
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();

    EXPECT_EQ(arrived, landed);
    EXPECT_EQ(arrived[3], -1);
    EXPECT_GT(arrived[1], 1);
    EXPECT_EQ(player.steps(), 40);
    EXPECT_EQ(GameCutscene::instance().flags, flagsBefore) << "the render count included";
    EXPECT_TRUE(GameCutscene::instance().interp.followers.arrivedLines.empty());

    // With snapshots the arrivals of the steps run so far are remembered and the run goes on
    // from the furthest step: the same steps, the first time and when asked again.
    load(script);
    Player tracked;
    tracked.keepSnapshots(std::size_t(64) << 20);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_TRUE(tracked.seekTo(40));
    const std::vector<long> first = tracked.arrivals(lines);
    const long steps = tracked.steps();
    const std::vector<long> again = tracked.arrivals(lines);
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(first, landed);
    EXPECT_EQ(again, landed);
    EXPECT_EQ(steps, 40);
    EXPECT_EQ(tracked.steps(), 40);
}

// Why a start point cannot be reached comes back as a value, which is exactly the reason the
// printing seek reports after its heading, and nothing is printed then: an undefined label, a label the main flow
// never reaches, a time past the demo's end. A start that lands gives no reason.
TEST_F(FastForward, TheStartsFailureIsAValueWithThePrintedLine)
{
    struct Row
    {
        const char* start;
        bool lands;
        const char* reason; // a part of the line
    };
    const Row rows[] = {
        {"nowhere", false, "defines no label \"nowhere\""},
        {"init", false, "before the start point"},
        {"99", false, "the demo ends after"},
        {"later", true, ""},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.start);
        testing::internal::CaptureStdout();
        load(JumpScript);
        testing::internal::GetCapturedStdout();

        Player printing;
        testing::internal::CaptureStderr();
        const bool printedLanded = printing.seekTo(StartPoint(row.start));
        const std::string printed = testing::internal::GetCapturedStderr();

        load(JumpScript);
        Player asValue;
        std::string failure = "left over";
        testing::internal::CaptureStderr();
        const bool landed = asValue.seekTo(StartPoint(row.start), failure);
        const std::string quiet = testing::internal::GetCapturedStderr();

        EXPECT_EQ(landed, row.lands);
        EXPECT_EQ(printedLanded, row.lands);
        EXPECT_EQ(quiet, "");
        EXPECT_EQ(printing.steps(), asValue.steps());
        if (row.lands)
        {
            EXPECT_EQ(failure, "");
            EXPECT_EQ(printed, "");
        }
        else
        {
            EXPECT_EQ(printed, "kestrune: " + failure + "\n");
            EXPECT_EQ(failure.rfind("--start ", 0), 0u) << failure;
            EXPECT_NE(failure.find(row.reason), std::string::npos) << failure;
        }
    }
}

// The interpreter keeps what it records for a player's seeks; a player that goes leaves no record
// behind for the run to write into or the next player to read.
TEST_F(FastForward, ThePlayersRecordsGoWithIt)
{
    testing::internal::CaptureStdout();
    load(JumpScript);
    testing::internal::GetCapturedStdout();
    GameCutscene& cutscene = GameCutscene::instance();
    {
        Player player;
        const int here = cutscene.script.labels.at("here");
        std::vector<long> arrived;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        player.keepSnapshots(std::size_t(64) << 20);
        arrived = player.arrivals({here});
        player.seekTo(30);
        testing::internal::GetCapturedStderr();
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(arrived.size(), 1u);
        EXPECT_GT(arrived[0], 0);
        ASSERT_GT(cutscene.interp.followers.arrivalSteps.size(), static_cast<std::size_t>(here));
        EXPECT_EQ(cutscene.interp.followers.arrivalSteps[static_cast<std::size_t>(here)], arrived[0]);
        EXPECT_FALSE(cutscene.interp.followers.touchedLines.empty());
    }
    EXPECT_TRUE(cutscene.interp.followers.touchedLines.empty());
    EXPECT_TRUE(cutscene.interp.followers.arrivalSteps.empty());
    EXPECT_TRUE(cutscene.interp.followers.arrivedLines.empty());
    // The run goes on without anyone following it.
    testing::internal::CaptureStdout();
    cutscene.interp.update(1.f / 60.f);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(cutscene.interp.followers.touchedLines.empty());
}
