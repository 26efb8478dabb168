#pragma once

#include "app/AssetWatcher.hpp"
#include "scene/ScreenFade.hpp"

#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Shader.hpp>
#include <SFML/Graphics/Sprite.hpp>

#include <memory>
#include <string>

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
    void updateStep(float dt);
    void renderFrame();
    // The watcher's callback: a saved script is reloaded, other changes are only reported.
    void assetChanged(const std::string& path, FileStatus status);
    void reloadScript();

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
    std::unique_ptr<AssetWatcher> watcher;

private:
    bool startUp(sf::RenderWindow& renderWindow);
    void openWindow(sf::RenderWindow& renderWindow);
    void loadCatalogs();
    void pollEvents();
};
