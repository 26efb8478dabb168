#include "script/ScriptFlow.hpp"

#include "ScriptTestSupport.hpp"

#include <gtest/gtest.h>

#include <sstream>

using scripttest::parsed;

namespace
{

struct FlowCase
{
    const char* what;
    const char* script;
    const char* reached;   // labels the main flow arrives at, space-separated
    const char* unreached; // labels it never arrives at
    bool runsIntoInit;
    std::vector<int> endless; // goto lines (stored-line indexes) of endless loops
};

const FlowCase FlowCases[] = {
    {"sections kept off the path",
     "log a\ndelay 1\n:middle\nexit\n:init\nexit\n:render\nexit\n",
     "middle",
     "init render",
     false,
     {}},
    {"running on into init", "log a\n:init\ncreate_buffer main\nexit\n:render\nexit\n", "init", "render", true, {}},
    {"a jump over the sections", "goto end\n:init\nexit\n:render\nexit\n:end\nexit\n", "end", "init render", false, {}},
    {"both ways of a block",
     "if %flag_0, 1\ngoto a\nendif\ngoto b\n:a\nexit\n:b\nexit\n:c\nexit\n",
     "a b",
     "c",
     false,
     {}},
    {"a missing endif ends the script", "if 1, 2\nlog x\n:after\nexit\n", "after", "", false, {}},
    {"gosub comes back after its line",
     "gosub sub\n:back\nexit\n:sub\nreturn\n:never\nexit\n",
     "sub back",
     "never",
     false,
     {}},
    {"a jump built from a flag may go anywhere", "goto %flag_0\nexit\n:x\nexit\n", "x", "", false, {}},
    {"a label only a section jumps to", "log a\nexit\n:init\ngoto inner\n:inner\nexit\n:render\nexit\n", "",
     "inner init", false, {}},
    {"a loop without delay or way out", "log a\n:spin\nadd_flag 0, 1\ngoto spin\n", "spin", "", false, {3}},
    {"a counted loop can leave",
     ":count\nadd_flag 0, 1\nif_less %flag_0, 9\ngoto count\nendif\nexit\n",
     "count",
     "",
     false,
     {}},
    {"a loop with a delay yields", ":tick\nadd_flag 0, 1\ndelay 1\ngoto tick\n", "tick", "", false, {}},
    {"a loop whose delay is only on one way", ":l\nif %flag_0, 1\ndelay 1\nendif\ngoto l\n", "l", "", false, {}},
};
} // namespace

TEST(ScriptFlow, ReachesRunsIntoAndEndlessLoops)
{
    for (const FlowCase& c : FlowCases)
    {
        const Script script = parsed(c.script);
        const ScriptFlow flow(script);
        std::istringstream reached(c.reached), unreached(c.unreached);
        for (std::string label; reached >> label;)
            EXPECT_TRUE(flow.reaches(label)) << c.what << ": " << label;
        for (std::string label; unreached >> label;)
            EXPECT_FALSE(flow.reaches(label)) << c.what << ": " << label;
        int labelLine = -1;
        EXPECT_EQ(flow.runsIntoDefinition("init", labelLine), c.runsIntoInit) << c.what;
        EXPECT_EQ(flow.endlessLoops(), c.endless) << c.what;
    }
}

// The labels author mode lists and --timeline prints: those the main flow can arrive at, in the
// script's order, a name defined twice at its later definition (where jumps land).
TEST(ScriptFlow, TheLabelsOfTheMainFlow)
{
    const struct
    {
        const char* what;
        const char* script;
        const char* labels;     // names of the definitions found, space-separated, in order
        std::vector<int> lines; // their stored lines
    } cases[] = {
        {"sections kept off the path", "log a\ndelay 1\n:middle\nexit\n:init\nexit\n:render\nexit\n", "middle", {2}},
        {"running on into init", "log a\n:init\ncreate_buffer main\nexit\n:render\nexit\n", "init", {1}},
        {"script order, not order of arrival",
         "gosub sub\n:back\nexit\n:sub\nreturn\n:never\nexit\n",
         "back sub",
         {1, 3}},
        {"the later of two definitions", ":twice\nlog a\n:twice\ndelay 1\n:after\nexit\n", "twice after", {2, 4}},
        {"the earlier definition only, unreached", "goto twice\n:twice\nexit\n:twice\nexit\n", "twice", {3}},
        {"a label only a section jumps to", "log a\nexit\n:init\ngoto inner\n:inner\nexit\n:render\nexit\n", "", {}},
        {"a jump built from a flag may go anywhere", "goto %flag_0\nexit\n:x\nexit\n:y\nexit\n", "x y", {2, 4}},
        {"no labels", "log a\nexit\n", "", {}},
    };
    for (const auto& c : cases)
    {
        const Script script = parsed(c.script);
        const std::vector<int> lines = ScriptFlow(script).mainFlowLabels();
        EXPECT_EQ(lines, c.lines) << c.what;
        std::string names;
        for (int line : lines)
            names += (names.empty() ? "" : " ") + script.lines[static_cast<std::size_t>(line)].params[0];
        EXPECT_EQ(names, c.labels) << c.what;
    }
}
