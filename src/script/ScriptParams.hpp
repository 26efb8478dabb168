#pragma once

#include <string>
#include <vector>

// The executing line, named in the accessors' messages; set by the interpreter for every executed line.
extern std::string currentCommand;
extern int currentLineNumber;

// Typed access to a line's resolved parameters. They never fail: malformed input is reported on
// standard error and read as "", 0 or false.
std::string getString(const std::vector<std::string>& params, int i);
int getInt(const std::vector<std::string>& params, int i);
float getFloat(const std::vector<std::string>& params, int i);
bool getBool(const std::vector<std::string>& params, int i);
bool checkParamCount(const std::string& command, const std::vector<std::string>& params, int n);

std::string replaceFirst(const std::string& text, const std::string& pattern, const std::string& replacement);
