#include "script/TimelineDocument.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace
{
TimelineDocument sample()
{
    TimelineDocument document;
    document.script = "assets/demo.script";
    document.labels = {{"intro", 3, 0}, {"orbit", 57, 741}, {"outro", 80, -1}};
    document.length = 1500;
    return document;
}
} // namespace

// What `kestrune --timeline --json` prints, which scripts and the editor read: the layout stays.
TEST(TimelineDocument, TheLayoutAsPrinted)
{
    EXPECT_EQ(sample().toJson().dump(),
              R"({"labels":[{"label":"intro","line":3,"reached":true,"seconds":0.0,"step":0},)"
              R"({"label":"orbit","line":57,"reached":true,"seconds":12.35,"step":741},)"
              R"({"label":"outro","line":80,"reached":false}],"length":{"seconds":25.0,"steps":1500},)"
              R"("script":"assets/demo.script"})");
    TimelineDocument endless;
    endless.script = "assets/demo.script";
    EXPECT_EQ(endless.toJson().dump(), R"({"labels":[],"length":null,"script":"assets/demo.script"})");
}

// The language server reads back what the timeline wrote.
TEST(TimelineDocument, ReadsBackWhatItWrites)
{
    for (const TimelineDocument& written : {sample(), TimelineDocument()})
    {
        TimelineDocument read;
        read.length = 7;
        ASSERT_TRUE(TimelineDocument::fromJson(nlohmann::json::parse(written.toJson().dump()), read));
        EXPECT_EQ(read.script, written.script);
        EXPECT_EQ(read.length, written.length);
        ASSERT_EQ(read.labels.size(), written.labels.size());
        for (std::size_t i = 0; i < read.labels.size(); ++i)
        {
            EXPECT_EQ(read.labels[i].name, written.labels[i].name);
            EXPECT_EQ(read.labels[i].line, written.labels[i].line);
            EXPECT_EQ(read.labels[i].step, written.labels[i].step);
        }
    }
}

TEST(TimelineDocument, WhatIsNotOneIsRefused)
{
    const char* const texts[] = {"null",      "[]", "{}", R"({"labels":{}})", R"({"script":"assets/demo.script"})",
                                 "\"labels\""};
    for (const char* text : texts)
    {
        TimelineDocument read;
        EXPECT_FALSE(TimelineDocument::fromJson(nlohmann::json::parse(text), read)) << text;
    }
    TimelineDocument discarded;
    EXPECT_FALSE(TimelineDocument::fromJson(nlohmann::json::parse("{not json", nullptr, false), discarded));
}
