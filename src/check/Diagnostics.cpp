#include "check/Diagnostics.hpp"

#include <algorithm>

void Diagnostics::error(const std::string& path, int line, int column, const std::string& text)
{
    entries.push_back({path, line, column, Severity::Error, text, -1, std::string()});
}

void Diagnostics::warning(const std::string& path, int line, int column, const std::string& text)
{
    entries.push_back({path, line, column, Severity::Warning, text, -1, std::string()});
}

void Diagnostics::note(const std::string& path, const std::string& text)
{
    entries.push_back({path, 0, 0, Severity::Note, text, -1, std::string()});
}

int Diagnostics::errors() const
{
    return static_cast<int>(std::count_if(entries.begin(), entries.end(),
                                          [](const Entry& entry) { return entry.severity == Severity::Error; }));
}

int Diagnostics::warnings() const
{
    return static_cast<int>(std::count_if(entries.begin(), entries.end(),
                                          [](const Entry& entry) { return entry.severity == Severity::Warning; }));
}

std::string Diagnostics::format(const Entry& entry)
{
    std::string text = entry.path;
    if (entry.line > 0)
    {
        text += ":" + std::to_string(entry.line);
        if (entry.column > 0)
            text += ":" + std::to_string(entry.column);
    }
    switch (entry.severity)
    {
    case Severity::Error: text += ": error: "; break;
    case Severity::Warning: text += ": warning: "; break;
    case Severity::Note: text += ": note: "; break;
    }
    return text + entry.text;
}

void Diagnostics::print(std::ostream& out) const
{
    for (const Entry& entry : entries)
        out << format(entry) << '\n';
    out << errors() << " errors, " << warnings() << " warnings" << std::endl;
}
