#include "scene/SceneCanvas.hpp"

#include "scene/RenderBuffer.hpp"

#include <SFML/Window/ContextSettings.hpp>

SceneCanvas::SceneCanvas() : texture(std::make_unique<sf::RenderTexture>()) {}

SceneCanvas::~SceneCanvas()
{
    forgetShown();
}

bool SceneCanvas::create(unsigned width, unsigned height)
{
    const bool created = texture->create(width, height, sf::ContextSettings());
    restart();
    return created;
}

void SceneCanvas::restart()
{
    forgetShown();
    target.content = DrawTarget::Content::Cleared;
    target.clearColour = sf::Color::Transparent;
}

void SceneCanvas::forgetShown()
{
    if (!shown)
        return;
    shown->target.content = DrawTarget::Content::Stale;
    shown->lentTo = nullptr;
    shown = nullptr;
}

SavedContent SceneCanvas::save() const
{
    SavedContent saved;
    saved.capture(*texture, target);
    return saved;
}

void SceneCanvas::restore(const SavedContent& saved)
{
    target = saved.target;
    if (saved.drawn())
        saved.writeTo(*texture);
}
