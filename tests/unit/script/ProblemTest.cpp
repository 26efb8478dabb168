#include "ScriptTestSupport.hpp"

#include "report/Problem.hpp"

using namespace scripttest;

namespace
{
// What a report gave the listener, copied while the problem lived.
struct Heard
{
    std::string console;
    std::string panel;
    std::string command;
    int storedLine;
    int parameter;
    std::string text;
};

// Listens for the test's length, and leaves no listener behind.
struct Listening
{
    explicit Listening(const std::string& where)
    {
        listening = Problem::listen([this, where](const Problem& problem) {
            heard.push_back({problem.consoleLine(), problem.panelText(where), std::string(problem.command()),
                             problem.storedLine(), problem.parameter(), problem.text()});
        });
    }

    std::vector<Heard> heard;
    Problem::Listening listening;
};

void accessorContext(const char* command, int lineNumber)
{
    currentCommand = command;
    currentLineNumber = lineNumber;
}
} // namespace

TEST(Problem, EachFormOnTheConsoleAndInThePanel)
{
    const struct
    {
        const char* what;
        std::function<void()> report;
        const char* console; // also what reaches standard error, with its end of line
        const char* where;
        const char* panel;
        int storedLine;
        int parameter;
    } cases[] = {
        {"the interpreter's own", [] { checkParamCount("delay", {}, 1); },
         "ScriptInterp: Command [delay] needs 1 parameters. 0 found.", "assets/demo.script:5",
         "assets/demo.script:5: ScriptInterp: Command [delay] needs 1 parameters. 0 found.", -1, -1},
        {"the interpreter's own, no place known",
         [] {
             ScriptInterp unbound;
             unbound.executeSub("init");
         },
         "ScriptInterp: Cannot executeSub [init] without a script.", "",
         "ScriptInterp: Cannot executeSub [init] without a script.", -1, -1},
        {"about the command",
         [] {
             accessorContext("add_var", 4);
             ScriptInterp().aliasIndex("$ghost");
         },
         "ScriptInterp: (add_var) variable $ghost is not defined as an alias. Defaulting to flag 0.",
         "assets/demo.script:9",
         "assets/demo.script:9: ScriptInterp: (add_var) variable $ghost is not defined as an alias. Defaulting to "
         "flag 0.",
         -1, -1},
        {"about a parameter of the command",
         [] {
             accessorContext("set_flag", 3);
             getInt(params({"1", "99999999999"}), 1);
         },
         "ScriptInterp: (set_flag) param 1 99999999999 is out of range.", "assets/demo.script:3",
         "assets/demo.script:3: ScriptInterp: (set_flag) parameter 2: 99999999999 is out of range.", -1, 1},
        {"about the line",
         [] {
             Bound<> bound("log a\nset_flag 9, 1\n");
             bound.interp.update(0.f);
         },
         "ScriptInterp: (set_flag @2) flag index 9 is out of range 0..8.", "assets/demo.script:2",
         "assets/demo.script:2: ScriptInterp: (set_flag) flag index 9 is out of range 0..8.", 1, -1},
        {"about the line, the word taken from the command",
         [] {
             Bound<> bound("alias 9, speed\n");
             bound.interp.update(0.f);
         },
         "ScriptInterp: (alias @1) alias index 9 is out of range 0..8.", "assets/demo.script:1",
         "assets/demo.script:1: ScriptInterp: (alias) alias index 9 is out of range 0..8.", 0, -1},
        {"about the line, numbers inside the text",
         [] {
             Bound<> bound("set_flag 2, 5\ndiv_flag 2, 0\n");
             bound.interp.update(0.f);
         },
         "ScriptInterp: (div_flag @2) division by zero. Flag 2 keeps its value.", "assets/demo.script:4",
         "assets/demo.script:4: ScriptInterp: (div_flag) division by zero. Flag 2 keeps its value.", 1, -1},
        {"about the line, a number first",
         [] {
             Bound<> bound(":loop\ngoto loop\n");
             bound.interp.update(0.f);
         },
         "ScriptInterp: (goto @2) 100000 lines ran without a delay; the script goes on at the next step.",
         "assets/demo.script:2",
         "assets/demo.script:2: ScriptInterp: (goto) 100000 lines ran without a delay; the script goes on at the "
         "next step.",
         1, -1},
        {"about a parameter of the line",
         [] {
             accessorContext("delay", 7);
             getFloat(params({"abc"}), 0);
         },
         "ScriptInterp: (delay @7) param 0 abc is not a valid float.", "assets/demo.script:12",
         "assets/demo.script:12: ScriptInterp: (delay) parameter 1: abc is not a valid float.", 6, 0},
        {"an empty parameter keeps both spaces",
         [] {
             accessorContext("wait", 2);
             getInt(params({"x", ""}), 1);
         },
         "ScriptInterp: (wait @2) param 1  is not a valid integer.", "",
         "ScriptInterp: (wait) parameter 2:  is not a valid integer.", 1, 1},
        {"before any line ran the mark is @0 and names no line",
         [] {
             accessorContext("delay", 0);
             getFloat(params({"abc"}), 0);
         },
         "ScriptInterp: (delay @0) param 0 abc is not a valid float.", "",
         "ScriptInterp: (delay) parameter 1: abc is not a valid float.", -1, 0},
    };
    for (const auto& c : cases)
    {
        Listening listening(c.where);
        const Output output = capture(c.report);
        EXPECT_EQ(output.err, std::string(c.console) + "\n") << c.what;
        ASSERT_EQ(listening.heard.size(), 1u) << c.what;
        const Heard& heard = listening.heard[0];
        EXPECT_EQ(heard.console, c.console) << c.what;
        EXPECT_EQ(heard.panel, c.panel) << c.what;
        EXPECT_EQ(heard.storedLine, c.storedLine) << c.what;
        EXPECT_EQ(heard.parameter, c.parameter) << c.what;
    }
}

TEST(Problem, PartsAndTheListenersView)
{
    currentCommand = "div_flag";
    currentLineNumber = 5;
    const std::string label = "intro";
    const Problem problem = lineProblem() << "division by zero. Flag " << 3 << " keeps its value [" << label << "].";
    EXPECT_STREQ(problem.component(), "ScriptInterp");
    EXPECT_EQ(problem.command(), "div_flag");
    EXPECT_EQ(problem.text(), "division by zero. Flag 3 keeps its value [intro].");
    EXPECT_EQ(interpProblem().command(), "");
    EXPECT_EQ(commandProblem().storedLine(), -1);

    // A listener is handed the problem itself, after the console has its line; standard error
    // is not read back.
    std::ostringstream console;
    std::streambuf* previous = std::cerr.rdbuf(console.rdbuf());
    const Problem* seen = nullptr;
    std::string printedBefore;
    {
        Problem::Listening listening = Problem::listen([&](const Problem& heard) {
            seen = &heard;
            printedBefore = console.str();
        });
        Problem::report(problem);
    }
    Problem::report(problem);
    std::cerr.rdbuf(previous);
    EXPECT_EQ(seen, &problem);
    EXPECT_EQ(printedBefore, "ScriptInterp: (div_flag @5) division by zero. Flag 3 keeps its value [intro].\n");
    EXPECT_EQ(console.str(), printedBefore + printedBefore);
}
