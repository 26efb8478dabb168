#include "app/Application.hpp"
#include "cutscene/GameCutscene.hpp"

#include "ConsoleCapture.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace fs = std::filesystem;
using testsupport::capture;
using testsupport::Output;

namespace
{
constexpr float Step = 1.f / 60.f;
const char* const WatchedScript = "./assets/demo.script";

const char* const FirstScript = "log main\n"
                                "delay 100\n"
                                "log never\n"
                                ":init\n"
                                "set_flag 2, 7\n"
                                "alias 2, two\n"
                                "log init\n"
                                "exit\n";
const char* const SecondScript = "log second\n"
                                 "exit\n"
                                 ":init\n"
                                 "log second init\n"
                                 "exit\n";

// An application without a window in a fresh working folder with an assets folder; the
// process-wide cutscene is cleared around each test.
class ApplicationReloadTest : public testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(dir / "assets" / "sub");
        fs::current_path(dir);
        writeScript(FirstScript);
        GameCutscene::instance().clearScene();
        GameCutscene::instance().loadScript("assets/demo.script");
    }

    void TearDown() override
    {
        GameCutscene& cutscene = GameCutscene::instance();
        cutscene.clearScene();
        cutscene.waitingForScript = false;
        cutscene.interp.running = false;
        std::fill(std::begin(cutscene.flags), std::end(cutscene.flags), 0);
        fs::current_path(previous);
        fs::remove_all(dir);
    }

    static void writeScript(const char* text) { std::ofstream("assets/demo.script") << text; }

    Output steps(int count)
    {
        return capture([&] {
            for (int i = 0; i < count; ++i)
                app.updateStep(Step);
        });
    }

    const fs::path previous = fs::current_path();
    const fs::path dir = fs::temp_directory_path() / ("kestrune-reload-" + std::to_string(getpid()));
    Application app;
    GameCutscene& cutscene = GameCutscene::instance();
};
} // namespace

TEST_F(ApplicationReloadTest, SavedScriptReloadsResettingTheSceneAndKeepingFlags)
{
    EXPECT_EQ(steps(3).out, "LOG: init\nLOG: main\n");
    ASSERT_GT(cutscene.interp.delay, 0.f);
    app.fade.fadeOut(2.f);
    app.updateStep(Step);
    app.watcher = std::make_unique<AssetWatcher>("./assets", 5000);

    // The poll ends the step in which the save is seen: the reload happens there, "init" in
    // the next step.
    writeScript(SecondScript);
    fs::last_write_time("assets/demo.script", fs::last_write_time("assets/demo.script") + std::chrono::seconds(5));
    const float iTime = app.iTime + Step;
    EXPECT_EQ(steps(1).out, "Demo.script modified - Reloading\n");
    EXPECT_FALSE(cutscene.started);
    EXPECT_EQ(cutscene.interp.delay, 0.f);
    EXPECT_EQ(cutscene.interp.pc, 0);
    EXPECT_EQ(cutscene.interp.aliases[2], "");
    EXPECT_EQ(cutscene.flags[2], 7);
    EXPECT_EQ(app.fade.fadeLevel, 0.f);
    EXPECT_EQ(app.fade.fadeSpeed, 0.f);
    EXPECT_EQ(app.fade.fadeState, ScreenFade::Idle);
    EXPECT_EQ(app.iTime, iTime);

    EXPECT_EQ(steps(1).out, "LOG: second init\nLOG: second\n");
    EXPECT_FALSE(app.running);
}

TEST_F(ApplicationReloadTest, OnlyTheScriptReloadsAndOtherChangesAreReported)
{
    std::ofstream("assets/red.png") << "x";
    const Output output = capture([&] {
        app.assetChanged("./assets/red.png", FileStatus::modified);
        app.assetChanged("./assets/sub", FileStatus::created);
        app.assetChanged("./assets/sub", FileStatus::modified);
        // Another spelling of the script's path is another file to the watcher.
        app.assetChanged("assets/demo.script", FileStatus::modified);
        app.assetChanged("./assets/red.png", FileStatus::created);
        app.assetChanged("./assets/gone.png", FileStatus::erased);
        app.assetChanged("./assets/gone.png", FileStatus::modified);
    });
    EXPECT_EQ(output.out, "Error! Unknown file status.\nError! Unknown file status.\n");
    EXPECT_EQ(output.err, "");
}

TEST_F(ApplicationReloadTest, UnreadableReloadPlaysOnEmptyUntilTheScriptIsBack)
{
    steps(3);
    fs::remove("assets/demo.script");
    const Output failed = capture([&] { app.reloadScript(); });
    EXPECT_EQ(failed.out, "Demo.script modified - Reloading\n");
    EXPECT_EQ(failed.err, "Script: Unable to open file assets/demo.script.\n");

    // Nothing runs, nothing is reported, nothing is drawn, and the program goes on.
    const Output waiting = steps(120);
    EXPECT_EQ(waiting.out + waiting.err, "");
    EXPECT_TRUE(app.running);
    EXPECT_FALSE(cutscene.started);
    EXPECT_TRUE(cutscene.waitingForScript);

    // The save that brings the file back reloads it, written in place or created anew.
    writeScript(FirstScript);
    EXPECT_EQ(capture([&] { app.assetChanged(WatchedScript, FileStatus::created); }).out,
              "Demo.script modified - Reloading\n");
    EXPECT_EQ(steps(1).out, "LOG: init\nLOG: main\n");
    EXPECT_FALSE(cutscene.waitingForScript);

    // Once playing again, a created script is only reported, as any other new file.
    EXPECT_EQ(capture([&] { app.assetChanged(WatchedScript, FileStatus::created); }).out,
              "Error! Unknown file status.\n");

    fs::remove("assets/demo.script");
    capture([&] { app.reloadScript(); });
    writeScript(SecondScript);
    EXPECT_EQ(capture([&] { app.assetChanged(WatchedScript, FileStatus::modified); }).out,
              "Demo.script modified - Reloading\n");
    EXPECT_EQ(steps(1).out, "LOG: second init\nLOG: second\n");
}
