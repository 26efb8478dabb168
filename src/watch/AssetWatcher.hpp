#pragma once

#include "watch/FileStatus.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

// Remembers the last-write time of every entry below a folder and reports, on each poll, the
// entries that appeared, changed or disappeared. Polled from the main thread on every step, so a
// poll that finds nothing new allocates nothing; nothing runs in the background.
class AssetWatcher
{
public:
    using Callback = std::function<void(const std::string& path, FileStatus status)>;

    // A last-write time as the file system keeps it.
    struct Time
    {
        std::int64_t seconds = 0;
        std::int64_t nanoseconds = 0;

        bool operator==(const Time& other) const
        {
            return seconds == other.seconds && nanoseconds == other.nanoseconds;
        }
        bool operator!=(const Time& other) const { return !(*this == other); }
    };

    // Entries present now are recorded and never reported as created.
    AssetWatcher(const std::string& folder, int delay);

    // Disappearances first, then one recursive walk for new and changed entries. Path texts are
    // the folder followed by the relative path with '/' separators, as the directory walker
    // forms them.
    void poll(const Callback& callback);

    std::string folder;
    int delay = 0;
    std::unordered_map<std::string, Time> files;

private:
    template <typename Visit>
    void walk(Visit visit);
    template <typename Visit>
    void walkFolder(int folderFd, std::size_t depth, Visit& visit);
    template <typename Visit>
    void walkEntry(int folderFd, const char* name, unsigned char type, std::size_t depth, Visit& visit);
    template <typename Visit>
    void walkSubfolder(int parentFd, const char* name, std::size_t depth, Visit& visit);
    void reportWalkError(const char* reason);

    // The walked entry's path text, reserved once and cut back after each entry.
    std::string path;
    // One directory listing buffer per folder level, kept from walk to walk.
    std::vector<std::vector<char>> listings;
    bool walkErrorReported = false;
};
