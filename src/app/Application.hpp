#pragma once

#include "scene/ScreenFade.hpp"

#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Shader.hpp>
#include <SFML/Graphics/Sprite.hpp>

#include <string>

class SoundTrack;

// The player: start-up, the fixed-step frame loop, post-processing, the screen fade and shut-down.
class Application
{
public:
    static constexpr unsigned Width = 1920;
    static constexpr unsigned Height = 1080;

    // Start-up, frame loop, shut-down. 0 after a normal end, -1 when the post-processing shader
    // cannot be loaded.
    int run();

    void loadConfig();
    // Everything start-up does after the window: scene texture, post-processing shader (false,
    // reported, when it cannot be loaded), catalogs, script. Needs a GL context, not a window.
    bool prepare();
    void updateStep(float dt);
    // drawFrame onto the window, then shows it.
    void renderFrame();
    // Draws one frame's picture onto a window-sized target without showing it.
    void drawFrame(sf::RenderTarget& screen);

    bool running = true;
    bool fullscreen = false;
    bool vsync = true;
    std::string title = "Kestrune Demo";
    sf::RenderWindow* window = nullptr;
    sf::RenderTexture sceneTexture;
    sf::Sprite postSprite;
    sf::Shader postShader;
    float iTime = 0.f;
    ScreenFade fade;
    // An offline render's sound track, told the music volume at the end of every step.
    SoundTrack* soundTrack = nullptr;

private:
    void openWindow(sf::RenderWindow& renderWindow);
    void loadCatalogs();
    void pollEvents();
};
