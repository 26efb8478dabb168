#include "catalogs/MusicManager.hpp"

#include "report/Problem.hpp"

#include "catalogs/CatalogJson.hpp"
#include "catalogs/JsonFormat.hpp"

#include <algorithm>
#include <cmath>
#include <iostream>

using namespace MusicKeys;

namespace
{
const char* const Component = "MusicManager";

// Truncates toward zero like a plain cast, but clamps values beyond the 32-bit range instead of
// converting them with undefined behaviour; the audio library refuses the clamped extremes.
sf::Int32 toMilliseconds(double milliseconds)
{
    if (std::isnan(milliseconds))
        return 0;
    if (milliseconds <= -2147483648.0)
        return -2147483647 - 1;
    if (milliseconds >= 2147483647.0)
        return 2147483647;
    return static_cast<sf::Int32>(milliseconds);
}
} // namespace

MusicManager& MusicManager::instance()
{
    static MusicManager manager;
    return manager;
}

bool MusicManager::load(const std::string& path)
{
    return loadCatalog(path, Component, Format.topLevel, nullptr,
                       [this](const std::string& key, const nlohmann::json& entry) { loadEntry(key, entry); });
}

void MusicManager::loadEntry(const std::string& key, const nlohmann::json& entry)
{
    if (!hasRequired(Component, key, entry, File.name))
        return;
    // The song is announced before its properties are read; a bad one then follows as a skip line.
    std::cout << Component << ": Creating SONG with name " << key << std::endl;
    guardEntry(Component, key, [&] {
        auto song = std::make_unique<Song>();
        song->file = keyString(entry, File);
        song->volume = keyInt(entry, Volume);
        if (entry.contains(LoopTo.name))
            song->loopTo = entry.at(LoopTo.name).get<double>();
        songs[key] = std::move(song);
    });
}

bool MusicManager::hasSong(const std::string& key) const
{
    return songs.find(key) != songs.end();
}

std::vector<std::string> MusicManager::songFiles() const
{
    std::vector<std::string> files;
    for (const auto& entry : songs)
        files.push_back(entry.second->file);
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    return files;
}

void MusicManager::play(bool loop, const std::string& key)
{
    const auto found = songs.find(key);
    if (found == songs.end())
    {
        Problem::report(Problem(Component) << "Song with key " << key << " does not exist.");
        return;
    }
    const Song& song = *found->second;
    openedSong.clear();
    // openFromFile stops the current song even when it fails.
    if (!music->openFromFile(song.file))
    {
        Problem::report(Problem(Component).file(song.file) << "Unable to load music file " << song.file << ".");
        heldState = sf::SoundSource::Stopped;
        clock.song = nullptr;
        clock.state = sf::SoundSource::Stopped;
        if (listener)
            listener->songStopped();
        return;
    }
    openedSong = key;
    openedLoop = loop;
    currentVolume = static_cast<float>(song.volume);
    music->setVolume(currentVolume);
    music->setLoop(loop);
    music->setLoopPoints(sf::Music::TimeSpan(sf::milliseconds(toMilliseconds(song.loopTo)),
                                             sf::milliseconds(toMilliseconds(song.loopLength))));
    if (muted)
        music->setVolume(0.f);
    if (listener)
        listener->songStarted(song, loop);
    clock.song = &song;
    clock.state = sf::SoundSource::Playing;
    clock.position = 0.0;
    clock.songStartStep = clock.step;
    if (held)
    {
        heldState = sf::SoundSource::Playing;
        heldPosition = 0.0;
        return;
    }
    music->play();
}

void MusicManager::pause()
{
    if (listener)
        listener->paused();
    if (clock.state == sf::SoundSource::Playing)
        clock.state = sf::SoundSource::Paused;
    if (!held)
        music->pause();
    else if (heldState == sf::SoundSource::Playing)
        heldState = sf::SoundSource::Paused;
}

void MusicManager::resume()
{
    if (listener)
        listener->resumed();
    if (clock.song)
    {
        if (clock.state != sf::SoundSource::Paused)
        {
            clock.position = 0.0;
            clock.songStartStep = clock.step;
        }
        clock.state = sf::SoundSource::Playing;
    }
    if (!held)
    {
        music->play();
        return;
    }
    // As the stream does: a paused song continues, a playing or stopped one starts over, and
    // without an opened file nothing plays.
    if (music->getChannelCount() == 0)
        return;
    if (heldState != sf::SoundSource::Paused)
        heldPosition = 0.0;
    heldState = sf::SoundSource::Playing;
}

void MusicManager::hold()
{
    // Holds nest: a seek inside an author's pause must not start the stream when it ends.
    if (holdDepth++ > 0)
        return;
    heldState = music->getStatus();
    heldPosition = static_cast<double>(music->getPlayingOffset().asSeconds());
    if (heldState == sf::SoundSource::Playing)
        music->pause();
    held = true;
}

void MusicManager::advanceHeld(float dt)
{
    if (held)
        advancePosition(heldPosition, heldState, dt);
}

void MusicManager::advanceClock(float dt)
{
    ++clock.step;
    advancePosition(clock.position, clock.state, dt);
    if (clock.state == sf::SoundSource::Stopped)
        clock.position = 0.0;
}

void MusicManager::advancePosition(double& position, sf::SoundSource::Status& state, float dt) const
{
    if (state != sf::SoundSource::Playing)
        return;
    position += static_cast<double>(dt);
    const double duration = static_cast<double>(music->getDuration().asSeconds());
    if (position < duration)
        return;
    const sf::Music::TimeSpan span = music->getLoopPoints();
    const double loopStart = static_cast<double>(span.offset.asSeconds());
    const double loopLength = static_cast<double>(span.length.asSeconds());
    if (music->getLoop() && loopLength > 0.0)
        position = loopStart + std::fmod(position - loopStart, loopLength);
    else
    {
        state = sf::SoundSource::Stopped;
        position = 0.0;
    }
}

void MusicManager::release()
{
    if (!held || --holdDepth > 0)
        return;
    held = false;
    if (heldState == sf::SoundSource::Stopped)
    {
        music->stop();
        return;
    }
    // Seeking needs a stream that is not stopped.
    music->play();
    if (heldState == sf::SoundSource::Paused)
        music->pause();
    music->setPlayingOffset(sf::seconds(static_cast<float>(heldPosition)));
}

void MusicManager::restart()
{
    // A new stream has no song opened, which resume_music tells apart from a stopped song.
    music = std::make_unique<sf::Music>();
    openedSong.clear();
    if (muted)
        music->setVolume(0.f);
    currentVolume = 0.f;
    fadeTween = Tween();
    heldState = sf::SoundSource::Stopped;
    heldPosition = 0.0;
    clock = SongClock();
}

void MusicManager::fadeOut(float seconds)
{
    // A NaN duration would never end and would give NaN volumes; like a negative one, it ends at
    // the next update as a duration of 0 does.
    const float duration = seconds > 0.f ? seconds : 0.f;
    fadeTween.start(currentVolume, 0.f, duration, Easing::Linear, 1);
}

void MusicManager::updateFade(float dt)
{
    if (!fadeTween.running)
        return;
    fadeTween.elapsed += dt;
    // While muted the volume stays 0 and the ramp never ends.
    if (muted)
        return;
    float value = fadeTween.to;
    if (fadeTween.elapsed >= fadeTween.duration)
        fadeTween.running = false;
    else
        value = fadeTween.from + (fadeTween.to - fadeTween.from) * fadeTween.elapsed / fadeTween.duration;
    fadeTween.value = value;
    currentVolume = value;
    music->setVolume(value);
}

void MusicManager::mute()
{
    muted = true;
    music->setVolume(0.f);
}

void MusicManager::unmute()
{
    muted = false;
    music->setVolume(currentVolume);
}

void MusicManager::clear()
{
    // The stream may be reading a song's file: a new one reads nothing.
    music = std::make_unique<sf::Music>();
    openedSong.clear();
    if (muted)
        music->setVolume(0.f);
    songs.clear();
    // The clock's song was one of them.
    clock.song = nullptr;
    clock.state = sf::SoundSource::Stopped;
}

MusicManager::Position MusicManager::position() const
{
    Position at;
    at.song = openedSong;
    at.loop = openedLoop;
    at.volume = currentVolume;
    at.fade = fadeTween;
    at.state = heldState;
    at.seconds = heldPosition;
    at.clock = clock;
    return at;
}

void MusicManager::restore(const Position& at)
{
    if (at.song != openedSong || at.loop != openedLoop)
    {
        // Opening a song is what play does; its listener and the held state are set below.
        MusicListener* told = listener;
        listener = nullptr;
        if (at.song.empty())
        {
            music = std::make_unique<sf::Music>();
            openedSong.clear();
        }
        else
            play(at.loop, at.song);
        listener = told;
    }
    currentVolume = at.volume;
    music->setVolume(muted ? 0.f : currentVolume);
    fadeTween = at.fade;
    heldState = at.state;
    heldPosition = at.seconds;
    clock = at.clock;
}
