#include "catalogs/MusicManager.hpp"

#include "catalogs/CatalogJson.hpp"

#include <cmath>
#include <iostream>

namespace
{
const char* const Component = "MusicManager";
const char* const TopLevelKey = "music";

// A boolean counts as a number almost everywhere else, but not as a loop position.
double readLoopTo(const nlohmann::json& value)
{
    if (value.is_boolean())
        throw nlohmann::json::type_error::create(302, "type must be number, but is boolean", &value);
    return value.get<double>();
}

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
    nlohmann::json document;
    if (!readJsonFile(path, Component, document))
        return false;
    if (!validateJson(document, {TopLevelKey}))
        return false;
    forEachMember(document.at(TopLevelKey),
                  [this](const std::string& key, const nlohmann::json& entry) { loadEntry(key, entry); });
    return true;
}

void MusicManager::loadEntry(const std::string& key, const nlohmann::json& entry)
{
    if (!entry.is_object() || !entry.contains("file"))
    {
        std::cerr << Component << ": Missing FILE property for [" << key << "]" << std::endl;
        return;
    }
    guardEntry(Component, key, [&] {
        // Everything is read before the song is announced, so a skipped entry is never reported
        // as created.
        auto song = std::make_unique<Song>();
        song->file = entry.at("file").get<std::string>();
        if (entry.contains("volume"))
            song->volume = jsonInt(entry.at("volume"));
        if (entry.contains("loopTo"))
            song->loopTo = readLoopTo(entry.at("loopTo"));
        std::cout << Component << ": Creating SONG with name " << key << std::endl;
        songs[key] = std::move(song);
    });
}

bool MusicManager::hasSong(const std::string& key) const
{
    return songs.find(key) != songs.end();
}

void MusicManager::play(bool loop, const std::string& key)
{
    const auto found = songs.find(key);
    if (found == songs.end())
    {
        std::cerr << Component << ": Song with key " << key << " does not exist." << std::endl;
        return;
    }
    const Song& song = *found->second;
    // openFromFile stops the current song even when it fails.
    if (!music.openFromFile(song.file))
    {
        std::cerr << Component << ": Unable to load music file " << song.file << "." << std::endl;
        return;
    }
    currentVolume = static_cast<float>(song.volume);
    music.setVolume(currentVolume);
    music.setLoop(loop);
    music.setLoopPoints(sf::Music::TimeSpan(sf::milliseconds(toMilliseconds(song.loopTo)),
                                            sf::milliseconds(toMilliseconds(song.loopLength))));
    if (muted)
        music.setVolume(0.f);
    music.play();
}

void MusicManager::pause()
{
    music.pause();
}

void MusicManager::resume()
{
    music.play();
}

void MusicManager::fadeOut(float seconds)
{
    // A negative or NaN duration would give a ramp that never ends or yields NaN volumes; it ends
    // at the next update like a duration of 0.
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
    music.setVolume(value);
}

void MusicManager::mute()
{
    muted = true;
    music.setVolume(0.f);
}
