#include "player/LineSplitBuffer.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

// Author mode's console tap and a seek's quiet console both hear the console through this buffer.
TEST(LineSplitBuffer, HandsOnEveryCompleteLineAndPassesEverythingThrough)
{
    const struct
    {
        const char* what;
        std::vector<std::string> writes;
        std::vector<std::string> lines;
    } rows[] = {
        {"one line", {"a line\n"}, {"a line"}},
        {"a line in pieces",
         {"GameCutscene: No such object [", "hero", "]", "\n"},
         {"GameCutscene: No such object [hero]"}},
        {"two lines in one write", {"first\nsecond\n"}, {"first", "second"}},
        {"an empty line", {"\n"}, {""}},
        {"an unfinished line waits", {"done\nhalf"}, {"done"}},
        {"a runaway line is cut",
         {std::string(LineSplitBuffer::LongestLine + 10, 'x') + "\nnext\n"},
         {std::string(LineSplitBuffer::LongestLine, 'x'), "next"}},
    };
    for (const auto& row : rows)
    {
        std::ostringstream console;
        LineSplitBuffer buffer(console.rdbuf());
        std::vector<std::string> heard;
        buffer.listener = [&heard](const std::string& line) { heard.push_back(line); };
        std::ostream stream(&buffer);
        std::string all;
        for (const std::string& text : row.writes)
        {
            stream << text;
            all += text;
        }
        stream.flush();
        EXPECT_EQ(heard, row.lines) << row.what;
        EXPECT_EQ(console.str(), all) << row.what;
    }
}

TEST(LineSplitBuffer, WithoutAPlaceToGoTheTextIsDropped)
{
    LineSplitBuffer buffer;
    std::vector<std::string> heard;
    std::ostream stream(&buffer);
    stream << "unheard\n";
    buffer.listener = [&heard](const std::string& line) { heard.push_back(line); };
    stream << 'c' << "har by char" << std::endl;
    EXPECT_TRUE(stream.good());
    EXPECT_EQ(heard, (std::vector<std::string>{"char by char"}));
}

// A listener that prints to the stream it hears: the line it was handed stays whole, and what it
// printed is heard as the next line.
TEST(LineSplitBuffer, AListenerMayWriteToTheStreamItHears)
{
    std::ostringstream console;
    LineSplitBuffer buffer(console.rdbuf());
    std::ostream stream(&buffer);
    std::vector<std::string> heard;
    buffer.listener = [&](const std::string& line) {
        heard.push_back(line);
        if (line == "problem")
            stream << "said again: ";
        EXPECT_EQ(line, heard.back());
    };
    stream << "problem\n";
    stream << "next\n";
    EXPECT_EQ(heard, (std::vector<std::string>{"problem", "said again: next"}));
    EXPECT_EQ(console.str(), "problem\nsaid again: next\n");
}
