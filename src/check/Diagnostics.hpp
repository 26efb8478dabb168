#pragma once

#include <ostream>
#include <string>
#include <vector>

// The problems a check finds, in the order found, printed the way compilers print them:
// "path:line:column: error: text" (line and column where known), then "N errors, N warnings".
class Diagnostics
{
public:
    enum class Severity
    {
        Error,
        Warning,
        Note // not counted: says what the check could not do here
    };

    struct Entry
    {
        std::string path;
        int line = 0;   // 1-based; 0: the whole file
        int column = 0; // 1-based; 0: unknown
        Severity severity = Severity::Error;
        std::string text;
        // In a script: the parameter of the line the entry is about (0-based), or -1 for the
        // line as a whole (editors then mark the command word or the label).
        int param = -1;
        // The file the entry is about when that is not `path`: a file a catalog names that does
        // not load is reported at the catalog's entry, but it is that file that is broken.
        std::string about;
    };

    void error(const std::string& path, int line, int column, const std::string& text);
    void warning(const std::string& path, int line, int column, const std::string& text);
    void note(const std::string& path, const std::string& text);

    int errors() const;
    int warnings() const;

    static std::string format(const Entry& entry);
    // Every entry, one line each, then the summary line.
    void print(std::ostream& out) const;

    std::vector<Entry> entries;
};
