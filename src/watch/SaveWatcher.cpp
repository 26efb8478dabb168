#include "watch/SaveWatcher.hpp"

#include <sys/stat.h>

void SaveWatcher::watch(const std::vector<std::string>& paths)
{
    std::map<std::string, File> next;
    for (const std::string& path : paths)
    {
        const auto known = files.find(path);
        if (known != files.end())
            next.emplace(path, known->second);
        else
        {
            File file;
            file.known = file.seen = stampOf(path);
            next.emplace(path, file);
        }
    }
    files.swap(next);
}

std::vector<std::string> SaveWatcher::poll(double now)
{
    std::vector<std::string> saved;
    for (auto& entry : files)
    {
        File& file = entry.second;
        const Stamp stamp = stampOf(entry.first);
        if (stamp != file.seen)
        {
            file.seen = stamp;
            file.changedAt = now;
            continue;
        }
        // Quiet long enough, present, and not the version already known: one save.
        if (stamp.exists && stamp != file.known && now - file.changedAt >= QuietSeconds)
        {
            file.known = stamp;
            saved.push_back(entry.first);
        }
    }
    return saved;
}

std::vector<std::string> SaveWatcher::missing(double now) const
{
    std::vector<std::string> gone;
    for (const auto& entry : files)
    {
        const File& file = entry.second;
        if (!file.seen.exists && file.known.exists && now - file.changedAt >= QuietSeconds)
            gone.push_back(entry.first);
    }
    return gone;
}

SaveWatcher::Stamp SaveWatcher::stampOf(const std::string& path)
{
    Stamp stamp;
    struct stat status;
    // A folder is not a file the demo can use.
    if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return stamp;
    stamp.exists = true;
    stamp.modified = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    stamp.size = static_cast<std::int64_t>(status.st_size);
    stamp.inode = static_cast<std::uint64_t>(status.st_ino);
    return stamp;
}
