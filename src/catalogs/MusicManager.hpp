#pragma once

#include "catalogs/JsonFormat.hpp"

#include "motion/Tween.hpp"

#include <SFML/Audio/Music.hpp>

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct Song
{
    static constexpr std::int32_t DefaultVolume = 100;

    std::string file;
    std::int32_t volume = DefaultVolume;
    double loopTo = 0.0;      // milliseconds
    double loopLength = -1.0; // milliseconds; the audio library clamps it to the rest of the song
};

// The keys of assets/music.json and its entries.
namespace MusicKeys
{
inline constexpr JsonKey File{"file", JsonType::String, true};
inline constexpr JsonKey Volume{"volume", JsonType::Integer, false, Song::DefaultVolume};
// Read as a double, which (unlike the volume) refuses a boolean.
inline constexpr JsonKey LoopTo{"loopTo", JsonType::StrictNumber, false};
inline constexpr JsonKey Keys[] = {File, Volume, LoopTo};
inline constexpr JsonFormat Format{"music", Keys};
} // namespace MusicKeys

// Told what the player does to its stream, in the order it does it, so that an offline render can
// rebuild the sound track without depending on the audio thread's timing.
class MusicListener
{
public:
    virtual ~MusicListener() = default;
    // A song was opened and started from its beginning.
    virtual void songStarted(const Song& song, bool loop) = 0;
    // Opening a song failed, which stopped whatever was playing.
    virtual void songStopped() = 0;
    virtual void paused() = 0;
    virtual void resumed() = 0;
};

// Where the music player is at the current step, counted in fixed steps instead of read from
// the audio thread, so that it is the same however the step is reached (playing, a seek, a
// render). The player's step advances it once per step.
struct SongClock
{
    long step = 0;           // steps since the start
    long songStartStep = -1; // the step in which the current song started (-1: none yet)
    const Song* song = nullptr;
    sf::SoundSource::Status state = sf::SoundSource::Stopped;
    double position = 0.0; // seconds into the song
};

// The music catalog ("assets/music.json") and the program's one music player.
class MusicManager
{
public:
    static MusicManager& instance();

    bool load(const std::string& path);
    // Forgets every entry, so that author mode can read the catalog again; nothing may point into
    // it any more.
    void clear();
    bool hasSong(const std::string& key) const;
    // The files of every song, sorted.
    std::vector<std::string> songFiles() const;

    void play(bool loop, const std::string& key);
    void pause();
    void resume();
    void fadeOut(float seconds);
    void updateFade(float dt);

    // Music turned off by the configuration: volume 0 for the whole run.
    void mute();
    // Music turned on again by a saved configuration (author mode).
    void unmute();
    // As at start-up: no song opened, volume 0, no fade. Muting stays, and so does a hold (the
    // song then starts where a fast-forward from the start takes it).
    void restart();

    sf::Music& stream() { return *music; }
    // The volume the stream plays at: 0 while muted.
    float streamVolume() const { return muted ? 0.f : currentVolume; }

    MusicListener* listener = nullptr;

    // Fast-forward: while held, play, pause and resume leave the stream silent and only track
    // where the song would be; advanceHeld moves that position by one skipped step, and
    // release starts (or pauses) the stream at the position playing would have reached. Holds
    // nest: the stream starts again at the last release.
    void hold();
    void advanceHeld(float dt);
    void release();
    bool isHeld() const { return held; }
    sf::SoundSource::Status heldStatus() const { return heldState; }
    double heldSeconds() const { return heldPosition; }

    // One fixed step on the clock: the song moves on by dt while it plays.
    void advanceClock(float dt);
    const SongClock& songClock() const { return clock; }

    // Where the music is while held: the song opened, its volume and fade, the held position
    // (a snapshot of a playing demo). Restored only while held; another song is opened again.
    struct Position
    {
        std::string song; // "" : none opened
        bool loop = false;
        float volume = 0.f;
        Tween fade;
        sf::SoundSource::Status state = sf::SoundSource::Stopped;
        double seconds = 0.0;
        SongClock clock;
    };
    Position position() const;
    void restore(const Position& position);

    float currentVolume = 0.f;
    bool muted = false;
    Tween fadeTween;

private:
    void loadEntry(const std::string& key, const nlohmann::json& entry);
    // Moves a position by dt along the stream's song: round its loop, or to a stop at its end.
    void advancePosition(double& position, sf::SoundSource::Status& state, float dt) const;

    std::unordered_map<std::string, std::unique_ptr<Song>> songs;
    std::unique_ptr<sf::Music> music = std::make_unique<sf::Music>();
    bool held = false;
    int holdDepth = 0;
    sf::SoundSource::Status heldState = sf::SoundSource::Stopped;
    double heldPosition = 0.0; // seconds into the song
    SongClock clock;
    std::string openedSong;    // the key of the song the stream has open; "" : none
    bool openedLoop = false;
};
