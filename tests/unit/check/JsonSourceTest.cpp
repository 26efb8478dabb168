#include "check/JsonSource.hpp"

#include <gtest/gtest.h>

TEST(JsonSource, SyntaxErrorsPointAtLineAndColumnAndKeepThePartialDocument)
{
    Diagnostics diagnostics;
    const JsonSource source("f.json", "{\n  \"a\": {\"b\": 1},\n  \"c\": tru\n}", diagnostics);
    EXPECT_TRUE(source.syntaxError);
    ASSERT_EQ(diagnostics.entries.size(), 1u);
    EXPECT_EQ(diagnostics.entries[0].line, 3);
    EXPECT_EQ(diagnostics.entries[0].column, 11); // the library stops after the token
    EXPECT_EQ(diagnostics.entries[0].text.rfind("JSON syntax error: syntax error while parsing value", 0), 0u);
    EXPECT_EQ(source.document["a"]["b"], 1);

    Diagnostics empty;
    EXPECT_TRUE(JsonSource("e.json", "", empty).syntaxError);
    EXPECT_EQ(Diagnostics::format(empty.entries.at(0)).rfind("e.json:1:1: error: JSON syntax error:", 0), 0u);

    Diagnostics latin1;
    JsonSource("l.json", "{\"font\": \"Caf\xe9.ttf\"}", latin1);
    const std::string said = Diagnostics::format(latin1.entries.at(0));
    EXPECT_NE(said.find("(the file is not UTF-8: save it as UTF-8)"), std::string::npos) << said;
}

TEST(JsonSource, PlacesOfMembersAndElementsAndDuplicateKeys)
{
    Diagnostics diagnostics;
    const JsonSource source("f.json", "{ \"x\": [ 1,\n  {\"k\\\"q\": 2} ],\n \"y\": 3, \"y\": 4 }", diagnostics);
    EXPECT_FALSE(source.syntaxError);
    EXPECT_EQ(source.at("/x").column, 3);
    EXPECT_EQ(source.at("/x/1").line, 2);
    EXPECT_EQ(source.at("/x/1").column, 3);
    EXPECT_EQ(source.at("/x/1/k\"q").column, 4);
    EXPECT_EQ(source.at("/x/1/missing").column, 3); // the closest known place
    EXPECT_EQ(source.at("/nowhere").line, 1);
    ASSERT_EQ(diagnostics.entries.size(), 1u);
    EXPECT_EQ(Diagnostics::format(diagnostics.entries[0]),
              "f.json:3:10: warning: duplicate key \"y\"; only the last one counts");
    EXPECT_EQ(source.document["y"], 4);
}
