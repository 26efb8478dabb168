#pragma once

// The kind of change the asset watcher reports for one entry.
enum class FileStatus
{
    created = 0,
    modified = 1,
    erased = 2
};
