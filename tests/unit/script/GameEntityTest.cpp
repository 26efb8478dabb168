#include "ScriptTestSupport.hpp"

using namespace scripttest;

TEST(GameEntity, OwnExtScriptReportsAndDeclines)
{
    GameEntity entity;
    bool handled = true;
    const Output output = capture([&] { handled = entity.extScript(ScriptLine("anything", {"1"})); });
    EXPECT_FALSE(handled);
    EXPECT_EQ(output.out, "extScript: No overloaded function.\n");
    EXPECT_EQ(output.err, "");
}

TEST(GameEntity, OwnExtVariableReportsAndKeepsTheText)
{
    GameEntity entity;
    std::string result;
    const Output output = capture([&] { result = entity.extVariable("%ease_in_sine"); });
    EXPECT_EQ(result, "%ease_in_sine");
    EXPECT_EQ(output.out, "extVariable: No overloaded function.\n");
    EXPECT_EQ(output.err, "");
}

TEST(GameEntity, PlainEntityDrivingAScript)
{
    Bound<GameEntity> bound("unknown_cmd 1\nlog %flag_1\nif 0, 1\nlog %true\nendif\nlog end\n");
    bound.entity.flags[1] = 6;
    const Output output = capture([&] { bound.interp.update(1.f / 60.f); });
    EXPECT_EQ(output.out, "extScript: No overloaded function.\n"
                          "extVariable: No overloaded function.\n"
                          "LOG: 6\n"
                          "extVariable: No overloaded function.\n"
                          "LOG: end\n"
                          "ScriptInterp: Reached end of script.\n");
    EXPECT_EQ(output.err, "ScriptInterp: Unhandled command [unknown_cmd].\n");
    EXPECT_FALSE(bound.interp.running);

    bound.interp.bind(&bound.script, &bound.entity);
    EXPECT_EQ(captureMerged([&] { bound.interp.update(1.f / 60.f); }),
              "extScript: No overloaded function.\n"
              "ScriptInterp: Unhandled command [unknown_cmd].\n"
              "extVariable: No overloaded function.\n"
              "LOG: 6\n"
              "extVariable: No overloaded function.\n"
              "LOG: end\n"
              "ScriptInterp: Reached end of script.\n");
}
