#include "player/Player.hpp"
#include "cutscene/GameCutscene.hpp"

#include "ConsoleCapture.hpp"
#include "SeekMoments.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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
    Moment at;
    Moment later;
    std::string seekOutput;
};

// Seeks to `step`, then plays on as --render does.
Landing landOn(Player& app, long step)
{
    Landing landing;
    const testsupport::Output seek = capture([&] { EXPECT_TRUE(app.seekTo(step)); });
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

void expectSame(const Landing& a, const Landing& b)
{
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

namespace
{
std::string replacedOnce(std::string text, const std::string& from, const std::string& to)
{
    text.replace(text.find(from), from.size(), to);
    return text;
}
} // namespace

// After a saved script, the snapshots of the steps it cannot change stay, and a seek that starts
// from one lands where a seek from step 0 of the saved version lands (state, pixels, the frames
// after); a save that changes what ran early leaves none.
TEST(SnapshotSeek, ASavedScriptKeepsOnlyTheSnapshotsItCannotChange)
{
    const DemoCopy demo("kestrune-snapshot-reload");

    const std::string base = demoScript();
    struct Row
    {
        const char* what;
        std::string saved;
        long target;
        std::size_t kept; // snapshots of the 600 steps played (one a second from step 60) that stay
    };
    const Row rows[] = {
        {"closing words, run at the end", replacedOnce(base, "thank you for watching", "thanks for watching"), 590, 9},
        {"a line before the sections (moves them)", replacedOnce(base, ":init\n", "log unreached\n:init\n"), 450, 9},
        {"the loop's first line, first run at 8.7 s", replacedOnce(base, "add_flag 0, 1", "add_flag 0, 2"), 590, 8},
        {"the loop's label defined again after the end",
         replacedOnce(base, ":init\n", ":orbit\nexit\n:init\n"), 590, 8},
        {"a line of the sections run from the first step", replacedOnce(base, "object_set_scale sky, 4", "object_set_scale sky, 3.9"), 300, 0},
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

        // The first version played for 600 steps, then the saved one in its place.
        std::ofstream("assets/demo.script") << base;
        cutscene.clearScene();
        cutscene.loadScript("assets/demo.script");
        app.keepSnapshots(std::size_t(2) << 30);
        app.rewind();
        app.forgetPrinted();
        capture([&] {
            for (long k = 0; k < 600; ++k)
                app.step();
        });
        ASSERT_EQ(app.snapshotStore().count(), 9u);
        std::ofstream("assets/demo.script") << row.saved;
        capture([&] { app.reload({"assets/demo.script"}); });
        EXPECT_EQ(app.snapshotStore().count(), row.kept);
        // The steps played count as printed: the seek may start from a snapshot.
        expectSame(landOn(app, row.target), fresh);
        app.keepSnapshots(0);
    }
}
#endif
