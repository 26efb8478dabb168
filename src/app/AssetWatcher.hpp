#pragma once

#include "app/FileStatus.hpp"

#include <filesystem>
#include <functional>
#include <string>
#include <unordered_map>

// Remembers the last-write time of every entry below a folder and reports, on each poll, the
// entries that appeared, changed or disappeared. Polled from the main thread; nothing runs in the
// background.
class AssetWatcher
{
public:
    using Callback = std::function<void(const std::string& path, FileStatus status)>;

    // Entries present now are recorded and never reported as created.
    AssetWatcher(const std::string& folder, int delay);

    // Disappearances first, then one recursive walk for new and changed entries. Path texts are
    // the folder followed by the relative path, as the directory walker forms them.
    void poll(const Callback& callback);

    std::string folder;
    int delay = 0;
    std::unordered_map<std::string, std::filesystem::file_time_type> files;

private:
    template <typename Visit>
    void walk(Visit visit);
    void reportWalkError(const std::error_code& error, bool atRoot);

    bool walkErrorReported = false;
};
