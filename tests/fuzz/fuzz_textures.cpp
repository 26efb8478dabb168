// The texture catalog: any bytes as textures.json into a fresh catalog; entries may name the
// demo's real images under assets/.
#include "FuzzSupport.hpp"

#include "catalogs/TextureManager.hpp"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::enterWorkdir();
    TextureManager textures;
    textures.load(fuzz::writeInput(data, size, "textures.json"));
    textures.getTexture("noise");
    return 0;
}
