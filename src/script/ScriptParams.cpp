#include "script/ScriptParams.hpp"

#include <cctype>
#include <cerrno>
#include <cstdlib>

std::string currentCommand;
int currentLineNumber = 0;

namespace
{
const char* const Component = "ScriptInterp";
// A missing parameter (also a negative index) reads as "" or 0 without a message of its own:
// checkParamCount has already reported the shortfall.
const std::string* paramAt(const std::vector<std::string>& params, int i)
{
    if (i < 0 || static_cast<std::size_t>(i) >= params.size())
        return nullptr;
    return &params[static_cast<std::size_t>(i)];
}

void reportInvalid(int i, const std::string& text, const char* kind)
{
    Problem::report(lineProblem().param(i) << text << " is not a valid " << kind << ".");
}

// The out-of-range message carries no line number.
void reportOutOfRange(int i, const std::string& text)
{
    Problem::report(commandProblem().param(i) << text << " is out of range.");
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The white space the C library skips before a number.
bool isSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Reports what a read found wrong with parameter i, if anything.
bool reported(NumberRead read, int i, const std::string& text, const char* kind)
{
    if (read == NumberRead::Invalid)
        reportInvalid(i, text, kind);
    else if (read == NumberRead::OutOfRange)
        reportOutOfRange(i, text);
    return read != NumberRead::Ok;
}

bool flagConstant(const std::string& text, std::int8_t& flag)
{
    static const char Prefix[] = "%flag_";
    constexpr std::size_t PrefixSize = sizeof Prefix - 1;
    if (text.size() != PrefixSize + 1 || text[PrefixSize] < '0' || text[PrefixSize] > '8')
        return false;
    for (std::size_t k = 0; k < PrefixSize; ++k)
        if (static_cast<char>(std::tolower(static_cast<unsigned char>(text[k]))) != Prefix[k])
            return false;
    flag = static_cast<std::int8_t>(text[PrefixSize] - '0');
    return true;
}
} // namespace

Problem interpProblem()
{
    return Problem(Component);
}

Problem commandProblem()
{
    Problem problem(Component);
    problem.about(currentCommand);
    return problem;
}

Problem lineProblem()
{
    Problem problem(Component);
    problem.at(currentCommand, currentLineNumber - 1);
    return problem;
}

// Base 10 the way strtoll reads it (white space, a sign, digits up to the first other
// character), within 32 bits.
NumberRead readInteger(const std::string& text, std::int32_t& value)
{
    const char* p = text.c_str();
    while (isSpace(*p))
        ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    if (!isDigit(*p))
        return NumberRead::Invalid;
    constexpr std::uint64_t Limit = 2147483648u;
    std::uint64_t magnitude = 0;
    for (; isDigit(*p); ++p)
        if (magnitude <= Limit)
            magnitude = magnitude * 10 + static_cast<std::uint64_t>(*p - '0');
    if (magnitude > (negative ? Limit : Limit - 1))
        return NumberRead::OutOfRange;
    value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                     : static_cast<std::int32_t>(magnitude);
    return NumberRead::Ok;
}

NumberRead readNumber(const std::string& text, float& value)
{
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    const float read = std::strtof(start, &end);
    if (end == start)
        return NumberRead::Invalid;
    if (errno == ERANGE)
        return NumberRead::OutOfRange;
    value = read;
    return NumberRead::Ok;
}

std::vector<ParamFacts> paramFacts(const std::vector<std::string>& params)
{
    std::vector<ParamFacts> facts(params.size());
    for (std::size_t k = 0; k < params.size(); ++k)
    {
        const std::string& text = params[k];
        ParamFacts& fact = facts[k];
        fact.plain = text.find_first_of("%$") == std::string::npos;
        if (fact.plain)
        {
            fact.isInteger = readInteger(text, fact.integer) == NumberRead::Ok;
            fact.isNumber = readNumber(text, fact.number) == NumberRead::Ok;
        }
        else
            flagConstant(text, fact.flag);
    }
    return facts;
}

std::string getString(const std::vector<std::string>& params, int i)
{
    const std::string* text = paramAt(params, i);
    return text ? *text : std::string();
}

int getInt(const std::vector<std::string>& params, int i)
{
    const std::string* text = paramAt(params, i);
    if (!text)
        return 0;
    std::int32_t value = 0;
    return reported(readInteger(*text, value), i, *text, "integer") ? 0 : value;
}

float getFloat(const std::vector<std::string>& params, int i)
{
    const std::string* text = paramAt(params, i);
    if (!text)
        return 0.f;
    float value = 0.f;
    return reported(readNumber(*text, value), i, *text, "float") ? 0.f : value;
}

bool getBool(const std::vector<std::string>& params, int i)
{
    return paramAt(params, i) && getInt(params, i) == 1;
}

bool checkParamCount(const std::string& command, const std::vector<std::string>& params, int n)
{
    if (n < 0 || params.size() >= static_cast<std::size_t>(n))
        return true;
    Problem::report(interpProblem() << "Command [" << command << "] needs " << n << " parameters. " << params.size()
                                    << " found.");
    return false;
}

std::string replaceFirst(const std::string& text, const std::string& pattern, const std::string& replacement)
{
    std::string result = text;
    const std::size_t at = result.find(pattern);
    if (at != std::string::npos)
        result.replace(at, pattern.size(), replacement);
    return result;
}

std::string getString(const LineParams& params, int i)
{
    return getString(params.texts, i);
}

int getInt(const LineParams& params, int i)
{
    const ParamFacts* fact = params.plain(i);
    return fact && fact->isInteger ? fact->integer : getInt(params.texts, i);
}

float getFloat(const LineParams& params, int i)
{
    const ParamFacts* fact = params.plain(i);
    return fact && fact->isNumber ? fact->number : getFloat(params.texts, i);
}

bool getBool(const LineParams& params, int i)
{
    const ParamFacts* fact = params.plain(i);
    if (fact && fact->isInteger)
        return fact->integer == 1;
    return getBool(params.texts, i);
}
