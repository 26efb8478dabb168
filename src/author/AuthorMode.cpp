#include "author/AuthorMode.hpp"

#include "player/Player.hpp"
#include "player/StartPoint.hpp"
#include "watch/DemoFiles.hpp"
#include "catalogs/DemoPaths.hpp"
#include "catalogs/MusicManager.hpp"
#include "check/DemoChecker.hpp"
#include "cutscene/GameCutscene.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/TextManager.hpp"
#include "motion/StepRate.hpp"
#include "profile/ProfileScope.hpp"
#include "report/Problem.hpp"
#include "script/Script.hpp"
#include "script/ScriptFlow.hpp"

#include <SFML/Graphics/Sprite.hpp>
#include <SFML/System/Err.hpp>
#include <SFML/Window/Event.hpp>
#include <SFML/Window/Keyboard.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <iostream>

namespace
{
constexpr std::size_t LongestShownLine = 72;
// The F4 panel: how many lines and passes it ranks, and how often its figures change.
constexpr std::size_t ProfileRows = 10;
constexpr double ProfileRefreshSeconds = 0.25;
// The panel's key for why --start could not land (no file has this name).
const char* const StartKey = "--start";

// "command a, b, c" as the author wrote it (quotes aside), cut to fit the overlay.
std::string lineText(const ScriptLine& line)
{
    std::string text = line.command;
    for (std::size_t i = 0; i < line.params.size(); ++i)
        text += (i == 0 ? " " : ", ") + line.params[i];
    if (text.size() > LongestShownLine)
        text = text.substr(0, LongestShownLine - 3) + "...";
    return text;
}

} // namespace

AuthorMode::AuthorMode(Player& demo) : player(demo)
{
    overlay.load();
    strip.load();
    // Every step the player runs tells the timeline how far the demo is known and what the
    // music had there.
    player.observe(this);
    loadEnvelopes({});
    picture = std::make_unique<sf::RenderTexture>();
    if (!picture->create(Player::Width, Player::Height, sf::ContextSettings()))
        picture.reset();
    // Our own problems reach the panel as values (feed); SFML prints its own on its error
    // stream, which is tapped. Installed before any seek quiets the console, which then replaces
    // the tap itself.
    libraryTap = std::make_unique<ConsoleTap>(sf::err());
    libraryTap->listener = [this](const std::string& line) { feed.hearLine(line); };
    // Saves are watched file by file, instead of by plain play's folder watcher.
    saves.watch(DemoFiles::collect());
}

AuthorMode::~AuthorMode()
{
    player.observe(nullptr);
}

void AuthorMode::start(const std::string& point)
{
    if (point.empty())
        return;
    // The reason comes back as a value: it is reported as plain play reports it, and the panel
    // keeps it on screen by itself instead of as a passing problem.
    std::string failure;
    const bool landed = player.seekTo(StartPoint(point), failure);
    if (!failure.empty())
    {
        const Problem problem = Player::startProblem(failure);
        feed.hold(&problem);
        Problem::report(problem);
        feed.hold(nullptr);
        if (!landed && !player.closed())
            panel.setSticky(StartKey, problem.consoleLine());
    }
    if (landed || player.closed())
        return;
    // The author lands where the fast-forward stopped, paused, to see why.
    transport.paused = true;
    noticeEnd();
    followMusic();
}

void AuthorMode::run(sf::RenderWindow& window)
{
    // A key counts once per press, however long it is held.
    window.setKeyRepeatEnabled(false);
    keptEvents.reserve(64);
    player.watchForClose([this, &window] { return keepEvents(window); });
    noticeEnd();
    printState();
    sf::Clock frameClock;
    while (!quit)
    {
        const float frameTime = frameClock.restart().asSeconds();
        Profiler* const profiler = Profiler::active;
        if (profiler)
            profiler->beginFrame();
        // The timeline marks the labels: their steps are found once per version of the demo.
        if (showOverlay && !labelStepsKnown)
            findLabelSteps();
        handleEvents(window);
        scrub();
        link.serve([this](const Transport::Request& request) { carryOut(request); });
        if (quit)
            break;
        watchFiles();
        // While the pointer scrubs the timeline, it alone moves the demo.
        const int steps = transport.stepsForFrame(frameTime);
        const bool stepped = playSteps(dragging && !dragLoop ? 0 : steps);
        // Playing into the demo's end pauses there, which is a change of state.
        if (stepped && ended)
            printState();
        const long loopStart = stepped ? transport.loopReturn(player.steps()) : -1;
        if (loopStart >= 0)
            seek(loopStart);
        drawFrame(window);
        if (profiler)
        {
            profiler->endFrame();
            // The timeline shows what the frame's work took, not its wait for the display.
            if (stepped)
                strip.recordFrameTime(player.steps(), static_cast<double>(profiler->lastFrameWork()) * 1e-9);
            if (showProfile && wallClock.getElapsedTime().asSeconds() - profileShownAt >= ProfileRefreshSeconds)
                refreshProfile();
        }
        link.publish();
        // Frame times say how playing keeps up; a held picture keeps its figures still.
        if (stepped)
        {
            lastFrameSeconds = frameClock.getElapsedTime().asSeconds();
            stats.addFrame(lastFrameSeconds, true);
        }
    }
    if (musicHeld)
        MusicManager::instance().release();
    player.watchForClose(nullptr);
}

void AuthorMode::handleEvents(sf::RenderWindow& window)
{
    for (const sf::Event& event : keptEvents)
        handleEvent(window, event);
    keptEvents.clear();
    sf::Event event;
    while (window.pollEvent(event))
        handleEvent(window, event);
}

bool AuthorMode::keepEvents(sf::RenderWindow& window)
{
    constexpr std::size_t MostKept = 64;
    bool closed = false;
    sf::Event event;
    while (window.pollEvent(event))
    {
        const bool escape = event.type == sf::Event::KeyPressed && event.key.code == sf::Keyboard::Escape;
        // Escape stops a seek under way; otherwise it quits.
        if (escape && seeking)
        {
            seekStopped = true;
            player.stopSeek();
        }
        else if (event.type == sf::Event::Closed || escape)
            closed = true;
        else if (event.type == sf::Event::MouseMoved && !keptEvents.empty() &&
                 keptEvents.back().type == sf::Event::MouseMoved)
            keptEvents.back() = event;
        else if (keptEvents.size() < MostKept)
            keptEvents.push_back(event);
    }
    if (seeking && !closed)
        showProgress(window);
    return closed;
}

void AuthorMode::handleEvent(sf::RenderWindow& window, const sf::Event& event)
{
    if (event.type == sf::Event::Closed)
        quit = true;
    else if (event.type == sf::Event::KeyPressed)
    {
        if (event.key.code == sf::Keyboard::Escape)
            quit = true;
        else if (labels.isOpen() && (event.key.code == sf::Keyboard::Up || event.key.code == sf::Keyboard::Down ||
                                     event.key.code == sf::Keyboard::Enter))
        {
            const long target = labels.press(event.key.code);
            if (target >= 0)
                seek(target);
            else if (event.key.code != sf::Keyboard::Enter)
                std::cout << "author: " << labels.choiceText() << std::endl;
        }
        else
            carryOut(transport.press(event.key.code, event.key.shift, player.steps()));
        if (event.key.code == sf::Keyboard::LShift || event.key.code == sf::Keyboard::RShift)
            shiftHeld = true;
    }
    else if (event.type == sf::Event::KeyReleased &&
             (event.key.code == sf::Keyboard::LShift || event.key.code == sf::Keyboard::RShift))
        shiftHeld = false;
    else if (event.type == sf::Event::LostFocus)
        shiftHeld = false;
    else if (event.type == sf::Event::MouseButtonPressed && event.mouseButton.button == sf::Mouse::Left)
        pressStrip(window, event.mouseButton.x, event.mouseButton.y);
    else if (event.type == sf::Event::MouseMoved && dragging)
        dragX = stripX(window, event.mouseMove.x, event.mouseMove.y);
    else if (event.type == sf::Event::MouseButtonReleased && event.mouseButton.button == sf::Mouse::Left)
        releaseStrip(window, event.mouseButton.x, event.mouseButton.y);
}

int AuthorMode::stripX(sf::RenderWindow& window, int pixelX, int pixelY) const
{
    // The view's inverse lands a hair off the pixel (999.99994 for 1000): rounded, not cut.
    return static_cast<int>(std::lround(window.mapPixelToCoords(sf::Vector2i(pixelX, pixelY)).x));
}

long AuthorMode::stripStep(int x) const
{
    return TimelineStrip::stepAt(x, stripTrack, TimelineStrip::spanFor(knownSteps(), endStep()));
}

void AuthorMode::pressStrip(sf::RenderWindow& window, int pixelX, int pixelY)
{
    // The strip is part of the overlay: hidden, it takes no clicks.
    const sf::Vector2f view = window.getView().getSize();
    stripTrack = TimelineStrip::trackFor(static_cast<unsigned>(view.x), static_cast<unsigned>(view.y));
    if (!showOverlay || !TimelineStrip::contains(window.mapPixelToCoords(sf::Vector2i(pixelX, pixelY)).y, stripTrack))
        return;
    dragging = true;
    dragLoop = shiftHeld || sf::Keyboard::isKeyPressed(sf::Keyboard::LShift) ||
               sf::Keyboard::isKeyPressed(sf::Keyboard::RShift);
    dragX = stripX(window, pixelX, pixelY);
    pressStep = stripStep(dragX);
    scrubbedTo = -1;
}

void AuthorMode::scrub()
{
    // Only where the pointer is now counts: the positions it passed during the frame are skipped.
    if (!dragging || dragLoop)
        return;
    const long target = stripStep(dragX);
    if (target == scrubbedTo)
        return;
    scrubbedTo = target;
    panel.clearSticky(StartKey);
    land(target);
}

void AuthorMode::releaseStrip(sf::RenderWindow& window, int pixelX, int pixelY)
{
    if (!dragging)
        return;
    dragging = false;
    const long target = stripStep(stripX(window, pixelX, pixelY));
    // A Shift drag marks the range between where it started and where it ended; a Shift click
    // that did not move is a click.
    if (dragLoop && transport.setLoop(pressStep, target))
    {
        printState();
        return;
    }
    seek(target);
}

void AuthorMode::carryOut(const Transport::Request& request)
{
    using Kind = Transport::Request::Kind;
    switch (request.kind)
    {
    case Kind::None: return;
    case Kind::ToggleHelp: showHelp = !showHelp; return;
    case Kind::ToggleOverlay: showOverlay = !showOverlay; return;
    case Kind::ToggleProfile:
        showProfile = !showProfile;
        if (showProfile)
        {
            refreshProfile();
            for (const std::string& line : profileLines)
                std::cout << "author: profile: " << line << std::endl;
        }
        return;
    case Kind::ToggleLabels: toggleLabels(); return;
    case Kind::Changed:
        // Past the demo's end there is nothing to play: it stays paused there.
        if (ended)
            transport.paused = true;
        followMusic();
        break;
    case Kind::StepOnce: playSteps(1); break;
    case Kind::Seek: seek(request.step); return;
    case Kind::SeekBar: seek(tempoGrid().barSeek(player.steps(), gridAnchor(), static_cast<int>(request.step))); return;
    case Kind::SeekLabel: seekLabel(static_cast<int>(request.step)); return;
    }
    printState();
}

bool AuthorMode::playSteps(int count)
{
    if (ended || count <= 0)
        return false;
    for (int step = 0; step < count; ++step)
    {
        player.step();
        if (!player.running())
        {
            noticeEnd();
            break;
        }
    }
    return true;
}

void AuthorMode::seek(long step)
{
    // A start point that could not be reached no longer explains where the demo is.
    panel.clearSticky(StartKey);
    land(step);
    printState();
}

void AuthorMode::land(long step)
{
    ended = false;
    seeking = true;
    seekTarget = step;
    seekStopped = false;
    seekClock.restart();
    progressShownAt = 0.0;
    player.seekTo(step);
    seeking = false;
    // Stopped by Escape: the player landed where the seek got to; it stays there.
    if (seekStopped)
        transport.paused = true;
    noticeEnd();
    followMusic();
}

void AuthorMode::showProgress(sf::RenderWindow& window)
{
    // A short seek shows nothing; a long one, a few times a second.
    constexpr double Delay = 0.25;
    constexpr double Interval = 0.1;
    const double now = seekClock.getElapsedTime().asSeconds();
    if (now < Delay || now - progressShownAt < Interval)
        return;
    progressShownAt = now;
    const long at = player.steps();
    const float done = seekTarget > 0 ? static_cast<float>(at) / static_cast<float>(seekTarget) : 1.f;
    char percent[32];
    std::snprintf(percent, sizeof percent, "%.0f%%", 100.0 * std::min(std::max(done, 0.f), 1.f));
    const std::vector<std::string> lines = {
        "seeking to " + StepRate::stepText(seekTarget) + " (step " + std::to_string(seekTarget) + ")",
        "at " + StepRate::stepText(at) + " (step " + std::to_string(at) + ")   " + percent,
        seekStopped ? "stopped: landing exactly here" : "Escape stops the seek here"};
    // Over the last picture shown.
    if (picture)
        window.draw(sf::Sprite(picture->getTexture()), sf::RenderStates(sf::BlendNone));
    else
        window.clear();
    overlay.drawProgress(window, lines, done);
    window.display();
}

void AuthorMode::noticeEnd()
{
    if (player.running() || ended)
        return;
    if (player.closed())
    {
        quit = true;
        return;
    }
    // The demo has ended (its exit, or the end of the script): hold its last picture.
    ended = true;
    transport.paused = true;
    followMusic();
}

void AuthorMode::watchFiles()
{
    const double now = wallClock.getElapsedTime().asSeconds();
    if (reloadDue)
    {
        reloadDue = false;
        reload();
        return;
    }
    // A file that is gone keeps its last version until it comes back.
    std::set<std::string> goneNow;
    for (const std::string& path : saves.missing(now))
    {
        goneNow.insert(path);
        if (gone.count(path) != 0)
            continue;
        const std::string line = path + ": the file is gone; its last version stays in use until it is saved again";
        panel.setSticky(path, line);
        std::cerr << line << std::endl;
    }
    for (const std::string& path : gone)
        if (goneNow.count(path) == 0 && broken.count(path) == 0)
            panel.clearSticky(path);
    gone.swap(goneNow);

    const std::vector<std::string> savedNow = saves.poll(now);
    if (savedNow.empty())
        return;
    saved.insert(savedNow.begin(), savedNow.end());
    // A saved catalog or script may name files that do not exist yet: they are watched from now
    // on, even while the save itself is held back.
    saves.watch(DemoFiles::collect());
    // The overlay says "reloading..." for one frame, then the next frame reloads.
    reloadDue = checkSaved();
}

bool AuthorMode::checkSaved()
{
    DemoChecker checker;
    checker.loads = [this](const std::string& path) { return saved.count(path) != 0; };
    checker.checkAll();
    // An empty script would end the demo at its first step and lose the author's place; it is
    // most likely an editor caught between truncating and writing.
    if (saved.count(DemoPaths::Script) != 0 && scriptIsEmpty())
    {
        // Said once, instead of each section it lacks.
        auto& entries = checker.diagnostics.entries;
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [](const Diagnostics::Entry& entry) { return entry.path == DemoPaths::Script; }),
                      entries.end());
        checker.diagnostics.error(DemoPaths::Script, 0, 0,
                                  "the script is empty; the last good version plays on until it is saved again");
    }
    std::map<std::string, std::vector<std::string>> errors;
    std::vector<std::string> warnings;
    for (const Diagnostics::Entry& entry : checker.diagnostics.entries)
    {
        // A saved image, song or font that does not load is reported at the catalog entry that
        // names it (as --check places it), and it is that save which is held back.
        const std::string& path = saved.count(entry.path) != 0 ? entry.path : entry.about;
        if (saved.count(path) == 0)
            continue;
        if (entry.severity == Diagnostics::Severity::Error)
            errors[path].push_back(Diagnostics::format(entry));
        else if (entry.severity == Diagnostics::Severity::Warning)
            warnings.push_back(Diagnostics::format(entry));
    }
    for (const std::string& path : saved)
    {
        const auto found = errors.find(path);
        if (found == errors.end())
        {
            broken.erase(path);
            panel.clearSticky(path);
            continue;
        }
        broken.insert(path);
        const std::vector<std::string>& lines = found->second;
        panel.setSticky(
            path, lines.front() +
                      (lines.size() > 1 ? "  (and " + std::to_string(lines.size() - 1) + " more on the console)" : ""));
        for (const std::string& line : lines)
            std::cerr << line << std::endl;
    }
    // A warning holds nothing back: it is said after the errors, and shown for a while.
    const double now = wallClock.getElapsedTime().asSeconds();
    for (const std::string& line : warnings)
    {
        std::cerr << line << std::endl;
        panel.add(line, now);
    }
    return errors.empty();
}

bool AuthorMode::scriptIsEmpty()
{
    Script script;
    std::ifstream in(DemoPaths::Script);
    script.parse(in);
    return script.lineCount() == 0;
}

void AuthorMode::reload()
{
    std::string names;
    for (const std::string& path : saved)
        names += (names.empty() ? "" : ", ") + path.substr(path.find_last_of('/') + 1);
    const long step = player.steps();
    // The song catalog is read again: nothing may point into it, and a saved song has a new
    // envelope. What was known of the old version's steps no longer holds.
    envelopeSong = nullptr;
    envelope = nullptr;
    player.reload(saved);
    loadEnvelopes(saved);
    // What the steps the saved files left as they were showed stays.
    strip.forget(player.knownSteps() + 1);
    saved.clear();
    labelStepsKnown = false;
    labels.close();
    // The steps back to the author's are run quietly, as printed before; but the saved files
    // may meet problems there that were never printed: each distinct one is said once.
    std::vector<std::string> problems;
    feed.gather(&problems);
    player.hearQuietErrors([this](const std::string& line) { feed.hearLine(line); });
    land(step);
    player.hearQuietErrors(nullptr);
    feed.gather(nullptr);
    // What the catalogs name may have changed.
    saves.watch(DemoFiles::collect());
    const double now = wallClock.getElapsedTime().asSeconds();
    for (const std::string& text : problems)
    {
        std::cerr << text << std::endl;
        panel.add(text, now);
    }
    std::cout << "author: reloaded " << names << "; " << transport.stateText(player.steps()) << std::endl;
    link.reloaded(names);
}

void AuthorMode::toggleLabels()
{
    if (labels.isOpen())
    {
        labels.close();
        return;
    }
    findLabelSteps();
    labels.open(labelSteps);
    std::cout << "author: " << labels.choiceText() << std::endl;
}

void AuthorMode::findLabelSteps()
{
    if (!labelStepsKnown)
    {
        // The labels of the main flow, as --timeline names them, in the script's order.
        const Script& script = GameCutscene::instance().script;
        const std::vector<int> definitions = ScriptFlow(script).mainFlowLabels();
        // A label is arrived at on the line after its definition.
        std::vector<int> lines;
        for (int definition : definitions)
            lines.push_back(definition + 1);
        const std::vector<long> steps = player.arrivals(lines);
        labelSteps.clear();
        for (std::size_t i = 0; i < definitions.size(); ++i)
        {
            const std::size_t own = static_cast<std::size_t>(definitions[i]);
            labelSteps.push_back({script.lines[own].params[0], script.fileLines[own], steps[i]});
        }
        labelStepsKnown = true;
        // The run there and back may have ended the demo's music hold or found the window closed.
        noticeEnd();
        followMusic();
        strip.setLabels(labelSteps);
    }
}

void AuthorMode::seekLabel(int direction)
{
    findLabelSteps();
    const long target = direction < 0 ? TimelineStrip::previousLabel(labelSteps, player.steps())
                                      : TimelineStrip::nextLabel(labelSteps, player.steps());
    if (target >= 0)
        seek(target);
    else
        std::cout << "author: no label of the main flow " << (direction < 0 ? "before " : "after ")
                  << StepRate::stepText(player.steps()) << " (step " << player.steps() << ")" << std::endl;
}

long AuthorMode::knownSteps() const
{
    return player.knownSteps();
}

long AuthorMode::endStep() const
{
    return player.endStep();
}

void AuthorMode::stepEnded()
{
    strip.record(player.steps(), musicLevel());
}

float AuthorMode::musicLevel()
{
    const SongClock& clock = MusicManager::instance().songClock();
    if (!clock.song || clock.state != sf::SoundSource::Playing)
        return 0.f;
    if (clock.song != envelopeSong)
    {
        envelopeSong = clock.song;
        const auto found = envelopes.find(clock.song->file);
        envelope = found == envelopes.end() ? nullptr : &found->second;
    }
    return envelope ? envelope->peakAt(clock.position) * static_cast<float>(clock.song->volume) / 100.f : 0.f;
}

void AuthorMode::loadEnvelopes(const std::set<std::string>& refresh)
{
    // A song that does not decode stays flat here; playing it reports the failure.
    for (const std::string& file : MusicManager::instance().songFiles())
        if (envelopes.count(file) == 0 || refresh.count(file) != 0)
            envelopes[file].load(file);
}

TimelineStrip::State AuthorMode::stripState() const
{
    TimelineStrip::State state;
    state.step = player.steps();
    state.known = knownSteps();
    state.end = endStep();
    state.loopStart = transport.loopStart;
    state.loopEnd = transport.loopEnd;
    if (dragging && dragLoop)
    {
        // The range a Shift drag would set, shown while it is held.
        const long at = stripStep(dragX);
        state.loopStart = std::min(pressStep, at);
        state.loopEnd = std::max(pressStep, at);
        state.loopPending = true;
    }
    return state;
}

const TempoGrid& AuthorMode::tempoGrid() const
{
    return GameCutscene::instance().interp.tempo;
}

long AuthorMode::gridAnchor() const
{
    // The grid counts from the step the song started in, or from the start before any song.
    const long songStart = MusicManager::instance().songClock().songStartStep;
    return songStart >= 0 ? songStart : 0;
}

void AuthorMode::printState()
{
    // A changed loop (L, a Shift drag on the timeline, the channel) is said first.
    if (transport.loopStart != printedLoopStart || transport.loopEnd != printedLoopEnd)
    {
        printedLoopStart = transport.loopStart;
        printedLoopEnd = transport.loopEnd;
        std::cout << transport.loopLine() << std::endl;
    }
    std::cout << transport.stateLine(player.steps()) << std::endl;
}

void AuthorMode::followMusic()
{
    const bool hold = transport.paused || !transport.atNormalSpeed() || ended;
    if (hold == musicHeld)
        return;
    musicHeld = hold;
    if (hold)
        MusicManager::instance().hold();
    else
        MusicManager::instance().release();
}

void AuthorMode::drawFrame(sf::RenderWindow& window)
{
    // The demo's picture is made off-screen exactly as --render makes it, then copied: drawn
    // straight into the window, the post pass rasterises upside down relative to the render
    // and its grain can land one level apart.
    sf::RenderTarget& target = picture ? static_cast<sf::RenderTarget&>(*picture) : window;
    // Without a step the picture is the last one: the render section runs once per step.
    player.renderOwed();
    player.present(target);
    if (picture)
    {
        picture->display();
        window.draw(sf::Sprite(picture->getTexture()), sf::RenderStates(sf::BlendNone));
    }
    panel.expire(wallClock.getElapsedTime().asSeconds());
    if (showOverlay)
    {
        overlay.drawStatus(window, statusLines());
        strip.draw(window, stripState());
    }
    // Problems are not part of the overlay: hiding it must not hide them. They stay above the
    // timeline while it is shown.
    overlay.drawProblems(window, panel.lines(), showOverlay ? static_cast<float>(TimelineStrip::Height) : 0.f);
    if (showHelp)
        overlay.drawHelp(window);
    else if (labels.isOpen())
        overlay.drawCentred(window, labels.lines(), labels.chosenLine());
    else if (showProfile)
        overlay.drawCentred(window, profileLines);
    ProfileScope wait("display wait", Profiler::Display);
    window.display();
}

void AuthorMode::refreshProfile()
{
    profileShownAt = wallClock.getElapsedTime().asSeconds();
    profileLines.clear();
    Profiler* profiler = Profiler::active;
    if (!profiler)
    {
        profileLines.push_back("no profile: the profiler is off");
        return;
    }
    profileLines.push_back("costliest lines and passes of the last second (ms per frame, share of the frame)");
    const std::vector<Profiler::Cost> costs = profiler->costliestRecent(ProfileRows, 1.0);
    for (std::size_t i = 0; i < costs.size(); ++i)
        profileLines.push_back(std::to_string(i + 1) + ". " + Profiler::costText(profiler->nameAt(costs[i].name), costs[i]));
    if (costs.empty())
        profileLines.push_back("nothing ran in the last second");
    profileLines.push_back("clock: " + profiler->clockText());
}

std::vector<std::string> AuthorMode::statusLines() const
{
    std::vector<std::string> lines;
    std::string state = StepRate::stepText(player.steps()) + "   step " + std::to_string(player.steps()) + "   " +
                        (transport.paused ? "paused" : "playing") + "   " + transport.speedText();
    const TempoGrid::BarBeat bar = tempoGrid().barBeatAt(player.steps(), gridAnchor());
    state += "   bar " + std::to_string(bar.bar) + ":" + std::to_string(bar.beat);
    if (ended)
        state += "   end of the demo";
    lines.push_back(state);
    if (reloadDue)
        lines.push_back("reloading...");
    lines.push_back(positionLine());
    if (transport.hasLoop())
        lines.push_back("loop " + StepRate::stepText(transport.loopStart) + " to " + StepRate::stepText(transport.loopEnd));
    else if (transport.loopStart >= 0)
        lines.push_back("loop from " + StepRate::stepText(transport.loopStart) + " (L again marks its end)");
    char timing[96];
    std::snprintf(timing, sizeof timing, "frame %.1f ms   behind real time %.0f%% of frames", lastFrameSeconds * 1000.0,
                  stats.frames ? 100.0 * static_cast<double>(stats.behind) / static_cast<double>(stats.frames) : 0.0);
    lines.push_back(timing);
    const GameCutscene& cutscene = GameCutscene::instance();
    long particles = 0;
    for (const auto& entry : ParticleManager::instance().systems())
        particles += entry.second.liveCount();
    lines.push_back("objects " + std::to_string(cutscene.objects.size()) + "   buffers " +
                    std::to_string(cutscene.buffers.size()) + "   particles " + std::to_string(particles) + "   text " +
                    std::to_string(TextManager::instance().busyInstances()));
    lines.push_back("F1 keys");
    return lines;
}

std::string AuthorMode::positionLine() const
{
    const GameCutscene& cutscene = GameCutscene::instance();
    const Script& script = cutscene.script;
    if (script.lineCount() == 0)
        return "no script";
    const int line = cutscene.interp.mainFlowLine();
    if (line >= script.lineCount())
        return "end of " + std::string(DemoPaths::Script);
    const std::string* above = script.labelAbove(line);
    const std::string label = above ? ":" + *above + "   " : std::string();
    return label + DemoPaths::Script + ":" + std::to_string(script.fileLines[static_cast<std::size_t>(line)]) + "   " +
           lineText(script.lines[static_cast<std::size_t>(line)]);
}
