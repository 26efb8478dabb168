// The --check command's parsers: the first byte picks the kind of file, the rest is its text.
// Checks take the text itself, so nothing is written to disk.
#include "check/CatalogChecker.hpp"
#include "check/Diagnostics.hpp"
#include "check/ScriptChecker.hpp"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    Diagnostics diagnostics;
    DemoIndex index;
    index.textures = {"noise", "black"};
    index.sprites = {"black", "star"};
    index.particles = {"glitter"};
    index.music = {"arpeggio"};
    index.texts = {"headline"};
    CatalogChecker catalogs(diagnostics, index);
    switch (data[0] % 10)
    {
    case 0: catalogs.checkConfig("config.json", text); break;
    case 1: catalogs.checkTextures("assets/textures.json", text); break;
    case 2: catalogs.checkSprites("assets/sprites.json", text); break;
    case 3: catalogs.checkShaders("assets/shaders.json", text); break;
    case 4: catalogs.checkMusic("assets/music.json", text); break;
    case 5: catalogs.checkParticles("assets/particles.json", text); break;
    case 6: catalogs.checkParticleFile("assets/particles/p.json", text); break;
    case 7: catalogs.checkTexts("assets/text.json", text); break;
    case 8: catalogs.checkAnimationFile("assets/a.anim.json", text); break;
    default:
    {
        ScriptChecker script(diagnostics, index);
        script.check("assets/demo.script", text);
    }
    }
    std::ostringstream out;
    diagnostics.print(out);
    return 0;
}
