#include "play/DemoWindow.hpp"

#include "player/Player.hpp"
#include "player/StartPoint.hpp"

#include <SFML/Window/Event.hpp>
#include <SFML/Window/Keyboard.hpp>

#include <locale>

DemoWindow::DemoWindow(Player& demo) : player(demo)
{
    player.watchForClose([this] { return closeRequested(); });
}

DemoWindow::~DemoWindow()
{
    player.watchForClose(nullptr);
    renderWindow.close();
}

int DemoWindow::open()
{
    player.loadConfig();
    const DemoConfig& config = player.settings();
    const bool fullscreen = config.fullscreen;
    const sf::Uint32 style = fullscreen ? sf::Style::Fullscreen : sf::Style::Default;
    renderWindow.create(sf::VideoMode(Player::Width, Player::Height, 32), sf::String(config.title, std::locale()),
                        style, sf::ContextSettings());
    // SFML centres a new window on the screen width, which puts a full-size window on a
    // 1920 x 1080 screen half below the bottom edge.
    if (!fullscreen)
        renderWindow.setPosition(sf::Vector2i(0, 0));
    renderWindow.setVerticalSyncEnabled(config.vsync);
    renderWindow.setActive(true);
    renderWindow.setMouseCursorVisible(false);
    renderWindow.clear(sf::Color(0, 0, 0, 255));
    renderWindow.display();

    if (!player.load())
    {
        renderWindow.close();
        return -1;
    }
    return 0;
}

int DemoWindow::start(const std::string& point)
{
    if (!point.empty() && !player.seekTo(StartPoint(point)))
    {
        renderWindow.close();
        return 2;
    }
    return 0;
}

bool DemoWindow::closeRequested()
{
    sf::Event event;
    bool closed = false;
    while (renderWindow.pollEvent(event))
    {
        if (event.type == sf::Event::Closed || sf::Keyboard::isKeyPressed(sf::Keyboard::Escape))
            closed = true;
    }
    return closed;
}
