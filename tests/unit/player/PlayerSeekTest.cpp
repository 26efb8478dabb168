#include "player/Player.hpp"
#include "catalogs/MusicManager.hpp"
#include "cutscene/GameCutscene.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/Random.hpp"
#include "effects/TextManager.hpp"

#include "ConsoleCapture.hpp"
#include "SeekMoments.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include <unistd.h>

#ifdef KESTRUNE_TEST_GL
namespace fs = std::filesystem;
using testsupport::capture;
using namespace seekmoments;

namespace
{
// A dot drawn every frame into a buffer that is only cleared once: every frame's picture
// depends on all the frames before it, so a seek must draw them all.
const char* const TrailScript = R"(log begin
object_tween_x dot, 1600, 1
delay 0.5
log half
delay 100
exit
:init
create_buffer trail
clear_buffer trail
create_object dot, star, 0, 0
object_set_pos dot, 100, 300
exit
:render
draw_object trail, dot
display_buffer trail
render_scene trail
exit
)";

// The same trail, but the demo exits after half a second: a seek past the end stops there, and
// its picture must still be the one playing's last frame shows.
const char* const EndingTrailScript = R"(log begin
object_tween_x dot, 1600, 1
delay 0.5
log end
exit
:init
create_buffer trail
clear_buffer trail
create_object dot, star, 0, 0
object_set_pos dot, 100, 300
exit
:render
draw_object trail, dot
display_buffer trail
render_scene trail
exit
)";

struct Case
{
    const char* name;
    const char* script; // null: the bundled demo
    long back;
    long to;
    bool ends; // the demo ends before step `to`: playing and the seek stop at its end
};

const Case Cases[] = {
    {"bundled demo", nullptr, 100, 250, false},
    {"trail", TrailScript, 20, 45, false},
    {"trail that ends", EndingTrailScript, 20, 1000, true},
};

} // namespace

// Seeking back re-simulates from a rewind, seeking forward runs on: both land on the state and
// the pixels that playing (each step followed by its frame's render) has, and print nothing
// that was printed before; a seek into new steps prints their lines once, as playing does. A
// seek past the demo's end lands on playing's last step and last frame, and reports it did not
// arrive.
TEST(PlayerSeek, BackThenForwardLandsOnPlayingsStateAndPixels)
{
    const DemoCopy demo("kestrune-seek");

    Player app;
    ASSERT_TRUE(loadsCleanly(app));
    GameCutscene& cutscene = GameCutscene::instance();
    for (const Case& c : Cases)
    {
        SCOPED_TRACE(c.name);
        if (c.script)
        {
            std::ofstream("assets/demo.script") << c.script;
            cutscene.clearScene();
            cutscene.loadScript("assets/demo.script");
        }
        app.rewind();
        app.forgetPrinted();

        Moment back, to;
        const testsupport::Output played = capture([&] {
            for (long k = 1; k <= c.to && app.running(); ++k)
            {
                app.update();
                app.renderScene();
                if (k == c.back)
                    back = momentOf(app, false);
            }
            to = momentOf(app, true);
        });
        EXPECT_EQ(app.steps() == c.to, !c.ends) << "stopped at step " << app.steps();
        EXPECT_EQ(app.running(), !c.ends);
        EXPECT_LT(c.back, app.steps());

        const testsupport::Output seekBack = capture([&] { EXPECT_TRUE(app.seekTo(c.back)); });
        const Moment backAgain = momentOf(app, false);
        const testsupport::Output seekForward = capture([&] { EXPECT_EQ(app.seekTo(c.to), !c.ends); });
        const Moment toAgain = momentOf(app, true);
        EXPECT_EQ(backAgain.state, back.state);
        EXPECT_TRUE(samePixels(backAgain.scene, back.scene));
        EXPECT_EQ(toAgain.state, to.state);
        EXPECT_TRUE(samePixels(toAgain.scene, to.scene));
        EXPECT_EQ(toAgain.random, to.random);
        EXPECT_EQ(seekBack.out + seekBack.err + seekForward.out + seekForward.err, "");

        // From a rewind that forgot what was printed, the seek prints what playing printed, once.
        app.rewind();
        app.forgetPrinted();
        const testsupport::Output seekNew = capture([&] { EXPECT_EQ(app.seekTo(c.to), !c.ends); });
        EXPECT_EQ(withoutAddresses(seekNew.out), withoutAddresses(played.out));
        EXPECT_EQ(seekNew.err, played.err);
        const Moment toFromStart = momentOf(app, true);
        EXPECT_EQ(toFromStart.state, to.state);
        EXPECT_TRUE(samePixels(toFromStart.scene, to.scene));
        EXPECT_EQ(toFromStart.random, to.random);
    }
}
#endif
