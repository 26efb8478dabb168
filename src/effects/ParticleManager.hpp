#pragma once

#include "catalogs/JsonFormat.hpp"

#include "effects/ParticleSystem.hpp"

#include <nlohmann/json_fwd.hpp>

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class SpriteManager;
// The keys of assets/particles.json and its entries.
namespace ParticleKeys
{
inline constexpr JsonKey File{"file", JsonType::String, true};
inline constexpr JsonKey Instances{"instances", JsonType::Integer, false, 100};
inline constexpr JsonKey Keys[] = {File, Instances};
inline constexpr JsonFormat Format{"particlesystems", Keys};
} // namespace ParticleKeys

// Catalog of particle systems, filled once from "assets/particles.json"; owns every system.
class ParticleManager
{
public:
    explicit ParticleManager(SpriteManager& sprites);
    static ParticleManager& instance();

    bool load(const std::string& path);
    // Forgets every entry, so that author mode can read the catalog again; nothing may point into
    // it any more.
    void clear();

    // The shared system, or null after "ParticleManager: ParticleSystem with key <key> does not exist.".
    ParticleSystem* getParticleSystem(const std::string& key);

    // Every system as loaded: what a rewind to the start gives them.
    void restart();

    // Every system's saved state, by the system's address (a snapshot of a playing demo).
    struct Saved
    {
        std::vector<std::pair<ParticleSystem*, ParticleSystem::Saved>> systems;

        std::size_t bytes() const;
    };
    Saved save();
    void restore(const Saved& saved) const;

    // Every loaded system by key (read by tools that walk the catalog).
    const std::unordered_map<std::string, ParticleSystem>& systems() const { return entries; }
    std::unordered_map<std::string, ParticleSystem>& systems() { return entries; }

private:
    void loadEntry(const std::string& key, const nlohmann::json& entry);

    SpriteManager& sprites;
    // Node-based, so the address of a system never changes while others are added.
    std::unordered_map<std::string, ParticleSystem> entries;
};
