#pragma once

#include "script/ScriptLine.hpp"

#include <istream>
#include <string>
#include <unordered_map>
#include <vector>

// A script file in parsed form: stored lines (comments and blank lines dropped) and labels.
class Script
{
public:
    // The command of a stored label line; running it does nothing.
    static constexpr const char* LabelCommand = "_label";
    // The sections the player runs by label: init once after every clear, before the main flow's
    // first line, and render every frame.
    static constexpr const char* InitSection = "init";
    static constexpr const char* RenderSection = "render";

    // Replaces the whole content; false (with a message) when the file cannot be opened.
    bool load(const std::string& path);

    // Replaces the whole content with the lines read from `in` (the same rules as load; used by
    // tools that check a script held in memory).
    void parse(std::istream& in);

    // One piece of a file line as parsing cuts it: its text (quotes removed, trimmed) and where
    // its written form starts and ends in the raw line (byte offsets; end is one past).
    struct Piece
    {
        std::string text;
        std::size_t begin = 0;
        std::size_t end = 0;
    };
    enum class LineKind
    {
        Blank, // blank or a comment
        Label, // pieces: the name
        Command // pieces: the command word, then each parameter
    };
    // Cuts one raw file line exactly as parsing does, keeping where each piece was written (the
    // editor support places its marks with these).
    static LineKind split(const std::string& raw, std::vector<Piece>& pieces);

    // Index of the line after the label's definition, or 0 (with a message) when undefined.
    int findLabel(const std::string& name) const;

    // The stored line at index, or null (with a message) when out of range.
    const ScriptLine* getLine(int index) const
    {
        if (index < 0 || index >= lineCount())
            return outOfBounds();
        return &lines[static_cast<std::size_t>(index)];
    }

    int lineCount() const { return static_cast<int>(lines.size()); }

    // The name of the nearest label defined at or above a stored line, or null.
    const std::string* labelAbove(int line) const;

    std::vector<ScriptLine> lines;
    std::unordered_map<std::string, int> labels;
    // The 1-based line of the file that each stored line came from (for diagnostics).
    std::vector<int> fileLines;

private:
    static const ScriptLine* outOfBounds();
    // Stores one file line: nothing for blanks and comments, a "_label" line, or a command.
    void addLine(const std::string& raw, int fileLine);
    // Appends a line with the facts of its plain parameters.
    void store(ScriptLine line);
};
