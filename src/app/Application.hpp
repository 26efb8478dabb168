#pragma once

#include "app/AssetWatcher.hpp"
#include "app/ConsoleQuiet.hpp"
#include "app/ContextHold.hpp"
#include "scene/SceneCanvas.hpp"
#include "scene/ScreenFade.hpp"

#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Shader.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Window/Context.hpp>

#include <memory>
#include <string>

class FrameStats;
class SoundTrack;

// The player: start-up, the fixed-step frame loop, post-processing, the screen fade and shut-down.
class Application
{
    // An offline render's own GL context (prepare); declared first, so that it is current while
    // everything else is destroyed.
    std::unique_ptr<sf::Context> glContext;

public:
    static constexpr unsigned Width = 1920;
    static constexpr unsigned Height = 1080;

    Application() = default;
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;
    ~Application();

    // Start-up, frame loop, shut-down. 0 after a normal end, -1 when the post-processing shader
    // cannot be loaded.
    int run();

    void loadConfig();
    // Creates and shows the window (black) as start-up does, and points `window` at it.
    void openWindow(sf::RenderWindow& renderWindow);
    // Everything start-up does after the window: scene texture, post-processing shader (false,
    // reported, when it cannot be loaded), catalogs, script. Needs a GL context, not a window.
    bool prepare();
    // One fixed step; `steps` counts it.
    void updateStep(float dt);
    // drawFrame onto the window, then shows it.
    void renderFrame();
    // One frame's picture onto a window-sized target, without showing it: renderScene (unless a
    // seek has just rendered this step's scene), then presentFrame.
    void drawFrame(sf::RenderTarget& screen);
    // The script's "render" section into the scene texture: the part of a frame that leaves
    // pixels behind in buffers and in the scene texture (the window is cleared every frame).
    void renderScene();
    // The rest of a frame: the scene texture through the post-processing shader, the text
    // systems and the fade overlay, onto the cleared target. Runs no script line.
    void presentFrame(sf::RenderTarget& screen);

    // Back to the state of a fresh start at step 0 without reading any file: the cutscene cleared
    // and its script bound again, flags 0, iTime 0, the fade and the fade sprite, every particle
    // system, text system and catalog sprite as loaded, the random sequence at its start, shader
    // uniforms as the catalog set them, the music stopped with its volume and fade reset, the
    // scene texture transparent black. Printed lines stay printed (printedSteps).
    void rewind();

    // Author mode: reads the script again, and the catalogs with every file they name and the
    // post-processing shaders when asked, then rewinds to step 0 (the caller seeks back to where
    // the author was). Nothing is printed. False when the post-processing shaders do not load
    // (checked before, so only when a file changed in between).
    bool reloadDemo(bool catalogs, bool postShaders);

    // Lands on the exact state that playing has after `step` steps (each followed by one render,
    // as --render plays): forward from here, or back by rewind and forward. The scene of that
    // step is rendered as playing renders it; the next drawFrame shows it without running the
    // render section again. Skipped steps draw nothing that no later pixel needs (see
    // DrawTracker); when the arrival shows that a skipped drawing was needed after all, the seek
    // rewinds and runs again drawing every step (--draw-all always does). Lines of steps up to
    // printedSteps are not printed again. The music is silent meanwhile and then plays from where
    // the song is at that step. False when the demo ends before the step (the state and the
    // picture are then those of its last step) or the window closes.
    bool seekTo(long step);

    // Jumps into the demo after start-up and before the frame loop. `start` is a time in seconds
    // (round(seconds x 60) steps) or a label of the main flow: the first step in which the main
    // flow arrives at the label, by running on to it or by a jump (sections do not count); that
    // step completes, so the lines after the label up to the next delay have run. The seek of
    // seekTo, from the start. False, after one line on standard error, when the demo ends (or
    // the window closes) before the start point, or the label is never reached in an hour of
    // demo time.
    bool fastForward(const std::string& start);

    // Before anything opens: a non-negative number of seconds, or a label that the script in the
    // working directory defines. False with a one-line reason.
    static bool validateStart(const std::string& start, std::string& error);

    std::string start;   // --start; empty: from the beginning
    bool author = false; // --author: the frame loop of AuthorMode
    // The window was closed or Escape held (playing ends after this frame).
    bool closing() const { return closeRequested; }
    // The watcher's callback: a saved script is reloaded, other changes are only reported.
    void assetChanged(const std::string& path, FileStatus status);
    void reloadScript();

    bool running = true;
    bool fullscreen = false;
    bool vsync = true;
    std::string title = "Kestrune Demo";
    sf::RenderWindow* window = nullptr;
    // The scene texture, which the post pass shows.
    SceneCanvas scene;
    sf::Sprite postSprite;
    sf::Shader postShader;
    float iTime = 0.f;
    ScreenFade fade;
    std::unique_ptr<AssetWatcher> watcher;
    // An offline render's sound track, told the music volume at the end of every step.
    SoundTrack* soundTrack = nullptr;
    // --stats: every frame's time, summarised on standard error at exit.
    FrameStats* frameStats = nullptr;

    // Steps run since the start (a fresh start or a rewind): --start 4.5 arrives at step 270.
    long steps = 0;
    // The steps whose console lines (their update and their frame's render) have been printed.
    long printedSteps = 0;

private:
    void loadCatalogs();
    // The post-processing shader's scene, noise and time.
    void setPostUniforms();
    void pollEvents();
    // seekTo and fastForward: to `target` steps, or with `toLabel` to the step in which the main
    // flow reaches the interpreter's watch line.
    bool seek(long target, bool toLabel);
    // Steps from here to the target; with `optimistic`, the steps before the arrival draw nothing.
    bool advance(long target, bool toLabel, bool optimistic);
    // The render of the current step within a seek: quiet when printed before, dry or real.
    void renderDuringSeek(bool dry);
    // After an optimistic seek: nothing the arrival drew or shows depended on a skipped drawing.
    bool sceneIsExact() const;

    std::unique_ptr<ContextHold> contextHold;
    bool scriptErased = false; // until the script is written again
    ConsoleQuiet quiet;
    // The step whose frame renderScene last rendered (-1: none since the start).
    long renderedStep = -1;
    // A seek has rendered the current step's scene: the next drawFrame only presents it.
    bool sceneReady = false;
    // The window was closed or Escape held: a rewind does not start the demo running again.
    bool closeRequested = false;
};
