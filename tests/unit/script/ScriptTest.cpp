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

// How a script's text is stored: each row a script, the lines it stores (command, then
// parameters) and the labels it defines with the stored line each leads to.
struct LoadCase
{
    const char* what;
    std::string text;
    std::vector<std::vector<std::string>> lines;
    std::vector<std::pair<std::string, int>> labels;
};

const std::string Bom = "\xEF\xBB\xBF";

const LoadCase LoadCases[] = {
    {"example lines cut into command and parameters",
     "delay 1.5\n"
     "endif\n"
     "log \"a, b\"\n"
     "log hello world\n"
     "set_var speed, 10\n"
     "cmd a,,b\n"
     "cmd a,\n"
     "a,b c\n",
     {{"delay", "1.5"},
      {"endif"},
      {"log", "a, b"},
      {"log", "hello world"},
      {"set_var", "speed", "10"},
      {"cmd", "a", "", "b"},
      {"cmd", "a", ""},
      {"a", "b", "c"}},
     {}},
    // The first space separates even inside quotes; later ones are ordinary characters.
    {"quotes and spaces",
     "log \"\"\n"
     "cmd \"x,y\",z\n"
     "\"log x\" y\n"
     "cmd   a , b \n"
     "cmd \"a\"\"b\"\n",
     {{"log", ""}, {"cmd", "x,y", "z"}, {"log", "x y"}, {"cmd", "a", "b"}, {"cmd", "ab"}},
     {}},
    {"a tab is not a separator", "log\thello\ncmd\ta b\n", {{"log\thello"}, {"cmd\ta", "b"}}, {}},
    {"comments and blank lines are not stored",
     "; top\n\n   ; spaces\n\t; tab\n \t \nlog a ; not a comment\n",
     {{"log", "a ; not a comment"}},
     {}},
    {"only comments and blank lines", ";a\n\n  ;b\n", {}, {}},
    {"a byte-order mark stays in front of a comment",
     Bom + "; comment\nlog a\n",
     {{Bom + ";", "comment"}, {"log", "a"}},
     {}},
    {"a byte-order mark stays in front of a label", Bom + ":init\nlog a\n", {{Bom + ":init"}, {"log", "a"}}, {}},
    {"a definition is stored and points past itself",
     "log a\n:init\nlog b\n",
     {{"log", "a"}, {"_label", "init"}, {"log", "b"}},
     {{"init", 2}}},
    {"the name is the second colon piece, untrimmed",
     ":init:extra\n: init\n:\n:a ; note\n:x,y z\n",
     {{"_label", "init"}, {"_label", " init"}, {"_label", ""}, {"_label", "a ; note"}, {"_label", "x,y z"}},
     {{"init", 1}, {" init", 2}, {"", 3}, {"a ; note", 4}, {"x,y z", 5}}},
    {"a label on the last line leads to the line count",
     "log a\n:end",
     {{"log", "a"}, {"_label", "end"}},
     {{"end", 2}}},
    {"a redefinition uses the last one",
     ":a\nlog 1\n:a\nlog 2\n",
     {{"_label", "a"}, {"log", "1"}, {"_label", "a"}, {"log", "2"}},
     {{"a", 3}}},
    {"a definition stored at seven continues at eight",
     "a\nb\n;skip\nc\nd\n\ne\nf\ng\n:here\nh\n",
     {{"a"}, {"b"}, {"c"}, {"d"}, {"e"}, {"f"}, {"g"}, {"_label", "here"}, {"h"}},
     {{"here", 8}}},
};
} // namespace

TEST(ScriptLoad, LinesAndLabelsAsStored)
{
    TempDir dir;
    for (const LoadCase& c : LoadCases)
    {
        const Script script = loaded(dir, c.text);
        ASSERT_EQ(script.lineCount(), static_cast<int>(c.lines.size())) << c.what;
        for (std::size_t i = 0; i < c.lines.size(); ++i)
        {
            SCOPED_TRACE(std::string(c.what) + ", line " + std::to_string(i));
            expectLine(script.lines[i], c.lines[i][0], {c.lines[i].begin() + 1, c.lines[i].end()});
        }
        EXPECT_EQ(script.labels, (std::unordered_map<std::string, int>(c.labels.begin(), c.labels.end()))) << c.what;
        for (const auto& label : c.labels)
            EXPECT_EQ(script.findLabel(label.first), label.second) << c.what << ": " << label.first;
    }
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

// Author mode's position line and the control channel's state both name the label above the line
// the main flow is at.
TEST(ScriptLabels, TheLabelAboveAStoredLine)
{
    const Script script = parsed("log a\n:first\nlog b\n:second\n:third\nlog c\n");
    const struct
    {
        int line;
        const char* label; // null: none above
    } rows[] = {{-1, nullptr}, {0, nullptr}, {1, "first"}, {2, "first"}, {3, "second"},
                {4, "third"},  {5, "third"}, {6, "third"}, {99, "third"}};
    for (const auto& row : rows)
    {
        const std::string* above = script.labelAbove(row.line);
        EXPECT_EQ(above ? above->c_str() : "(none)", std::string(row.label ? row.label : "(none)"))
            << "line " << row.line;
    }
    EXPECT_EQ(Script().labelAbove(0), nullptr);
}
