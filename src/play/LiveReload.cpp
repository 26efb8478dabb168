#include "play/LiveReload.hpp"

#include "cutscene/GameCutscene.hpp"
#include "player/Player.hpp"

#include <filesystem>
#include <iostream>

namespace
{
// The script's path in the form the watcher reports it.
const std::string& watchedScriptPath()
{
    static const std::string path =
        (std::filesystem::path(LiveReload::Folder) / "demo.script").make_preferred().string();
    return path;
}
} // namespace

LiveReload::LiveReload(Player& demo) : player(demo), watcher(Folder, DelayMs) {}

void LiveReload::poll()
{
    watcher.poll([this](const std::string& path, FileStatus status) { changed(path, status); });
}

void LiveReload::changed(const std::string& path, FileStatus status)
{
    // Folders and other non-files are never acted on; an erased entry can no longer be tested.
    std::error_code error;
    if (status != FileStatus::erased && !std::filesystem::is_regular_file(path, error))
        return;
    const bool isScript = path == watchedScriptPath();
    if (status == FileStatus::modified)
    {
        if (isScript)
            player.reloadScript();
        return;
    }
    std::cout << "Error! Unknown file status." << std::endl;
    // Editors that save by deleting the script and moving a new one into place: the script that
    // comes back is that save (the old one plays on meanwhile), as is a script written again
    // after a reload could not open it.
    if (isScript && status == FileStatus::erased)
        scriptErased = true;
    else if (isScript && (scriptErased || GameCutscene::instance().waitingForScript))
    {
        scriptErased = false;
        player.reloadScript();
    }
}
