#pragma once

#include "effects/ParticleSystem.hpp"

#include <nlohmann/json_fwd.hpp>

#include <string>
#include <unordered_map>

class SpriteManager;

// Catalog of particle systems, filled once from "assets/particles.json"; owns every system.
class ParticleManager
{
public:
    explicit ParticleManager(SpriteManager& sprites);
    static ParticleManager& instance();

    bool load(const std::string& path);

    // The shared system, or null after "ParticleManager: ParticleSystem with key <key> does not exist.".
    ParticleSystem* getParticleSystem(const std::string& key);

    // Every system as loaded: what a rewind to the start gives them.
    void restart();

    // Every loaded system by key (read by tools that walk the catalog).
    const std::unordered_map<std::string, ParticleSystem>& systems() const { return entries; }

private:
    void loadEntry(const std::string& key, const nlohmann::json& entry);

    SpriteManager& sprites;
    // Node-based, so the address of a system never changes while others are added.
    std::unordered_map<std::string, ParticleSystem> entries;
};
