#include "lsp/LineMap.hpp"

#include <gtest/gtest.h>

#include <string>

TEST(LineMap, CountsUtf16UnitsOfEachCharacter)
{
    struct Row
    {
        const char* what;
        std::string text;
        int units; // of the whole text
    };
    const Row rows[] = {
        {"ASCII", "abc", 3},
        {"two bytes, one unit", "\xc3\xa9", 1},
        {"three bytes, one unit", "\xe2\x82\xac", 1},
        {"four bytes, a surrogate pair", "\xf0\x9f\x98\x80", 2},
        {"a byte that is no UTF-8 counts one", "\xff", 1},
        {"a lead byte without its continuation", "\xe2x", 2},
        {"a four-byte sequence cut short", "\xf0\x9f", 2},
        {"mixed", "a\xc3\xa9\xf0\x9f\x98\x80z", 5},
    };
    for (const Row& row : rows)
    {
        EXPECT_EQ(LineMap::units(row.text, row.text.size()), row.units) << row.what;
        EXPECT_EQ(LineMap::bytes(row.text, row.units), row.text.size()) << row.what;
        // Every character boundary goes there and back.
        for (std::size_t byte = 0; byte <= row.text.size(); ++byte)
        {
            const int units = LineMap::units(row.text, byte);
            const std::size_t back = LineMap::bytes(row.text, units);
            EXPECT_GE(back, byte) << row.what << " at byte " << byte;
            EXPECT_EQ(LineMap::units(row.text, back), units) << row.what << " at byte " << byte;
        }
    }
    // Beyond the text: clamped to its end.
    EXPECT_EQ(LineMap::bytes("ab", 10), 2u);
    EXPECT_EQ(LineMap::units("ab", 10), 2);
}

TEST(LineMap, TurnsPositionsIntoOffsetsAndBack)
{
    // Lines: "a\xc3\xa9b" (LF), "x\xf0\x9f\x98\x80y" (CRLF), "" (LF), "last" (no end).
    const std::string text = "a\xc3\xa9" "b\nx\xf0\x9f\x98\x80y\r\n\nlast";
    const LineMap lines(text);
    ASSERT_EQ(lines.lineCount(), 4);
    EXPECT_EQ(lines.line(1), "x\xf0\x9f\x98\x80y") << "the line without its CRLF";
    struct Row
    {
        int line, character;
        std::size_t offset;
    };
    const Row rows[] = {
        {0, 0, 0},  {0, 1, 1},  {0, 2, 3},  {0, 3, 4},           // a, é, b
        {1, 0, 5},  {1, 1, 6},  {1, 3, 10}, {1, 4, 11},          // x, the pair (two units), y
        {2, 0, 13}, {3, 0, 14}, {3, 4, 18},                      // an empty line, the last line
    };
    for (const Row& row : rows)
    {
        EXPECT_EQ(lines.offset({row.line, row.character}), row.offset) << row.line << ":" << row.character;
        const LineMap::Position back = lines.position(row.offset);
        EXPECT_EQ(back.line, row.line) << row.offset;
        EXPECT_EQ(back.character, row.character) << row.offset;
    }
    // Clamped: past a line's end to the end of the line (before its CR LF), past the text to its end.
    EXPECT_EQ(lines.offset({0, 99}), 4u);
    EXPECT_EQ(lines.offset({1, 99}), 11u);
    EXPECT_EQ(lines.offset({2, 5}), 13u);
    EXPECT_EQ(lines.offset({9, 0}), text.size());
    EXPECT_EQ(lines.offset({-1, 3}), 0u);
    EXPECT_EQ(lines.position(text.size() + 5).line, 3);
}
