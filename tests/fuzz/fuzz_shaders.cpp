// The shader catalog: any bytes as shaders.json; entries may name the demo's real fragment
// files and textures, so compiled shaders get their uniforms set.
#include "FuzzSupport.hpp"

#include "catalogs/ShaderManager.hpp"
#include "catalogs/TextureManager.hpp"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::enterWorkdir();
    static TextureManager textures;
    static const bool loaded = textures.load("assets/textures.json");
    (void)loaded;

    ShaderManager shaders(textures);
    shaders.load(fuzz::writeInput(data, size, "shaders.json"));
    shaders.getShader("pulse");
    return 0;
}
