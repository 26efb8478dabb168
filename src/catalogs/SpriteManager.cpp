#include "catalogs/SpriteManager.hpp"

#include "report/Problem.hpp"

#include "catalogs/CatalogJson.hpp"
#include "catalogs/JsonFormat.hpp"
#include "catalogs/TextureManager.hpp"


using namespace SpriteKeys;

namespace
{
const char* const Component = "SpriteManager";

// One entry as read from the file, before anything is registered.
struct SpriteEntry
{
    std::string texture;
    float originX = 0.f;
    float originY = 0.f;
    sf::IntRect rect;
};

// Reads in the catalog's documented order, so that the first bad property is the one reported.
SpriteEntry readEntry(const nlohmann::json& entry)
{
    SpriteEntry sprite;
    sprite.texture = keyString(entry, Texture);
    sprite.originX = keyFloat(entry, OriginX);
    sprite.originY = keyFloat(entry, OriginY);
    sprite.rect.left = keyInt(entry, RectX);
    sprite.rect.top = keyInt(entry, RectY);
    sprite.rect.width = keyInt(entry, RectW);
    sprite.rect.height = keyInt(entry, RectH);
    return sprite;
}
} // namespace

SpriteManager::SpriteManager(TextureManager& textures) : textures(textures) {}

SpriteManager& SpriteManager::instance()
{
    static SpriteManager manager(TextureManager::instance());
    return manager;
}

bool SpriteManager::load(const std::string& path)
{
    return loadCatalog(path, Component, Format.topLevel, "Missing properties in spritesfile.",
                       [this](const std::string& key, const nlohmann::json& entry) { loadEntry(key, entry); });
}

void SpriteManager::loadEntry(const std::string& key, const nlohmann::json& entry)
{
    if (!hasRequired(Component, key, entry, Texture.name))
        return;
    guardEntry(Component, key, [&] {
        const SpriteEntry read = readEntry(entry);
        sf::Texture* texture = textures.getTexture(read.texture);
        if (hasSprite(key))
        {
            Problem::report(Problem(Component) << "Sprite with key " << key << " already exists.");
            return;
        }
        // An unknown texture has already been reported by the lookup; a sprite without a
        // texture would only draw a white box, so it is left out.
        if (!texture)
            return;
        auto sprite = std::make_unique<sf::Sprite>();
        sprite->setTexture(*texture, true);
        sprite->setTextureRect(read.rect);
        sprite->setOrigin(read.originX, read.originY);
        asLoaded.emplace_back(sprite.get(), *sprite);
        sprites.emplace(key, std::move(sprite));
    });
}

bool SpriteManager::hasSprite(const std::string& key) const
{
    return sprites.find(key) != sprites.end();
}

sf::Sprite* SpriteManager::getSprite(const std::string& key)
{
    const auto found = sprites.find(key);
    if (found == sprites.end())
    {
        Problem::report(Problem(Component) << "Sprite with key " << key << " does not exist.");
        return nullptr;
    }
    return found->second.get();
}

void SpriteManager::restart()
{
    for (auto& entry : asLoaded)
        *entry.first = entry.second;
}

void SpriteManager::savePoses(std::vector<sf::Sprite>& out) const
{
    out.clear();
    for (const auto& entry : asLoaded)
        out.push_back(*entry.first);
}

void SpriteManager::restorePoses(const std::vector<sf::Sprite>& poses)
{
    for (std::size_t i = 0; i < poses.size() && i < asLoaded.size(); ++i)
        *asLoaded[i].first = poses[i];
}

void SpriteManager::clear()
{
    asLoaded.clear();
    sprites.clear();
}
