#include "player/Player.hpp"

#include "report/Problem.hpp"

#include "player/PlayState.hpp"

#include "catalogs/DemoConfig.hpp"
#include "catalogs/DemoPaths.hpp"
#include "catalogs/MusicManager.hpp"
#include "catalogs/ShaderManager.hpp"
#include "catalogs/SpriteManager.hpp"
#include "catalogs/TextureManager.hpp"
#include "cutscene/GameCutscene.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/Random.hpp"
#include "effects/TextManager.hpp"
#include "motion/StepRate.hpp"
#include "player/DemoCatalogs.hpp"
#include "player/FrameTimer.hpp"
#include "player/StartPoint.hpp"
#include "player/StepObserver.hpp"
#include "profile/ProfileScope.hpp"
#include "scene/PassElision.hpp"
#include "script/Script.hpp"
#include "script/ScriptEdit.hpp"
#include "watch/DemoFiles.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string_view>
#include <iostream>
#include <malloc.h>

namespace
{
// Closing the window is noticed about once a second of demo time during a long seek.
constexpr long StepsBetweenCloseChecks = StepRate::StepsPerSecond;

const char* fileName(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// The steps a seek runs are not frames anyone sees: the profiler hears none of them.
class Unprofiled
{
public:
    Unprofiled() : saved(Profiler::active) { Profiler::active = nullptr; }
    ~Unprofiled() { Profiler::active = saved; }
    Unprofiled(const Unprofiled&) = delete;
    Unprofiled& operator=(const Unprofiled&) = delete;

private:
    Profiler* saved;
};
} // namespace

void Player::loadConfig()
{
    config.load(DemoPaths::Config);
}

void Player::loadCatalogs()
{
    DemoCatalogs::load([this](const char* path) {
        // Start-up takes the fade's sprite once the particle systems are loaded.
        if (std::string_view(path) == DemoPaths::Particles)
            fade.fadeSprite = SpriteManager::instance().getSprite(DemoPaths::FadeSprite);
    });
}

bool Player::loadPostShader()
{
    return ShaderManager::loadFiles(postShader, DemoPaths::Vertex, DemoPaths::PostFragment);
}

bool Player::load()
{
    // Without a window (an offline render) the GL context is the player's own. Otherwise the
    // first render texture to be activated would make a context of its own the thread's, and the
    // scene's texture moves to a buffer, which a rewind destroys with that context.
    if (sf::Context::getActiveContextId() == 0)
        glContext = std::make_unique<sf::Context>();
    scene.create(Width, Height);
    postSprite.setTexture(scene.texture->getTexture(), false);

    if (Profiler* profiler = Profiler::active)
    {
        profiler->useGl();
        profiler->describeLinesWith(&GameCutscene::instance());
    }
    if (!loadPostShader())
    {
        Problem::report(Problem("Player").headed(nullptr).file(DemoPaths::PostFragment)
                        << "Unable to load " << fileName(DemoPaths::PostFragment));
        return false;
    }

    loadCatalogs();

    GameCutscene& cutscene = GameCutscene::instance();
    cutscene.fade = &fade;
    cutscene.clearScene();
    cutscene.loadScript(DemoPaths::Script);
    trackLines();

    setPostUniforms();
    bindMusic({});
    if (scene.texture->setActive(true))
        contextHold = std::make_unique<ContextHold>();
    return true;
}

void Player::bindMusic(const std::set<std::string>& refresh)
{
    std::vector<sf::Shader*> shaders = ShaderManager::instance().all();
    shaders.push_back(&postShader);
    musicUniforms.bind(shaders);
    // Only a demo whose shaders listen pays for the analysis.
    if (musicUniforms.any())
        songs.analyse(MusicManager::instance().songFiles(), refresh);
    applyMusic();
}

void Player::applyMusic()
{
    if (!musicUniforms.any())
        return;
    songs.frameNow(MusicManager::instance(), GameCutscene::instance().interp.tempo, musicFrame);
    musicUniforms.apply(musicFrame);
}

void Player::setPostUniforms()
{
    postShader.setUniform("iChannel0", sf::Shader::CurrentTexture);
    // Without the grain texture (the lookup reports it) the grain channel stays unset.
    if (const sf::Texture* noise = TextureManager::instance().getTexture(DemoPaths::NoiseTexture))
        postShader.setUniform("iChannel1", *noise);
    postShader.setUniform("iTime", iTime);
}

bool Player::reload(const std::set<std::string>& saved)
{
    // Only what the script reads needs no catalog read again.
    const std::set<std::string> scriptFiles = DemoFiles::namedByScript();
    bool catalogs = false;
    bool postShaders = false;
    for (const std::string& path : saved)
    {
        catalogs = catalogs ||
                   (path != DemoPaths::Script && path != DemoPaths::Config && scriptFiles.count(path) == 0);
        postShaders = postShaders || DemoFiles::isPostShader(path);
    }

    // What start-up printed while loading is not printed again.
    quiet.set(true);
    GameCutscene& cutscene = GameCutscene::instance();
    // The scene's objects point into the catalogs: they go first.
    cutscene.clearScene();
    // Whether music plays takes effect now; the window's settings at the next start.
    if (saved.count(DemoPaths::Config) != 0)
    {
        config = DemoConfig();
        config.load(DemoPaths::Config);
        if (config.music)
            MusicManager::instance().unmute();
    }
    bool loaded = true;
    if (postShaders)
        loaded = loadPostShader();
    if (catalogs)
    {
        DemoCatalogs::clear();
        loadCatalogs();
    }
    setPostUniforms();
    // Only a script that was the one file saved can leave earlier steps as they were: its
    // snapshots before the first step it changes stay. Anything else may change every step.
    const bool scriptAlone = saved.size() == 1 && *saved.begin() == DemoPaths::Script && !catalogs;
    Script before;
    if (scriptAlone && snapshots.enabled())
        before = cutscene.script;
    cutscene.loadScript(DemoPaths::Script);
    bindMusic(saved);
    quiet.set(false);
    long sameUntil = 0;
    if (scriptAlone && snapshots.enabled())
    {
        ScriptInterp::Followers& followers = cutscene.interp.followers;
        const ScriptEdit edit(before, cutscene.script);
        const long differs = edit.firstDifferentStep(followers.touchedLines);
        sameUntil = differs < 0 ? furthestStep + 1 : differs;
        snapshots.keepBefore(sameUntil, edit, cutscene.script.lineCount());
        followers.touchedLines = edit.touchedAfter(followers.touchedLines, sameUntil);
        followers.arrivalSteps = edit.touchedAfter(followers.arrivalSteps, sameUntil);
    }
    else
    {
        snapshots.clear();
        trackLines();
    }
    furthestStep = std::max(0L, std::min(furthestStep, sameUntil - 1));
    if (endedAt >= sameUntil)
        endedAt = -1;
    rewind();
    return loaded;
}

void Player::reloadScript()
{
    std::cout << "Demo.script modified - Reloading" << std::endl;
    // Flags, iTime, the music and the catalogs survive; the fade and the whole scene do not.
    fade.reset();
    GameCutscene& cutscene = GameCutscene::instance();
    cutscene.clearScene();
    // An editor may have removed the file for an instant: play on from the empty scene until
    // the script can be read again instead of letting the empty script end the program.
    if (!cutscene.loadScript(DemoPaths::Script))
    {
        cutscene.waitingForScript = true;
    }
    else if (cutscene.script.lineCount() == 0)
    {
        // An editor that truncates before it writes is caught between the two; an empty script
        // would end the demo at once, so wait for the write that follows.
        Problem::report(Problem("Player").headed(nullptr).file(DemoPaths::Script)
                        << "Demo.script is empty - playing on until it is saved again.");
        cutscene.waitingForScript = true;
    }
}

void Player::close()
{
    playing = false;
    closeRequested = true;
}

void Player::update()
{
    ProfileScope scope("step", Profiler::Step);
    unrendered = unrendered || renderedStep < stepCount;
    ++stepCount;
    GameCutscene::instance().interp.followers.step = stepCount;
    iTime += FrameTimer::Step;
    postShader.setUniform("iTime", iTime);
    MusicManager& music = MusicManager::instance();
    music.advanceHeld(FrameTimer::Step);
    music.advanceClock(FrameTimer::Step);
    music.updateFade(FrameTimer::Step);

    GameCutscene& cutscene = GameCutscene::instance();
    cutscene.update(FrameTimer::Step);
    TextManager::instance().update(FrameTimer::Step);
    applyMusic();
    playing = playing && cutscene.interp.running;
    if (!cutscene.interp.running && !closeRequested && endedAt < 0)
        endedAt = stepCount;
    furthestStep = std::max(furthestStep, stepCount);
    fade.advance(FrameTimer::Step);
    if (observer)
        observer->stepEnded();
}

void Player::step()
{
    // Playing draws a frame after every step, and a buffer may keep what it drew.
    renderOwed();
    update();
}

Player::~Player()
{
    // The cutscene outlives every player; it must not keep pointing into this one.
    GameCutscene& cutscene = GameCutscene::instance();
    if (cutscene.drawing.canvas == &scene)
        cutscene.drawing.canvas = nullptr;
    if (cutscene.sceneTarget == scene.texture.get())
        cutscene.sceneTarget = nullptr;
    // What the run recorded for this player's seeks is of no use to the next one.
    cutscene.interp.followers = ScriptInterp::Followers();
}

void Player::renderScene()
{
    GameCutscene& cutscene = GameCutscene::instance();
    ProfileScope scope("render", Profiler::Render);
    cutscene.drawing.canvas = &scene;
    if (cutscene.started)
    {
        cutscene.sceneTarget = scene.texture.get();
        if (Profiler* profiler = Profiler::active)
            profiler->lineTrack = Profiler::Render;
        cutscene.interp.executeSub(Script::RenderSection);
        if (Profiler* profiler = Profiler::active)
            profiler->lineTrack = Profiler::Step;
    }
    cutscene.drawing.finishCanvas();
    renderedStep = stepCount;
    printedSteps = std::max(printedSteps, stepCount);
    keepSnapshot();
}

void Player::keepSnapshot()
{
    if (!snapshots.enabled() || unrendered || GameCutscene::instance().drawing.failed)
        return;
    if (!snapshots.wants(stepCount, false) && !snapshots.wants(stepCount, true))
        return;
    auto state = std::make_unique<PlayState>();
    state->capture(scene);
    state->player = {stepCount, iTime, playing, renderedStep, fade.save()};
    snapshots.add(stepCount, std::move(state));
}

bool Player::restoreSnapshot(long step, bool known)
{
    if (!snapshots.enabled())
        return false;
    long at = 0;
    // The lines of the steps it skips must have been printed already.
    const PlayState* state = snapshots.atOrBefore(std::min(step, printedSteps), known, at);
    if (!state)
        return false;
    state->restore(scene);
    const Saved& kept = state->player;
    stepCount = kept.steps;
    iTime = kept.time;
    postShader.setUniform("iTime", iTime);
    playing = kept.running && !closeRequested;
    renderedStep = kept.renderedStep;
    fade.restore(kept.fade);
    GameCutscene::instance().interp.followers.step = stepCount;
    unrendered = false;
    applyMusic();
    return true;
}

void Player::renderOwed()
{
    if (renderedStep < stepCount)
        renderScene();
}

void Player::present(sf::RenderTarget& screen)
{
    // Presenting a buffer may have given the scene another texture.
    postSprite.setTexture(scene.texture->getTexture(), false);
    sf::RenderStates post(&postShader);
    {
        ProfileScope pass("post pass", Profiler::Post, Profiler::Kind::Pass, true);
        // The post pass covers the whole screen: it can blend as onto the cleared screen instead.
        if (PassElision::enabled && screen.getSize() == scene.texture->getSize())
            post.blendMode = PassElision::OntoCleared;
        else
            screen.clear(sf::Color(0, 0, 0, 0));
        screen.draw(postSprite, post);
    }
    {
        // Text lands on the finished picture, untouched by the post-processing.
        ProfileScope pass("text", Profiler::Post, Profiler::Kind::Pass, true);
        TextManager::instance().draw(screen);
    }
    ProfileScope pass("fade", Profiler::Post, Profiler::Kind::Pass, true);
    fade.draw(screen);
}

Problem Player::startProblem(const std::string& failure)
{
    // The program's own heading: the start point is an option, not a line of the script.
    return Problem("Player").headed("kestrune") << failure;
}

bool Player::seekTo(const StartPoint& start)
{
    std::string failure;
    if (seekTo(start, failure))
        return true;
    Problem::report(startProblem(failure));
    return false;
}

bool Player::seekTo(const StartPoint& start, std::string& failure)
{
    failure.clear();
    GameCutscene& cutscene = GameCutscene::instance();
    long target = StartPoint::MaxSteps;
    if (start.byTime())
        target = start.step();
    else
    {
        const auto label = cutscene.script.labels.find(start.text());
        if (label == cutscene.script.labels.end())
        {
            failure = start.undefinedLabel();
            return false;
        }
        cutscene.interp.followers.watchLine = label->second;
    }
    if (seek(target, !start.byTime()))
        return true;

    std::ostringstream why;
    why << "--start " << start.text() << ": ";
    if (playing)
        why << "the main flow does not reach label \"" << start.text() << "\" in the first hour";
    else if (closeRequested)
        why << "stopped (window closed) before the start point";
    else
        why << "the demo ends after " << stepCount << " steps ("
            << static_cast<double>(stepCount) / StepRate::StepsPerSecond << " s), before the start point";
    failure = why.str();
    return false;
}

std::vector<long> Player::arrivals(const std::vector<int>& lines, long* end)
{
    const Unprofiled unprofiled;
    const long back = stepCount;
    const long printed = printedSteps;
    GameCutscene& cutscene = GameCutscene::instance();
    ScriptInterp::Followers& followers = cutscene.interp.followers;
    const std::vector<long>& arrivedAt = followers.arrivalSteps;
    std::vector<long> first(lines.size(), -1);
    std::size_t left = lines.size();
    // With snapshots, the arrivals of the steps run so far are known: the run goes on from the
    // furthest step, unless the demo's end was seen there.
    const bool tracked = !arrivedAt.empty();
    if (tracked)
    {
        for (std::size_t i = 0; i < lines.size(); ++i)
        {
            const std::size_t line = static_cast<std::size_t>(std::max(lines[i], 0));
            if (lines[i] >= 0 && line < arrivedAt.size() && arrivedAt[line] >= 0)
            {
                first[i] = arrivedAt[line];
                --left;
            }
        }
        if ((left == 0 && !end) || endedAt >= 0)
        {
            if (end)
                *end = endedAt;
            return first;
        }
    }
    MusicManager::instance().hold();
    // Nothing of this run is printed: the steps past the author's are printed when played.
    quiet.set(true);
    printedSteps = std::max(printed, furthestStep);
    if (!tracked || !restoreSnapshot(furthestStep, false))
        rewind();
    std::vector<char>& reached = followers.arrivedLines;
    reached.assign(static_cast<std::size_t>(std::max(cutscene.script.lineCount(), 0)), 0);
    while ((left > 0 || end) && playing && stepCount < StartPoint::MaxSteps)
    {
        if (closeCheck && (stepCount + 1) % StepsBetweenCloseChecks == 0 && closeCheck())
            close();
        cutscene.drawing.mode = DrawTracker::Mode::Dry;
        // Playing renders every step before the next, and a render may change what follows.
        renderOwed();
        update();
        for (std::size_t i = 0; i < lines.size(); ++i)
        {
            const int line = lines[i];
            if (first[i] < 0 && line >= 0 && static_cast<std::size_t>(line) < reached.size() &&
                reached[static_cast<std::size_t>(line)])
            {
                first[i] = stepCount;
                --left;
            }
        }
    }
    if (end)
        *end = playing || closeRequested ? -1 : stepCount;
    reached.clear();
    cutscene.drawing.mode = DrawTracker::Mode::Real;
    quiet.set(false);
    printedSteps = printed;
    MusicManager::instance().release();
    rewind();
    seek(back, false);
    return first;
}

bool Player::seekTo(long step)
{
    if (step < 0)
        return false;
    return seek(step, false);
}

void Player::keepSnapshots(std::size_t bytes)
{
#ifdef M_MMAP_THRESHOLD
    // Snapshots come and go in blocks of megabytes (pixels, glyph pages): mapped one by one, each
    // goes back to the system when its snapshot goes, so the budget holds as resident memory.
    // (A fixed threshold also stops the heap from taking such blocks in after the first is freed.)
    if (bytes > 0)
        mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif
    snapshots.setBudget(bytes);
    trackLines();
}

void Player::trackLines()
{
    GameCutscene& cutscene = GameCutscene::instance();
    // A step per line, one for the end, one for jumps to undefined labels.
    const std::size_t lines = snapshots.enabled() ? static_cast<std::size_t>(cutscene.script.lineCount()) + 2 : 0;
    cutscene.interp.followers.touchedLines.assign(lines, -1);
    cutscene.interp.followers.arrivalSteps.assign(lines, -1);
}

void Player::rewind()
{
    GameCutscene& cutscene = GameCutscene::instance();
    cutscene.interp.followers.step = 0;
    cutscene.restart();
    ParticleManager::instance().restart();
    TextManager::instance().restart();
    SpriteManager::instance().restart();
    ShaderManager::instance().restart();
    MusicManager::instance().restart();
    Random::restart();
    if (observer)
        observer->rewound();
    fade.reset();
    iTime = 0.f;
    postShader.setUniform("iTime", iTime);
    scene.restart();
    cutscene.drawing.failed = false;
    playing = !closeRequested;
    stepCount = 0;
    renderedStep = -1;
    unrendered = false;
    applyMusic();
}

bool Player::seek(long target, bool toLabel)
{
    const Unprofiled unprofiled;
    GameCutscene& cutscene = GameCutscene::instance();
    ScriptInterp& interp = cutscene.interp;
    MusicManager& music = MusicManager::instance();
    music.hold();
    seekStopped = false;
    // A label is looked for from the start. A step is sought from the nearest snapshot at or
    // before it when that is nearer than the current step.
    if (toLabel)
    {
        if (stepCount > 0)
            rewind();
    }
    else
    {
        long at = -1;
        const bool nearer = snapshots.enabled() &&
                            snapshots.atOrBefore(std::min(target, printedSteps), false, at) &&
                            (target < stepCount || at > stepCount || unrendered);
        if (!(nearer && restoreSnapshot(target, false)) && target < stepCount)
            rewind();
    }
    interp.followers.watchReached = false;
    cutscene.drawing.failed = false;

    // --draw-all draws every pass of every step.
    const bool optimistic = PassElision::enabled;
    const bool arrived = advance(target, toLabel, optimistic);
    interp.followers.watchLine = -1;
    // Where the seek stops (arrived, at the demo's end, or stopped) its picture must be playing's.
    const bool ended = !playing && !closeRequested;
    const bool stopped = seekStopped;
    seekStopped = false;
    if ((arrived || ended || stopped) && optimistic && !sceneIsExact())
    {
        // A skipped step drew something that this picture needs: run again, drawing every step,
        // from the nearest snapshot whose content is all known.
        const long reached = stepCount;
        if (!restoreSnapshot(reached, true))
            rewind();
        cutscene.drawing.failed = false;
        advance(reached, false, false);
    }
    music.release();
    return arrived;
}

bool Player::advance(long target, bool toLabel, bool optimistic)
{
    ScriptInterp& interp = GameCutscene::instance().interp;
    bool arrived = !toLabel && stepCount == target;
    // Playing draws a frame after every step; the one of the current step may still be owed.
    if (renderedStep < stepCount)
        renderDuringSeek(optimistic && !arrived);
    const long limit = toLabel ? StartPoint::MaxSteps : target;
    long stepsRun = 0;
    while (!arrived && playing && !seekStopped && stepCount < limit)
    {
        if (closeCheck && ++stepsRun % StepsBetweenCloseChecks == 0 && closeCheck())
            close();
        // A stopped seek (the author's Escape) makes this step its last, drawn as a landing's is.
        const bool last = seekStopped || (!toLabel && stepCount + 1 == target);
        GameCutscene::instance().drawing.mode = optimistic && !last ? DrawTracker::Mode::Dry : DrawTracker::Mode::Real;
        quiet.set(stepCount + 1 <= printedSteps);
        update();
        arrived = toLabel ? interp.followers.watchReached : stepCount == target;
        renderDuringSeek(optimistic && !arrived && !last && playing);
    }
    GameCutscene::instance().drawing.mode = DrawTracker::Mode::Real;
    quiet.set(false);
    return arrived;
}

void Player::renderDuringSeek(bool dry)
{
    GameCutscene::instance().drawing.mode = dry ? DrawTracker::Mode::Dry : DrawTracker::Mode::Real;
    quiet.set(stepCount <= printedSteps);
    renderScene();
}

bool Player::sceneIsExact() const
{
    const GameCutscene& cutscene = GameCutscene::instance();
    if (cutscene.drawing.failed || scene.target.content == DrawTarget::Content::Stale)
        return false;
    for (const auto& entry : cutscene.buffers)
    {
        if (entry.second->target.content == DrawTarget::Content::Stale)
            return false;
    }
    return true;
}
