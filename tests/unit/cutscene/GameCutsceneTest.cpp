#include "cutscene/GameCutscene.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

namespace
{
namespace fs = std::filesystem;

struct Output
{
    std::string out;
    std::string err;
};

template <typename Action>
Output capture(Action action)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    action();
    Output output;
    output.out = testing::internal::GetCapturedStdout();
    output.err = testing::internal::GetCapturedStderr();
    return output;
}

class GameCutsceneTest : public testing::Test
{
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / "kestrune_gamecutscene_test";
        fs::create_directories(dir);
        cutscene.clearScene();
    }

    void TearDown() override
    {
        cutscene.clearScene();
        fs::remove_all(dir);
    }

    // The main flow's lines, then the sections "init" and "render", each ended by exit.
    void load(const std::string& main, const std::string& init = "", const std::string& render = "")
    {
        path = (dir / "test.script").string();
        std::ofstream(path) << main << "\ndelay 1000\nexit\n:init\n"
                            << init << "\nexit\n:render\n"
                            << render << "\nexit\n";
        ASSERT_TRUE(cutscene.loadScript(path));
    }

    GameCutscene& cutscene = GameCutscene::instance();
    fs::path dir;
    std::string path;
};
} // namespace

TEST_F(GameCutsceneTest, ExtVariableReplacesFirstOccurrenceOfEachConstantSilently)
{
    const std::pair<const char*, const char*> cases[] = {
        {"%ease_in_sine", "1"},       {"%ease_out_sine", "111"},    {"%ease_in_out_sine", "112"},
        {"%ease_linear", "0"},        {"%ease_out_back", "9"},      {"%ease_in_back", "8"},
        {"%ease_in_out_back", "10"},  {"%ease_in_expo", "14"},      {"%ease_out_expo", "15"},
        {"%ease_in_out_expo", "16"},  {"%forever", "-1"},           {"%ease_in_sine %ease_in_sine", "1 %ease_in_sine"},
        {"x%forever,%ease_linear", "x-1,0"}, {"%ease_unknown", "%ease_unknown"}, {"%FOREVER", "%FOREVER"},
    };
    const Output output = capture([&] {
        for (const auto& [text, expected] : cases)
            EXPECT_EQ(cutscene.extVariable(text), expected) << text;
    });
    EXPECT_EQ(output.out, "");
    EXPECT_EQ(output.err, "");
}

TEST_F(GameCutsceneTest, ConstantsReachCommandsLowerCasedByTheInterpreter)
{
    load("object_tween_x B, 10, 1, %Ease_Out_Sine, %FOREVER, %true, %EASE_IN_EXPO", "create_buffer B");
    capture([&] { cutscene.update(1.f / 60.f); });
    const Tween& tween = cutscene.buffers.at("B")->tween(Property::X);
    EXPECT_EQ(tween.startEasing, Easing::OutSine);
    EXPECT_EQ(tween.loops, -1);
    EXPECT_TRUE(tween.startYoyo);
    EXPECT_EQ(tween.startYoyoEasing, Easing::InExpo);
}

TEST_F(GameCutsceneTest, DispatchMatchesWholeCaseSensitiveNamesOnly)
{
    const Output direct = capture([&] {
        for (const char* name : {"Object_set_x", "object_set_x_", "object_set_scale_z", "draw_text ", ""})
            EXPECT_FALSE(cutscene.extScript(ScriptLine(name, {"B", "1"}))) << name;
        EXPECT_TRUE(cutscene.extScript(ScriptLine("draw_text", {"a", "b"})));
    });
    EXPECT_EQ(direct.out, "");
    EXPECT_EQ(direct.err, "");

    load("DRAW_TEXT a, b\ndraw_text a");
    const Output output = capture([&] { cutscene.update(1.f / 60.f); });
    EXPECT_EQ(output.err, "ScriptInterp: Unhandled command [DRAW_TEXT].\n"
                          "ScriptInterp: Command [draw_text] needs 2 parameters. 1 found.\n");
}

TEST_F(GameCutsceneTest, ShortCommandReportsCountAndRunsWithZeros)
{
    load("object_tween_scale B", "create_buffer B");
    const Output output = capture([&] { cutscene.update(1.f / 60.f); });
    EXPECT_EQ(output.err, "ScriptInterp: Command [object_tween_scale] needs 3 parameters. 1 found.\n");
    // Target 0 over 0 s: both axes reach it in the same step's object update.
    EXPECT_EQ(cutscene.buffers.at("B")->scaleX, 0.f);
    EXPECT_EQ(cutscene.buffers.at("B")->scaleY, 0.f);
}

TEST_F(GameCutsceneTest, InitRunsOnceBeforeTheMainFlow)
{
    load("log main\nobject_tween_x B, 60, 1", "log init\ncreate_buffer B");
    const Output first = capture([&] { cutscene.update(1.f / 60.f); });
    EXPECT_TRUE(cutscene.started);
    std::ostringstream address;
    address << static_cast<const void*>(cutscene.buffers.at("B")->renderTarget());
    EXPECT_EQ(first.out, "LOG: init\nGameCutscene: Creating buffer [B] (" + address.str() + ")\nLOG: main\n");
    // The step's object update follows the script lines, so the tween has moved already.
    EXPECT_NEAR(cutscene.buffers.at("B")->sprite.getPosition().x, 1.f, 1e-4f);
    const Output second = capture([&] { cutscene.update(1.f / 60.f); });
    EXPECT_EQ(second.out, "");
}

TEST_F(GameCutsceneTest, ClearSceneEmptiesEverythingAndInitRunsAgain)
{
    EXPECT_EQ(GameCutscene().bufferWidth, 0);
    load("", "create_buffer B\nalias 0, speed");
    capture([&] { cutscene.update(1.f / 60.f); });
    cutscene.objects["o"] = std::make_unique<SceneObject>("o", nullptr, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f);
    ASSERT_EQ(cutscene.interp.aliases[0], "$speed");

    cutscene.clearScene();
    EXPECT_TRUE(cutscene.objects.empty());
    EXPECT_TRUE(cutscene.buffers.empty());
    EXPECT_FALSE(cutscene.started);
    EXPECT_EQ(cutscene.bufferWidth, 1920);
    EXPECT_EQ(cutscene.bufferHeight, 1080);
    EXPECT_EQ(cutscene.interp.pc, 0);
    EXPECT_EQ(cutscene.interp.delay, 0.f);
    EXPECT_EQ(cutscene.interp.aliases[0], "");

    ASSERT_TRUE(cutscene.loadScript(path));
    capture([&] { cutscene.update(1.f / 60.f); });
    EXPECT_EQ(cutscene.buffers.size(), 1u);
}

TEST_F(GameCutsceneTest, LookupsReportTheMapTheySearched)
{
    cutscene.objects["twin"] = std::make_unique<SceneObject>("twin", nullptr, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f);
    cutscene.buffers["twin"] = std::make_unique<RenderBuffer>("twin", 8, 8);
    const Output output = capture([&] {
        EXPECT_EQ(cutscene.findObjectOrBuffer("twin"), cutscene.objects["twin"].get());
        EXPECT_EQ(cutscene.findObject("ghost"), nullptr);
        EXPECT_EQ(cutscene.findBuffer("ghost"), nullptr);
        EXPECT_EQ(cutscene.findObjectOrBuffer("ghost"), nullptr);
    });
    EXPECT_EQ(output.err, "GameCutscene: No such object [ghost]\n"
                          "GameCutscene: No such buffer [ghost]\n"
                          "GameCutscene: No such buffer [ghost]\n");
}
