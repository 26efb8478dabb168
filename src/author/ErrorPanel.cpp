#include "author/ErrorPanel.hpp"

#include <algorithm>
#include <cctype>

namespace
{
// "(command @12)" becomes "(command)": the stored-line count means nothing to an author.
void dropStoredLine(std::string& text)
{
    const std::size_t open = text.find('(');
    if (open == std::string::npos)
        return;
    const std::size_t close = text.find(')', open);
    const std::size_t mark = text.find(" @", open);
    if (close == std::string::npos || mark == std::string::npos || mark > close)
        return;
    text.erase(mark, close - mark);
}

// "param 2 abc" becomes "parameter 3: abc", counted from 1 as the checker counts.
void countParametersFromOne(std::string& text)
{
    const std::string word = " param ";
    const std::size_t at = text.find(word);
    if (at == std::string::npos)
        return;
    std::size_t end = at + word.size();
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])))
        ++end;
    if (end == at + word.size() || end - at - word.size() > 9)
        return;
    const long index = std::stol(text.substr(at + word.size(), end - at - word.size()));
    const bool more = end < text.size() && text[end] == ' ';
    text.replace(at, end - at + (more ? 1 : 0), " parameter " + std::to_string(index + 1) + (more ? ": " : ""));
}
} // namespace

void ErrorPanel::add(const std::string& text, double now)
{
    const auto same = std::find_if(passing.begin(), passing.end(), [&](const Entry& e) { return e.text == text; });
    if (same != passing.end())
        passing.erase(same);
    passing.push_back({text, now + ShowSeconds});
    while (passing.size() > MaxLines)
        passing.pop_front();
}

void ErrorPanel::setSticky(const std::string& key, const std::string& text)
{
    sticky[key] = text;
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

std::string ErrorPanel::describe(const std::string& message, const std::string& where)
{
    std::string text = message;
    dropStoredLine(text);
    countParametersFromOne(text);
    return where.empty() ? text : where + ": " + text;
}
