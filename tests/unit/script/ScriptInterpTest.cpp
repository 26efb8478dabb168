#include "CountingAllocator.hpp"
#include "ScriptTestSupport.hpp"

#include <atomic>
#include <climits>
#include <cstdlib>
#include <new>

using namespace scripttest;

namespace
{
const float StepTime = 1.f / 60.f;

Output step(Bound<>& bound)
{
    return capture([&] { bound.interp.update(StepTime); });
}

std::vector<std::string> commandsReceived(const RecordingEntity& entity)
{
    std::vector<std::string> commands;
    for (const Received& line : entity.received)
        commands.push_back(line.command);
    return commands;
}
} // namespace

// ---- binding and reset ----

TEST(ScriptInterpBinding, BindStartsTheMainFlowAndKeepsFlagsAndResetRequest)
{
    Bound<> bound("log a\nlog b\n:x\n");
    ScriptInterp& interp = bound.interp;
    interp.aliases[4] = "$x";
    interp.pc = 2;
    interp.delay = 3.f;
    interp.returnLine = 1;
    interp.running = false;
    interp.resetRequested = true;
    bound.entity.flags[5] = 42;
    interp.bind(&bound.script, &bound.entity);
    EXPECT_EQ(interp.script, &bound.script);
    EXPECT_EQ(interp.entity, &bound.entity);
    EXPECT_TRUE(interp.running);
    EXPECT_EQ(interp.pc, 0);
    EXPECT_EQ(interp.delay, 0.f);
    EXPECT_EQ(interp.returnLine, -1);
    EXPECT_EQ(interp.lineCount, 3);
    EXPECT_EQ(interp.aliases[4], "");
    EXPECT_TRUE(interp.resetRequested);
    EXPECT_EQ(bound.entity.flags[5], 42);
}

TEST(ScriptInterpBinding, ResetLeavesRunningAndTheScript)
{
    Bound<> bound("log a\n");
    bound.interp.pc = 1;
    bound.interp.delay = 1.f;
    bound.interp.returnLine = 0;
    bound.interp.aliases[0] = "$a";
    bound.interp.reset();
    EXPECT_EQ(bound.interp.pc, 0);
    EXPECT_EQ(bound.interp.delay, 0.f);
    EXPECT_EQ(bound.interp.returnLine, -1);
    EXPECT_EQ(bound.interp.aliases[0], "");
    EXPECT_TRUE(bound.interp.running);
    EXPECT_EQ(bound.interp.lineCount, 1);
}

TEST(ScriptInterpBinding, FlagsSurviveBindingAnotherScript)
{
    Bound<> bound("set_flag 2, 9\nalias 2, keep\n");
    step(bound);
    ASSERT_EQ(bound.entity.flags[2], 9);
    ASSERT_TRUE(bound.load("log %flag_2 $keep\nlog $keep\n"));
    const Output output = step(bound);
    // Aliases are emptied by the binding, flags are not.
    EXPECT_EQ(output.out, "LOG: 9 $keep\nLOG: \nScriptInterp: Reached end of script.\n");
}

TEST(ScriptInterpBinding, UpdateDoesNothingUnlessRunning)
{
    ScriptInterp interp;
    const Output idle = capture([&] { interp.update(StepTime); });
    EXPECT_EQ(idle.out + idle.err, "");

    interp.running = true;
    const Output unbound = capture([&] { interp.update(StepTime); });
    EXPECT_EQ(unbound.err, "ScriptInterp: Trying to update() without a script reference.\n");
    EXPECT_EQ(unbound.out, "");

    bool result = true;
    const Output run = capture([&] { result = interp.run("init"); });
    EXPECT_FALSE(result);
    EXPECT_EQ(run.err, "ScriptInterp: Trying to run() without a script or an entity.\n");
}

// ---- delays and the end of the script ----

TEST(ScriptInterpDelay, DelayOfTwoThenExitCountsDownInSteps)
{
    Bound<> bound("delay 2\nexit\n");
    step(bound);
    EXPECT_EQ(bound.interp.pc, 1);
    EXPECT_EQ(bound.interp.delay, 2.f);
    int countdown = 0;
    Output output;
    while (bound.interp.running && countdown < 200)
    {
        output = step(bound);
        if (bound.interp.running)
        {
            ++countdown;
            EXPECT_EQ(bound.interp.pc, 1);
        }
    }
    // 2 s at 1/60 s per step, give or take the rounding of the float subtraction.
    EXPECT_GE(countdown, 120);
    EXPECT_LE(countdown, 121);
    EXPECT_FALSE(bound.interp.running);
    EXPECT_EQ(bound.interp.pc, 0);
    EXPECT_EQ(output.out + output.err, "");
}

TEST(ScriptInterpDelay, DelayOfZeroOrLessEndsTheRun)
{
    Bound<> bound("log a\ndelay 0\nlog b\ndelay -1\nlog c\n");
    EXPECT_EQ(step(bound).out, "LOG: a\n");
    EXPECT_EQ(bound.interp.pc, 2);
    EXPECT_TRUE(bound.interp.running);
    EXPECT_EQ(step(bound).out, "LOG: b\n");
    const Output last = step(bound);
    EXPECT_EQ(last.out, "LOG: c\nScriptInterp: Reached end of script.\n");
    EXPECT_EQ(last.err, "");
    EXPECT_FALSE(bound.interp.running);
}

TEST(ScriptInterpDelay, DelayAsLastLineLeavesTheEndToTheNextStep)
{
    Bound<> bound("delay 0\n");
    EXPECT_EQ(step(bound).out, "");
    EXPECT_TRUE(bound.interp.running);
    EXPECT_EQ(step(bound).out, "ScriptInterp: Reached end of script.\n");
    EXPECT_FALSE(bound.interp.running);
}

// A loop without a delay yields after a bounded number of lines instead of hanging the frame.
TEST(ScriptInterpJumps, RunawayLoopYieldsToTheNextStepAndReportsOnce)
{
    Bound<> bound(":top\nadd_flag 0, 1\ngoto top\n");
    const Output first = step(bound);
    EXPECT_TRUE(bound.interp.running);
    EXPECT_EQ(first.err, "ScriptInterp: (add_flag @2) 100000 lines ran without a delay; the script goes on at "
                         "the next step.\n");
    const std::int32_t afterFirst = bound.entity.flags[0];
    EXPECT_GT(afterFirst, 30000);
    const Output second = step(bound);
    EXPECT_EQ(second.err, "");
    EXPECT_GT(bound.entity.flags[0], afterFirst);
}

// ---- reset_script ----

TEST(ScriptInterpReset, ResetInTheMainFlowRestartsAtLineZero)
{
    Bound<> bound("add_flag 0, 1\nlog %flag_0\nreset_script\nlog never\n:init\nalias 3, count\nexit\n");
    bound.interp.executeSub("init");
    EXPECT_EQ(step(bound).out, "LOG: 1\n");
    EXPECT_TRUE(bound.interp.running);
    EXPECT_FALSE(bound.interp.resetRequested);
    EXPECT_EQ(bound.interp.pc, 0);
    EXPECT_EQ(step(bound).out, "LOG: 2\n");
    EXPECT_EQ(bound.interp.aliases[3], "$count");
}

TEST(ScriptInterpReset, ResetInsideASectionRestartsTheMainFlow)
{
    Bound<> bound("log main\ndelay 5\nlog main2\nexit\n:render\nreset_script\n");
    step(bound);
    ASSERT_EQ(bound.interp.pc, 2);
    bound.interp.executeSub("render");
    EXPECT_FALSE(bound.interp.resetRequested);
    EXPECT_TRUE(bound.interp.running);
    EXPECT_EQ(bound.interp.pc, 0);
    EXPECT_EQ(bound.interp.delay, 0.f);
    EXPECT_EQ(bound.interp.returnLine, -1);
    EXPECT_EQ(step(bound).out, "LOG: main\n");
}

TEST(ScriptInterpReset, ResetThroughExecuteFrom)
{
    Bound<> bound("exit\n:start\nlog start\nreset_script\n");
    step(bound);
    ASSERT_FALSE(bound.interp.running);
    EXPECT_EQ(capture([&] { bound.interp.executeFrom("start"); }).out, "LOG: start\n");
    EXPECT_TRUE(bound.interp.running);
    EXPECT_FALSE(bound.interp.resetRequested);
    EXPECT_EQ(bound.interp.pc, 0);
}

// ---- sections ----

TEST(ScriptInterpSections, ExitInASectionEndsOnlyTheSection)
{
    Bound<> bound("log main1\ndelay 1\nlog main2\nexit\n:render\nlog render\nexit\n");
    step(bound);
    const Output output = capture([&] { bound.interp.executeSub("render"); });
    EXPECT_EQ(output.out, "LOG: render\n");
    EXPECT_TRUE(bound.interp.running);
    EXPECT_EQ(bound.interp.pc, 2);
    EXPECT_EQ(bound.interp.delay, 1.f);
}

TEST(ScriptInterpSections, SectionKeepsTheMainFlowsSubroutine)
{
    Bound<> bound("gosub sub\nexit\n:sub\ndelay 1\nlog sub\nreturn\n:render\ngosub helper\nexit\n:helper\nreturn\n");
    step(bound);
    ASSERT_EQ(bound.interp.returnLine, 0);
    capture([&] { bound.interp.executeSub("render"); });
    EXPECT_EQ(bound.interp.returnLine, 0);
    EXPECT_EQ(bound.interp.pc, 4);
}

TEST(ScriptInterpSections, DelayInASectionAddsToTheMainDelay)
{
    Bound<> bound("delay 1\nexit\n:render\ndelay 0.5\nlog after\nexit\n");
    step(bound);
    capture([&] { bound.interp.executeSub("render"); });
    EXPECT_FLOAT_EQ(bound.interp.delay, 1.5f);
    EXPECT_EQ(bound.interp.pc, 1);
    EXPECT_TRUE(bound.interp.running);
}

TEST(ScriptInterpSections, SectionRunningToTheEndReportsIt)
{
    Bound<> bound("delay 1\nexit\n:render\nlog r\n");
    step(bound);
    const Output output = capture([&] { bound.interp.executeSub("render"); });
    EXPECT_EQ(output.out, "LOG: r\nScriptInterp: Reached end of script.\n");
    EXPECT_TRUE(bound.interp.running);
    EXPECT_EQ(bound.interp.pc, 1);
}

TEST(ScriptInterpSections, ExecuteSubWhenStoppedActsAsExecuteFrom)
{
    Bound<> bound("exit\n:start\nlog start\ndelay 1\nlog next\n");
    step(bound);
    ASSERT_FALSE(bound.interp.running);
    EXPECT_EQ(capture([&] { bound.interp.executeSub("start"); }).out, "LOG: start\n");
    EXPECT_TRUE(bound.interp.running);
    EXPECT_EQ(bound.interp.pc, 4);
    EXPECT_EQ(bound.interp.delay, 1.f);
}

TEST(ScriptInterpSections, ExecuteFromSetsRunningFromTheRun)
{
    Bound<> bound("log a\ndelay 3\n:go\nlog go\n");
    step(bound);
    const Output output = capture([&] { bound.interp.executeFrom("go"); });
    EXPECT_EQ(output.out, "LOG: go\nScriptInterp: Reached end of script.\n");
    EXPECT_FALSE(bound.interp.running);
    EXPECT_EQ(bound.interp.delay, 0.f);
}

TEST(ScriptInterpSections, UndefinedSectionStartsAtLineZero)
{
    Bound<> bound("log zero\nexit\n");
    const Output output = capture([&] { bound.interp.executeSub("render"); });
    EXPECT_EQ(output.err, "Script: Unable to find label [render]\n");
    EXPECT_EQ(output.out, "LOG: zero\n");
    EXPECT_TRUE(bound.interp.running);
}

TEST(ScriptInterpSections, EmptyLabelsAndMissingScriptAreReported)
{
    Bound<> bound("log a\n");
    const Output sub = capture([&] { bound.interp.executeSub(""); });
    EXPECT_EQ(sub.err, "ScriptInterp: Cannot executeSub on empty label.\n");
    const Output from = capture([&] { bound.interp.executeFrom(""); });
    EXPECT_EQ(from.err, "ScriptInterp: Cannot executeFrom on empty label.\n");
    EXPECT_EQ(sub.out + from.out, "");
    EXPECT_EQ(bound.interp.pc, 0);
    EXPECT_TRUE(bound.interp.running);

    ScriptInterp unbound;
    const Output noScript = capture([&] {
        unbound.executeSub("init");
        unbound.executeFrom("init");
    });
    EXPECT_EQ(noScript.err, "ScriptInterp: Cannot executeSub [init] without a script.\n"
                            "ScriptInterp: Cannot executeFrom [init] without a script.\n");
    EXPECT_FALSE(unbound.running);
}

// ---- the extension ----

TEST(ScriptInterpExtension, UnknownCommandsGoToTheEntityWithResolvedParameters)
{
    Bound<> bound("; comment\nset_flag 1, 4\n\nobject_tween_x hero, %flag_1, %TEN\n");
    step(bound);
    ASSERT_EQ(bound.entity.received.size(), 1u);
    const Received& line = bound.entity.received[0];
    EXPECT_EQ(line.command, "object_tween_x");
    EXPECT_EQ(line.params, params({"hero", "4", "10"}));
    EXPECT_EQ(line.currentCommand, "object_tween_x");
    EXPECT_EQ(line.currentLineNumber, 2);
}

// ---- one step of a script: what it prints, whether it goes on, and the flags it leaves ----

namespace
{
using Flags = std::vector<std::pair<int, std::int32_t>>;
enum class After
{
    Running,
    Stopped,
    Either
};

struct FirstStep
{
    const char* name;
    const char* script;
    const char* out; // null: not compared
    const char* err; // null: not compared
    After after;
    Flags flags;
    // Anything more a case looks at, or prepares before the step.
    void (*check)(Bound<>& bound) = nullptr;
    void (*prepare)(Bound<>& bound) = nullptr;
};

const char* const End = "ScriptInterp: Reached end of script.\n";
const char* const MissingEndif = "ScriptInterp: Reached end of script in BRANCH. Missing endif?\n";

const FirstStep FirstSteps[] = {
    // Conditional blocks.
    {"IfRunsItsBlockWhenEqual",
     "set_flag 3, 7\nif %flag_3, 7\nlog in\nendif\nlog after\n",
     "LOG: in\nLOG: after\nScriptInterp: Reached end of script.\n",
     "",
     After::Stopped,
     {{3, 7}}},
    {"IfSkipsToItsOwnEndifWhenDifferent",
     "set_flag 3, 7\nif %flag_3, 8\nlog in\nif 1, 1\nlog nested\nendif\nlog in2\nendif\nlog after\n",
     "LOG: after\nScriptInterp: Reached end of script.\n",
     "",
     After::Stopped,
     {}},
    {"ComparisonsOpenTheirBlocks",
     "if_not 1, 2\nlog not\nendif\nif_not 2, 2\nlog no1\nendif\nif_less 1, 2\nlog less\nendif\n"
     "if_less 2, 2\nlog no2\nendif\nif_more 3, 2\nlog more\nendif\nif_more 2, 2\nlog no3\nendif\nexit\n",
     "LOG: not\nLOG: less\nLOG: more\n",
     "",
     After::Stopped,
     {}},
    {"EnemyTestsCountAsOpenersOnlyWhileSkipping",
     "if 0, 1\nif_enemy_alive boss\nlog x\nendif\nif_not_enemy_alive boss\nendif\nlog y\nendif\n"
     "if_enemy_alive boss\nlog z\nendif\n",
     "LOG: z\nScriptInterp: Reached end of script.\n",
     "",
     After::Stopped,
     {},
     [](Bound<>& bound) {
         // Executed, they are the extension's commands.
         ASSERT_EQ(bound.entity.received.size(), 1u);
         EXPECT_EQ(bound.entity.received[0].command, "if_enemy_alive");
         EXPECT_EQ(bound.entity.received[0].params, params({"boss"}));
     }},
    {"MissingEndifEndsTheRun", "log a\nif 0, 1\nlog b\n", "LOG: a\n", MissingEndif, After::Stopped, {}},
    // A skipped block whose endif is the script's last line ends the script normally.
    {"SkippedBlockEndingTheScriptIsAPlainEnd", "if 0, 1\nlog b\nendif\n", End, "", After::Stopped, {}},
    {"NestedBlockOpenAtTheEndStillReportsTheBranch", "if 0, 1\nif 1, 1\nendif\n", "", MissingEndif, After::Stopped, {}},
    // Written as commands, a label line and endif take any number of parameters silently.
    {"LabelAndEndifCountNoParameters",
     "_label\nendif a, b\nlog a\n",
     "LOG: a\nScriptInterp: Reached end of script.\n",
     "",
     After::Stopped,
     {}},
    {"EndifWithoutBlockDoesNothing",
     "endif\nlog a\n",
     "LOG: a\nScriptInterp: Reached end of script.\n",
     "",
     After::Stopped,
     {}},
    {"SkippedLinesAreResolvedButNotExecuted",
     "if 0, 1\nother %Flag_1, x\nset_flag 1, 5\nendif\nexit\n",
     nullptr,
     "",
     After::Stopped,
     {{1, 0}},
     [](Bound<>& bound) {
         EXPECT_TRUE(bound.entity.received.empty());
         EXPECT_EQ(bound.entity.variables, params({"0"}));
     }},
    // Jumps and subroutines.
    {"GosubReturnsAfterTheCall",
     "gosub sub\nlog back\nexit\n:sub\nlog in sub\nreturn\n",
     "LOG: in sub\nLOG: back\n",
     "",
     After::Stopped,
     {},
     [](Bound<>& bound) { EXPECT_EQ(bound.interp.returnLine, -1); }},
    {"GosubInsideASubroutineWarnsAndGoesOn",
     "gosub sub\nlog back\nexit\n:sub\ngosub other\nlog still in sub\nreturn\n:other\nlog other\nexit\n",
     "LOG: still in sub\nLOG: back\n",
     "ScriptInterp: WARNING! Attempting to call GOSUB from a SUBROUTINE. \n",
     After::Stopped,
     {}},
    {"ReturnWithoutGosubContinuesAtLineZero",
     "if %flag_0, 1\nexit\nendif\nset_flag 0, 1\nlog r\nreturn\nlog never\n",
     "LOG: r\n",
     nullptr,
     After::Stopped,
     {}},
    {"GotoInsideASubroutineForgetsTheReturn",
     "gosub sub\nlog back\nexit\n:sub\ngoto next\n:next\nif %flag_0, 1\nexit\nendif\nset_flag 0, 1\nlog looping\n"
     "return\n",
     "LOG: looping\n",
     "",
     After::Stopped,
     {}},
    {"JumpToAnUndefinedLabelGoesToLineZero",
     "add_flag 0, 1\nif %flag_0, 2\nexit\nendif\ngoto nowhere\n",
     nullptr,
     "Script: Unable to find label [nowhere]\n",
     After::Stopped,
     {{0, 2}}},
    {"JumpToALabelOnTheLastLineEndsTheScript", "goto end\nlog skipped\n:end", End, nullptr, After::Stopped, {}},
    // A label made of constants is looked up when the line runs; a plain one was found at load.
    {"JumpToALabelMadeOfConstants",
     "set_flag 0, 2\ngoto L%flag_0\n:l1\nlog one\nexit\n:l2\nlog two\nexit\n",
     "LOG: two\n",
     "",
     After::Stopped,
     {}},
    {"JumpGoesToALabelsLastDefinition",
     "goto twice\n:twice\nlog first\nexit\n:twice\nlog last\nexit\n",
     "LOG: last\n",
     "",
     After::Stopped,
     {}},
    // The extension.
    {"UnhandledCommandIsReportedAndTheScriptGoesOn",
     "unknown_thing 1\nlog next\n",
     "LOG: next\nScriptInterp: Reached end of script.\n",
     "ScriptInterp: Unhandled command [unknown_thing].\n",
     After::Stopped,
     {}},
    {"CommandWordsMatchExactly",
     "LOG x\nExit\nlog y\n",
     "LOG: y\nScriptInterp: Reached end of script.\n",
     nullptr,
     After::Stopped,
     {},
     [](Bound<>& bound) {
         EXPECT_EQ(commandsReceived(bound.entity), params({"LOG", "Exit"}));
     }},
    {"MusicCommandsAreBuiltIn",
     "play_music nosuchsong\npause_music\nresume_music\nfade_out_music 0.5\n",
     nullptr,
     nullptr,
     After::Stopped,
     {},
     [](Bound<>& bound) { EXPECT_TRUE(bound.entity.received.empty()); }},
    // Commands, parameters and their messages.
    {"LogWritesItsText",
     "log hello world\nlog \"a, b\"\nlog\n",
     "LOG: hello world\nLOG: a, b\nLOG: \nScriptInterp: Reached end of script.\n",
     "ScriptInterp: Command [log] needs 1 parameters. 0 found.\n",
     After::Stopped,
     {}},
    {"ShortParameterListIsReportedAndStillRuns",
     "set_flag 1\n",
     nullptr,
     "ScriptInterp: Command [set_flag] needs 2 parameters. 1 found.\n",
     After::Stopped,
     {{1, 0}},
     nullptr,
     [](Bound<>& bound) { bound.entity.flags[1] = 5; }},
    {"MessagesNameTheStoredLine",
     "; header\n\nset_flag 0, 1\n\n; note\nset_flag abc, 1\ndelay 99999999999999999999999999999999999999999\n",
     nullptr,
     "ScriptInterp: (set_flag @2) param 0 abc is not a valid integer.\n"
     "ScriptInterp: (delay) param 0 99999999999999999999999999999999999999999 is out of range.\n",
     After::Running,
     {{0, 1}},
     [](Bound<>& bound) { EXPECT_EQ(bound.interp.delay, 0.f); }},
    // A malformed number written in the script is reported every time its line runs.
    {"MalformedNumbersAreReportedOnEveryRun",
     ":again\nadd_flag 1, 1\nset_flag x, 4\nif_less %flag_1, 2\ngoto again\nendif\n",
     End,
     "ScriptInterp: (set_flag @3) param 0 x is not a valid integer.\n"
     "ScriptInterp: (set_flag @3) param 0 x is not a valid integer.\n",
     After::Stopped,
     {{0, 4}, {1, 2}}},
    {"SetFlagReadsTheValueFirst",
     "set_flag a, b\n",
     nullptr,
     "ScriptInterp: (set_flag @1) param 1 b is not a valid integer.\n"
     "ScriptInterp: (set_flag @1) param 0 a is not a valid integer.\n",
     After::Stopped,
     {{0, 0}}},
    {"FlagArithmetic",
     "set_flag 0, 10\nadd_flag 0, 5\nsub_flag 0, 20\nmul_flag 0, 3\nset_flag 1, -7\ndiv_flag 1, 2\nset_flag 2, 7\n"
     "div_flag 2, -2\n",
     nullptr,
     "",
     After::Stopped,
     {{0, -15}, {1, -3}, {2, -3}}},
    {"VariablesAreNamedFlags",
     "alias 2, Speed\nset_var SPEED, 10\nadd_var speed, 4\nsub_var speed, 2\nmul_var speed, 3\ndiv_var speed, 5\n"
     "log $Speed\n",
     "LOG: 7\nScriptInterp: Reached end of script.\n",
     "",
     After::Stopped,
     {{2, 7}},
     [](Bound<>& bound) { EXPECT_EQ(bound.interp.aliases[2], "$speed"); }},
    {"UndefinedVariableWritesFlagZero",
     "set_var nope, 6\n",
     nullptr,
     "ScriptInterp: (set_var) variable $nope is not defined as an alias. Defaulting to flag 0.\n",
     After::Stopped,
     {{0, 6}}},
    {"AliasIndexPrefersTheLowerSlot",
     "alias 3, a\nalias 1, A\nset_var a, 8\n",
     nullptr,
     nullptr,
     After::Stopped,
     {{1, 8}, {3, 0}},
     [](Bound<>& bound) { EXPECT_EQ(bound.interp.aliasIndex("$a"), 1); }},
    // Faults the interpreter survives.
    {"DivisionByZeroKeepsTheFlag",
     "set_flag 2, 9\nalias 4, v\nset_var v, 3\ndiv_flag 2, 0\ndiv_var v, 0\nlog on\n",
     "LOG: on\nScriptInterp: Reached end of script.\n",
     "ScriptInterp: (div_flag @4) division by zero. Flag 2 keeps its value.\n"
     "ScriptInterp: (div_var @5) division by zero. Flag 4 keeps its value.\n",
     After::Stopped,
     {{2, 9}, {4, 3}}},
    {"FlagIndexOutsideTheNineIsRefused",
     "set_flag 9, 1\nadd_flag -1, 1\nsub_flag 100, 1\nmul_flag 9, 2\ndiv_flag -2147483648, 1\nalias -1, x\n"
     "alias 9, y\nlog $x $y\n",
     "LOG: \nScriptInterp: Reached end of script.\n",
     "ScriptInterp: (set_flag @1) flag index 9 is out of range 0..8.\n"
     "ScriptInterp: (add_flag @2) flag index -1 is out of range 0..8.\n"
     "ScriptInterp: (sub_flag @3) flag index 100 is out of range 0..8.\n"
     "ScriptInterp: (mul_flag @4) flag index 9 is out of range 0..8.\n"
     "ScriptInterp: (div_flag @5) flag index -2147483648 is out of range 0..8.\n"
     "ScriptInterp: (alias @6) alias index -1 is out of range 0..8.\n"
     "ScriptInterp: (alias @7) alias index 9 is out of range 0..8.\n",
     After::Stopped,
     {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}, {7, 8}, {8, 9}},
     [](Bound<>& bound) {
         for (const std::string& alias : bound.interp.aliases)
             EXPECT_EQ(alias, "");
     },
     [](Bound<>& bound) {
         for (int i = 0; i < GameEntity::FlagCount; ++i)
             bound.entity.flags[i] = i + 1;
     }},
    {"FlagArithmeticWrapsAroundThirtyTwoBits",
     "set_flag 0, 2147483647\nadd_flag 0, 1\nset_flag 1, -2147483648\nsub_flag 1, 1\nset_flag 2, 2147483647\n"
     "mul_flag 2, 2\nset_flag 3, -2147483648\ndiv_flag 3, -1\nset_flag 4, -2147483648\nmul_flag 4, -1\nalias 5, v\n"
     "set_var v, -2147483648\nsub_var v, 2147483647\n",
     nullptr,
     "",
     After::Stopped,
     {{0, INT_MIN}, {1, INT_MAX}, {2, -2}, {3, INT_MIN}, {4, INT_MIN}, {5, 1}}},
    {"EmptyScriptEndsAtOnce",
     "; nothing\n",
     End,
     "",
     After::Stopped,
     {},
     [](Bound<>& bound) { EXPECT_EQ(step(bound).out, ""); }},
};
} // namespace

TEST(ScriptInterpSteps, FirstStepOfEachScript)
{
    for (const FirstStep& row : FirstSteps)
    {
        SCOPED_TRACE(row.name);
        Bound<> bound(row.script);
        if (row.prepare)
            row.prepare(bound);
        const Output output = step(bound);
        if (row.out)
        {
            EXPECT_EQ(output.out, row.out);
        }
        if (row.err)
        {
            EXPECT_EQ(output.err, row.err);
        }
        if (row.after != After::Either)
        {
            EXPECT_EQ(bound.interp.running, row.after == After::Running);
        }
        for (const auto& flag : row.flags)
            EXPECT_EQ(bound.entity.flags[flag.first], flag.second) << "flag " << flag.first;
        if (row.check)
            row.check(bound);
    }
}

// ---- parameter resolution ----

class ScriptInterpResolve : public testing::Test
{
protected:
    std::string resolve(const std::string& text)
    {
        std::string result;
        const Output output = capture([&] { result = interp.resolveParam(text); });
        EXPECT_EQ(output.out + output.err, "");
        return result;
    }

    RecordingEntity entity;
    Script script;
    ScriptInterp interp;

    void SetUp() override { interp.bind(&script, &entity); }
};

TEST_F(ScriptInterpResolve, PlainTextIsUnchanged)
{
    EXPECT_EQ(resolve("Hello World"), "Hello World");
    EXPECT_TRUE(entity.variables.empty());
}

TEST_F(ScriptInterpResolve, ConstantsAreCaseInsensitive)
{
    EXPECT_EQ(resolve("%TRUE"), "1");
    EXPECT_EQ(resolve("%False"), "0");
    entity.flags[4] = -3;
    EXPECT_EQ(resolve("%flag_4"), "-3");
    EXPECT_EQ(resolve("%FLAG_4"), "-3");
}

TEST_F(ScriptInterpResolve, ConstantsInsideLongerTexts)
{
    entity.flags[2] = 5;
    EXPECT_EQ(resolve("x%flag_2y"), "x5y");
    EXPECT_EQ(resolve("Mixed %Case"), "mixed %case");
}

TEST_F(ScriptInterpResolve, OnlyTheFirstOccurrenceIsReplaced)
{
    entity.flags[1] = 7;
    EXPECT_EQ(resolve("%flag_1+%flag_1"), "7+%flag_1");
    EXPECT_EQ(resolve("%true%true"), "1%true");
    // "%flag_10" holds "%flag_1" first.
    EXPECT_EQ(resolve("%flag_10"), "70");
}

TEST_F(ScriptInterpResolve, EntitySeesTheLoweredSubstitutedText)
{
    entity.flags[0] = 2;
    EXPECT_EQ(resolve("%TEN_%FLAG_0_%True"), "10_2_1");
    EXPECT_EQ(entity.variables, params({"%ten_2_1"}));
}

TEST_F(ScriptInterpResolve, AliasesStandForTheirFlags)
{
    interp.aliases[2] = "$speed";
    entity.flags[2] = 12;
    EXPECT_EQ(resolve("$SPEED"), "12");
    EXPECT_EQ(resolve("$speedy"), "");
    EXPECT_EQ(resolve("x $speed"), "");
    EXPECT_EQ(resolve("%true$x"), "1$x");
    EXPECT_EQ(entity.variables.size(), 1u);
}

TEST_F(ScriptInterpResolve, AliasTextContainingAPercentSign)
{
    interp.aliases[6] = "$a%true";
    entity.flags[6] = 3;
    EXPECT_EQ(resolve("$A%TRUE"), "3");
    EXPECT_EQ(entity.variables, params({"$a1"}));
}

TEST_F(ScriptInterpResolve, UndefinedAliasKeyIsReported)
{
    currentCommand = "add_var";
    int index = -1;
    const Output output = capture([&] { index = interp.aliasIndex("$ghost"); });
    EXPECT_EQ(index, 0);
    EXPECT_EQ(output.err,
              "ScriptInterp: (add_var) variable $ghost is not defined as an alias. Defaulting to flag 0.\n");
}

// ---- steady state ----

namespace
{
// Declines nothing and keeps nothing, so that only the interpreter's own allocations count.
class QuietEntity : public GameEntity
{
public:
    bool extScript(const ScriptLine& line) override
    {
        seen += static_cast<int>(line.params.size());
        return true;
    }
    std::string extVariable(std::string text) override { return text; }
    int seen = 0;
};
} // namespace


TEST(ScriptInterpSteadyState, RunningLinesDoesNotAllocate)
{
    Bound<QuietEntity> bound(":loop\nadd_flag 1, %TRUE\nalias 0, counter\nset_var counter, %flag_1\n"
                             "if %flag_0, -1\nendif\nscene_cmd a long parameter text of some length, $counter, x\n"
                             "scene_cmd\ndelay 0\ngoto loop\n");
    for (int i = 0; i < 3; ++i)
        bound.interp.update(StepTime);
    countingAllocations = true;
    for (int i = 0; i < 100; ++i)
        bound.interp.update(StepTime);
    countingAllocations = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_EQ(bound.entity.flags[1], 103);
    EXPECT_EQ(bound.entity.seen, 103 * 3);
}

TEST(ScriptInterpSteadyState, ReportingAProblemWithoutAListenerDoesNotAllocate)
{
    // Written to a sink that keeps nothing, so that only the report's own allocations count.
    struct Sink : std::streambuf
    {
        int_type overflow(int_type c) override { return c; }
    } sink;
    Bound<QuietEntity> bound("set_flag 9, 1\ndiv_flag 2, 0\nset_flag x, 1\ndelay 0\n");
    std::streambuf* previous = std::cerr.rdbuf(&sink);
    bound.interp.update(StepTime);
    countingAllocations = true;
    for (int i = 0; i < 20; ++i)
    {
        bound.interp.rewind();
        bound.interp.update(StepTime);
    }
    countingAllocations = false;
    std::cerr.rdbuf(previous);
    EXPECT_EQ(allocations.load(), 0);
}

// ---- where the main flow ended ----

TEST(ScriptInterpEnd, StopLineIsTheExitThatEndedTheMainFlow)
{
    struct Case
    {
        const char* script;
        int steps;
        int stopLine; // stored line, -1: none
        int renders = 0; // times the render section runs after those steps
    };
    const Case cases[] = {
        {"set_flag 0, 1\nexit\nset_flag 0, 2\n", 1, 1},        // exit moves pc to 0; the line stays known
        {"goto out\nexit\n:out\nset_flag 0, 1\nexit\n", 1, 4}, // the exit it jumped to
        {"set_flag 0, 1\n", 1, -1},                            // ran off the end: no exit
        {"delay 1\nexit\n", 1, -1},                            // still running
        // The render section runs on after the end; its own exit is not the one that ended it.
        {"set_flag 0, 1\nexit\n:render\nset_flag 0, 3\nexit\n", 1, 1, 2},
    };
    for (const Case& c : cases)
    {
        Bound<> bound(c.script);
        for (int i = 0; i < c.steps; ++i)
            step(bound);
        for (int i = 0; i < c.renders; ++i)
            bound.interp.executeSub("render");
        EXPECT_EQ(bound.interp.stopLine, c.stopLine) << c.script;
        bound.interp.rewind();
        EXPECT_EQ(bound.interp.stopLine, -1) << "a rewind forgets it: " << c.script;
    }
}

// ---- where the main flow is ----

// The line author mode shows and the control channel reports: the delay it waits at, the exit that
// ended it, or the end of a script it ran off.
TEST(ScriptInterpPosition, TheLineTheMainFlowIsAt)
{
    const struct
    {
        const char* what;
        const char* script;
        int steps; // -1: until the run ends
        int line;
    } rows[] = {
        {"before the first step", "log a\ndelay 1\nexit\n", 0, 0},
        {"waiting in a delay", "log a\ndelay 1\nlog b\nexit\n", 1, 1},
        {"still waiting", "log a\ndelay 1\nlog b\nexit\n", 30, 1},
        {"ended by exit", "log a\ndelay 1\nlog b\nexit\nlog never\n", -1, 3},
        {"ran off the end", "log a\ndelay 0.1\nlog b\n", -1, 3},
        {"a delay on the first line", "delay 1\nexit\n", 1, 0},
    };
    for (const auto& row : rows)
    {
        Bound<> bound(row.script);
        for (int i = 0; row.steps < 0 ? bound.interp.running && i < 600 : i < row.steps; ++i)
            step(bound);
        EXPECT_EQ(bound.interp.mainFlowLine(), row.line) << row.what;
    }
}
