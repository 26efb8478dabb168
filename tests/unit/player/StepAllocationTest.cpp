#include "CountingAllocator.hpp"
#include "StepScene.hpp"

#include "player/Player.hpp"
#include "cutscene/GameCutscene.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>

#ifdef KESTRUNE_TEST_GL
TEST(StepAllocations, TheWholeStepOfABusySceneDoesNotAllocate)
{
    namespace fs = std::filesystem;
    const fs::path previous = fs::current_path();
    const fs::path folder = fs::temp_directory_path() / ("kestrune-step-allocations-" + std::to_string(getpid()));
    stepscene::write(fs::path(KESTRUNE_SOURCE_DIR), folder);
    fs::current_path(folder);

    testing::internal::CaptureStdout();
    Player app;
    const bool started = stepscene::start(app, 60);
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(started);

    // 200 tweening objects, 10,000 particles, five texts, about 100,000 script lines a step.
    GameCutscene::instance().flags[stepscene::BusyFlag] = 1;
    app.update();
    countingAllocations = true;
    for (int i = 0; i < 5; ++i)
        app.update();
    countingAllocations = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_TRUE(app.running());

    fs::current_path(previous);
    fs::remove_all(folder);
}
#endif

#ifdef KESTRUNE_TEST_GL
// The music uniforms of a shader that declares them all, with a song playing, allocate nothing.
TEST(StepAllocations, MusicUniformsDoNotAllocate)
{
    namespace fs = std::filesystem;
    const fs::path previous = fs::current_path();
    const fs::path folder = fs::temp_directory_path() / ("kestrune-music-allocations-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::copy(fs::path(KESTRUNE_SOURCE_DIR) / "examples" / "music", folder, fs::copy_options::recursive);
    fs::current_path(folder);

    testing::internal::CaptureStdout();
    Player app;
    app.loadConfig();
    const bool loaded = app.load();
    for (int i = 0; i < 30; ++i)
        app.update();
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(loaded);
    ASSERT_GT(app.music().level, 0.f);

    countingAllocations = true;
    for (int i = 0; i < 5; ++i)
        app.update();
    countingAllocations = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_GT(app.music().level, 0.f);

    fs::current_path(previous);
    fs::remove_all(folder);
}
#endif
