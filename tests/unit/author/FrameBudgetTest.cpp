#include "author/TimelineStrip.hpp"
#include "cutscene/GameCutscene.hpp"
#include "player/Player.hpp"
#include "profile/Profiler.hpp"

#include <gtest/gtest.h>

#include <SFML/Graphics/RenderTexture.hpp>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
// The profiler's clock in these tests moves one microsecond each time it is read: a frame's
// time is the count of the scopes it ran, the same on any machine however busy.
std::int64_t ticks = 0;
std::int64_t countingClock()
{
    ticks += 1000;
    return ticks;
}

// Flag 0 is 1 from the main flow's second second for one second; while it is, the render section
// runs a block of 300 lines more.
std::string slowStretchScript()
{
    std::string script = "delay 2\nset_flag 0, 1\ndelay 1\nset_flag 0, 0\ndelay 600\nexit\n:init\nexit\n:render\n"
                         "if %flag_0, 1\n";
    for (int i = 0; i < 300; ++i)
        script += "add_flag 1, 1\n";
    return script + "endif\nexit\n";
}

class InFolder
{
public:
    InFolder() : previous(fs::current_path()), dir(fs::temp_directory_path() / ("kestrune-budget-" + std::to_string(getpid())))
    {
        fs::create_directories(dir);
        fs::copy(fs::path(KESTRUNE_SOURCE_DIR) / "tests" / "e2e" / "base", dir, fs::copy_options::recursive);
        std::ofstream(dir / "config.json") << R"({ "music": false })";
        std::ofstream(dir / "assets" / "demo.script") << slowStretchScript();
        fs::current_path(dir);
    }
    ~InFolder()
    {
        fs::current_path(previous);
        fs::remove_all(dir);
    }

private:
    fs::path previous;
    fs::path dir;
};
} // namespace

TEST(FrameBudget, TheStripMarksTheStepsOverTheBudget)
{
    TimelineStrip strip;
    strip.setBudget(0.002);
    const struct
    {
        long step;
        double seconds;
        bool over;
    } cases[] = {{0, 0.001, false}, {1, 0.002, false}, {2, 0.0021, true}, {3, 0.5, true}, {5, 0.0, false}};
    for (const auto& c : cases)
        strip.recordFrameTime(c.step, c.seconds);
    for (const auto& c : cases)
        EXPECT_EQ(strip.overBudget(c.step), c.over) << "step " << c.step;
    EXPECT_FALSE(strip.overBudget(4)) << "a step without a frame time";
    EXPECT_FALSE(strip.overBudget(-1));
    // A reload forgets the frame times of the steps it changes.
    strip.forget(3);
    EXPECT_TRUE(strip.overBudget(2));
    EXPECT_FALSE(strip.overBudget(3));
}

TEST(FrameBudget, ADemoSlowBetweenTwoStepsIsMarkedExactlyThere)
{
    const InFolder folder;
    Profiler profiler(std::size_t(1) << 16, &countingClock);
    Profiler::active = &profiler;
    Player player;
    player.loadConfig();
    ASSERT_TRUE(player.load());
    sf::RenderTexture picture;
    ASSERT_TRUE(picture.create(Player::Width, Player::Height));
    TimelineStrip strip;
    // Quiet frames run a few dozen scopes, slow ones over 300 more: 0.3 ms lies between.
    strip.setBudget(0.0003);

    // Each frame as author mode plays it: a step, its render, the picture; the strip hears the
    // frame's work.
    const GameCutscene& cutscene = GameCutscene::instance();
    std::vector<long> slow;
    for (int frame = 0; frame < 240; ++frame)
    {
        profiler.beginFrame();
        player.step();
        const bool slowStep = cutscene.flags[0] == 1;
        player.renderOwed();
        player.present(picture);
        profiler.endFrame();
        strip.recordFrameTime(player.steps(), static_cast<double>(profiler.lastFrameWork()) * 1e-9);
        if (slowStep)
            slow.push_back(player.steps());
    }
    Profiler::active = nullptr;

    // The slow stretch is about one second of steps after the first two (as the delays count).
    ASSERT_GE(slow.size(), 60u);
    ASSERT_LE(slow.size(), 62u);
    EXPECT_EQ(slow.back() - slow.front() + 1, static_cast<long>(slow.size())) << "one stretch";
    EXPECT_GE(slow.front(), 120);
    EXPECT_LE(slow.front(), 124);
    for (long step = 1; step <= player.steps(); ++step)
    {
        const bool inStretch = step >= slow.front() && step <= slow.back();
        EXPECT_EQ(strip.overBudget(step), inStretch) << "step " << step;
    }
}
