#include "check/ScriptChecker.hpp"
#include "cutscene/CutsceneCommands.hpp"
#include "script/ScriptInterp.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
const char* const Sections = ":init\ncreate_buffer main\ncreate_object hero, sky\nexit\n:render\nexit\n";

// The diagnostics of a script, one formatted line each.
std::vector<std::string> check(const std::string& text)
{
    Diagnostics diagnostics;
    DemoIndex index;
    index.textures = {"sky"};
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
        const CommandSpec& spec = ScriptInterp::builtin(row).spec;
        EXPECT_EQ(ScriptChecker::command(std::string(spec.name)), &spec) << spec.name;
    }
    for (const CutsceneCommands::Row* row : CutsceneCommands::all())
        EXPECT_EQ(ScriptChecker::command(std::string(row->spec.name)), &row->spec) << row->spec.name;
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
