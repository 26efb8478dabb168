#pragma once

#include "watch/AssetWatcher.hpp"

#include <string>

class Player;

// Plain play's live reload: the assets folder is watched, a saved script is reloaded at once,
// and other changes are only reported.
class LiveReload
{
public:
    static constexpr int DelayMs = 5000;

    explicit LiveReload(Player& player);

    // After every step: an author expects a saved script to show at once, and a poll is cheap.
    void poll();
    // What the watcher reports for one path.
    void changed(const std::string& path, FileStatus status);

private:
    Player& player;
    AssetWatcher watcher;
    bool scriptErased = false; // until the script is written again
};
