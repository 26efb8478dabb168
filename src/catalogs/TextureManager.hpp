#pragma once

#include "catalogs/JsonFormat.hpp"

#include <SFML/Graphics/Texture.hpp>

#include <nlohmann/json_fwd.hpp>

#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

// The keys of assets/textures.json and its entries.
namespace TextureKeys
{
inline constexpr JsonKey File{"file", JsonType::String, true};
inline constexpr JsonKey Repeated{"repeated", JsonType::Boolean, false};
inline constexpr JsonKey Keys[] = {File, Repeated};
inline constexpr JsonFormat Format{"textures", Keys};
} // namespace TextureKeys

// Catalog of textures by key, filled once from "assets/textures.json".
class TextureManager
{
public:
    static TextureManager& instance();

    bool load(const std::string& path);
    // Forgets every entry, so that author mode can read the catalog again; nothing may point into
    // it any more.
    void clear();
    bool addTexture(const std::string& key, const std::string& file, bool repeated);
    bool hasTexture(const std::string& key) const;

    // The shared texture, or null after "TextureManager: Texture with key <key> does not exist.".
    sf::Texture* getTexture(const std::string& key);
    // True when every pixel of the texture's image is fully opaque; false for null.
    bool isOpaque(const sf::Texture* texture) const;

private:
    void loadEntry(const std::string& key, const nlohmann::json& entry);

    std::unordered_map<std::string, std::unique_ptr<sf::Texture>> textures;
    std::unordered_set<const sf::Texture*> opaqueTextures;
};
