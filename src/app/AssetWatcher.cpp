#include "app/AssetWatcher.hpp"

#include <iostream>

namespace fs = std::filesystem;

namespace
{
// Editors replace files and folders while a walk runs; an entry or folder that went away
// under the walk is seen correctly by the next poll and needs no report.
bool vanished(const std::error_code& error)
{
    return error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
}

// Path texts use the preferred separator throughout. Where that is a slash the walker's text
// already has it; elsewhere the folder part may hold slashes, which costs a copy per entry.
template <typename Visit>
void visitPreferred(const fs::path& path, fs::file_time_type time, Visit& visit)
{
    if constexpr (fs::path::preferred_separator == '/')
        visit(path, time);
    else
    {
        fs::path preferred = path;
        visit(preferred.make_preferred(), time);
    }
}
} // namespace

AssetWatcher::AssetWatcher(const std::string& watchedFolder, int delayMs) : folder(watchedFolder), delay(delayMs)
{
    walk([this](const fs::path& path, fs::file_time_type time) { files[path.native()] = time; });
}

void AssetWatcher::poll(const Callback& callback)
{
    for (auto entry = files.begin(); entry != files.end();)
    {
        std::error_code error;
        // Only a definite "not found" is a disappearance; any other failure keeps the entry.
        if (fs::status(entry->first, error).type() == fs::file_type::not_found)
        {
            const std::string path = entry->first;
            entry = files.erase(entry);
            callback(path, FileStatus::erased);
        }
        else
            ++entry;
    }

    walk([this, &callback](const fs::path& path, fs::file_time_type time) {
        const auto known = files.find(path.native());
        if (known == files.end())
        {
            files.emplace(path.native(), time);
            callback(path.native(), FileStatus::created);
        }
        else if (known->second != time)
        {
            known->second = time;
            callback(path.native(), FileStatus::modified);
        }
    });
}

template <typename Visit>
void AssetWatcher::walk(Visit visit)
{
    // Directory links are not followed, so a link loop cannot make the walk endless; a folder
    // that cannot be opened is left out.
    std::error_code error;
    fs::recursive_directory_iterator entry(folder, fs::directory_options::skip_permission_denied, error);
    if (error)
    {
        reportWalkError(error, true);
        return;
    }
    const fs::recursive_directory_iterator end;
    while (entry != end)
    {
        // An entry deleted after the folder was listed (an editor's temporary file) has no time
        // to read: it is skipped for this poll.
        const fs::file_time_type time = entry->last_write_time(error);
        if (!error)
            visitPreferred(entry->path(), time, visit);
        // A failed step ends the walk; the rest of the folder is seen by the next poll.
        entry.increment(error);
        if (error)
        {
            reportWalkError(error, false);
            return;
        }
    }
}

void AssetWatcher::reportWalkError(const std::error_code& error, bool atRoot)
{
    if (walkErrorReported || (!atRoot && vanished(error)))
        return;
    walkErrorReported = true;
    std::cerr << "AssetWatcher: Cannot walk " << folder << ": " << error.message() << std::endl;
}
