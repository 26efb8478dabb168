#include "script/ScriptEdit.hpp"

#include "ScriptTestSupport.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

using scripttest::parsed;

namespace
{

// Stored lines: 0 ":start", 1 "set_flag 0, 1", 2 "delay 1", 3 "goto start", 4 ":init",
// 5 "log hi", 6 "exit".
const char* const Base = ":start\nset_flag 0, 1\ndelay 1\ngoto start\n:init\nlog hi\nexit\n";
// The first step each of those lines was looked at: the init section in step 1, the loop from
// step 1 on, and line 3 first in step 61; then the step a run first went past the last line, and
// the step a jump first looked for an undefined label (-1: none did).
std::vector<long> touched(long end, long undefinedJump)
{
    return {1, 1, 1, 61, -1, 1, 1, end, undefinedJump};
}
} // namespace

// Which step of the old version's run is the first the new one may play differently: the
// earliest step a changed line, or the old place of a label that now goes elsewhere, was looked
// at; -1 when no step run so far can differ.
TEST(ScriptEdit, FirstDifferentStepIsTheEarliestLookAtWhatChanged)
{
    struct Row
    {
        const char* what;
        std::string after;
        long first;
        bool unchanged;
        long undefinedJump = -1;
        long end = -1;
    };
    const Row rows[] = {
        {"saved as it was", Base, -1, true},
        {"a comment and blank lines", std::string("; note\n\n") + Base, -1, true},
        {"a line never run", ":start\nset_flag 0, 1\ndelay 1\ngoto start\n:init\nlog hi\nexit\nlog never\n", -1, false},
        {"the line first run in step 61", ":start\nset_flag 0, 1\ndelay 1\ngoto elsewhere\n:init\nlog hi\nexit\n", 61, false},
        {"a parameter of a line of step 1", ":start\nset_flag 0, 2\ndelay 1\ngoto start\n:init\nlog hi\nexit\n", 1, false},
        {"a line inserted after the loop", ":start\nset_flag 0, 1\ndelay 1\ngoto start\nlog new\n:init\nlog hi\nexit\n", -1, false},
        {"a line inserted where the loop runs on", ":start\nset_flag 0, 1\nlog new\ndelay 1\ngoto start\n:init\nlog hi\nexit\n", 1, false},
        {"lines inserted before the first", "log new\nlog newer\n" + std::string(Base), 1, false},
        {"lines inserted before the jump first run in step 61", ":start\nset_flag 0, 1\ndelay 1\nlog a\nlog b\ngoto start\n:init\nlog hi\nexit\n", 61, false},
        {"lines appended when no run went past the last line", std::string(Base) + "log a\nlog b\n", -1, false},
        {"lines appended after a run went past the last line in step 200", std::string(Base) + "log a\n", 200, false, -1, 200},
        {"a line removed from the loop", ":start\nset_flag 0, 1\ngoto start\n:init\nlog hi\nexit\n", 1, false},
        {"the last line removed", ":start\nset_flag 0, 1\ndelay 1\ngoto start\n:init\nlog hi\n", 1, false},
        {"the jump's label defined again later", std::string(Base) + ":start\nexit\n", 1, false},
        {"a label added that nothing jumped to", std::string(Base) + ":fresh\nexit\n", -1, false},
        {"a label added that a jump looked for in step 90", std::string(Base) + ":fresh\nexit\n", 90, false, 90},
        {"the label jumped to removed", ":begin\nset_flag 0, 1\ndelay 1\ngoto start\n:init\nlog hi\nexit\n", 1, false},
        {"everything removed", "", 1, false},
    };
    const Script before = parsed(Base);
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.what);
        const ScriptEdit edit(before, parsed(row.after));
        EXPECT_EQ(edit.firstDifferentStep(touched(row.end, row.undefinedJump)), row.first);
        EXPECT_EQ(edit.unchanged(), row.unchanged);
    }
}

// Old lines keep their places before and after the changed run, which moves what follows it;
// the interpreter's next line at the start of the changed run goes to the start of the new one.
TEST(ScriptEdit, LinesAroundTheChangedRunMoveWithIt)
{
    // Two lines replace "delay 1" (stored line 2).
    const ScriptEdit edit(parsed(Base),
                          parsed(":start\nset_flag 0, 1\ndelay 2\nlog between\ngoto start\n:init\nlog hi\nexit\n"));
    const int lines[] = {-1, 0, 1, 2, 3, 4, 6, 7};
    const int moved[] = {-1, 0, 1, ScriptEdit::Changed, 4, 5, 7, 8};
    for (std::size_t i = 0; i < std::size(lines); ++i)
    {
        SCOPED_TRACE(lines[i]);
        EXPECT_EQ(edit.moved(lines[i]), moved[i]);
    }
    EXPECT_EQ(edit.movedNext(2), 2);

    // What was looked at before step 40 stays, moved; the changed line is looked at anew.
    const std::vector<long> looked = {1, 1, 1, 61, 30, 1, 1, 38, 35};
    EXPECT_EQ(edit.touchedAfter(looked, 40), (std::vector<long>{1, 1, -1, -1, -1, 30, 1, 1, 38, 35}));
    EXPECT_EQ(edit.touchedAfter(looked, 32).back(), -1);
}

// Identical lines next to the change belong to the shared start or to the shared end, never to
// both: a line removed from (or added to) a pair of identical lines is a change.
TEST(ScriptEdit, IdenticalLinesBesideTheChangeAreSharedOnce)
{
    struct Row
    {
        const char* what;
        const char* before;
        const char* after;
        std::vector<long> touched; // per old line, the end, undefined jumps
        long first;
        std::vector<int> moved; // of each old line
    };
    const Row rows[] = {
        {"one of two delays removed", "delay 1\ndelay 1\nlog a\n", "delay 1\nlog a\n", {1, 61, 121, 121, -1}, 61,
         {0, ScriptEdit::Changed, 1}},
        {"a second delay added", "delay 1\nlog a\n", "delay 1\ndelay 1\nlog a\n", {1, 61, 61, -1}, 61, {0, 2}},
        {"two of four lines removed", "log a\nlog b\nlog a\nlog b\n", "log a\nlog b\n", {1, 1, 1, 1, 1, -1}, 1,
         {0, 1, ScriptEdit::Changed, ScriptEdit::Changed}},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.what);
        const ScriptEdit edit(parsed(row.before), parsed(row.after));
        EXPECT_EQ(edit.firstDifferentStep(row.touched), row.first);
        for (std::size_t line = 0; line < row.moved.size(); ++line)
            EXPECT_EQ(edit.moved(static_cast<int>(line)), row.moved[line]) << "line " << line;
    }
}
