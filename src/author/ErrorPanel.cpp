#include "author/ErrorPanel.hpp"

#include <algorithm>

void ErrorPanel::add(const std::string& text, double now)
{
    const auto same = std::find_if(passing.begin(), passing.end(), [&](const Entry& e) { return e.text == text; });
    if (same != passing.end())
        passing.erase(same);
    else if (heard)
        heard(text);
    passing.push_back({text, now + ShowSeconds});
    while (passing.size() > MaxLines)
        passing.pop_front();
}

void ErrorPanel::setSticky(const std::string& key, const std::string& text)
{
    std::string& standing = sticky[key];
    if (standing != text && heard)
        heard(text);
    standing = text;
}

void ErrorPanel::clearSticky(const std::string& key)
{
    sticky.erase(key);
}

void ErrorPanel::expire(double now)
{
    passing.erase(std::remove_if(passing.begin(), passing.end(), [now](const Entry& e) { return e.until <= now; }),
                  passing.end());
}

std::vector<std::string> ErrorPanel::lines() const
{
    std::vector<std::string> shown;
    for (const auto& entry : sticky)
        if (shown.size() < MaxLines)
            shown.push_back(entry.second);
    // The newest passing reports fill what room is left.
    const std::size_t room = MaxLines - shown.size();
    const std::size_t skip = passing.size() > room ? passing.size() - room : 0;
    for (std::size_t i = skip; i < passing.size(); ++i)
        shown.push_back(passing[i].text);
    return shown;
}

std::string ErrorPanel::describe(const std::string& line, const std::string& where)
{
    return where.empty() ? line : where + ": " + line;
}
