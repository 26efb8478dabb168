#pragma once

#include "effects/TextSystem.hpp"

#include <SFML/Graphics/RenderTarget.hpp>

#include <nlohmann/json_fwd.hpp>

#include <map>
#include <memory>
#include <string>
#include <vector>

class ParticleManager;

// Catalog of text systems, filled once from "assets/text.json"; owns every system.
class TextManager
{
public:
    explicit TextManager(ParticleManager& particles);
    static TextManager& instance();

    bool load(const std::string& path);
    // Forgets every entry, so that author mode can read the catalog again; nothing may point into
    // it any more.
    void clear();
    // Parses one description and registers it under key; failures are reported and leave it out.
    void create(const std::string& key, const nlohmann::json& description);

    // The shared system, or null after "TextManager: No such text system [<key>]".
    TextSystem* getTextSystem(const std::string& key);

    // Advance and draw every instance of every system, systems in ascending key order.
    void update(float dt);
    void draw(sf::RenderTarget& target) const;
    // Every system as loaded: what a rewind to the start gives them.
    void restart();
    // The instances showing text now (for the author's overlay).
    int busyInstances() const;
    // Every system's saved state, in key order (a snapshot of a playing demo).
    struct Saved
    {
        std::vector<TextSystem::Saved> systems;

        std::size_t bytes() const;
    };
    Saved save();
    void restore(const Saved& saved);

    // Every system by key.
    const std::map<std::string, std::unique_ptr<TextSystem>>& all() const { return systems; }

private:
    ParticleManager& particles;
    // Ordered, so that systems are advanced and drawn in the same order on every platform.
    std::map<std::string, std::unique_ptr<TextSystem>> systems;
};
