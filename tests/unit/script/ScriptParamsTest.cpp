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

TEST_F(ScriptParams, GetIntReadsLikeStrtol)
{
    const std::vector<std::string> p =
        params({" \t42", "12abc", "1.9", "-7", "+5", "2147483647", "-2147483648", "0x10"});
    const Output output = capture([&] {
        EXPECT_EQ(getInt(p, 0), 42);
        EXPECT_EQ(getInt(p, 1), 12);
        EXPECT_EQ(getInt(p, 2), 1);
        EXPECT_EQ(getInt(p, 3), -7);
        EXPECT_EQ(getInt(p, 4), 5);
        EXPECT_EQ(getInt(p, 5), INT_MAX);
        EXPECT_EQ(getInt(p, 6), INT_MIN);
        EXPECT_EQ(getInt(p, 7), 0);
    });
    EXPECT_EQ(output.err, "");
}

TEST_F(ScriptParams, GetIntReportsTextsWithoutDigits)
{
    const std::vector<std::string> p = params({"x", "abc", "", " +"});
    int values[3] = {-1, -1, -1};
    const Output output = capture([&] {
        values[0] = getInt(p, 1);
        values[1] = getInt(p, 2);
        values[2] = getInt(p, 3);
    });
    EXPECT_EQ(values[0], 0);
    EXPECT_EQ(values[1], 0);
    EXPECT_EQ(values[2], 0);
    EXPECT_EQ(output.err, "ScriptInterp: (cmd @3) param 1 abc is not a valid integer.\n"
                          "ScriptInterp: (cmd @3) param 2  is not a valid integer.\n"
                          "ScriptInterp: (cmd @3) param 3  + is not a valid integer.\n");
}

TEST_F(ScriptParams, GetIntReportsValuesBeyondThirtyTwoBits)
{
    const std::vector<std::string> p = params({"99999999999", "2147483648", "-2147483649", "999999999999999999999999"});
    const Output output = capture([&] {
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(getInt(p, i), 0);
    });
    EXPECT_EQ(output.err, "ScriptInterp: (cmd) param 0 99999999999 is out of range.\n"
                          "ScriptInterp: (cmd) param 1 2147483648 is out of range.\n"
                          "ScriptInterp: (cmd) param 2 -2147483649 is out of range.\n"
                          "ScriptInterp: (cmd) param 3 999999999999999999999999 is out of range.\n");
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

TEST_F(ScriptParams, GetFloatReadsLikeStrtof)
{
    const std::vector<std::string> p = params({"1.5e2", " -0.25", "0x1p4", "inf", "-INF", "nan", "2.5xyz", "7"});
    const Output output = capture([&] {
        EXPECT_EQ(getFloat(p, 0), 150.f);
        EXPECT_EQ(getFloat(p, 1), -0.25f);
        EXPECT_EQ(getFloat(p, 2), 16.f);
        EXPECT_EQ(getFloat(p, 3), INFINITY);
        EXPECT_EQ(getFloat(p, 4), -INFINITY);
        EXPECT_TRUE(std::isnan(getFloat(p, 5)));
        EXPECT_EQ(getFloat(p, 6), 2.5f);
        EXPECT_EQ(getFloat(p, 7), 7.f);
    });
    EXPECT_EQ(output.err, "");
}

TEST_F(ScriptParams, GetFloatReportsUnreadableAndOutOfRangeTexts)
{
    currentCommand = "delay";
    currentLineNumber = 12;
    const std::vector<std::string> p = params({"", "abc", "1e50", "-1e50", "1e-50"});
    const Output output = capture([&] {
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(getFloat(p, i), 0.f);
    });
    EXPECT_EQ(output.err, "ScriptInterp: (delay @12) param 0  is not a valid float.\n"
                          "ScriptInterp: (delay @12) param 1 abc is not a valid float.\n"
                          "ScriptInterp: (delay) param 2 1e50 is out of range.\n"
                          "ScriptInterp: (delay) param 3 -1e50 is out of range.\n"
                          "ScriptInterp: (delay) param 4 1e-50 is out of range.\n");
}

TEST_F(ScriptParams, GetBoolIsTrueOnlyForOne)
{
    const std::vector<std::string> p = params({"1", " 1", "0", "2", "-1", "1abc"});
    const Output output = capture([&] {
        EXPECT_TRUE(getBool(p, 0));
        EXPECT_TRUE(getBool(p, 1));
        EXPECT_FALSE(getBool(p, 2));
        EXPECT_FALSE(getBool(p, 3));
        EXPECT_FALSE(getBool(p, 4));
        EXPECT_TRUE(getBool(p, 5));
    });
    EXPECT_EQ(output.err, "");
}

TEST_F(ScriptParams, GetBoolReportsWhatGetIntReports)
{
    const std::vector<std::string> p = params({"true", "4294967297"});
    const Output output = capture([&] {
        EXPECT_FALSE(getBool(p, 0));
        EXPECT_FALSE(getBool(p, 1));
    });
    EXPECT_EQ(output.err, "ScriptInterp: (cmd @3) param 0 true is not a valid integer.\n"
                          "ScriptInterp: (cmd) param 1 4294967297 is out of range.\n");
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
