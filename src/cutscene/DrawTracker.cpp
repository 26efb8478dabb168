#include "cutscene/DrawTracker.hpp"

#include "effects/ParticleSystem.hpp"
#include "scene/PassElision.hpp"
#include "scene/RenderBuffer.hpp"
#include "scene/SceneCanvas.hpp"

#include <SFML/Graphics/Sprite.hpp>

namespace
{
using Content = DrawTarget::Content;

const sf::Color ClearColour(0, 0, 0, 255);
} // namespace

void DrawTracker::clearNow(sf::RenderTexture& texture, DrawTarget& target)
{
    texture.clear(target.clearColour);
    target.content = Content::Drawn;
}

void DrawTracker::clear(RenderBuffer& buffer)
{
    // Blending onto an opaque picture keeps it opaque, whatever is drawn into it later.
    buffer.opaque = true;
    buffer.endLoan();
    buffer.target.clearColour = ClearColour;
    buffer.target.content = Content::Cleared;
    if (!dry() && !PassElision::enabled)
        clearNow(*buffer.renderTexture, buffer.target);
}

void DrawTracker::drawObject(RenderBuffer& target, SceneObject& object)
{
    if (dry())
    {
        object.applyUniforms();
        forget(target);
        return;
    }
    prepareInto(target, object.coversOpaquely(target.renderTexture->getSize()));
    object.draw(*target.renderTexture);
}

void DrawTracker::drawParticles(RenderBuffer& target, ParticleSystem& system)
{
    if (dry())
    {
        system.pose();
        forget(target);
        return;
    }
    prepareInto(target, false);
    system.draw(*target.renderTexture);
}

void DrawTracker::drawBuffer(RenderBuffer& target, RenderBuffer& source)
{
    if (dry())
    {
        source.applyUniforms();
        forget(target);
        return;
    }
    restore(source);
    prepareInto(target, source.coversOpaquely(target.renderTexture->getSize()));
    source.draw(*target.renderTexture);
}

void DrawTracker::display(RenderBuffer& buffer)
{
    // Only finishes the texture (and makes SFML show it the right way up): never a pixel.
    buffer.renderTexture->display();
    buffer.target.displayed = true;
}

void DrawTracker::present(RenderBuffer& buffer, sf::RenderTarget*& sceneTarget)
{
    if (canvas && sceneTarget == canvas->texture.get())
    {
        presentOnCanvas(buffer);
        sceneTarget = canvas->texture.get();
        return;
    }
    if (dry())
    {
        buffer.applyUniforms();
        return;
    }
    restore(buffer);
    buffer.draw(*sceneTarget);
}

void DrawTracker::presentOnCanvas(RenderBuffer& buffer)
{
    SceneCanvas& scene = *canvas;
    const bool copy = PassElision::enabled && buffer.drawsAsCopy(scene.texture->getSize());
    // Drawing the buffer's own content over itself changes nothing.
    if (copy && scene.shown == &buffer)
        return;
    const Content content = buffer.target.content;
    if (copy && content == Content::Drawn && buffer.target.displayed && scene.target.displayed)
    {
        reclaim(&buffer);
        buffer.swapTextureWith(scene);
        return;
    }
    if (copy && content == Content::Cleared)
    {
        reclaim(nullptr);
        scene.target.content = Content::Cleared;
        scene.target.clearColour = buffer.target.clearColour;
        return;
    }
    if (dry())
    {
        buffer.applyUniforms();
        reclaim(nullptr);
        scene.target.content = Content::Stale;
        return;
    }
    restore(buffer);
    reclaim(nullptr);
    prepareCanvas(buffer.coversOpaquely(scene.texture->getSize()));
    buffer.draw(*scene.texture);
}

void DrawTracker::finishCanvas()
{
    if (!canvas)
        return;
    if (!dry() && canvas->target.content == Content::Cleared)
        clearNow(*canvas->texture, canvas->target);
    canvas->texture->display();
    canvas->target.displayed = true;
}

void DrawTracker::restore(RenderBuffer& buffer)
{
    if (buffer.target.content == Content::Lent)
        copyCanvasInto(buffer);
    else
        restoreTarget(*buffer.renderTexture, buffer.target);
}

void DrawTracker::restoreTarget(sf::RenderTexture& texture, DrawTarget& target)
{
    switch (target.content)
    {
    case Content::Drawn:
    case Content::Lent: return;
    case Content::Cleared: clearNow(texture, target); return;
    case Content::Stale:
        failed = true;
        target.content = Content::Drawn;
        return;
    }
}

void DrawTracker::prepareInto(RenderBuffer& buffer, bool covered)
{
    if (covered && PassElision::enabled)
    {
        // Whatever the texture held is replaced: no clear, no copy back.
        buffer.endLoan();
        buffer.target.content = Content::Drawn;
        return;
    }
    restore(buffer);
}

void DrawTracker::prepareCanvas(bool covered)
{
    // Covered by an opaque draw, whatever the canvas held is replaced.
    if (!covered || !PassElision::enabled)
        restoreTarget(*canvas->texture, canvas->target);
    canvas->target.content = Content::Drawn;
}

void DrawTracker::forget(RenderBuffer& buffer)
{
    buffer.endLoan();
    buffer.target.content = Content::Stale;
}

void DrawTracker::reclaim(const RenderBuffer* keep)
{
    RenderBuffer* lender = canvas->shown;
    if (!lender || lender == keep)
        return;
    if (dry())
        canvas->forgetShown();
    else
        copyCanvasInto(*lender);
}

void DrawTracker::copyCanvasInto(RenderBuffer& buffer)
{
    // Only a lent buffer comes here, and a canvas takes a loan only once it has been displayed.
    sf::Sprite picture(buffer.lentTo->texture->getTexture());
    buffer.renderTexture->draw(picture, sf::RenderStates(sf::BlendNone));
    buffer.endLoan();
    buffer.target.content = Content::Drawn;
}
