#include "play/LiveReload.hpp"

#include "catalogs/DemoPaths.hpp"
#include "cutscene/GameCutscene.hpp"
#include "player/Player.hpp"

#include <filesystem>
#include <iostream>

namespace
{
// The demo's files in the form the watcher reports them: "./assets/demo.script".
std::string inDemo(const char* path)
{
    return (std::filesystem::path(".") / path).make_preferred().string();
}

const std::string& watchedScriptPath()
{
    static const std::string path = inDemo(DemoPaths::Script);
    return path;
}
} // namespace

LiveReload::LiveReload(Player& demo) : player(demo), watcher(inDemo(DemoPaths::Assets), DelayMs) {}

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
