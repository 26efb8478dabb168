#pragma once

#include "audio/MusicFrame.hpp"
#include "audio/MusicUniforms.hpp"
#include "audio/SongLibrary.hpp"
#include "catalogs/DemoConfig.hpp"
#include "player/ConsoleQuiet.hpp"
#include "player/ContextHold.hpp"
#include "report/Problem.hpp"
#include "player/SnapshotStore.hpp"
#include "scene/SceneCanvas.hpp"
#include "scene/ScreenFade.hpp"

#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Shader.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Window/Context.hpp>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

class StartPoint;
class StepObserver;

// A playing demo: its state and its fixed step, the frame's render and present, rewind, exact
// seeks and reloads. It opens no window and runs no loop; the drivers (the window's frame loop,
// author mode, the offline renderer) own those and call in.
class Player
{
    // An offline render's own GL context (load); declared first, so that it is current while
    // everything else is destroyed.
    std::unique_ptr<sf::Context> glContext;

public:
    // The demo's picture.
    static constexpr unsigned Width = SceneCanvas::Width;
    static constexpr unsigned Height = SceneCanvas::Height;

    Player() = default;
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;
    ~Player();

    // The player's own counters and the fade's place, which a snapshot keeps beside the state it
    // collects (PlayState).
    struct Saved
    {
        long steps = 0;
        float time = 0.f;
        bool running = true;
        long renderedStep = -1;
        ScreenFade::Saved fade;
    };

    // config.json: the window's settings, and whether music plays (applied as it is read).
    void loadConfig();
    const DemoConfig& settings() const { return config; }

    // Everything start-up does after the window: scene texture, post-processing shader (false,
    // reported, when it cannot be loaded), catalogs, script. Needs a GL context, not a window:
    // without one it makes its own.
    bool load();

    // One fixed step of the simulation (the music held by a seek or a pause moves with it).
    // The window's loop runs these and renders once per frame.
    void update();
    // One fixed step as --render plays it: the render the step before still owes, then update.
    void step();
    // The script's "render" section into the scene texture.
    void renderScene();
    // renderScene unless the current step's scene has been rendered already.
    void renderOwed();
    // The finished picture onto a window-sized target: the scene texture through the
    // post-processing shader, the text systems and the fade. Runs no script line.
    void present(sf::RenderTarget& target);

    // Back to the state of a fresh start at step 0 without reading any file. Printed lines stay
    // printed.
    void rewind();

    // Lands on the exact state that playing has after `step` steps (each followed by one render,
    // as --render plays): forward from here, or back by rewind and forward. The scene of that
    // step is rendered as playing renders it. Skipped steps draw nothing that no later pixel
    // needs; when the arrival shows that a skipped drawing was needed after all, the seek runs
    // again drawing every step (--draw-all always does). Lines of steps printed once are not
    // printed again. The music is silent meanwhile and then plays from where the song is at
    // that step. False when the demo ends before the step (the state and the picture are then
    // those of its last step) or the window closes.
    bool seekTo(long step);
    // seekTo a start point: a time, or the first step in which the main flow arrives at a label.
    // False, after reporting startProblem, when the demo ends (or the window closes) before it,
    // or the label is never reached in an hour of demo time.
    bool seekTo(const StartPoint& start);
    // The same, the reason ("--start VALUE: ...") given to the caller instead of reported.
    bool seekTo(const StartPoint& start, std::string& failure);
    // The problem a start point that cannot be reached is reported as, on the console
    // "kestrune: " and the reason.
    static Problem startProblem(const std::string& failure);

    // The first step in which the main flow arrives at each of the stored `lines` (what
    // seekTo(StartPoint(label)) lands on for a label's line), or -1 when it does not within the
    // first hour or before the demo ends. Found by a quiet run from the start that draws
    // nothing; the demo then returns to the step it was at, exactly as seekTo lands there.
    // With `end`, the same run goes on to the demo's end and stores its step there (-1: it plays
    // on past the first hour), so that --timeline runs the demo once.
    std::vector<long> arrivals(const std::vector<int>& lines, long* end = nullptr);

    // Plain play's reload of a saved script: the scene, the buffers, the fade and the script's
    // position are reset and init runs again; flags, iTime, the music and the catalogs stay.
    void reloadScript();
    // Author mode's reload of saved files: the script, and the catalogs with every file they
    // name or the post-processing shaders when one of theirs is among `saved`, then a rewind to
    // step 0 (the caller seeks back). Nothing is printed. False when the post-processing shaders
    // do not load.
    bool reload(const std::set<std::string>& saved);

    // The window was closed or Escape held: playing ends, and a rewind does not start it again.
    void close();
    bool closed() const { return closeRequested; }
    // Asked now and then during a long seek: true when the window has been closed.
    void watchForClose(std::function<bool()> check) { closeCheck = std::move(check); }
    // From within that check: the seek under way stops after the step it is running, and lands
    // there exactly as a seek to that step would (it returns false: not arrived).
    void stopSeek() { seekStopped = true; }
    // Hears the lines of SFML's error stream that a quiet seek would drop; null: they are
    // dropped. Plain play and --render never set it.
    void hearQuietErrors(ConsoleQuiet::Listener listener) { quiet.hearErrors(std::move(listener)); }
    // The console is quiet now: a seek is running steps whose lines were printed once already
    // (or a reload's steps back to the author's), and what is reported meanwhile is not printed.
    bool quietNow() const { return quiet.isOn(); }
    // Follows every step (null: none).
    void observe(StepObserver* stepObserver) { observer = stepObserver; }

    // Steps run since the start (a fresh start or a rewind): --start 4.5 arrives at step 270.
    long steps() const { return stepCount; }
    // False once the script has exited or ended, or the window was closed.
    bool running() const { return playing; }
    // The current step's scene has been rendered.
    bool sceneRendered() const { return renderedStep == stepCount; }
    float time() const { return iTime; }
    const ScreenFade& screenFade() const { return fade; }
    const SceneCanvas& sceneCanvas() const { return scene; }
    // What the shaders' music uniforms hold at the current step.
    const MusicFrame& music() const { return musicFrame; }
    // Snapshots of the whole state, kept as playing and seeking pass through the demo within
    // `bytes` of memory (0: none, the default), so that a seek starts from the nearest one at or
    // before its step instead of from step 0. A reload keeps those of the steps before the first
    // one a saved script can play differently; any other saved file forgets them all.
    void keepSnapshots(std::size_t bytes);
    const SnapshotStore& snapshotStore() const { return snapshots; }
    // The furthest step run since load or the last reload: how much of the demo is known.
    long knownSteps() const { return furthestStep; }
    // The step at which the demo was seen to end (its exit or its script's end), or -1.
    long endStep() const { return endedAt; }

    // Every step's lines count as unprinted again (tests that replay from a rewind).
    void forgetPrinted() { printedSteps = 0; }
    // Steps up to `step` count as printed: a seek through them stays quiet.
    void markPrinted(long step) { printedSteps = step; }

private:
    void loadCatalogs();
    bool loadPostShader();
    // The post-processing shader's scene, noise and time.
    void setPostUniforms();
    // Finds the shaders with music uniforms and, when there are some, analyses the songs not
    // analysed yet and those in `refresh`.
    void bindMusic(const std::set<std::string>& refresh);
    // The music heard at this step into the shaders that listen.
    void applyMusic();
    // seekTo: to `target` steps, or with `toLabel` to the step in which the main flow reaches
    // the interpreter's watch line.
    bool seek(long target, bool toLabel);
    // Steps from here to the target; with `optimistic`, the steps before the arrival draw nothing.
    bool advance(long target, bool toLabel, bool optimistic);
    // The render of the current step within a seek: quiet when printed before, dry or real.
    void renderDuringSeek(bool dry);
    // After an optimistic seek: nothing the arrival drew or shows depended on a skipped drawing.
    bool sceneIsExact() const;
    // The nearest kept snapshot at or before `step` (with `known`, one without unknown content),
    // put back; false when there is none the seek may use.
    bool restoreSnapshot(long step, bool known);
    // After a render: the state is kept when a snapshot is due here.
    void keepSnapshot();
    // Starts the record of the steps the script's lines were first looked at (with snapshots).
    void trackLines();

    DemoConfig config;

    // The scene texture, which the post pass shows.
    SceneCanvas scene;
    sf::Sprite postSprite;
    sf::Shader postShader;
    float iTime = 0.f;
    SongLibrary songs;
    MusicUniforms musicUniforms;
    MusicFrame musicFrame;
    ScreenFade fade;
    std::unique_ptr<ContextHold> contextHold;
    ConsoleQuiet quiet;
    StepObserver* observer = nullptr;
    std::function<bool()> closeCheck;

    long stepCount = 0;
    bool playing = true;
    // The steps whose console lines (their update and their frame's render) have been printed.
    long printedSteps = 0;
    // The step whose frame renderScene last rendered (-1: none since the start).
    long renderedStep = -1;
    bool closeRequested = false;
    bool seekStopped = false;
    SnapshotStore snapshots;
    // A step ran while the one before it was not rendered: the state is not playing's, and no
    // snapshot is taken until a rewind or a restore.
    bool unrendered = false;
    long furthestStep = 0;
    long endedAt = -1;
};
