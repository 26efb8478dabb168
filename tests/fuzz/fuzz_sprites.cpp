// The sprite catalog: any bytes as sprites.json, cut from the demo's own texture catalog.
#include "FuzzSupport.hpp"

#include "catalogs/SpriteManager.hpp"
#include "catalogs/TextureManager.hpp"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::enterWorkdir();
    static TextureManager textures;
    static const bool loaded = textures.load("assets/textures.json");
    (void)loaded;

    SpriteManager sprites(textures);
    sprites.load(fuzz::writeInput(data, size, "sprites.json"));
    sprites.getSprite("black");
    return 0;
}
