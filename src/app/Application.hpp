#pragma once

#include "app/AssetWatcher.hpp"
#include "app/ContextHold.hpp"
#include "scene/ScreenFade.hpp"

#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Shader.hpp>
#include <SFML/Graphics/Sprite.hpp>

#include <memory>
#include <string>

class FrameStats;
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
    // Creates and shows the window (black) as start-up does, and points `window` at it.
    void openWindow(sf::RenderWindow& renderWindow);
    // Everything start-up does after the window: scene texture, post-processing shader (false,
    // reported, when it cannot be loaded), catalogs, script. Needs a GL context, not a window.
    bool prepare();
    void updateStep(float dt);
    // drawFrame onto the window, then shows it.
    void renderFrame();
    // Draws one frame's picture onto a window-sized target without showing it.
    void drawFrame(sf::RenderTarget& screen);
    // The script's "render" section into the scene texture: the part of a frame that leaves
    // pixels behind in buffers and in the scene texture (the window is cleared every frame).
    void renderScene();

    // Jumps into the demo after start-up and before the frame loop. `start` is a time in seconds
    // (round(seconds x 60) steps) or a label of the main flow: the first step in which the main
    // flow arrives at the label, by running on to it or by a jump (sections do not count); that
    // step completes, so the lines after the label up to the next delay have run.
    // The steps are the real updateStep, each followed, except the last, by renderScene, exactly
    // as playing runs them one step per frame; nothing is presented. So everything (init, flags,
    // objects, tweens, fades, particles, text, music, and the pixels that buffers and the scene
    // texture accumulate) is what playing shows in the frame after that step: render that frame
    // next, before any further step. The music stream is silent meanwhile and then starts where
    // the song would be. False, after one line on standard error, when the demo ends (or the
    // window closes) before the start point, or the label is never reached in an hour of demo time.
    bool fastForward(const std::string& start);

    // Before anything opens: a non-negative number of seconds, or a label that the script in the
    // working directory defines. False with a one-line reason.
    static bool validateStart(const std::string& start, std::string& error);

    std::string start; // --start; empty: from the beginning
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
    long stepCount = 0; // fixed steps run since start-up, fast-forwarded ones included
    ScreenFade fade;
    std::unique_ptr<AssetWatcher> watcher;
    // An offline render's sound track, told the music volume at the end of every step.
    SoundTrack* soundTrack = nullptr;
    // --stats: every frame's time, summarised on standard error at exit.
    FrameStats* frameStats = nullptr;

private:
    void loadCatalogs();
    void pollEvents();

    std::unique_ptr<ContextHold> contextHold;
    bool scriptErased = false; // until the script is written again
};
