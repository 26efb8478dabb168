#include "cutscene/CutsceneTestSupport.hpp"

#include <utility>

using namespace cutscenetest;
using GameCutsceneTest = CutsceneTest;

TEST_F(GameCutsceneTest, ExtVariableReplacesFirstOccurrenceOfEachConstantSilently)
{
    const std::pair<const char*, const char*> cases[] = {
        {"%ease_in_sine", "1"},
        {"%ease_out_sine", "111"},
        {"%ease_in_out_sine", "112"},
        {"%ease_linear", "0"},
        {"%ease_out_back", "9"},
        {"%ease_in_back", "8"},
        {"%ease_in_out_back", "10"},
        {"%ease_in_expo", "14"},
        {"%ease_out_expo", "15"},
        {"%ease_in_out_expo", "16"},
        {"%forever", "-1"},
        {"%ease_in_sine %ease_in_sine", "1 %ease_in_sine"},
        {"x%forever,%ease_linear", "x-1,0"},
        {"%ease_unknown", "%ease_unknown"},
        {"%FOREVER", "%FOREVER"},
    };
    const Output output = capture([&] {
        for (const auto& [text, expected] : cases)
            EXPECT_EQ(cutscene.extVariable(text), expected) << text;
    });
    EXPECT_EQ(output.out + output.err, "");
}

TEST_F(GameCutsceneTest, DispatchMatchesWholeNamesCountsParametersAndRunsShortLinesWithZeros)
{
    const Output direct = capture([&] {
        for (const char* name : {"Object_set_x", "object_set_x_", "object_set_scale_z", "draw_text ", ""})
            EXPECT_FALSE(cutscene.extScript(ScriptLine(name, {"B", "1"}))) << name;
        EXPECT_TRUE(cutscene.extScript(ScriptLine("draw_text", {"a", "b"})));
    });
    EXPECT_EQ(direct.out + direct.err, "");

    load("object_tween_x B, 10, 1, %Ease_Out_Sine, %FOREVER, %true, %EASE_IN_EXPO\nobject_tween_scale B\n"
         "DRAW_TEXT a, b\ndraw_text a");
    EXPECT_EQ(step().err, "ScriptInterp: Command [object_tween_scale] needs 3 parameters. 1 found.\n"
                          "ScriptInterp: Unhandled command [DRAW_TEXT].\n"
                          "ScriptInterp: Command [draw_text] needs 2 parameters. 1 found.\n");
    // Constants reach the command lower-cased by the interpreter.
    const Tween& tween = buffer("B").tween(Property::X);
    EXPECT_EQ(tween.startEasing, Easing::OutSine);
    EXPECT_EQ(tween.loops, -1);
    EXPECT_TRUE(tween.startYoyo);
    EXPECT_EQ(tween.startYoyoEasing, Easing::InExpo);
    // Target 0 over 0 s: both axes reach it in the same step's object update.
    EXPECT_EQ(buffer("B").scaleX, 0.f);
    EXPECT_EQ(buffer("B").scaleY, 0.f);
}

TEST_F(GameCutsceneTest, InitRunsOnceBeforeTheMainFlowAndAgainAfterClearScene)
{
    EXPECT_EQ(GameCutscene().bufferWidth, 0);
    load("log main\nobject_tween_x B, 60, 1", "log init\ncreate_buffer B\nalias 0, speed");
    const Output first = step();
    EXPECT_TRUE(cutscene.started);
    EXPECT_EQ(first.out, "LOG: init\nGameCutscene: Creating buffer [B] (" + addressOf(buffer("B").renderTarget()) +
                             ")\nLOG: main\n");
    // The step's object update follows the script lines, so the tween has moved already.
    EXPECT_NEAR(buffer("B").sprite.getPosition().x, 1.f, 1e-4f);
    EXPECT_EQ(step().out, "");
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
    EXPECT_EQ(step().out.substr(0, 10), "LOG: init\n");
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

// The profiler's names of lines: the file and line, the line as written, and what a drawing line
// draws into and with.
TEST_F(GameCutsceneTest, LinesAreDescribedForTheProfiler)
{
    load("log main", "create_buffer B", "clear_buffer B\ndraw_object B, thing\ndraw_buffer B, src\nrender_scene B");
    const struct
    {
        const char* command;
        const char* text;
        const char* args;
    } cases[] = {
        {"log", "demo.script:1 log main", R"("file":"assets/demo.script","line":1,"command":"log")"},
        {"clear_buffer", "demo.script:8 clear_buffer B",
         R"("file":"assets/demo.script","line":8,"command":"clear_buffer","buffer":"B")"},
        {"draw_object", "demo.script:9 draw_object B, thing",
         R"("file":"assets/demo.script","line":9,"command":"draw_object","buffer":"B","object":"thing")"},
        {"draw_buffer", "demo.script:10 draw_buffer B, src",
         R"("file":"assets/demo.script","line":10,"command":"draw_buffer","buffer":"B","object":"src")"},
        {"render_scene", "demo.script:11 render_scene B",
         R"("file":"assets/demo.script","line":11,"command":"render_scene","buffer":"B")"},
    };
    for (const auto& c : cases)
    {
        int line = -1;
        for (int i = 0; i < cutscene.script.lineCount(); ++i)
            if (cutscene.script.lines[static_cast<std::size_t>(i)].command == c.command && line < 0)
                line = i;
        ASSERT_GE(line, 0) << c.command;
        Profiler::Name name;
        cutscene.describeLine(line, name);
        EXPECT_EQ(name.text, c.text);
        EXPECT_EQ(name.args, c.args);
        EXPECT_EQ(name.kind, Profiler::Kind::Line);
    }
}
