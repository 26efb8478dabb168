#pragma once

#include "play/LiveReload.hpp"

class DemoWindow;
class FrameStats;
class Player;

// Plain play: the window's fixed-step frame loop. Each frame reads the window's events, runs the
// steps the frame's time asks for (each followed by a poll of the assets folder), renders the
// scene once and shows it, until the demo ends or the window closes.
class PlayLoop
{
public:
    // Made before the demo is started, so that the folder is watched from the start.
    PlayLoop(Player& player, DemoWindow& window);

    // The frame loop; frame times go to `stats` when given. Returns 0.
    int run(FrameStats* stats);

private:
    Player& player;
    DemoWindow& window;
    LiveReload reload;
};
