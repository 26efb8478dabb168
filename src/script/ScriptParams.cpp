#include "script/ScriptParams.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <iostream>

std::string currentCommand;
int currentLineNumber = 0;

namespace
{
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
    std::cerr << "ScriptInterp: (" << currentCommand << " @" << currentLineNumber << ") param " << i << " " << text
              << " is not a valid " << kind << "." << std::endl;
}

// The out-of-range message carries no line number.
void reportOutOfRange(int i, const std::string& text)
{
    std::cerr << "ScriptInterp: (" << currentCommand << ") param " << i << " " << text << " is out of range."
              << std::endl;
}
} // namespace

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
    const char* start = text->c_str();
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(start, &end, 10);
    if (end == start)
    {
        reportInvalid(i, *text, "integer");
        return 0;
    }
    if (errno == ERANGE || value < INT_MIN || value > INT_MAX)
    {
        reportOutOfRange(i, *text);
        return 0;
    }
    return static_cast<int>(value);
}

float getFloat(const std::vector<std::string>& params, int i)
{
    const std::string* text = paramAt(params, i);
    if (!text)
        return 0.f;
    const char* start = text->c_str();
    char* end = nullptr;
    errno = 0;
    const float value = std::strtof(start, &end);
    if (end == start)
    {
        reportInvalid(i, *text, "float");
        return 0.f;
    }
    if (errno == ERANGE)
    {
        reportOutOfRange(i, *text);
        return 0.f;
    }
    return value;
}

bool getBool(const std::vector<std::string>& params, int i)
{
    return paramAt(params, i) && getInt(params, i) == 1;
}

bool checkParamCount(const std::string& command, const std::vector<std::string>& params, int n)
{
    if (n < 0 || params.size() >= static_cast<std::size_t>(n))
        return true;
    std::cerr << "ScriptInterp: Command [" << command << "] needs " << n << " parameters. " << params.size()
              << " found." << std::endl;
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
