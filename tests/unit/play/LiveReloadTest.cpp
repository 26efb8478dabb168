#include "play/LiveReload.hpp"
#include "player/Player.hpp"
#include "cutscene/GameCutscene.hpp"

#include "ConsoleCapture.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include <unistd.h>

namespace fs = std::filesystem;
using testsupport::capture;

namespace
{
const char* const First = "log main\ndelay 100\n:init\nlog init\nexit\n:render\nexit\n";
const char* const Second = "log second\ndelay 100\n:init\nlog second init\nexit\n:render\nexit\n";
const std::string Reloading = "Demo.script modified - Reloading\n";
const std::string Unknown = "Error! Unknown file status.\n";

void writeScript(const char* text, int stamp)
{
    std::ofstream("assets/demo.script") << text;
    fs::last_write_time("assets/demo.script", fs::file_time_type::clock::now() + std::chrono::seconds(stamp));
}
} // namespace

// A fresh demo folder holding the script First, loaded and watched as start-up does.
class LiveReloadTest : public testing::Test
{
protected:
    void SetUp() override
    {
        previous = fs::current_path();
        dir = fs::temp_directory_path() / ("kestrune-reload-" + std::to_string(getpid()));
        fs::create_directories(dir / "assets");
        fs::current_path(dir);
        writeScript(First, 1);
        cutscene.clearScene();
        cutscene.loadScript("assets/demo.script");
        reload = std::make_unique<LiveReload>(app);
    }

    void TearDown() override
    {
        cutscene.clearScene();
        cutscene.interp.running = false;
        fs::current_path(previous);
        fs::remove_all(dir);
    }

    testsupport::Output steps(int count)
    {
        return capture([&] {
            for (int i = 0; i < count; ++i)
            {
                app.update();
                reload->poll();
            }
        });
    }

    fs::path previous;
    fs::path dir;
    GameCutscene& cutscene = GameCutscene::instance();
    Player app;
    std::unique_ptr<LiveReload> reload;
};

// Real editors can leave the script unreadable for an instant; the reload that meets it must
// not end the demo, and the script's next save must bring it back.
TEST_F(LiveReloadTest, UnreadableReloadPlaysOnEmptyUntilTheNextSave)
{
    EXPECT_EQ(steps(2).out, "LOG: init\nLOG: main\n");

    fs::remove("assets/demo.script");
    const testsupport::Output failed = capture([&] { app.reloadScript(); });
    EXPECT_EQ(failed.out, Reloading);
    EXPECT_EQ(failed.err, "Script: Unable to open file assets/demo.script.\n");
    // Nothing runs or reports but the erasure, nothing is drawn, and the program goes on.
    const testsupport::Output waiting = steps(120);
    EXPECT_EQ(waiting.out + waiting.err, Unknown);
    EXPECT_TRUE(app.running());
    EXPECT_FALSE(cutscene.started);

    // Written anew: the poll that ends the step reports it and reloads it, the next step runs "init".
    writeScript(Second, 2);
    EXPECT_EQ(steps(1).out, Unknown + Reloading);
    EXPECT_EQ(steps(1).out, "LOG: second init\nLOG: second\n");
    // Back before the next poll: a modified script, reloaded as well. Once playing, a created
    // script that was never erased is only reported.
    fs::remove("assets/demo.script");
    capture([&] { app.reloadScript(); });
    writeScript(First, 3);
    EXPECT_EQ(steps(2).out, Reloading + "LOG: init\nLOG: main\n");
    EXPECT_EQ(capture([&] { reload->changed("./assets/demo.script", FileStatus::created); }).out, Unknown);

    // Truncated by an editor before it writes: the empty script waits instead of ending the demo.
    writeScript("", 4);
    const testsupport::Output truncated = steps(60);
    EXPECT_EQ(truncated.out, Reloading);
    EXPECT_EQ(truncated.err, "Demo.script is empty - playing on until it is saved again.\n");
    EXPECT_TRUE(app.running());
    writeScript(Second, 5);
    EXPECT_EQ(steps(2).out, Reloading + "LOG: second init\nLOG: second\n");
}

// Editors that delete the script and move a new version into place: the old script plays on
// while the file is missing, and the one that comes back is loaded as a save, every time.
TEST_F(LiveReloadTest, DeleteThenRenameIsASave)
{
    EXPECT_EQ(steps(2).out, "LOG: init\nLOG: main\n");
    for (int save = 0; save < 2; ++save)
    {
        fs::remove("assets/demo.script");
        EXPECT_EQ(steps(120).out, Unknown);
        EXPECT_TRUE(cutscene.started);
        EXPECT_TRUE(app.running());

        std::ofstream("assets/next.script") << (save == 0 ? Second : First);
        fs::rename("assets/next.script", "assets/demo.script");
        EXPECT_EQ(steps(1).out, Unknown + Reloading);
        EXPECT_EQ(steps(1).out, save == 0 ? "LOG: second init\nLOG: second\n" : "LOG: init\nLOG: main\n");
    }
    // Another file that comes back is only reported.
    std::ofstream("assets/notes.txt") << "a";
    EXPECT_EQ(steps(1).out, Unknown);
    fs::remove("assets/notes.txt");
    EXPECT_EQ(steps(1).out, Unknown);
    std::ofstream("assets/notes.txt") << "b";
    EXPECT_EQ(steps(1).out, Unknown);
}
