#include "player/Player.hpp"
#include "player/PlayState.hpp"
#include "cutscene/GameCutscene.hpp"
#include "scene/PassElision.hpp"

#include "ConsoleCapture.hpp"
#include "SeekMoments.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <vector>

#include <unistd.h>

#ifdef KESTRUNE_TEST_GL
namespace fs = std::filesystem;
using testsupport::capture;
using namespace seekmoments;

namespace
{
// Steps played after a landing before the state is compared again: what a snapshot left out
// (a uniform, a pose, the random sequence, a buffer's pixels) shows in the frames that follow.
constexpr long PlayOn = 10;

std::string demoScript()
{
    std::ifstream in(fs::path(KESTRUNE_SOURCE_DIR) / "assets" / "demo.script");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The bundled demo (music, fade, text, three particle systems, shader uniforms, animations, a
// buffer lent to the scene) with a trail: a buffer cleared once and drawn into every frame, so
// that every frame's picture depends on all the frames before it.
std::string withTrail()
{
    std::string script = demoScript();
    const std::string init = ":init\n";
    script.insert(script.find(init) + init.size(), "create_buffer trail\nclear_buffer trail\n"
                                                   "object_set_alpha trail, 0.5\n"
                                                   "create_object dot, star, 0, 0\nobject_set_pos dot, 100, 300\n"
                                                   "object_tween_x dot, 1600, 9\n");
    const std::string show = "display_buffer main\n";
    script.insert(script.find(show), "draw_object trail, dot\ndisplay_buffer trail\ndraw_buffer main, trail\n");
    return script;
}

struct Case
{
    const char* name;
    std::string script;
};

struct Landing
{
    bool arrived = false;
    Moment at;
    Moment later;
    std::string seekOutput;
};

// Seeks to `step`, then plays on as --render does.
Landing landOn(Player& app, long step)
{
    Landing landing;
    const testsupport::Output seek = capture([&] { landing.arrived = app.seekTo(step); });
    landing.seekOutput = seek.out + seek.err;
    landing.at = momentOf(app, false);
    capture([&] {
        for (long k = 0; k < PlayOn; ++k)
            app.step();
        app.renderOwed();
    });
    landing.later = momentOf(app, true);
    return landing;
}

// What the kept snapshots hold, added up one by one.
std::size_t heldBytes(const SnapshotStore& store)
{
    std::size_t sum = 0;
    long at = 0;
    // Snapshots lie on multiples of the spacing: the step before one is never another's own.
    for (long step = std::numeric_limits<long>::max(); const PlayState* state = store.atOrBefore(step, false, at);
         step = at - 1)
        sum += state->bytes();
    return sum;
}

void expectSame(const Landing& a, const Landing& b)
{
    EXPECT_EQ(a.arrived, b.arrived);
    EXPECT_EQ(withoutAddresses(a.at.state), withoutAddresses(b.at.state));
    EXPECT_TRUE(samePixels(a.at.scene, b.at.scene));
    EXPECT_EQ(withoutAddresses(a.later.state), withoutAddresses(b.later.state));
    EXPECT_TRUE(samePixels(a.later.scene, b.later.scene));
    EXPECT_EQ(a.later.random, b.later.random);
}
} // namespace

// A seek that starts from a kept snapshot lands on the state and the pixels that a seek from
// step 0 lands on, and the frames after it are the same too: back and forth, between snapshots
// and on them, with a buffer that is never cleared.
TEST(SnapshotSeek, LandingFromASnapshotEqualsLandingFromTheStart)
{
    const DemoCopy demo("kestrune-snapshots");

    Player app;
    ASSERT_TRUE(loadsCleanly(app));
    GameCutscene& cutscene = GameCutscene::instance();
    const Case cases[] = {{"bundled demo", demoScript()}, {"trail", withTrail()}};
    // Back and forth; on a snapshot's step (every 60 at first) and between them.
    const long targets[] = {200, 130, 120, 61, 60, 179, 15};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::ofstream("assets/demo.script") << c.script;
        cutscene.clearScene();
        cutscene.loadScript("assets/demo.script");
        app.rewind();
        app.forgetPrinted();
        app.keepSnapshots(0);

        std::vector<Landing> fromStart;
        for (long target : targets)
        {
            app.rewind();
            fromStart.push_back(landOn(app, target));
        }

        // Played through once: snapshots are taken as the demo plays.
        app.keepSnapshots(std::size_t(2) << 30);
        app.rewind();
        capture([&] {
            for (long k = 0; k < 210; ++k)
                app.step();
        });
        EXPECT_EQ(app.snapshotStore().count(), 3u);
        for (std::size_t i = 0; i < std::size(targets); ++i)
        {
            SCOPED_TRACE(targets[i]);
            const Landing landing = landOn(app, targets[i]);
            expectSame(landing, fromStart[i]);
            // Its steps were printed when the demo was played.
            EXPECT_EQ(landing.seekOutput, "");
        }
        app.keepSnapshots(0);
    }
}

// Right after start-up, a seek far ahead passes its snapshots without drawing, so they do not
// know the trail's pixels; the landing, which needs them, is still exact, as are the seeks after
// it. The store's memory is what its snapshots hold, through every replacement of a snapshot of
// unknown pixels by one that knows them, and stays within the budget.
TEST(SnapshotSeek, ALandingThatNeedsDrawnContentIsExactWhenTheNearestPixelsAreUnknown)
{
    const DemoCopy demo("kestrune-snapshot-unknown");
    std::ofstream("assets/demo.script") << withTrail();
    Player app;
    ASSERT_TRUE(loadsCleanly(app));
    // From step 0 with every pass drawn, as --draw-all does.
    const long targets[] = {300, 150, 330};
    std::vector<Landing> played;
    PassElision::enabled = false;
    for (long target : targets)
    {
        app.rewind();
        played.push_back(landOn(app, target));
    }
    PassElision::enabled = true;

    auto landEverywhere = [&](std::size_t budget) {
        SCOPED_TRACE(budget);
        app.keepSnapshots(0);
        app.keepSnapshots(budget);
        app.rewind();
        app.forgetPrinted();
        for (std::size_t i = 0; i < std::size(targets); ++i)
        {
            SCOPED_TRACE(targets[i]);
            expectSame(landOn(app, targets[i]), played[i]);
            const SnapshotStore& store = app.snapshotStore();
            EXPECT_GT(store.count(), 0u);
            EXPECT_EQ(store.bytes(), heldBytes(store));
            EXPECT_LE(store.bytes(), budget);
        }
    };
    landEverywhere(std::size_t(2) << 30);
    // Half of what that ended with: the snapshots must be thinned out.
    landEverywhere(app.snapshotStore().bytes() / 2);
    app.keepSnapshots(0);
}

namespace
{
std::string replacedOnce(std::string text, const std::string& from, const std::string& to)
{
    text.replace(text.find(from), from.size(), to);
    return text;
}
} // namespace

// The snapshots' budget holds for the memory the process holds: what they add to the resident
// size stays within it (with a little room for what the heap keeps around). The bundled demo's
// text makes the fonts' glyph pages part of every snapshot.
TEST(SnapshotSeek, TheBudgetHoldsAsResidentMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer keeps freed memory in quarantine: resident sizes say nothing here";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "AddressSanitizer keeps freed memory in quarantine: resident sizes say nothing here";
#endif
#endif
    const DemoCopy demo("kestrune-snapshot-budget");
    Player app;
    ASSERT_TRUE(loadsCleanly(app));
    auto residentBytes = [] {
        std::ifstream status("/proc/self/statm");
        std::size_t pages = 0, resident = 0;
        status >> pages >> resident;
        return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    };
    // Everything but the snapshots once (glyphs, caches, the driver's own), then with them.
    capture([&] { app.seekTo(1300); });
    app.rewind();
    const std::size_t before = residentBytes();
    const std::size_t budget = std::size_t(24) << 20;
    app.keepSnapshots(budget);
    capture([&] { app.seekTo(1300); });
    const std::size_t grown = residentBytes() - std::min(before, residentBytes());
    EXPECT_LE(app.snapshotStore().bytes(), budget);
    EXPECT_GE(app.snapshotStore().count(), 4u);
    EXPECT_LE(grown, budget + (std::size_t(16) << 20)) << "snapshots: " << app.snapshotStore().count() << ", "
                                                        << app.snapshotStore().bytes() << " bytes counted";
    app.keepSnapshots(0);
}

// After a saved script, the snapshots of the steps it cannot change stay, and a seek that starts
// from one lands where a seek from step 0 of the saved version lands (state, pixels, the frames
// after); a save that changes what ran early leaves none. Lines inserted, removed and changed at
// the start, in the middle and at the end, one and several, beside identical lines; the first
// version played on, or reached by seeks back and forth that start from snapshots.
TEST(SnapshotSeek, ASavedScriptKeepsOnlyTheSnapshotsItCannotChange)
{
    const DemoCopy demo("kestrune-snapshot-reload");

    const std::string base = demoScript();
    const std::string titleDelay = "object_tween_rect_w title, 664, 2.5, %ease_in_out_sine\ndelay 1\n";
    const std::string twoDelays = replacedOnce(base, titleDelay, titleDelay + "delay 1\n");
    const std::string headline = "display_text headline, \"letters, light and motion\", 470, 330, 0, -1\n";
    const std::vector<long> played = {599}; // the first 600 steps, in one seek
    struct Row
    {
        const char* what;
        std::string saved;
        long target;
        std::size_t kept; // of the snapshots taken (one a second from step 60), those that stay
        std::string before;
        std::vector<long> reach; // the seeks that reach the first version's steps
    };
    const Row rows[] = {
        {"closing words, run at the end", replacedOnce(base, "thank you for watching", "thanks for watching"), 590, 9, base, played},
        {"a line before the sections (moves them)", replacedOnce(base, ":init\n", "log unreached\n:init\n"), 450, 9, base, played},
        {"the loop's first line, first run at 8.7 s", replacedOnce(base, "add_flag 0, 1", "add_flag 0, 2"), 590, 8, base, played},
        {"the loop's label defined again after the end",
         replacedOnce(base, ":init\n", ":orbit\nexit\n:init\n"), 590, 8, base, played},
        {"a line of the sections run from the first step", replacedOnce(base, "object_set_scale sky, 4", "object_set_scale sky, 3.9"), 300, 0, base, played},
        {"a line inserted before the first", "log first\n" + base, 300, 0, base, played},
        {"lines inserted after the first: the demo ends in its second second",
         replacedOnce(base, "play_music arpeggio\n", "play_music arpeggio\ndelay 1\nexit\n"), 590, 0, base, played},
        {"a line inserted where the flow runs on at 2.5 s", replacedOnce(base, headline, headline + "object_set_pos planet, 200, 300\n"), 590, 2, base, played},
        {"lines inserted before the main flow's exit", replacedOnce(base, "delay 3.5\nexit\n", "delay 3.5\nlog a\nlog b\nexit\n"), 590, 9, base, played},
        {"a line removed at 2.5 s", replacedOnce(base, headline + "delay 1\n", headline), 590, 2, base, played},
        {"lines removed at the start", replacedOnce(base, "play_music arpeggio\nfade_in 2\n", ""), 300, 0, base, played},
        {"lines removed at the end", replacedOnce(base, "fade_out_music 3\nfade_out 3\n", ""), 590, 9, base, played},
        {"one of two identical delays removed", base, 590, 2, twoDelays, played},
        {"a delay added beside an identical one", twoDelays, 590, 2, base, played},
        {"a line first run at 3.5 s, reached by seeks back and forth",
         replacedOnce(base, "object_tween_alpha planet, 1, 2\n", "object_tween_alpha planet, 1, 3\n"), 290, 3, base,
         {130, 70, 300}},
    };
    Player app;
    ASSERT_TRUE(loadsCleanly(app));
    GameCutscene& cutscene = GameCutscene::instance();
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.what);
        // The saved version from step 0.
        std::ofstream("assets/demo.script") << row.saved;
        cutscene.clearScene();
        cutscene.loadScript("assets/demo.script");
        app.keepSnapshots(0);
        app.rewind();
        app.forgetPrinted();
        const Landing fresh = landOn(app, row.target);

        // The first version, then the saved one in its place.
        std::ofstream("assets/demo.script") << row.before;
        cutscene.clearScene();
        cutscene.loadScript("assets/demo.script");
        app.keepSnapshots(std::size_t(2) << 30);
        app.rewind();
        app.forgetPrinted();
        capture([&] {
            for (long step : row.reach)
                app.seekTo(step);
        });
        if (row.reach == played)
            ASSERT_EQ(app.snapshotStore().count(), 9u);
        std::ofstream("assets/demo.script") << row.saved;
        capture([&] { app.reload({"assets/demo.script"}); });
        EXPECT_EQ(app.snapshotStore().count(), row.kept);
        // The steps played count as printed: the seek may start from a snapshot.
        expectSame(landOn(app, row.target), fresh);
        app.keepSnapshots(0);
    }
}

// The step the demo was seen to end in stays known after a save only when the save cannot change
// that step; when it can, the labels and lines past the old end are found where the saved
// version reaches them.
TEST(SnapshotSeek, TheEndStaysKnownOnlyWhenASaveCannotChangeIt)
{
    const DemoCopy demo("kestrune-snapshot-end");
    const std::string base = demoScript();
    struct Row
    {
        const char* what;
        std::string saved;
        bool endStays;
    };
    const Row rows[] = {
        {"lines inserted before the exit run in the ending step",
         replacedOnce(base, "delay 3.5\nexit\n", "delay 3.5\nlog later\ndelay 1\nexit\n"), false},
        {"the exit run in the ending step made a delay", replacedOnce(base, "delay 3.5\nexit\n", "delay 3.5\ndelay 1\n:after\nexit\n"), false},
        {"a line run before the ending step", replacedOnce(base, "delay 3.5\nexit\n", "delay 4.5\nexit\n"), false},
        {"a line after the exit", replacedOnce(base, "delay 3.5\nexit\n", "delay 3.5\nexit\nlog never\n"), true},
    };
    Player app;
    ASSERT_TRUE(loadsCleanly(app));
    GameCutscene& cutscene = GameCutscene::instance();
    // The stored line of the main flow's exit.
    auto exitLine = [&] {
        for (int line = 0; line < cutscene.script.lineCount(); ++line)
            if (cutscene.script.lines[static_cast<std::size_t>(line)].command == "exit")
                return line;
        return -1;
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.what);
        // Without snapshots a reload forgets everything known, the end too.
        app.keepSnapshots(0);
        std::ofstream("assets/demo.script") << row.saved;
        capture([&] { app.reload({"assets/demo.script"}); });
        long freshExit = -1;
        capture([&] { freshExit = app.arrivals({exitLine()}).front(); });
        ASSERT_GT(freshExit, 0);

        app.keepSnapshots(0);
        std::ofstream("assets/demo.script") << base;
        capture([&] { app.reload({"assets/demo.script"}); });
        app.keepSnapshots(std::size_t(2) << 30);
        app.forgetPrinted();
        capture([&] { EXPECT_FALSE(app.seekTo(100000)); });
        const long end = app.endStep();
        ASSERT_GT(end, 0);
        std::ofstream("assets/demo.script") << row.saved;
        capture([&] { app.reload({"assets/demo.script"}); });
        EXPECT_EQ(app.endStep(), row.endStays ? end : -1);
        long exitAfterSave = -1;
        capture([&] { exitAfterSave = app.arrivals({exitLine()}).front(); });
        EXPECT_EQ(exitAfterSave, freshExit);
        app.keepSnapshots(0);
    }
}
#endif
