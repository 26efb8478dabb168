#pragma once

#include "catalogs/SpriteManager.hpp"
#include "catalogs/TextureManager.hpp"
#include "effects/ParticleManager.hpp"

#include <SFML/Graphics/RenderTexture.hpp>

#include <cstddef>
#include <cstdint>
#include <string>

// Shared by the fuzz targets: every loader reads a file by path, relative paths inside the
// files name the demo's own assets, and the graphics and audio libraries need a quiet setup.
namespace fuzz
{
// Once per process: a private copy of the demo's assets/ in a fresh folder under /dev/shm, made
// the current directory, with OpenAL on its silent driver. The folder goes at exit.
void enterWorkdir();

// Writes one input to <workdir>/<name> and returns that path.
std::string writeInput(const std::uint8_t* data, std::size_t size, const char* name);

// The demo's own textures, sprites and particle systems, loaded once, and a small target to
// draw into: what the particle and text targets run their inputs against.
struct DemoStage
{
    DemoStage();

    TextureManager textures;
    SpriteManager sprites;
    ParticleManager particles;
    sf::RenderTexture target;
};

// The stage, built on first use (after enterWorkdir) and kept for the whole run.
DemoStage& demoStage();
} // namespace fuzz
