#pragma once

#include <SFML/Graphics/RenderWindow.hpp>

#include <string>

class Player;

// The window a demo plays in, opened as config.json says, with the demo loaded into it and
// started where --start asks. Author mode and the window's frame loop both play in one.
class DemoWindow
{
public:
    explicit DemoWindow(Player& player);
    DemoWindow(const DemoWindow&) = delete;
    DemoWindow& operator=(const DemoWindow&) = delete;
    ~DemoWindow();

    // Start-up: config.json, the window (shown black) and the demo. 0 when the demo is loaded;
    // otherwise the exit status (-1: the post-processing shader cannot be loaded), after the
    // window has closed.
    int open();
    // Lands on the start point (empty: the beginning). 0, or 2 after the window has closed when
    // it cannot be reached.
    int start(const std::string& point);

    // Drains the window's events; true once it was closed or Escape is held.
    bool closeRequested();

    sf::RenderWindow& window() { return renderWindow; }

private:
    Player& player;
    sf::RenderWindow renderWindow;
};
