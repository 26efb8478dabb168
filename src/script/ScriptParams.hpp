#pragma once

#include "report/Problem.hpp"
#include "script/ScriptLine.hpp"

#include <cstdint>
#include <string>
#include <vector>

// The executing line, named in the accessors' messages; set by the interpreter for every executed line.
extern std::string currentCommand;
extern int currentLineNumber;

// The interpreter's problems, to be completed and reported with Problem::report: its own
// ("ScriptInterp: text"), about the executing command ("ScriptInterp: (command) text") and about
// the executing line ("ScriptInterp: (command @N) text", N being currentLineNumber).
Problem interpProblem();
Problem commandProblem();
Problem lineProblem();

// Typed access to a line's resolved parameters. They never fail: malformed input is reported on
// standard error and read as "", 0 or false.
std::string getString(const std::vector<std::string>& params, int i);
int getInt(const std::vector<std::string>& params, int i);
float getFloat(const std::vector<std::string>& params, int i);
bool getBool(const std::vector<std::string>& params, int i);
bool checkParamCount(const std::string& command, const std::vector<std::string>& params, int n);

std::string replaceFirst(const std::string& text, const std::string& pattern, const std::string& replacement);

// How a text reads as a number, without a message: what getInt and getFloat do before they report.
enum class NumberRead
{
    Ok,
    Invalid,   // no digit could be read
    OutOfRange // beyond 32 bits, or beyond the float range
};
NumberRead readInteger(const std::string& text, std::int32_t& value);
NumberRead readNumber(const std::string& text, float& value);

// The plain-text facts of each parameter (see ParamFacts), worked out when a line is loaded.
std::vector<ParamFacts> paramFacts(const std::vector<std::string>& params);

// A line's resolved parameters with the facts its plain parameters were loaded with, so that a
// number written in the script is not read again on every run. The accessors below answer
// exactly as those above, messages included.
class LineParams
{
public:
    explicit LineParams(const ScriptLine& line) : LineParams(line.params, line.facts) {}
    // The resolved texts of a line with the facts it was loaded with: the plain ones are the same.
    LineParams(const std::vector<std::string>& texts, const std::vector<ParamFacts>& loaded)
        : texts(texts), facts(loaded.data())
    {
        // Facts that do not match the parameters (a line changed by hand) are not used.
        if (loaded.size() != texts.size())
            facts = nullptr;
    }

    std::size_t size() const { return texts.size(); }
    const std::string& operator[](std::size_t i) const { return texts[i]; }
    // Facts of parameter i when it is plain, or null.
    const ParamFacts* plain(int i) const
    {
        return facts && i >= 0 && static_cast<std::size_t>(i) < texts.size() && facts[i].plain ? &facts[i] : nullptr;
    }

    const std::vector<std::string>& texts;

private:
    const ParamFacts* facts;
};

std::string getString(const LineParams& params, int i);
int getInt(const LineParams& params, int i);
float getFloat(const LineParams& params, int i);
bool getBool(const LineParams& params, int i);
