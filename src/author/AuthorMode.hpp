#pragma once

#include "audio/TempoGrid.hpp"
#include "author/AuthorLink.hpp"
#include "author/AuthorOverlay.hpp"
#include "author/ConsoleTap.hpp"
#include "author/ErrorPanel.hpp"
#include "author/LabelList.hpp"
#include "author/ProblemFeed.hpp"
#include "author/TimelineStrip.hpp"
#include "audio/SongEnvelope.hpp"
#include "player/StepObserver.hpp"
#include "player/FrameStats.hpp"
#include "watch/SaveWatcher.hpp"
#include "author/Transport.hpp"

#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/System/Clock.hpp>
#include <SFML/Window/Event.hpp>

#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

class Player;
struct Song;

// kestrune --author: the demo plays with transport keys (pause, single steps, seeks, speed, a
// loop range), an overlay of where it is, and the problems it reports shown on screen. Every seek
// lands on the state playing has at that step, and the music follows the picture. A saved file of
// the demo (script, catalogs, images, shaders, fonts, songs) is read again and the demo returns to
// the same step; a broken save (the script's included) is reported and changes nothing. A timeline
// along the bottom shows the demo's steps and seeks where it is clicked or dragged.
class AuthorMode : private StepObserver
{
public:
    explicit AuthorMode(Player& player);
    ~AuthorMode();
    AuthorMode(const AuthorMode&) = delete;
    AuthorMode& operator=(const AuthorMode&) = delete;

    // Lands on --start's point (empty: the start). One that cannot be reached (a label the
    // first hour never arrives at, a time past the end) leaves the demo paused where the
    // fast-forward stopped, with the reason on standard error and on screen.
    void start(const std::string& point);

    // The frame time over which the timeline marks a step (seconds; a sixtieth by default).
    void budget(double seconds) { strip.setBudget(seconds); }

    // The author's frame loop, after start-up (and --start); returns when the window is closed or
    // Escape is pressed. The end of the demo does not end it: the picture holds at the last step.
    void run(sf::RenderWindow& window);

private:
    void handleEvents(sf::RenderWindow& window);
    void handleEvent(sf::RenderWindow& window, const sf::Event& event);
    // A long seek asks now and then whether the window was closed: the other events it meets are
    // kept for the next frame (the latest pointer move only) instead of being lost.
    bool keepEvents(sf::RenderWindow& window);
    void carryOut(const Transport::Request& request);
    // Runs the steps of one shown frame, each with its render as playing has it; the last one's
    // render is left to the frame's drawing.
    bool playSteps(int count);
    void seek(long step);
    // A seek without its state line: the picture, the end and the music follow the new step.
    // A long one shows its progress, and Escape stops it where it got to.
    void land(long step);
    void showProgress(sf::RenderWindow& window);
    void noticeEnd();
    void printState();
    // The script's tempo grid, and the step its beats count from (bar:beat and the bar keys).
    const TempoGrid& tempoGrid() const;
    long gridAnchor() const;
    // Music is held (silent, its position kept in step) while paused or not at normal speed.
    void followMusic();
    void drawFrame(sf::RenderWindow& window);
    // F4: the costliest lines and passes of the last second, as the panel shows them.
    void refreshProfile();
    // G: the labels of the main flow with the steps playing first arrives at them, found once
    // per version of the demo by a quiet run from the start.
    void toggleLabels();

    // The labels' steps, found once per version of the demo (what G lists).
    void findLabelSteps();
    // P / N: the label of the main flow before / after this step.
    void seekLabel(int direction);

    // The timeline: the pointer pressed, moved and released on it, and the frame's scrub to the
    // step under the pointer's latest position.
    void pressStrip(sf::RenderWindow& window, int pixelX, int pixelY);
    void releaseStrip(sf::RenderWindow& window, int pixelX, int pixelY);
    void scrub();
    int stripX(sf::RenderWindow& window, int pixelX, int pixelY) const;
    long stripStep(int x) const;
    TimelineStrip::State stripState() const;

    // How far the demo is known: the furthest step run of this version of it, and the step it
    // was seen to end in (-1: not yet).
    long knownSteps() const;
    long endStep() const;
    void stepEnded() override;
    void rewound() override {}
    // The music's peak at the current step, 0..1, from the envelope of the song playing.
    float musicLevel();
    // Envelopes of the catalog's songs not made yet, and again of those in `refresh`.
    void loadEnvelopes(const std::set<std::string>& refresh);

    // Saves: checked first; when every saved file is good the demo is read again and returns to
    // the same step, otherwise the broken ones are reported and nothing changes.
    void watchFiles();
    bool checkSaved();
    static bool scriptIsEmpty();
    void reload();

    std::vector<std::string> statusLines() const;
    // Where the main flow is: its label, file line and the line's text.
    std::string positionLine() const;

    Player& player;
    // The demo's picture, as --render makes it; null draws straight into the window.
    std::unique_ptr<sf::RenderTexture> picture;
    Transport transport;
    AuthorOverlay overlay;
    ErrorPanel panel;
    LabelList labels;
    std::vector<LabelList::Entry> labelSteps; // found for the demo as loaded now
    bool labelStepsKnown = false;
    TimelineStrip strip;
    TimelineStrip::Track stripTrack;
    std::unordered_map<std::string, SongEnvelope> envelopes; // by song file
    const Song* envelopeSong = nullptr; // the song whose envelope was looked up last
    const SongEnvelope* envelope = nullptr;
    std::vector<sf::Event> keptEvents; // met by a long seek, handled in the next frame
    bool shiftHeld = false;
    bool dragging = false;   // the left button is held on the strip
    bool dragLoop = false;   // ... with Shift: it marks a loop range instead of seeking
    long pressStep = 0;      // the step under the pointer when the button went down
    int dragX = 0;           // the pointer's latest x while dragging
    long scrubbedTo = -1;    // the step the drag last landed on
    long printedLoopStart = -1; // the loop as the console last heard it
    long printedLoopEnd = -1;
    sf::Clock wallClock;
    // The problems reported, for the panel and the timeline; then SFML's error stream, which
    // hands its lines to the feed (and goes first).
    ProblemFeed feed{player, panel, strip, wallClock};
    std::unique_ptr<ConsoleTap> libraryTap;
    FrameStats stats;
    double lastFrameSeconds = 0.0;
    bool quit = false;
    bool ended = false;
    bool showOverlay = true;
    bool showHelp = false;
    bool musicHeld = false;
    bool showProfile = false;
    std::vector<std::string> profileLines;
    double profileShownAt = 0.0;

    SaveWatcher saves;
    std::set<std::string> saved;  // saved since the last reload, waiting until all are good
    std::set<std::string> broken; // saved files whose last save does not load
    std::set<std::string> gone;   // watched files that disappeared
    bool reloadDue = false;       // the next frame reloads; this one says so

    // A seek under way (land): Escape stops it, and it lands exactly where it got to.
    bool seeking = false;
    bool seekStopped = false;
    long seekTarget = 0;
    sf::Clock seekClock;
    double progressShownAt = 0.0;

    // The editor's channel: its requests go through the transport as the keys' do.
    AuthorLink link{player, transport, panel};
};
