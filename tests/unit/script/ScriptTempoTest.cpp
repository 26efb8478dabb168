#include "ScriptTestSupport.hpp"

#include "catalogs/MusicManager.hpp"

#include <cmath>

using namespace scripttest;

namespace
{
const float StepTime = 1.f / 60.f;

// The steps (counted as the player counts them, from 1) in which the script logged a line.
std::vector<long> loggedSteps(const std::string& text, long steps)
{
    MusicManager& music = MusicManager::instance();
    music.restart();
    Bound<> bound(text);
    std::vector<long> logged;
    for (long i = 0; i < steps; ++i)
    {
        music.advanceClock(StepTime);
        const Output output = capture([&] { bound.interp.update(StepTime); });
        EXPECT_EQ(output.err, "");
        if (output.out.find("LOG: ") != std::string::npos)
            logged.push_back(music.songClock().step);
    }
    return logged;
}
} // namespace

// Ten minutes of a bar loop: every bar's line runs in the step nearest the bar's exact time,
// with no drift, whether the loop waits in bars or in beats, with or without an offset.
TEST(ScriptTempo, EveryBarLandsOnItsNearestStepForTenMinutes)
{
    struct Case
    {
        const char* script;
        double bpm;
        int beatsPerBar;
        double offset;
    };
    const Case cases[] = {
        {"tempo 174\n:bar\nlog bar\ndelay_bars 1\ngoto bar\n", 174.0, 4, 0.0},
        {"tempo 174, 4\n:bar\nlog bar\ndelay_beats 4\ngoto bar\n", 174.0, 4, 0.0},
        {"tempo 174, 3, 0.2\ndelay_bars 1\n:bar\nlog bar\ndelay_bars 1\ngoto bar\n", 174.0, 3, 0.2},
        {"tempo 97.5, 7\n:bar\nlog bar\ndelay_beats 7\ngoto bar\n", 97.5, 7, 0.0},
    };
    const long tenMinutes = 10 * 60 * 60;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.script);
        const std::vector<long> logged = loggedSteps(c.script, tenMinutes);
        const double barSteps = c.beatsPerBar * 60.0 / c.bpm * 60.0;
        ASSERT_GT(logged.size(), static_cast<std::size_t>(tenMinutes / barSteps) - 2);
        // The first line runs in step 1, before the grid's first bar at step 0 has a line.
        for (std::size_t i = 1; i < logged.size(); ++i)
        {
            const double exact = c.offset * 60.0 + static_cast<double>(i) * barSteps;
            ASSERT_LE(std::fabs(static_cast<double>(logged[i]) - exact), 0.5) << "bar " << i << " at " << logged[i];
        }
    }
}

TEST(ScriptTempo, DelayBeatsWaitsFromTheLastBeat)
{
    // 120 BPM: a beat every 30 steps. Line 1 runs in step 1, after beat 0 (step 0): the next beat
    // is at 30; from there two beats are 60 steps; delay_beats 0 waits for the next step only.
    const std::vector<long> logged =
        loggedSteps("tempo 120\nlog a\ndelay_beats 1\nlog b\ndelay_beats 2\nlog c\ndelay_beats 0\nlog d\n", 200);
    EXPECT_EQ(logged, (std::vector<long>{1, 30, 90, 91}));
}

TEST(ScriptTempo, ImpossibleTempoIsReportedAndKeepsTheGrid)
{
    MusicManager::instance().restart();
    Bound<> bound("tempo 90, 3\ntempo 0\ntempo 120, 0\n");
    const Output output = capture([&] { bound.interp.update(StepTime); });
    EXPECT_EQ(output.err, "ScriptInterp: (tempo @2) the tempo needs more than 0 beats a minute and at least 1 beat a "
                          "bar; the grid stays as it was.\n"
                          "ScriptInterp: (tempo @3) the tempo needs more than 0 beats a minute and at least 1 beat a "
                          "bar; the grid stays as it was.\n");
    EXPECT_EQ(bound.interp.tempo.bpm(), 90.0);
    EXPECT_EQ(bound.interp.tempo.beatsPerBar(), 3);
    // A fresh start forgets the script's tempo.
    bound.interp.rewind();
    EXPECT_EQ(bound.interp.tempo.bpm(), TempoGrid::DefaultBpm);
}
