#pragma once

#include "motion/Tween.hpp"

#include <SFML/Audio/Music.hpp>

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

struct Song
{
    std::string file;
    std::int32_t volume = 100;
    double loopTo = 0.0;      // milliseconds
    double loopLength = -1.0; // milliseconds; the audio library clamps it to the rest of the song
};

// The music catalog ("assets/music.json") and the program's one music player.
class MusicManager
{
public:
    static MusicManager& instance();

    bool load(const std::string& path);
    bool hasSong(const std::string& key) const;

    void play(bool loop, const std::string& key);
    void pause();
    void resume();
    void fadeOut(float seconds);
    void updateFade(float dt);

    // Music turned off by the configuration: volume 0 for the whole run.
    void mute();

    sf::Music& stream() { return music; }

    // Fast-forward: while held, play, pause and resume leave the stream silent and only track
    // where the song would be; advanceHeld moves that position by one skipped step, and
    // release starts (or pauses) the stream at the position playing would have reached.
    void hold();
    void advanceHeld(float dt);
    void release();
    bool isHeld() const { return held; }
    sf::SoundSource::Status heldStatus() const { return heldState; }
    double heldSeconds() const { return heldPosition; }

    float currentVolume = 0.f;
    bool muted = false;
    Tween fadeTween;

private:
    void loadEntry(const std::string& key, const nlohmann::json& entry);

    std::unordered_map<std::string, std::unique_ptr<Song>> songs;
    sf::Music music;
    bool held = false;
    sf::SoundSource::Status heldState = sf::SoundSource::Stopped;
    double heldPosition = 0.0; // seconds into the song
};
