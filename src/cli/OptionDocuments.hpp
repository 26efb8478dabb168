#pragma once

#include <string>

// The documents made from the option table: the README's and the script reference's tables, the
// manual page and the shell completions. kestrune_manual writes them; tests compare them.
class OptionDocuments
{
public:
    static std::string readmeTable();
    static std::string referenceTable();
    static std::string manPage();
    static std::string bashCompletion();
    static std::string zshCompletion();
    static std::string fishCompletion();
};
