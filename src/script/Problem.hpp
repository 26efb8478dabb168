#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <string_view>

// One problem in an author's script as the interpreter reports it, in parts: the component that
// found it, the command it names (if any), the stored line it names (if any), the parameter it is
// about (if any) and its text. Its console line is "Component: (command @N) param i text".
//
// The text is kept as pieces that point into the reporter's own strings and numbers, so that a
// report writes its line without building a string: a Problem lives only while it is reported,
// and a listener that keeps anything copies it.
class Problem
{
public:
    static constexpr int MaxPieces = 8;

    explicit Problem(const char* component) : componentName(component) {}

    // Names the command: "(command)".
    Problem& about(const std::string& command);
    // Names the command and its stored line: "(command @N)" with N = storedLine + 1.
    Problem& at(const std::string& command, int storedLine);
    // About parameter `index` (from 0): "param index " before the text.
    Problem& param(int index);
    // Appends to the text.
    Problem& operator<<(std::string_view text);
    Problem& operator<<(long long number);

    const char* component() const { return componentName; }
    // Empty when the problem names no command.
    std::string_view command() const { return commandName ? std::string_view(*commandName) : std::string_view(); }
    // The stored line the problem names, or -1.
    int storedLine() const { return lineMarked && line >= 0 ? line : -1; }
    // The parameter the problem is about (from 0), or -1.
    int parameter() const { return parameterIndex; }
    std::string text() const;

    // The console line, without its end of line.
    void printLine(std::ostream& out) const;
    std::string consoleLine() const;
    // The line for the author mode's panel, worded as the checker words places: "where: " first
    // unless `where` ("path:line") is empty, no stored-line count, the parameter counted from 1
    // ("parameter i+1: ").
    std::string panelText(const std::string& where) const;

    // Writes the console line to standard error, then hands the problem to the listener if one
    // is set.
    static void report(const Problem& problem);
    static inline std::function<void(const Problem&)> listener;
    // The problem whose console line is being written now, or null: a tap on standard error that
    // hears the line can take the problem instead of reading the text back.
    static const Problem* beingReported() { return reporting; }

private:
    struct Piece
    {
        std::string_view text;
        long long number = 0;
        bool isNumber = false;
    };

    void printHead(std::ostream& out, bool withLine) const;
    void printText(std::ostream& out) const;

    const char* componentName;
    const std::string* commandName = nullptr;
    bool lineMarked = false;
    int line = -1;
    int parameterIndex = -1;
    Piece pieces[MaxPieces];
    int pieceCount = 0;

    static inline const Problem* reporting = nullptr;
};
