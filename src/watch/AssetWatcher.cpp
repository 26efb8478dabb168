#include "watch/AssetWatcher.hpp"

#include "report/Problem.hpp"

#include <cerrno>
#include <climits>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The walk runs on every step, so it lists folders with descriptors and fixed buffers instead of
// the allocating directory iterator, and builds path texts in one reserved string.
namespace
{
constexpr std::size_t ListingBytes = 8192;
// Deeper folders are recorded but not entered, which also bounds the descriptors held open.
constexpr std::size_t MaxDepth = 64;

// Editors replace files and folders while a walk runs; an entry or folder that went away
// under the walk is seen correctly by the next poll and needs no report.
bool vanished(int error)
{
    return error == ENOENT || error == ENOTDIR;
}

bool isDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Directory links are not followed, so a link loop cannot make the walk endless.
bool isRealFolder(int parentFd, const char* name, unsigned char type)
{
    struct stat status;
    if (type == DT_UNKNOWN)
        return fstatat(parentFd, name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode);
    return type == DT_DIR;
}

class FolderHandle
{
public:
    explicit FolderHandle(int descriptor) : fd(descriptor) {}
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;
    ~FolderHandle()
    {
        if (fd >= 0)
            close(fd);
    }

    const int fd;
};
} // namespace

AssetWatcher::AssetWatcher(const std::string& watchedFolder, int delayMs) : folder(watchedFolder), delay(delayMs)
{
    path.reserve(PATH_MAX);
    listings.reserve(MaxDepth);
    walk([this](const std::string& entry, Time time) { files[entry] = time; });
}

void AssetWatcher::poll(const Callback& callback)
{
    for (auto entry = files.begin(); entry != files.end();)
    {
        struct stat status;
        // Only a definite "not found" is a disappearance; any other failure keeps the entry.
        if (stat(entry->first.c_str(), &status) != 0 && vanished(errno))
        {
            const auto gone = files.extract(entry++);
            callback(gone.key(), FileStatus::erased);
        }
        else
            ++entry;
    }

    walk([this, &callback](const std::string& entry, Time time) {
        const auto known = files.find(entry);
        if (known == files.end())
            callback(files.emplace(entry, time).first->first, FileStatus::created);
        else if (known->second != time)
        {
            known->second = time;
            callback(known->first, FileStatus::modified);
        }
    });
}

template <typename Visit>
void AssetWatcher::walk(Visit visit)
{
    const FolderHandle root(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (root.fd < 0)
    {
        // A folder that may not be read is walked as an empty one.
        if (errno != EACCES)
            reportWalkError(std::strerror(errno));
        return;
    }
    path.assign(folder);
    if (!path.empty() && path.back() != '/')
        path += '/';
    walkFolder(root.fd, 0, visit);
}

template <typename Visit>
void AssetWatcher::walkFolder(int folderFd, std::size_t depth, Visit& visit)
{
    if (listings.size() <= depth)
        listings.emplace_back(ListingBytes);
    for (;;)
    {
        // Deeper levels use buffers of their own, so this level's listing survives them.
        char* const listing = listings[depth].data();
        const ssize_t length = getdents64(folderFd, listing, ListingBytes);
        if (length <= 0)
        {
            // A failed listing leaves the rest of this folder to the next poll.
            if (length < 0 && !vanished(errno))
                reportWalkError(std::strerror(errno));
            return;
        }
        for (ssize_t offset = 0; offset < length;)
        {
            const auto* const entry = reinterpret_cast<const dirent64*>(listing + offset);
            offset += entry->d_reclen;
            if (!isDotOrDotDot(entry->d_name))
                walkEntry(folderFd, entry->d_name, entry->d_type, depth, visit);
        }
    }
}

template <typename Visit>
void AssetWatcher::walkEntry(int folderFd, const char* name, unsigned char type, std::size_t depth, Visit& visit)
{
    const std::size_t base = path.size();
    const std::size_t nameLength = std::strlen(name);
    // A path the system cannot take is not recorded: it could never be tested again.
    if (base + nameLength >= PATH_MAX)
    {
        reportWalkError(std::strerror(ENAMETOOLONG));
        return;
    }
    path.append(name, nameLength);

    // A link's time is its target's. An entry deleted after the folder was listed (an editor's
    // temporary file), or a link without a target, has no time to read: it is skipped for this
    // poll.
    struct stat status;
    if (fstatat(folderFd, name, &status, 0) == 0)
        visit(path, Time{status.st_mtim.tv_sec, status.st_mtim.tv_nsec});
    if (isRealFolder(folderFd, name, type))
        walkSubfolder(folderFd, name, depth + 1, visit);
    path.resize(base);
}

template <typename Visit>
void AssetWatcher::walkSubfolder(int parentFd, const char* name, std::size_t depth, Visit& visit)
{
    if (depth >= MaxDepth)
    {
        reportWalkError("folders nested too deep are not watched");
        return;
    }
    const FolderHandle folderHandle(openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folderHandle.fd >= 0)
    {
        path += '/';
        walkFolder(folderHandle.fd, depth, visit);
    }
    // A folder that may not be read is left out; one that became a link or went away is seen by
    // the next poll.
    else if (errno != EACCES && errno != ELOOP && !vanished(errno))
        reportWalkError(std::strerror(errno));
}

void AssetWatcher::reportWalkError(const char* reason)
{
    if (walkErrorReported)
        return;
    walkErrorReported = true;
    Problem::report(Problem("AssetWatcher").file(folder) << "Cannot walk " << folder << ": " << reason);
}
