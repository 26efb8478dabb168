#include "scene/RenderBuffer.hpp"

#include <SFML/Window/ContextSettings.hpp>

#include <utility>

namespace
{
std::unique_ptr<sf::RenderTexture> createRenderTexture(unsigned width, unsigned height)
{
    auto texture = std::make_unique<sf::RenderTexture>();
    // No depth or stencil buffer, no antialiasing, GL 1.1, no sRGB. A failed creation leaves an
    // empty texture; the buffer still exists and draws nothing.
    texture->create(width, height, sf::ContextSettings(0, 0, 0, 1, 1, sf::ContextSettings::Default, false));
    return texture;
}
} // namespace

RenderBuffer::RenderBuffer(std::string name, unsigned width, unsigned height)
    : SceneObject(std::move(name), createRenderTexture(width, height))
{}
