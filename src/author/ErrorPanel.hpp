#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

// The problems shown on screen in author mode: every console report of a problem in the author's
// files stays for a few seconds, newest last; a broken file's report stays until the file is
// saved again.
class ErrorPanel
{
public:
    static constexpr double ShowSeconds = 6.0;
    static constexpr std::size_t MaxLines = 8;

    // A passing report, shown until `now` + ShowSeconds. The same text again only renews it.
    void add(const std::string& text, double now);
    // A report that stays until cleared (the key is usually the file's path).
    void setSticky(const std::string& key, const std::string& text);
    void clearSticky(const std::string& key);
    void expire(double now);
    bool empty() const { return passing.empty() && sticky.empty(); }

    // What to show, at most MaxLines: the standing reports, then the passing ones, newest last.
    std::vector<std::string> lines() const;

    // A console line placed as the checker places its findings: "where: line", where `where` is
    // "path:line" or empty when no place is known.
    static std::string describe(const std::string& line, const std::string& where);

    // Hears each report as it first appears (a renewal or the same standing text again is not
    // heard); null: none.
    std::function<void(const std::string&)> heard;

private:
    struct Entry
    {
        std::string text;
        double until;
    };
    std::deque<Entry> passing;
    std::map<std::string, std::string> sticky;
};
