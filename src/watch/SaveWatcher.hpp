#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Watches a set of files for saves the way editors make them: a file counts as saved once it has
// stayed unchanged for a quiet time (a file read half written is never taken), and one that
// disappears and comes back (delete and create, or a temporary file renamed over it) counts as
// one save. Polled from the frame loop; nothing runs in the background.
class SaveWatcher
{
public:
    static constexpr double QuietSeconds = 0.2;

    // Watches exactly these paths from now on; a path watched before keeps what it knew.
    void watch(const std::vector<std::string>& paths);

    // The files saved since the last poll whose new version has been quiet for QuietSeconds at
    // `now` (seconds on any steady clock); each save is reported once.
    std::vector<std::string> poll(double now);

    // Files that have been gone for the quiet time and have not come back.
    std::vector<std::string> missing(double now) const;

private:
    struct Stamp
    {
        bool exists = false;
        std::int64_t modified = 0; // nanoseconds
        std::int64_t size = 0;
        std::uint64_t inode = 0;

        bool operator==(const Stamp& other) const
        {
            return exists == other.exists && modified == other.modified && size == other.size && inode == other.inode;
        }
        bool operator!=(const Stamp& other) const { return !(*this == other); }
    };
    struct File
    {
        Stamp known;          // the version last reported (or found at the start)
        Stamp seen;           // the version seen by the last poll
        double changedAt = 0; // when `seen` last changed
    };

    static Stamp stampOf(const std::string& path);

    std::map<std::string, File> files;
};
