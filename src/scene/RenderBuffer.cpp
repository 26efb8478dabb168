#include "scene/RenderBuffer.hpp"

#include "scene/SceneCanvas.hpp"

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

RenderBuffer::~RenderBuffer()
{
    // The canvas keeps the texture it holds: it is the scene's picture now.
    endLoan();
}

void RenderBuffer::endLoan()
{
    if (lentTo && lentTo->shown == this)
        lentTo->shown = nullptr;
    lentTo = nullptr;
}

RenderBuffer::Saved RenderBuffer::save() const
{
    Saved saved{SceneObject::save(), SavedContent()};
    saved.content.capture(*renderTexture, target);
    return saved;
}

bool RenderBuffer::canRestore(const Saved& saved) const
{
    const bool flipMatches = saved.content.target.displayed || !target.displayed;
    return saved.content.sameSize(renderTexture->getSize()) && flipMatches;
}

void RenderBuffer::restore(const Saved& saved)
{
    SceneObject::restore(saved.object);
    target = saved.content.target;
    if (saved.content.drawn())
        saved.content.writeTo(*renderTexture);
}

bool RenderBuffer::drawsAsCopy(sf::Vector2u size) const
{
    if (!opaque || shader || sprite.getColor().a != 255 || renderTexture->getSize() != size)
        return false;
    const sf::IntRect whole(0, 0, static_cast<int>(size.x), static_cast<int>(size.y));
    return sprite.getTextureRect() == whole && sprite.getPosition() == sf::Vector2f() &&
           sprite.getOrigin() == sf::Vector2f() && sprite.getScale() == sf::Vector2f(1.f, 1.f) &&
           sprite.getRotation() == 0.f;
}

void RenderBuffer::swapTextureWith(SceneCanvas& canvas)
{
    std::swap(renderTexture, canvas.texture);
    std::swap(target.displayed, canvas.target.displayed);
    sprite.setTexture(renderTexture->getTexture(), false);
    canvas.target.content = DrawTarget::Content::Drawn;
    canvas.shown = this;
    target.content = DrawTarget::Content::Lent;
    lentTo = &canvas;
}
