#include "ScriptTestSupport.hpp"

using namespace scripttest;

namespace
{
Script loaded(const TempDir& dir, const std::string& text)
{
    Script script;
    EXPECT_TRUE(script.load(dir.write("test.script", text)));
    return script;
}

void expectLine(const ScriptLine& line, const std::string& command, const std::vector<std::string>& params)
{
    EXPECT_EQ(line.command, command);
    EXPECT_EQ(line.params, params);
}
} // namespace

TEST(ScriptLoad, ExampleLinesCutIntoCommandAndParameters)
{
    TempDir dir;
    const Script script = loaded(dir, "delay 1.5\n"
                                      "endif\n"
                                      "log \"a, b\"\n"
                                      "log hello world\n"
                                      "set_var speed, 10\n"
                                      "cmd a,,b\n"
                                      "cmd a,\n"
                                      "a,b c\n");
    ASSERT_EQ(script.lineCount(), 8);
    expectLine(script.lines[0], "delay", {"1.5"});
    expectLine(script.lines[1], "endif", {});
    expectLine(script.lines[2], "log", {"a, b"});
    expectLine(script.lines[3], "log", {"hello world"});
    expectLine(script.lines[4], "set_var", {"speed", "10"});
    expectLine(script.lines[5], "cmd", {"a", "", "b"});
    expectLine(script.lines[6], "cmd", {"a", ""});
    expectLine(script.lines[7], "a", {"b", "c"});
    EXPECT_TRUE(script.labels.empty());
}

TEST(ScriptLoad, QuotesAndSpaces)
{
    TempDir dir;
    const Script script = loaded(dir, "log \"\"\n"
                                      "cmd \"x,y\",z\n"
                                      "\"log x\" y\n"
                                      "cmd   a , b \n"
                                      "cmd \"a\"\"b\"\n");
    ASSERT_EQ(script.lineCount(), 5);
    expectLine(script.lines[0], "log", {""});
    expectLine(script.lines[1], "cmd", {"x,y", "z"});
    // The first space separates even inside quotes; later ones are ordinary characters.
    expectLine(script.lines[2], "log", {"x y"});
    expectLine(script.lines[3], "cmd", {"a", "b"});
    expectLine(script.lines[4], "cmd", {"ab"});
}

TEST(ScriptLoad, TabIsNotASeparator)
{
    TempDir dir;
    const Script script = loaded(dir, "log\thello\ncmd\ta b\n");
    ASSERT_EQ(script.lineCount(), 2);
    expectLine(script.lines[0], "log\thello", {});
    expectLine(script.lines[1], "cmd\ta", {"b"});
}

TEST(ScriptLoad, CommentsAndBlankLinesAreNotStored)
{
    TempDir dir;
    const Script script = loaded(dir, "; top\n\n   ; spaces\n\t; tab\n \t \nlog a ; not a comment\n");
    ASSERT_EQ(script.lineCount(), 1);
    expectLine(script.lines[0], "log", {"a ; not a comment"});

    const Script empty = loaded(dir, ";a\n\n  ;b\n");
    EXPECT_EQ(empty.lineCount(), 0);
    EXPECT_TRUE(empty.labels.empty());
}

TEST(ScriptLoad, CarriageReturnLineEndsParseLikeNewlines)
{
    TempDir dir;
    const std::string text = "; c\n:init\nlog a, b\n\nset_var speed, 10\n:end\n";
    std::string crlf;
    for (const char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const Script plain = loaded(dir, text);
    const Script windows = loaded(dir, crlf);
    ASSERT_EQ(windows.lineCount(), plain.lineCount());
    for (int i = 0; i < plain.lineCount(); ++i)
        expectLine(windows.lines[i], plain.lines[i].command, plain.lines[i].params);
    EXPECT_EQ(windows.labels, plain.labels);
    EXPECT_EQ(windows.labels.at("end"), 4);
}

TEST(ScriptLoad, ByteOrderMarkStaysInFrontOfFirstLine)
{
    TempDir dir;
    const std::string bom = "\xEF\xBB\xBF";
    const Script comment = loaded(dir, bom + "; comment\nlog a\n");
    ASSERT_EQ(comment.lineCount(), 2);
    expectLine(comment.lines[0], bom + ";", {"comment"});

    const Script label = loaded(dir, bom + ":init\nlog a\n");
    ASSERT_EQ(label.lineCount(), 2);
    expectLine(label.lines[0], bom + ":init", {});
    EXPECT_TRUE(label.labels.empty());
}

TEST(ScriptLabels, DefinitionIsStoredAndPointsPastItself)
{
    TempDir dir;
    const Script script = loaded(dir, "log a\n:init\nlog b\n");
    ASSERT_EQ(script.lineCount(), 3);
    expectLine(script.lines[1], "_label", {"init"});
    EXPECT_EQ(script.findLabel("init"), 2);
}

TEST(ScriptLabels, NameIsTheSecondColonPieceUntrimmed)
{
    TempDir dir;
    const Script script = loaded(dir, ":init:extra\n: init\n:\n:a ; note\n:x,y z\n");
    ASSERT_EQ(script.lineCount(), 5);
    expectLine(script.lines[0], "_label", {"init"});
    expectLine(script.lines[1], "_label", {" init"});
    expectLine(script.lines[2], "_label", {""});
    expectLine(script.lines[3], "_label", {"a ; note"});
    expectLine(script.lines[4], "_label", {"x,y z"});
    EXPECT_EQ(script.labels.at("init"), 1);
    EXPECT_EQ(script.labels.at(" init"), 2);
    EXPECT_EQ(script.labels.at(""), 3);
    EXPECT_EQ(script.labels.at("a ; note"), 4);
    EXPECT_EQ(script.labels.at("x,y z"), 5);
}

TEST(ScriptLabels, LabelOnLastLineMapsToLineCount)
{
    TempDir dir;
    const Script script = loaded(dir, "log a\n:end");
    EXPECT_EQ(script.findLabel("end"), script.lineCount());
    EXPECT_EQ(script.lineCount(), 2);
}

TEST(ScriptLabels, RedefinitionUsesTheLastOne)
{
    TempDir dir;
    const Script script = loaded(dir, ":a\nlog 1\n:a\nlog 2\n");
    EXPECT_EQ(script.findLabel("a"), 3);
}

TEST(ScriptLabels, DefinitionStoredAtSevenContinuesAtEight)
{
    TempDir dir;
    const Script script = loaded(dir, "a\nb\n;skip\nc\nd\n\ne\nf\ng\n:here\nh\n");
    ASSERT_EQ(script.lines[7].command, "_label");
    EXPECT_EQ(script.findLabel("here"), 8);
}

TEST(ScriptLabels, NamesAreCaseSensitiveAndMissingOnesGiveZero)
{
    TempDir dir;
    const Script script = loaded(dir, "log a\n:Init\nlog b\n");
    int index = -1;
    const Output output = capture([&] { index = script.findLabel("init"); });
    EXPECT_EQ(index, 0);
    EXPECT_EQ(output.err, "Script: Unable to find label [init]\n");
    EXPECT_EQ(output.out, "");
}

TEST(ScriptLoad, UnopenableFileEmptiesTheScript)
{
    TempDir dir;
    Script script = loaded(dir, ":init\nlog a\n");
    const std::string missing = (dir.path / "missing.script").string();
    bool result = true;
    const Output output = capture([&] { result = script.load(missing); });
    EXPECT_FALSE(result);
    EXPECT_EQ(output.err, "Script: Unable to open file " + missing + ".\n");
    EXPECT_EQ(output.out, "");
    EXPECT_EQ(script.lineCount(), 0);
    EXPECT_TRUE(script.labels.empty());
}

TEST(ScriptLoad, LoadReplacesThePreviousContent)
{
    TempDir dir;
    Script script = loaded(dir, ":old\nlog a\nlog b\n");
    ASSERT_TRUE(script.load(dir.write("other.script", "log c\n")));
    ASSERT_EQ(script.lineCount(), 1);
    expectLine(script.lines[0], "log", {"c"});
    EXPECT_EQ(script.labels.count("old"), 0u);
}

TEST(ScriptLines, GetLineInsideAndOutsideTheLines)
{
    TempDir dir;
    const Script script = loaded(dir, "log a\nlog b\n");
    ASSERT_NE(script.getLine(1), nullptr);
    EXPECT_EQ(script.getLine(1)->params, params({"b"}));

    for (const int index : {-1, 2})
    {
        const ScriptLine* line = &script.lines[0];
        const Output output = capture([&] { line = script.getLine(index); });
        EXPECT_EQ(line, nullptr);
        EXPECT_EQ(output.err, "Script: Out of bounds\n");
    }
}

// The editor support places its marks with the pieces' offsets: each must cover exactly what was
// written for it, and the texts must be the ones parsing stores.
TEST(ScriptSplit, PiecesKeepWhereTheyWereWritten)
{
    struct Row
    {
        const char* raw;
        Script::LineKind kind;
        std::vector<std::string> texts;
        std::vector<std::pair<std::size_t, std::size_t>> spans;
    };
    const Row rows[] = {
        {"   ", Script::LineKind::Blank, {}, {}},
        {"  ; note", Script::LineKind::Blank, {}, {}},
        {"delay 1.5", Script::LineKind::Command, {"delay", "1.5"}, {{0, 5}, {6, 9}}},
        {"  cmd   a , b \r", Script::LineKind::Command, {"cmd", "a", "b"}, {{2, 5}, {8, 9}, {12, 13}}},
        {"log \"a, b\"", Script::LineKind::Command, {"log", "a, b"}, {{0, 3}, {4, 10}}},
        {"cmd a,", Script::LineKind::Command, {"cmd", "a", ""}, {{0, 3}, {4, 5}, {6, 6}}},
        {"endif", Script::LineKind::Command, {"endif"}, {{0, 5}}},
        {"\t:orbit", Script::LineKind::Label, {"orbit"}, {{2, 7}}},
        {":a:b ", Script::LineKind::Label, {"a"}, {{1, 2}}},
        {": spaced", Script::LineKind::Label, {" spaced"}, {{1, 8}}},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.raw);
        std::vector<Script::Piece> pieces;
        EXPECT_EQ(Script::split(row.raw, pieces), row.kind);
        ASSERT_EQ(pieces.size(), row.texts.size());
        for (std::size_t i = 0; i < pieces.size(); ++i)
        {
            EXPECT_EQ(pieces[i].text, row.texts[i]);
            EXPECT_EQ(pieces[i].begin, row.spans[i].first);
            EXPECT_EQ(pieces[i].end, row.spans[i].second);
        }
    }
}
