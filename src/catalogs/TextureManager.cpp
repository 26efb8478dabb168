#include "catalogs/TextureManager.hpp"

#include "report/Problem.hpp"

#include "catalogs/CatalogJson.hpp"
#include "catalogs/JsonFormat.hpp"

#include <SFML/Graphics/Image.hpp>
#include <stb_image.h>


using namespace TextureKeys;

namespace
{
bool everyPixelOpaque(const sf::Image& image)
{
    const sf::Uint8* pixels = image.getPixelsPtr();
    const std::size_t count = static_cast<std::size_t>(image.getSize().x) * image.getSize().y;
    for (std::size_t i = 0; i < count; ++i)
        if (pixels[i * 4 + 3] != 255)
            return false;
    return count > 0;
}

const char* const Component = "TextureManager";

} // namespace

TextureManager& TextureManager::instance()
{
    static TextureManager manager;
    return manager;
}

bool TextureManager::load(const std::string& path)
{
    return loadCatalog(path, Component, Format.topLevel, "Missing properties in texturesfile.",
                       [this](const std::string& key, const nlohmann::json& entry) { loadEntry(key, entry); });
}

void TextureManager::loadEntry(const std::string& key, const nlohmann::json& entry)
{
    if (!hasRequired(Component, key, entry, File.name))
        return;
    guardEntry(Component, key, [&] {
        const std::string file = keyString(entry, File);
        const bool repeated = keyBool(entry, Repeated);
        addTexture(key, file, repeated);
    });
}

bool TextureManager::addTexture(const std::string& key, const std::string& file, bool repeated)
{
    if (hasTexture(key))
    {
        Problem::report(Problem(Component) << "Texture with key " << key << " already exists.");
        return false;
    }
    // The image library decodes the whole picture before the texture refuses a size the graphics
    // card cannot hold, and a small compressed file can claim gigabytes of pixels: read the size
    // from the header first. Files stb cannot read are left to the library's own report.
    int width = 0;
    int height = 0;
    int channels = 0;
    const unsigned largest = sf::Texture::getMaximumSize();
    if (stbi_info(file.c_str(), &width, &height, &channels) &&
        (static_cast<unsigned>(width) > largest || static_cast<unsigned>(height) > largest))
    {
        Problem::report(Problem(Component).file(file) << "Image " << file << " is " << width << " x " << height
                                                      << " pixels, more than the largest texture (" << largest
                                                      << " x " << largest << ").");
        Problem::report(Problem(Component).file(file) << "Unable to load file " << file << ".");
        return false;
    }
    auto texture = std::make_unique<sf::Texture>();
    sf::Image image;
    if (!image.loadFromFile(file) || !texture->loadFromImage(image))
    {
        Problem::report(Problem(Component).file(file) << "Unable to load file " << file << ".");
        return false;
    }
    texture->setRepeated(repeated);
    if (everyPixelOpaque(image))
        opaqueTextures.insert(texture.get());
    textures.emplace(key, std::move(texture));
    return true;
}

bool TextureManager::isOpaque(const sf::Texture* texture) const
{
    return opaqueTextures.count(texture) > 0;
}

bool TextureManager::hasTexture(const std::string& key) const
{
    return textures.find(key) != textures.end();
}

sf::Texture* TextureManager::getTexture(const std::string& key)
{
    const auto found = textures.find(key);
    if (found == textures.end())
    {
        Problem::report(Problem(Component) << "Texture with key " << key << " does not exist.");
        return nullptr;
    }
    return found->second.get();
}

void TextureManager::clear()
{
    textures.clear();
    opaqueTextures.clear();
}
