#pragma once

// The state of a playing demo written out as text, with its scene's pixels, so that the state a
// seek lands on can be compared with the one playing has.
#include "player/Player.hpp"
#include "catalogs/MusicManager.hpp"
#include "cutscene/GameCutscene.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/Random.hpp"
#include "effects/TextManager.hpp"

#include "ConsoleCapture.hpp"

#include <SFML/Graphics/Image.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include <unistd.h>

namespace seekmoments
{
// A copy of the bundled demo (music off) in a folder of its own, made the working directory
// while it lives.
struct DemoCopy
{
    explicit DemoCopy(const std::string& name)
        : previous(std::filesystem::current_path()),
          dir(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid())))
    {
        namespace fs = std::filesystem;
        fs::create_directories(dir);
        fs::copy(fs::path(KESTRUNE_SOURCE_DIR) / "assets", dir / "assets", fs::copy_options::recursive);
        std::ofstream(dir / "config.json") << R"({ "music": false })";
        fs::current_path(dir);
    }
    ~DemoCopy()
    {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(dir);
    }
    DemoCopy(const DemoCopy&) = delete;
    DemoCopy& operator=(const DemoCopy&) = delete;

    std::filesystem::path previous;
    std::filesystem::path dir;
};

// Loads the demo in the working directory; true when that said nothing on standard error.
inline bool loadsCleanly(Player& app)
{
    return testsupport::capture([&] {
               app.loadConfig();
               return app.load();
           }).err.empty();
}

inline void put(std::ostringstream& out, const sf::Transformable& t)
{
    out << t.getPosition().x << ',' << t.getPosition().y << ',' << t.getRotation() << ',' << t.getScale().x << ','
        << t.getScale().y << ',' << t.getOrigin().x << ',' << t.getOrigin().y << ';';
}

inline void put(std::ostringstream& out, const Tween& tween)
{
    out << tween.running << ',' << tween.elapsed << ',' << tween.value << ',' << tween.loopsDone << ';';
}

// Everything a step can change, written out so that two states compare as text.
inline std::string stateOf(const Player& app)
{
    std::ostringstream out;
    out.precision(9);
    const GameCutscene& cutscene = GameCutscene::instance();
    out << "app " << app.steps() << ' ' << app.time() << ' ' << app.running() << ' ' << app.screenFade().fadeLevel
        << ' ' << app.screenFade().fadeSpeed << ' ' << app.screenFade().fadeState << '\n';
    if (const sf::Sprite* black = app.screenFade().fadeSprite)
    {
        out << "fade sprite " << black->getTexture() << ' ' << int(black->getColor().a) << ' ';
        put(out, *black);
        out << '\n';
    }
    out << "script " << cutscene.started << ' ' << cutscene.interp.pc << ' ' << cutscene.interp.delay << ' '
        << cutscene.interp.running << ' ' << cutscene.interp.returnLine;
    for (std::int32_t flag : cutscene.flags)
        out << ' ' << flag;
    out << '\n';
    std::map<std::string, const SceneObject*> objects;
    for (const auto& entry : cutscene.objects)
        objects[entry.first] = entry.second.get();
    for (const auto& entry : cutscene.buffers)
        objects["buffer " + entry.first] = entry.second.get();
    for (const auto& entry : objects)
    {
        const SceneObject& object = *entry.second;
        out << entry.first << ' ' << object.alpha << ' ' << object.animator.index << ' ' << object.animator.timeLeft
            << ' ';
        put(out, object.sprite);
        for (const Tween& tween : object.tweens)
            put(out, tween);
        for (const auto& uniform : object.uniformTweens)
            put(out, uniform.tween);
        out << '\n';
    }
    std::map<std::string, const ParticleSystem*> systems;
    for (const auto& entry : ParticleManager::instance().systems())
        systems[entry.first] = &entry.second;
    for (const auto& entry : systems)
    {
        const ParticleSystem& system = *entry.second;
        out << "particles " << entry.first << ' ' << system.active << ' ' << system.spawnTimer;
        for (std::int32_t i = 0; i < system.numParticles; ++i)
        {
            const Particle& p = system.particles[i];
            if (p.active)
                out << ' ' << i << ':' << p.x << ',' << p.y << ',' << p.alpha << ',' << p.age;
        }
        out << '\n';
    }
    for (const auto& entry : TextManager::instance().all())
    {
        const std::string& key = entry.first;
        for (const auto& instance : entry.second->instances)
        {
            out << "text " << key << ' ' << instance->busy << ' ' << instance->remaining << ' ' << instance->delay;
            for (const TextLetter& letter : instance->letters)
                out << ' ' << letter.x << ',' << letter.y << ',' << letter.alpha << ',' << letter.timer;
            out << '\n';
        }
    }
    const MusicManager& music = MusicManager::instance();
    out << "music " << music.currentVolume << ' ';
    put(out, music.fadeTween);
    out << '\n';
    return out.str();
}

struct Moment
{
    std::string state;
    sf::Image scene;
    std::int32_t random;
};

// The state, the scene texture's pixels and, with `random`, the next number of the random
// sequence (drawn last: it moves the sequence on).
inline Moment momentOf(const Player& app, bool random)
{
    Moment moment{stateOf(app), app.sceneCanvas().texture->getTexture().copyToImage(), 0};
    if (random)
        moment.random = Random::next();
    return moment;
}

// Buffers are made anew after a rewind, and printed with their address.
inline std::string withoutAddresses(const std::string& text)
{
    return std::regex_replace(text, std::regex("0x[0-9a-f]+"), "0x");
}

inline bool samePixels(const sf::Image& a, const sf::Image& b)
{
    const std::size_t bytes = 4u * a.getSize().x * a.getSize().y;
    return a.getSize() == b.getSize() && std::equal(a.getPixelsPtr(), a.getPixelsPtr() + bytes, b.getPixelsPtr());
}
} // namespace seekmoments
