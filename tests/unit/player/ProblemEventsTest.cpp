#include "catalogs/TextureManager.hpp"
#include "cutscene/GameCutscene.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/ParticleSystem.hpp"
#include "player/Player.hpp"
#include "player/StartPoint.hpp"
#include "report/Problem.hpp"
#include "script/Script.hpp"
#include "script/ScriptInterp.hpp"
#include "script/ScriptParams.hpp"

#include "ConsoleCapture.hpp"

#include <SFML/System/Err.hpp>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#ifdef KESTRUNE_TEST_GL
namespace fs = std::filesystem;

namespace
{
// What a listener kept of a problem: copies, since the problem lives only while reported.
struct Heard
{
    std::string component;
    std::string heading;
    std::string file;
    std::string command;
    int storedLine = -1;
    int parameter = -1;
    std::string text;
    std::string detail;
    std::string console;
};

// A temporary working directory with an assets folder, gone with the test.
class ProblemEvents : public testing::Test
{
protected:
    void SetUp() override
    {
        previous = fs::current_path();
        dir = fs::temp_directory_path() / ("kestrune-events-" + std::to_string(::getpid()));
        fs::create_directories(dir / "assets");
        fs::current_path(dir);
    }

    void TearDown() override
    {
        fs::current_path(previous);
        fs::remove_all(dir);
    }

    fs::path previous;
    fs::path dir;
};
} // namespace

// Each room that finds problems in an author's files reports them as values: a listener gets the
// parts, and the console's listener writes the very line that room wrote to standard error before
// its problems were values (those lines are spelled out here).
TEST_F(ProblemEvents, EveryRoomReportsItsProblemsAsValuesWithTheirOldConsoleLine)
{
    std::ofstream("assets/demo.script") << "log a\nset_flag 9, 1\n:init\nexit\n:render\nexit\n";
    std::ofstream("bad.json") << "{\"textures\": {}";
    const struct Row
    {
        const char* what;
        std::function<void()> report;
        Heard expected;           // the console field: what standard error gets, every line
        bool detailFromParser;    // the detail is the parser's message: only its start is known
    } rows[] = {
        {"a bad script line",
         [] {
             Script script;
             script.load("assets/demo.script");
             ScriptInterp interp;
             interp.bind(&script, &GameCutscene::instance());
             interp.update(0.f);
         },
         {"ScriptInterp", "ScriptInterp", "", "set_flag", 1, -1, "flag index 9 is out of range 0..8.", "",
          "ScriptInterp: (set_flag @2) flag index 9 is out of range 0..8.\n"},
         false},
        {"a bad parameter of a script line",
         [] {
             currentCommand = "delay";
             currentLineNumber = 7;
             getFloat(std::vector<std::string>{"abc"}, 0);
         },
         {"ScriptInterp", "ScriptInterp", "", "delay", 6, 0, "abc is not a valid float.", "",
          "ScriptInterp: (delay @7) param 0 abc is not a valid float.\n"},
         false},
        {"a bad catalog JSON", [] { TextureManager::instance().load("bad.json"); },
         {"TextureManager", "TextureManager", "bad.json", "", -1, -1, "Error while parsing JSON.",
          "[json.exception.parse_error", "TextureManager: Error while parsing JSON.\n"},
         true},
        {"a missing texture", [] { TextureManager::instance().addTexture("sky", "assets/missing.png", false); },
         {"TextureManager", "TextureManager", "assets/missing.png", "", -1, -1,
          "Unable to load file assets/missing.png.", "", "TextureManager: Unable to load file assets/missing.png.\n"},
         false},
        {"a particle system's file", [] { ParticleSystem().loadFromFile("assets/sparks.json", 10); },
         {"ParticleSystem", "ParticleSystem", "assets/sparks.json", "", -1, -1,
          "Unable to open file assets/sparks.json.", "", "ParticleSystem: Unable to open file assets/sparks.json.\n"},
         false},
        {"a particle system's key", [] { ParticleManager::instance().getParticleSystem("ghost"); },
         {"ParticleManager", "ParticleManager", "", "", -1, -1, "ParticleSystem with key ghost does not exist.", "",
          "ParticleManager: ParticleSystem with key ghost does not exist.\n"},
         false},
        {"a cutscene problem", [] { GameCutscene::instance().findObject("ghost"); },
         {"GameCutscene", "GameCutscene", "", "", -1, -1, "No such object [ghost]", "",
          "GameCutscene: No such object [ghost]\n"},
         false},
        {"a player problem",
         [] {
             GameCutscene::instance().loadScript("assets/demo.script");
             Player player;
             player.seekTo(StartPoint("nowhere"));
         },
         {"Player", "kestrune", "", "", -1, -1, "--start nowhere: assets/demo.script defines no label \"nowhere\"", "",
          "kestrune: --start nowhere: assets/demo.script defines no label \"nowhere\"\n"},
         false},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.what);
        std::vector<Heard> heard;
        Problem::Listening listening = Problem::listen([&heard](const Problem& problem) {
            heard.push_back({problem.component(), std::string(problem.heading()), std::string(problem.filePath()),
                             std::string(problem.command()), problem.storedLine(), problem.parameter(), problem.text(),
                             std::string(problem.detailText()), problem.consoleLine()});
        });
        // SFML's own lines (an image it cannot open) are not ours to compare.
        std::ostringstream library;
        std::streambuf* const libraryBuffer = sf::err().rdbuf(library.rdbuf());
        const testsupport::Output output = testsupport::capture(row.report);
        sf::err().rdbuf(libraryBuffer);

        ASSERT_EQ(heard.size(), 1u) << output.err;
        const Heard& got = heard[0];
        const Heard& want = row.expected;
        EXPECT_EQ(got.component, want.component);
        EXPECT_EQ(got.heading, want.heading);
        EXPECT_EQ(got.file, want.file);
        EXPECT_EQ(got.command, want.command);
        EXPECT_EQ(got.storedLine, want.storedLine);
        EXPECT_EQ(got.parameter, want.parameter);
        EXPECT_EQ(got.text, want.text);
        if (row.detailFromParser)
        {
            EXPECT_EQ(got.detail.rfind(want.detail, 0), 0u) << got.detail;
            EXPECT_EQ(output.err, want.console + got.detail + "\n");
        }
        else
        {
            EXPECT_EQ(got.detail, want.detail);
            EXPECT_EQ(output.err, want.console);
        }
        EXPECT_EQ(got.console + "\n", want.console);
    }
    GameCutscene::instance().clearScene();
}
#endif
