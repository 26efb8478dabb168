#pragma once

#include "catalogs/JsonFormat.hpp"

#include <SFML/Graphics/Sprite.hpp>

#include <nlohmann/json_fwd.hpp>

#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class TextureManager;

// The keys of assets/sprites.json and its entries.
namespace SpriteKeys
{
inline constexpr JsonKey Texture{"texture", JsonType::String, true};
inline constexpr JsonKey OriginX{"originX", JsonType::Number, false};
inline constexpr JsonKey OriginY{"originY", JsonType::Number, false};
inline constexpr JsonKey RectX{"rectX", JsonType::Integer, false};
inline constexpr JsonKey RectY{"rectY", JsonType::Integer, false};
inline constexpr JsonKey RectW{"rectW", JsonType::Integer, false};
inline constexpr JsonKey RectH{"rectH", JsonType::Integer, false};
inline constexpr JsonKey Keys[] = {Texture, OriginX, OriginY, RectX, RectY, RectW, RectH};
inline constexpr JsonFormat Format{"sprites", Keys};
} // namespace SpriteKeys

// Catalog of ready-made sprites cut out of catalog textures, filled once from "assets/sprites.json".
class SpriteManager
{
public:
    explicit SpriteManager(TextureManager& textures);
    static SpriteManager& instance();

    bool load(const std::string& path);
    // Forgets every entry, so that author mode can read the catalog again; nothing may point into
    // it any more.
    void clear();
    bool hasSprite(const std::string& key) const;

    // The shared sprite, or null after "SpriteManager: Sprite with key <key> does not exist.".
    sf::Sprite* getSprite(const std::string& key);

    // Every sprite as loaded: users change the shared sprites (particles pose them, the fade
    // overlay takes another texture), and a rewind to the start undoes that.
    void restart();
    // Every sprite as it is now, in a fixed order, and back (a snapshot of a playing demo).
    void savePoses(std::vector<sf::Sprite>& out) const;
    void restorePoses(const std::vector<sf::Sprite>& poses);

private:
    void loadEntry(const std::string& key, const nlohmann::json& entry);

    TextureManager& textures;
    std::unordered_map<std::string, std::unique_ptr<sf::Sprite>> sprites;
    std::vector<std::pair<sf::Sprite*, sf::Sprite>> asLoaded;
};
