#include "app/Application.hpp"

#include "app/AuthorMode.hpp"

#include "app/FrameStats.hpp"
#include "app/FrameTimer.hpp"
#include "app/SoundTrack.hpp"
#include "catalogs/CatalogJson.hpp"
#include "catalogs/MusicManager.hpp"
#include "catalogs/ShaderManager.hpp"
#include "catalogs/SpriteManager.hpp"
#include "catalogs/DemoPaths.hpp"
#include "catalogs/TextureManager.hpp"
#include "cutscene/GameCutscene.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/Random.hpp"
#include "effects/TextManager.hpp"
#include "scene/PassElision.hpp"
#include "script/Script.hpp"
#include "script/ScriptFlow.hpp"

#include <SFML/Window/Context.hpp>
#include <SFML/Window/Event.hpp>
#include <SFML/Window/Keyboard.hpp>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <locale>

namespace
{
const char* const WatchedFolder = "./assets";
constexpr int WatchDelayMs = 5000;

// The script's path in the form the watcher reports it.
const std::string& watchedScriptPath()
{
    static const std::string path = (std::filesystem::path(WatchedFolder) / "demo.script").make_preferred().string();
    return path;
}

// A fast-forward to a label gives up after this much demo time.
constexpr long MaxFastForwardSteps = 60L * 60L * 60L;
// Events are drained now and then during a long fast-forward, so that closing the window works.
constexpr long StepsBetweenEventPolls = 60;

// A --start value that reads wholly as a non-negative number is a time in seconds.
bool startSeconds(const std::string& text, double& seconds)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(value))
        return false;
    seconds = value;
    return true;
}

// Applies one configuration key when present; a value of the wrong type keeps the default and
// is reported in one line.
template <typename T>
void applyKey(const nlohmann::json& config, const char* key, const std::function<void(const T&)>& apply)
{
    if (!config.is_object() || !config.contains(key))
        return;
    try
    {
        apply(config.at(key).get<T>());
    }
    catch (const nlohmann::json::exception& error)
    {
        std::cerr << "config.json: Ignoring key \"" << key << "\", keeping its default: " << error.what() << std::endl;
    }
}
} // namespace

void Application::loadConfig()
{
    std::ifstream file(DemoPaths::Config);
    if (!file.is_open())
    {
        std::cerr << "Config.json missing." << std::endl;
        return;
    }

    nlohmann::json config;
    try
    {
        parseJson(file, config);
    }
    catch (const nlohmann::json::exception& error)
    {
        std::cerr << "config.json: Error while parsing JSON." << std::endl;
        std::cerr << error.what() << std::endl;
        return;
    }

    // Each key takes effect as soon as it is read, in this order.
    applyKey<bool>(config, "fullscreen", [this](const bool& value) { fullscreen = value; });
    applyKey<bool>(config, "music", [](const bool& value) {
        if (!value)
            MusicManager::instance().mute();
    });
    applyKey<bool>(config, "vsync", [this](const bool& value) { vsync = value; });
    applyKey<std::string>(config, "title", [this](const std::string& value) { title = value; });
    std::cout << "config.json: Loaded configuration." << std::endl;
}

void Application::openWindow(sf::RenderWindow& renderWindow)
{
    window = &renderWindow;
    const sf::Uint32 style = fullscreen ? sf::Style::Fullscreen : sf::Style::Default;
    renderWindow.create(sf::VideoMode(Width, Height, 32), sf::String(title, std::locale()), style,
                        sf::ContextSettings());
    // SFML centres a new window on the screen width, which puts a full-size window on a
    // 1920 x 1080 screen half below the bottom edge.
    if (!fullscreen)
        renderWindow.setPosition(sf::Vector2i(0, 0));
    renderWindow.setVerticalSyncEnabled(vsync);
    renderWindow.setActive(true);
    renderWindow.setMouseCursorVisible(false);
    renderWindow.clear(sf::Color(0, 0, 0, 255));
    renderWindow.display();
}

void Application::loadCatalogs()
{
    // Later catalogs look entries up in earlier ones.
    TextureManager::instance().load(DemoPaths::Textures);
    MusicManager::instance().load(DemoPaths::Music);
    SpriteManager::instance().load(DemoPaths::Sprites);
    ParticleManager::instance().load(DemoPaths::Particles);
    fade.fadeSprite = SpriteManager::instance().getSprite("black");
    ShaderManager::instance().load(DemoPaths::Shaders);
    TextManager::instance().load(DemoPaths::Texts);
}

bool Application::prepare()
{
    // Without a window (an offline render) the GL context is the application's own. Otherwise the
    // first render texture to be activated would make a context of its own the thread's, and the
    // scene's texture moves to a buffer, which a rewind destroys with that context.
    if (sf::Context::getActiveContextId() == 0)
        glContext = std::make_unique<sf::Context>();
    scene.create(Width, Height);
    postSprite.setTexture(scene.texture->getTexture(), false);

    if (!ShaderManager::loadFiles(postShader, DemoPaths::Vertex, DemoPaths::PostFragment))
    {
        std::cerr << "Unable to load vignette.frag" << std::endl;
        return false;
    }

    loadCatalogs();

    GameCutscene& cutscene = GameCutscene::instance();
    cutscene.fade = &fade;
    cutscene.clearScene();
    cutscene.loadScript(DemoPaths::Script);
    watcher = std::make_unique<AssetWatcher>(WatchedFolder, WatchDelayMs);

    setPostUniforms();
    if (scene.texture->setActive(true))
        contextHold = std::make_unique<ContextHold>();
    return true;
}

void Application::setPostUniforms()
{
    postShader.setUniform("iChannel0", sf::Shader::CurrentTexture);
    // Without a "noise" texture (the lookup reports it) the grain channel stays unset.
    if (const sf::Texture* noise = TextureManager::instance().getTexture("noise"))
        postShader.setUniform("iChannel1", *noise);
    postShader.setUniform("iTime", iTime);
}

bool Application::reloadDemo(bool catalogs, bool postShaders)
{
    // What start-up printed while loading is not printed again.
    quiet.set(true);
    GameCutscene& cutscene = GameCutscene::instance();
    // The scene's objects point into the catalogs: they go first.
    cutscene.clearScene();
    bool loaded = true;
    if (postShaders)
        loaded = ShaderManager::loadFiles(postShader, DemoPaths::Vertex, DemoPaths::PostFragment);
    if (catalogs)
    {
        // Later catalogs point into earlier ones: the reverse of the loading order.
        TextManager::instance().clear();
        ShaderManager::instance().clear();
        ParticleManager::instance().clear();
        SpriteManager::instance().clear();
        MusicManager::instance().clear();
        TextureManager::instance().clear();
        loadCatalogs();
    }
    setPostUniforms();
    cutscene.loadScript(DemoPaths::Script);
    quiet.set(false);
    rewind();
    return loaded;
}

void Application::pollEvents()
{
    // An offline render has no window.
    if (!window)
        return;
    sf::Event event;
    while (window->pollEvent(event))
    {
        if (event.type == sf::Event::Closed || sf::Keyboard::isKeyPressed(sf::Keyboard::Escape))
        {
            running = false;
            closeRequested = true;
        }
    }
}

void Application::updateStep(float dt)
{
    ++steps;
    sceneReady = false;
    iTime += dt;
    postShader.setUniform("iTime", iTime);
    MusicManager::instance().updateFade(dt);

    GameCutscene& cutscene = GameCutscene::instance();
    cutscene.update(dt);
    TextManager::instance().update(dt);
    running = running && cutscene.interp.running;
    fade.advance(dt);
    if (soundTrack)
        soundTrack->endStep(MusicManager::instance().streamVolume());
    // Every step: an author expects a saved script to show at once, and a poll is cheap.
    if (watcher)
        watcher->poll([this](const std::string& path, FileStatus status) { assetChanged(path, status); });
}

void Application::assetChanged(const std::string& path, FileStatus status)
{
    // Folders and other non-files are never acted on; an erased entry can no longer be tested.
    std::error_code error;
    if (status != FileStatus::erased && !std::filesystem::is_regular_file(path, error))
        return;
    const bool isScript = path == watchedScriptPath();
    if (status == FileStatus::modified)
    {
        if (isScript)
            reloadScript();
        return;
    }
    std::cout << "Error! Unknown file status." << std::endl;
    // Editors that save by deleting the script and moving a new one into place: the script that
    // comes back is that save (the old one plays on meanwhile), as is a script written again
    // after a reload could not open it.
    if (isScript && status == FileStatus::erased)
        scriptErased = true;
    else if (isScript && (scriptErased || GameCutscene::instance().waitingForScript))
    {
        scriptErased = false;
        reloadScript();
    }
}

void Application::reloadScript()
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
        std::cerr << "Demo.script is empty - playing on until it is saved again." << std::endl;
        cutscene.waitingForScript = true;
    }
}

Application::~Application()
{
    // The cutscene outlives every application; it must not keep pointing into this one.
    GameCutscene& cutscene = GameCutscene::instance();
    if (cutscene.drawing.canvas == &scene)
        cutscene.drawing.canvas = nullptr;
    if (cutscene.sceneTarget == scene.texture.get())
        cutscene.sceneTarget = nullptr;
}

void Application::renderScene()
{
    GameCutscene& cutscene = GameCutscene::instance();
    cutscene.drawing.canvas = &scene;
    if (cutscene.started)
    {
        cutscene.sceneTarget = scene.texture.get();
        cutscene.interp.executeSub("render");
    }
    cutscene.drawing.finishCanvas();
    renderedStep = steps;
    printedSteps = std::max(printedSteps, steps);
}

void Application::renderFrame()
{
    drawFrame(*window);
    window->display();
}

void Application::drawFrame(sf::RenderTarget& screen)
{
    if (sceneReady)
        sceneReady = false;
    else
        renderScene();
    presentFrame(screen);
}

void Application::presentFrame(sf::RenderTarget& screen)
{
    // Presenting a buffer may have given the scene another texture.
    postSprite.setTexture(scene.texture->getTexture(), false);
    sf::RenderStates post(&postShader);
    // The post pass covers the whole screen: it can blend as onto the cleared screen instead.
    if (PassElision::enabled && screen.getSize() == scene.texture->getSize())
        post.blendMode = PassElision::OntoCleared;
    else
        screen.clear(sf::Color(0, 0, 0, 0));
    screen.draw(postSprite, post);
    // Text lands on the finished picture, untouched by the post-processing.
    TextManager::instance().draw(screen);
    fade.draw(screen);
}

int Application::run()
{
    loadConfig();

    sf::RenderWindow renderWindow;
    openWindow(renderWindow);
    if (!prepare())
    {
        renderWindow.close();
        return -1;
    }
    if (!start.empty() && !fastForward(start))
    {
        renderWindow.close();
        window = nullptr;
        return 2;
    }

    if (author)
    {
        AuthorMode(*this).run(renderWindow);
        running = false;
    }
    sf::Clock clock;
    FrameTimer timer;
    while (running)
    {
        const float frameTime = clock.restart().asSeconds();
        pollEvents();
        const int steps = timer.advance(frameTime);
        for (int step = 0; step < steps; ++step)
            updateStep(FrameTimer::Step);
        renderFrame();
        if (frameStats)
            frameStats->addFrame(clock.getElapsedTime().asSeconds(), steps > 0);
    }

    renderWindow.close();
    watcher.reset();
    window = nullptr;
    if (frameStats)
        std::cerr << frameStats->summary() << std::endl;
    return 0;
}

bool Application::validateStart(const std::string& value, std::string& error)
{
    double seconds = 0.0;
    if (startSeconds(value, seconds))
    {
        if (seconds >= 0.0 && seconds * 60.0 < static_cast<double>(MaxFastForwardSteps))
            return true;
        error = "--start " + value + ": the time must lie between 0 and one hour";
        return false;
    }
    Script script;
    std::ifstream file(DemoPaths::Script);
    if (!file)
    {
        error = std::string("--start ") + value + ": cannot open " + DemoPaths::Script;
        return false;
    }
    script.parse(file);
    if (script.labels.count(value) == 0)
    {
        error = "--start " + value + ": " + DemoPaths::Script + " defines no label \"" + value + "\"";
        return false;
    }
    // Known before running: fast-forwarding the whole demo would only find the same.
    if (!ScriptFlow(script).reaches(value))
    {
        error = "--start " + value + ": the main flow never reaches label \"" + value + "\" (" +
                (value == "init" || value == "render" ? "it starts a section, which the player runs by label"
                                                      : "no path from the script's first line leads there") +
                "); start at a label of the main flow or at a time";
        return false;
    }
    return true;
}

bool Application::fastForward(const std::string& value)
{
    GameCutscene& cutscene = GameCutscene::instance();
    ScriptInterp& interp = cutscene.interp;
    double seconds = 0.0;
    const bool byTime = startSeconds(value, seconds);
    long target = MaxFastForwardSteps;
    if (byTime)
        target = std::lround(seconds * 60.0);
    else
    {
        const auto label = cutscene.script.labels.find(value);
        if (label == cutscene.script.labels.end())
        {
            std::cerr << "kestrune: --start " << value << ": " << DemoPaths::Script << " defines no label \"" << value
                      << "\"" << std::endl;
            return false;
        }
        interp.watchLine = label->second;
    }
    if (seek(target, !byTime))
        return true;

    std::cerr << "kestrune: --start " << value << ": ";
    if (running)
        std::cerr << "the main flow does not reach label \"" << value << "\" in the first hour" << std::endl;
    else if (closeRequested)
        std::cerr << "stopped (window closed) before the start point" << std::endl;
    else
        std::cerr << "the demo ends after " << steps << " steps (" << static_cast<double>(steps) / 60.0
                  << " s), before the start point" << std::endl;
    return false;
}

bool Application::seekTo(long step)
{
    if (step < 0)
        return false;
    return seek(step, false);
}

void Application::rewind()
{
    GameCutscene& cutscene = GameCutscene::instance();
    cutscene.restart();
    ParticleManager::instance().restart();
    TextManager::instance().restart();
    SpriteManager::instance().restart();
    ShaderManager::instance().restart();
    MusicManager::instance().restart();
    Random::restart();
    if (soundTrack)
        soundTrack->rewind();
    fade.reset();
    iTime = 0.f;
    postShader.setUniform("iTime", iTime);
    scene.restart();
    cutscene.drawing.failed = false;
    running = !closeRequested;
    steps = 0;
    renderedStep = -1;
    sceneReady = false;
}

bool Application::seek(long target, bool toLabel)
{
    GameCutscene& cutscene = GameCutscene::instance();
    ScriptInterp& interp = cutscene.interp;
    // A label is looked for from the start.
    if (target < steps || (toLabel && steps > 0))
        rewind();
    interp.watchReached = false;
    cutscene.drawing.failed = false;

    MusicManager& music = MusicManager::instance();
    music.hold();
    // --draw-all draws every pass of every step.
    const bool optimistic = PassElision::enabled;
    const bool arrived = advance(target, toLabel, optimistic);
    interp.watchLine = -1;
    // Where the seek stops (arrived, or at the demo's end) its picture must be playing's.
    const bool ended = !running && !closeRequested;
    if ((arrived || ended) && optimistic && !sceneIsExact())
    {
        // A skipped step drew something that this picture needs: run again, drawing every step.
        const long reached = steps;
        rewind();
        advance(reached, false, false);
    }
    music.release();
    sceneReady = renderedStep == steps;
    return arrived;
}

bool Application::advance(long target, bool toLabel, bool optimistic)
{
    ScriptInterp& interp = GameCutscene::instance().interp;
    bool arrived = !toLabel && steps == target;
    // Playing draws a frame after every step; the one of the current step may still be owed.
    if (renderedStep < steps)
        renderDuringSeek(optimistic && !arrived);
    const long limit = toLabel ? MaxFastForwardSteps : target;
    long stepsRun = 0;
    while (!arrived && running && steps < limit)
    {
        if (window && ++stepsRun % StepsBetweenEventPolls == 0)
            pollEvents();
        const bool last = !toLabel && steps + 1 == target;
        GameCutscene::instance().drawing.mode = optimistic && !last ? DrawTracker::Mode::Dry : DrawTracker::Mode::Real;
        quiet.set(steps + 1 <= printedSteps);
        MusicManager::instance().advanceHeld(FrameTimer::Step);
        updateStep(FrameTimer::Step);
        arrived = toLabel ? interp.watchReached : steps == target;
        renderDuringSeek(optimistic && !arrived && running);
    }
    GameCutscene::instance().drawing.mode = DrawTracker::Mode::Real;
    quiet.set(false);
    return arrived;
}

void Application::renderDuringSeek(bool dry)
{
    GameCutscene::instance().drawing.mode = dry ? DrawTracker::Mode::Dry : DrawTracker::Mode::Real;
    quiet.set(steps <= printedSteps);
    renderScene();
}

bool Application::sceneIsExact() const
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
