#pragma once

#include <SFML/Graphics/Sprite.hpp>

#include <nlohmann/json_fwd.hpp>

#include <memory>
#include <string>
#include <unordered_map>

class TextureManager;

// Catalog of ready-made sprites cut out of catalog textures, filled once from "assets/sprites.json".
class SpriteManager
{
public:
    explicit SpriteManager(TextureManager& textures);
    static SpriteManager& instance();

    bool load(const std::string& path);
    bool hasSprite(const std::string& key) const;

    // The shared sprite, or null after "SpriteManager: Sprite with key <key> does not exist.".
    sf::Sprite* getSprite(const std::string& key);

private:
    void loadEntry(const std::string& key, const nlohmann::json& entry);

    TextureManager& textures;
    std::unordered_map<std::string, std::unique_ptr<sf::Sprite>> sprites;
};
