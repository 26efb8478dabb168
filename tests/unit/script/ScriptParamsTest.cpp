#include "ScriptTestSupport.hpp"

#include <climits>
#include <cmath>
#include <cstring>

using namespace scripttest;

namespace
{
// Accessor messages name the executing line; give them a known one.
class ScriptParams : public testing::Test
{
protected:
    void SetUp() override
    {
        currentCommand = "cmd";
        currentLineNumber = 3;
    }
};
} // namespace

TEST_F(ScriptParams, GetStringInsideAndOutsideTheParameters)
{
    const std::vector<std::string> p = params({"a", ""});
    const Output output = capture([&] {
        EXPECT_EQ(getString(p, 0), "a");
        EXPECT_EQ(getString(p, 1), "");
        EXPECT_EQ(getString(p, 2), "");
        EXPECT_EQ(getString(p, -1), "");
    });
    EXPECT_EQ(output.err, "");
}

// One parameter read as a number or a flag: what it reads as, and the console line it gives (the
// messages name the parameter's place and the executing command and line).
namespace
{
enum class Read
{
    Int,
    Float,
    Bool
};

struct ReadCase
{
    Read read;
    const char* text;
    int index;       // where the text stands among the parameters
    double value;    // what it reads as; NaN: not a number
    const char* err; // the console line, or ""
    const char* command = "cmd";
    int line = 3;
};

const ReadCase ReadCases[] = {
    // getInt reads like strtol.
    {Read::Int, " \t42", 0, 42, ""},
    {Read::Int, "12abc", 1, 12, ""},
    {Read::Int, "1.9", 2, 1, ""},
    {Read::Int, "-7", 3, -7, ""},
    {Read::Int, "+5", 4, 5, ""},
    {Read::Int, "2147483647", 5, INT_MAX, ""},
    {Read::Int, "-2147483648", 6, INT_MIN, ""},
    {Read::Int, "0x10", 7, 0, ""},
    // getInt reports texts without digits.
    {Read::Int, "abc", 1, 0, "ScriptInterp: (cmd @3) param 1 abc is not a valid integer.\n"},
    {Read::Int, "", 2, 0, "ScriptInterp: (cmd @3) param 2  is not a valid integer.\n"},
    {Read::Int, " +", 3, 0, "ScriptInterp: (cmd @3) param 3  + is not a valid integer.\n"},
    // getInt reports values beyond 32 bits.
    {Read::Int, "99999999999", 0, 0, "ScriptInterp: (cmd) param 0 99999999999 is out of range.\n"},
    {Read::Int, "2147483648", 1, 0, "ScriptInterp: (cmd) param 1 2147483648 is out of range.\n"},
    {Read::Int, "-2147483649", 2, 0, "ScriptInterp: (cmd) param 2 -2147483649 is out of range.\n"},
    {Read::Int, "999999999999999999999999", 3, 0,
     "ScriptInterp: (cmd) param 3 999999999999999999999999 is out of range.\n"},
    // getFloat reads like strtof.
    {Read::Float, "1.5e2", 0, 150, ""},
    {Read::Float, " -0.25", 1, -0.25, ""},
    {Read::Float, "0x1p4", 2, 16, ""},
    {Read::Float, "inf", 3, INFINITY, ""},
    {Read::Float, "-INF", 4, -INFINITY, ""},
    {Read::Float, "nan", 5, NAN, ""},
    {Read::Float, "2.5xyz", 6, 2.5, ""},
    {Read::Float, "7", 7, 7, ""},
    // getFloat reports unreadable and out-of-range texts.
    {Read::Float, "", 0, 0, "ScriptInterp: (delay @12) param 0  is not a valid float.\n", "delay", 12},
    {Read::Float, "abc", 1, 0, "ScriptInterp: (delay @12) param 1 abc is not a valid float.\n", "delay", 12},
    {Read::Float, "1e50", 2, 0, "ScriptInterp: (delay) param 2 1e50 is out of range.\n", "delay", 12},
    {Read::Float, "-1e50", 3, 0, "ScriptInterp: (delay) param 3 -1e50 is out of range.\n", "delay", 12},
    {Read::Float, "1e-50", 4, 0, "ScriptInterp: (delay) param 4 1e-50 is out of range.\n", "delay", 12},
    // getBool is true only for one.
    {Read::Bool, "1", 0, 1, ""},
    {Read::Bool, " 1", 1, 1, ""},
    {Read::Bool, "0", 2, 0, ""},
    {Read::Bool, "2", 3, 0, ""},
    {Read::Bool, "-1", 4, 0, ""},
    {Read::Bool, "1abc", 5, 1, ""},
    // getBool reports what getInt reports.
    {Read::Bool, "true", 0, 0, "ScriptInterp: (cmd @3) param 0 true is not a valid integer.\n"},
    {Read::Bool, "4294967297", 1, 0, "ScriptInterp: (cmd) param 1 4294967297 is out of range.\n"},
};
} // namespace

TEST_F(ScriptParams, EachParameterReadsAsStrtolOrStrtofAndReportsWhatItCannotRead)
{
    for (const ReadCase& c : ReadCases)
    {
        currentCommand = c.command;
        currentLineNumber = c.line;
        // Other parameters before it: a reader looks at its own place only.
        std::vector<std::string> p(static_cast<std::size_t>(c.index), "9");
        p.push_back(c.text);
        double value = 0.0;
        const Output output = capture([&] {
            switch (c.read)
            {
            case Read::Int: value = getInt(p, c.index); break;
            case Read::Float: value = getFloat(p, c.index); break;
            case Read::Bool: value = getBool(p, c.index) ? 1.0 : 0.0; break;
            }
        });
        const std::string what = std::string(c.read == Read::Int     ? "getInt"
                                             : c.read == Read::Float ? "getFloat"
                                                                     : "getBool") +
                                 " of \"" + c.text + "\" at " + std::to_string(c.index);
        if (std::isnan(c.value))
            EXPECT_TRUE(std::isnan(value)) << what;
        else if (c.read == Read::Float)
            EXPECT_EQ(static_cast<float>(value), static_cast<float>(c.value)) << what;
        else
            EXPECT_EQ(value, c.value) << what;
        EXPECT_EQ(output.err, c.err) << what;
        EXPECT_EQ(output.out, "") << what;
    }
}

TEST_F(ScriptParams, MissingParametersReadAsZeroSilently)
{
    const std::vector<std::string> p = params({"1"});
    const Output output = capture([&] {
        EXPECT_EQ(getInt(p, 1), 0);
        EXPECT_EQ(getInt(p, -1), 0);
        EXPECT_EQ(getFloat(p, 1), 0.f);
        EXPECT_FALSE(getBool(p, 1));
    });
    EXPECT_EQ(output.err, "");
}

TEST_F(ScriptParams, CheckParamCountReportsAShortfall)
{
    bool enough = true;
    const Output shortfall = capture([&] { enough = checkParamCount("set_flag", params({"1"}), 2); });
    EXPECT_FALSE(enough);
    EXPECT_EQ(shortfall.err, "ScriptInterp: Command [set_flag] needs 2 parameters. 1 found.\n");
    EXPECT_EQ(shortfall.out, "");

    const Output fine = capture([&] {
        EXPECT_TRUE(checkParamCount("log", params({"a", "b"}), 1));
        EXPECT_TRUE(checkParamCount("exit", params({}), 0));
    });
    EXPECT_EQ(fine.err, "");
}

TEST_F(ScriptParams, ReplaceFirstReplacesOnlyTheFirstOccurrence)
{
    EXPECT_EQ(replaceFirst("a%x b%x", "%x", "1"), "a1 b%x");
    EXPECT_EQ(replaceFirst("abc", "%x", "1"), "abc");
    EXPECT_EQ(replaceFirst("%x", "%x", ""), "");
}

// A line remembers at load what its plain parameters read as; that must never change what the
// accessors answer or print, for any text.
TEST_F(ScriptParams, LoadedLinesReadAsTheirTexts)
{
    const std::vector<std::string> texts = {
        " \t42", "12abc", "1.9", "-7",    "+5",   "2147483647", "-2147483648", "0x10", "abc",  "",   "9e99",
        "1e3",   "inf",   "nan", "0x1p3", "1e39", "1e-50",      "-0",          "1",    "true", " +", "99999999999"};
    ScriptLine loaded("cmd", texts);
    loaded.facts = paramFacts(texts);
    const LineParams line(loaded);
    for (int i = 0; i < static_cast<int>(texts.size()); ++i)
    {
        SCOPED_TRACE(texts[static_cast<std::size_t>(i)]);
        int integers[2] = {};
        float numbers[2] = {};
        bool flags[2] = {};
        const Output asText = capture([&] {
            integers[0] = getInt(texts, i);
            numbers[0] = getFloat(texts, i);
            flags[0] = getBool(texts, i);
        });
        const Output asLoaded = capture([&] {
            integers[1] = getInt(line, i);
            numbers[1] = getFloat(line, i);
            flags[1] = getBool(line, i);
        });
        EXPECT_EQ(integers[1], integers[0]);
        EXPECT_EQ(std::memcmp(&numbers[1], &numbers[0], sizeof(float)), 0) << numbers[1] << " " << numbers[0];
        EXPECT_EQ(flags[1], flags[0]);
        EXPECT_EQ(asLoaded.err, asText.err);
    }
}

TEST_F(ScriptParams, ParametersWithConstantsOrVariablesAreNotPlain)
{
    const std::vector<ParamFacts> facts = paramFacts(params({"%flag_3", "%FLAG_8", "%flag_9", "x%flag_1", "$a", "7"}));
    const int flags[] = {3, 8, -1, -1, -1, -1};
    for (std::size_t i = 0; i < facts.size(); ++i)
    {
        EXPECT_EQ(facts[i].plain, i == 5) << i;
        EXPECT_EQ(facts[i].flag, flags[i]) << i;
    }
    EXPECT_TRUE(facts[5].isInteger);
    EXPECT_EQ(facts[5].integer, 7);
}
