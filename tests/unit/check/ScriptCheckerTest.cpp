#include "check/ScriptChecker.hpp"
#include "cutscene/CutsceneCommands.hpp"
#include "script/ScriptInterp.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// The main flow ends before the sections, as a script must.
const char* const Sections = "exit\n:init\ncreate_buffer main\ncreate_object hero, sky\nexit\n:render\nexit\n";

// The diagnostics of a script, one formatted line each.
std::vector<std::string> check(const std::string& text)
{
    Diagnostics diagnostics;
    DemoIndex index;
    index.textures = {"sky"};
    index.shaders = {"glow"};
    index.texts = {"caption", "title"};
    index.uniforms["glow"] = {"amount"};
    ScriptChecker checker(diagnostics, index);
    checker.check("s", text);
    std::vector<std::string> lines;
    for (const Diagnostics::Entry& entry : diagnostics.entries)
        lines.push_back(Diagnostics::format(entry));
    return lines;
}
} // namespace

// The checker reads the player's tables; a word in both would hide the scene's command.
TEST(ScriptChecker, FindsEveryCommandThePlayerDispatchesAsItsOwnRow)
{
    for (int row = 0; row < ScriptInterp::builtinCount(); ++row)
    {
        const CommandInfo& info = ScriptInterp::builtin(row).info;
        EXPECT_EQ(ScriptChecker::command(std::string(info.name)), &info) << info.name;
    }
    for (const CutsceneCommands::Row* row : CutsceneCommands::all())
        EXPECT_EQ(ScriptChecker::command(std::string(row->info.name)), &row->info) << row->info.name;
    EXPECT_EQ(ScriptChecker::command("if_enemy_alive"), nullptr);
}

TEST(ScriptChecker, CleanScriptGivesNothing)
{
    EXPECT_EQ(check(std::string("alias 2, speed\nset_var speed, 3\nif $SPEED, %flag_2\nif_less 1, 2\nendif\nendif\n"
                                "object_tween_x hero, 5, 1, %Ease_Out_Back, %forever, 1, -1\n"
                                "object_tween_x main, 5, 1\ndraw_buffer main, main\ngosub sub\nexit\n:sub\nreturn\n") +
                    Sections),
              std::vector<std::string>{});
}

TEST(ScriptChecker, RulesBeyondTheBlackBoxCase)
{
    EXPECT_EQ(check(std::string("log a, b\n"
                                "endif\n"
                                "draw_object main, main\n"
                                "set_var $x, 1\n"
                                "log %flag_10\n"
                                "object_tween_x hero, 5, 1, 42\n"
                                "add_flag 0, 99999999999\n"
                                "render_scene nothing\n") +
                    Sections),
              (std::vector<std::string>{
                  "s:1: warning: \"log\" uses 1 parameters; \"b\" and any after it are ignored",
                  "s:2: warning: \"endif\" without an open \"if\" does nothing",
                  "s:3: error: \"draw_object\" parameter 2: \"main\" is a buffer, and draw_object draws only objects "
                  "(use draw_buffer)",
                  "s:4: warning: \"set_var\" parameter 1: write the variable name without \"$\" (\"$x\" is replaced "
                  "by the variable's value)",
                  "s:5: error: unknown constant \"%flag_10\" in parameter 1 of \"log\"",
                  "s:6: warning: \"object_tween_x\" parameter 4: easing 42 is not a known curve (0..16, 111, 112)",
                  "s:7: error: \"add_flag\" parameter 2: \"99999999999\" is out of range and reads as 0",
                  "s:8: error: \"render_scene\" parameter 1: buffer \"nothing\" is never created (create_buffer)",
              }));
    // Names made of constants are known only at run time: their uses are not checked.
    EXPECT_EQ(check(std::string("create_object %flag_1, sky\nobject_set_x anything, 1\n") + Sections),
              std::vector<std::string>{});
}

TEST(ScriptChecker, LabelsFlowEncodingAndParameterCounts)
{
    const struct
    {
        const char* script;
        std::vector<std::string> expected;
    } cases[] = {
        {": middle\ngoto middle\n",
         {"s:1: warning: label \" middle\" starts with a space, so \"goto middle\" does not reach it: write the name "
          "right after the colon",
          "s:2: error: \"goto\" parameter 1: label \"middle\" is not defined"}},
        {"log start\n:init\ncreate_buffer main\ncreate_object hero, sky\nexit\n:render\nexit\n",
         {"s:2: warning: the main flow runs into the \"init\" section here: end the main flow with exit (or a goto) "
          "before the section's label"}},
        {":spin\nadd_flag 0, 1\ngoto spin\n",
         {"s:3: warning: this loop has no delay and no way out: it runs 100000 lines in every step and the demo "
          "stands still (add a delay inside the loop)"}},
        {"object_set_shader hero, glow\nobject_set_uniform hero, amout, 1\nobject_tween_uniform main, amount, 0, 1, "
         "2\n",
         {"s:2: error: \"object_set_uniform\" parameter 2: uniform \"amout\" is not declared by shader \"glow\" (it "
          "declares amount), so setting it does nothing",
          "s:3: warning: \"object_tween_uniform\" parameter 2: object \"main\" never gets a shader "
          "(object_set_shader), so uniform \"amount\" changes nothing"}},
        {":twice\n:twice\n:twice\n",
         {"s:2: error: label \"twice\" is defined again (first at line 1); jumps go to the last definition, at line 3",
          "s:3: error: label \"twice\" is defined again (first at line 1); jumps go to the last definition, at line 3"}},
        // Only the render section jumps to "draw"; nothing leads to "lost".
        {"exit\n:init\ncreate_buffer main\nexit\n:render\ngosub draw\nexit\n:draw\nreturn\n:lost\nreturn\n",
         {"s:10: warning: label \"lost\" is never reached: no jump that can run leads to it, and no line runs on "
          "into it"}},
        {"log Score %flag_0\nlog score %flag_0\nlog Score\ndisplay_text title, Hi%true, 0, 0, 0, 1\n",
         {"s:1: warning: \"log\" parameter 1: \"Score %flag_0\" holds \"%\", so the player lower-cases the whole "
          "text (\"score %flag_0\")",
          "s:4: warning: \"display_text\" parameter 2: \"Hi%true\" holds \"%\", so the player lower-cases the "
          "whole text (\"hi%true\")"}},
        {"log Caf\xe9 au lait\nlog Caf\xc3\xa9\n",
         {"s:1:8: warning: not valid UTF-8 (byte 0xE9): the player shows broken letters here; save the file as "
          "UTF-8"}},
        // One parameter too few and one too many, for each shape of signature: none, only needed
        // ones (one, two, three, six) and needed ones followed by optional ones.
        {"pause_music now\n", {"s:1: warning: \"pause_music\" uses 0 parameters; \"now\" and any after it are ignored"}},
        {"delay\n", {"s:1: error: \"delay\" needs 1 parameters, 0 given"}},
        {"delay 1, 2\n", {"s:1: warning: \"delay\" uses 1 parameters; \"2\" and any after it are ignored"}},
        {"clear_buffer\n", {"s:1: error: \"clear_buffer\" needs 1 parameters, 0 given"}},
        {"clear_buffer main, main\n",
         {"s:1: warning: \"clear_buffer\" uses 1 parameters; \"main\" and any after it are ignored"}},
        {"set_flag 1\n", {"s:1: error: \"set_flag\" needs 2 parameters, 1 given"}},
        {"set_flag 1, 2, 3\n", {"s:1: warning: \"set_flag\" uses 2 parameters; \"3\" and any after it are ignored"}},
        {"draw_object main\n", {"s:1: error: \"draw_object\" needs 2 parameters, 1 given"}},
        {"draw_object main, hero, hero\n",
         {"s:1: warning: \"draw_object\" uses 2 parameters; \"hero\" and any after it are ignored"}},
        {"object_set_pos hero, 1\n", {"s:1: error: \"object_set_pos\" needs 3 parameters, 2 given"}},
        {"object_set_pos hero, 1, 2, 3\n",
         {"s:1: warning: \"object_set_pos\" uses 3 parameters; \"3\" and any after it are ignored"}},
        {"display_text caption, hi, 1, 2, 0\n", {"s:1: error: \"display_text\" needs 6 parameters, 5 given"}},
        {"display_text caption, hi, 1, 2, 0, 1, 7\n",
         {"s:1: warning: \"display_text\" uses 6 parameters; \"7\" and any after it are ignored"}},
        {"create_object other\n", {"s:1: error: \"create_object\" needs 2 parameters, 1 given"}},
        {"create_object other, sky, 0, 0, 0, 0, 0, 0, 9\n",
         {"s:1: warning: \"create_object\" uses 8 parameters; \"9\" and any after it are ignored"}},
        {"object_tween_x hero, 5\n", {"s:1: error: \"object_tween_x\" needs 3 parameters, 2 given"}},
        {"object_tween_x hero, 5, 1, 0, 1, 0, 0, 9\n",
         {"s:1: warning: \"object_tween_x\" uses 7 parameters; \"9\" and any after it are ignored"}},
        {"object_tween_pos hero, 1, 2\n", {"s:1: error: \"object_tween_pos\" needs 4 parameters, 3 given"}},
        {"object_tween_pos hero, 1, 2, 1, 0, 1, 0, 0, 9\n",
         {"s:1: warning: \"object_tween_pos\" uses 8 parameters; \"9\" and any after it are ignored"}},
        {"object_set_shader hero, glow\nobject_tween_uniform hero, amount, 0, 1\n",
         {"s:2: error: \"object_tween_uniform\" needs 5 parameters, 4 given"}},
        {"object_set_shader hero, glow\nobject_tween_uniform hero, amount, 0, 1, 2, 0, 1, 0, 0, 9\n",
         {"s:2: warning: \"object_tween_uniform\" uses 9 parameters; \"9\" and any after it are ignored"}},
    };
    // The second script brings its own sections; the others get the usual ones.
    for (const auto& c : cases)
        EXPECT_EQ(
            check(std::string(c.script) + (std::string(c.script).find(":init") == std::string::npos ? Sections : "")),
            c.expected)
            << c.script;
}
