#pragma once

#include "scene/DrawTarget.hpp"
#include "scene/SavedContent.hpp"

#include <SFML/Graphics/RenderTexture.hpp>

#include <memory>

class RenderBuffer;

// The shell's scene texture, which render_scene draws onto and the post pass shows. Owned through
// a pointer so that presenting an opaque buffer can swap textures with it instead of copying.
class SceneCanvas
{
public:
    // The demo's picture, which a new buffer also takes.
    static constexpr unsigned Width = 1920;
    static constexpr unsigned Height = 1080;

    SceneCanvas();
    ~SceneCanvas();
    SceneCanvas(const SceneCanvas&) = delete;
    SceneCanvas& operator=(const SceneCanvas&) = delete;

    // Creates the texture; its content then stands for transparent black (cleared when needed).
    bool create(unsigned width, unsigned height);
    // Back to the content of a fresh start: transparent black, lent by no buffer.
    void restart();
    // The buffer whose lent content the texture holds loses it: it becomes unknown.
    void forgetShown();

    // The record and the drawn pixels, for a snapshot of a playing demo. A lent buffer's content
    // is the canvas's: it is kept once, here. Restoring leaves `shown` to the buffers' owner.
    SavedContent save() const;
    void restore(const SavedContent& saved);

    std::unique_ptr<sf::RenderTexture> texture;
    DrawTarget target;
    // The buffer whose content the texture holds (lent to the canvas), or null.
    RenderBuffer* shown = nullptr;
};
