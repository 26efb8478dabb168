#include "link/LinkRequest.hpp"

#include <gtest/gtest.h>

namespace
{
using Kind = LinkRequest::Kind;

struct Read
{
    const char* line;
    Kind kind;
    long step;           // SeekStep, SeekTime, Step
    const char* text;    // SeekLabel: the label; Invalid: a piece of the reason
    long number;         // SeekLine: the line; Speed: the exponent; Loop: the first step
    long last;           // Loop: the last step
};

const Read reads[] = {
    {R"({"seek": {"step": 741}})", Kind::SeekStep, 741, "", 0, 0},
    {R"({"seek": {"step": 0}})", Kind::SeekStep, 0, "", 0, 0},
    {R"({"seek": {"step": 741.0}})", Kind::SeekStep, 741, "", 0, 0},
    {R"({"seek": {"time": 12.5}})", Kind::SeekTime, 750, "", 0, 0},
    {R"({"seek": {"time": 0.009}})", Kind::SeekTime, 1, "", 0, 0},
    {R"({"seek": {"time": 0}})", Kind::SeekTime, 0, "", 0, 0},
    {R"({"seek": {"label": "orbit"}})", Kind::SeekLabel, 0, "orbit", 0, 0},
    {R"({"seek": {"label": ":orbit"}})", Kind::SeekLabel, 0, "orbit", 0, 0},
    {R"({"seek": {"line": 60}})", Kind::SeekLine, 0, "", 60, 0},
    {R"(  {"pause": true}  )", Kind::Pause, 0, "", 0, 0},
    {R"({"pause": false})", Kind::Play, 0, "", 0, 0},
    {R"({"play": true})", Kind::Play, 0, "", 0, 0},
    {R"({"play": false})", Kind::Pause, 0, "", 0, 0},
    {R"({"step": -1})", Kind::Step, -1, "", 0, 0},
    {R"({"step": 1})", Kind::Step, 1, "", 0, 0},
    {R"({"speed": 2})", Kind::Speed, 0, "", 1, 0},
    {R"({"speed": 0.125})", Kind::Speed, 0, "", -3, 0},
    {R"({"speed": 8.0})", Kind::Speed, 0, "", 3, 0},
    {R"({"speed": 1})", Kind::Speed, 0, "", 0, 0},
    {R"({"loop": [600, 900]})", Kind::Loop, 0, "", 600, 900},
    {R"({"loop": null})", Kind::NoLoop, 0, "", 0, 0},
    {R"({"loop": false})", Kind::NoLoop, 0, "", 0, 0},
    {R"({"state": true})", Kind::State, 0, "", 0, 0},
    // Refused, each with its reason.
    {"", Kind::Invalid, 0, "not JSON", 0, 0},
    {"seek 60", Kind::Invalid, 0, "not JSON", 0, 0},
    {R"({"seek": {"line": 60})", Kind::Invalid, 0, "not JSON", 0, 0},
    {"[1, 2]", Kind::Invalid, 0, "one key", 0, 0},
    {"42", Kind::Invalid, 0, "one key", 0, 0},
    {"{}", Kind::Invalid, 0, "one key", 0, 0},
    {R"({"pause": true, "play": true})", Kind::Invalid, 0, "one key", 0, 0},
    {R"({"rewind": true})", Kind::Invalid, 0, "unknown request \"rewind\"", 0, 0},
    {R"({"seek": 12})", Kind::Invalid, 0, "seek takes one of", 0, 0},
    {R"({"seek": {"time": 1, "step": 2}})", Kind::Invalid, 0, "seek takes one of", 0, 0},
    {R"({"seek": {"frame": 2}})", Kind::Invalid, 0, "not \"frame\"", 0, 0},
    {R"({"seek": {"time": -1}})", Kind::Invalid, 0, "seek time takes", 0, 0},
    {R"({"seek": {"time": "12"}})", Kind::Invalid, 0, "seek time takes", 0, 0},
    {R"({"seek": {"time": 1e300}})", Kind::Invalid, 0, "seek time takes", 0, 0},
    {R"({"seek": {"step": -5}})", Kind::Invalid, 0, "seek step takes", 0, 0},
    {R"({"seek": {"step": 1.5}})", Kind::Invalid, 0, "seek step takes", 0, 0},
    {R"({"seek": {"step": 99999999999999999999}})", Kind::Invalid, 0, "seek step takes", 0, 0},
    {R"({"seek": {"label": ""}})", Kind::Invalid, 0, "seek label takes", 0, 0},
    {R"({"seek": {"label": 3}})", Kind::Invalid, 0, "seek label takes", 0, 0},
    {R"({"seek": {"line": 0}})", Kind::Invalid, 0, "seek line takes", 0, 0},
    {R"({"seek": {"line": "60"}})", Kind::Invalid, 0, "seek line takes", 0, 0},
    {R"({"pause": 1})", Kind::Invalid, 0, "pause takes true or false", 0, 0},
    {R"({"step": 0})", Kind::Invalid, 0, "step takes", 0, 0},
    {R"({"step": 0.5})", Kind::Invalid, 0, "step takes", 0, 0},
    {R"({"speed": 3})", Kind::Invalid, 0, "speed takes", 0, 0},
    {R"({"speed": 16})", Kind::Invalid, 0, "speed takes", 0, 0},
    {R"({"speed": "2"})", Kind::Invalid, 0, "speed takes", 0, 0},
    {R"({"loop": [900, 600]})", Kind::Invalid, 0, "loop takes", 0, 0},
    {R"({"loop": [600]})", Kind::Invalid, 0, "loop takes", 0, 0},
    {R"({"loop": [-1, 5]})", Kind::Invalid, 0, "loop takes", 0, 0},
    {R"({"state": false})", Kind::Invalid, 0, "state takes true", 0, 0},
    {R"({"seek": {"label": [[[[[[1]]]]]]}})", Kind::Invalid, 0, "nests deeper", 0, 0},
    {"{\"seek\": {\"label\": \"\xff\xfe\"}}", Kind::Invalid, 0, "not JSON", 0, 0},
};
} // namespace

TEST(LinkRequest, ReadsEveryRequestAndRefusesTheRestWithAReason)
{
    for (const Read& expected : reads)
    {
        SCOPED_TRACE(expected.line);
        const LinkRequest got = LinkRequest::read(expected.line);
        ASSERT_EQ(got.kind, expected.kind) << got.error;
        switch (expected.kind)
        {
        case Kind::SeekStep:
        case Kind::SeekTime:
        case Kind::Step: EXPECT_EQ(got.step, expected.step); break;
        case Kind::SeekLabel: EXPECT_EQ(got.label, expected.text); break;
        case Kind::SeekLine: EXPECT_EQ(got.line, expected.number); break;
        case Kind::Speed: EXPECT_EQ(got.speedExponent, expected.number); break;
        case Kind::Loop:
            EXPECT_EQ(got.loopStart, expected.number);
            EXPECT_EQ(got.loopEnd, expected.last);
            break;
        case Kind::Invalid: EXPECT_NE(got.error.find(expected.text), std::string::npos) << got.error; break;
        default: break;
        }
        if (expected.kind != Kind::Invalid)
        {
            EXPECT_TRUE(got.error.empty());
        }
    }
}

TEST(LinkRequest, RefusesLongAndDeepLinesWithoutParsingThem)
{
    const std::string longLine = "{\"seek\": {\"label\": \"" + std::string(LinkRequest::LongestLine, 'a') + "\"}}";
    EXPECT_NE(LinkRequest::read(longLine).error.find("longer than"), std::string::npos);
    // Nested far beyond any request, within the length: refused before any parser recursion.
    const std::string deep = std::string(2000, '[') + std::string(2000, ']');
    EXPECT_NE(LinkRequest::read(deep).error.find("nests deeper"), std::string::npos);
    // The longest line is still a request; one byte more is not.
    for (std::size_t length : {LinkRequest::LongestLine - 1, LinkRequest::LongestLine, LinkRequest::LongestLine + 1})
    {
        SCOPED_TRACE(length);
        const std::string request = R"({"pause": true})";
        const LinkRequest got = LinkRequest::read(request + std::string(length - request.size(), ' '));
        if (length <= LinkRequest::LongestLine)
            EXPECT_EQ(got.kind, Kind::Pause) << got.error;
        else
            EXPECT_NE(got.error.find("longer than 4096 bytes"), std::string::npos) << got.error;
    }
    // Brackets inside a string do not count as nesting.
    EXPECT_EQ(LinkRequest::read(R"({"seek": {"label": "[[[[[[{{{{"}})").kind, Kind::SeekLabel);
}
