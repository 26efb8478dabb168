#pragma once

#include "scene/DrawTarget.hpp"
#include "scene/SavedContent.hpp"
#include "scene/SceneObject.hpp"

class SceneCanvas;

// A scene object that owns an off-screen render texture: it can be drawn into and drawn.
class RenderBuffer : public SceneObject
{
public:
    // Creates the render texture (no depth or stencil, no antialiasing); a failed creation is
    // not reported and the buffer then shows whatever its texture holds.
    RenderBuffer(std::string name, unsigned width, unsigned height);
    ~RenderBuffer();
    RenderBuffer(const RenderBuffer&) = delete;
    RenderBuffer& operator=(const RenderBuffer&) = delete;

    // True when drawing the buffer onto a target of `size` gives exactly its texture: the whole
    // opaque texture, untransformed, at full alpha, without shader, and the same size.
    bool drawsAsCopy(sf::Vector2u size) const;

    // Gives the texture to the canvas and takes the canvas's: the canvas then shows exactly this
    // buffer's content, which the buffer has lent it (Content::Lent).
    void swapTextureWith(SceneCanvas& canvas);
    // Takes the content back from the canvas's keeping: the canvas no longer shows this buffer.
    void endLoan();

    // The object's state with its content: a snapshot of a playing demo keeps its buffers this way.
    struct Saved
    {
        SceneObject::Saved object;
        SavedContent content;

        // Its content was lent to the canvas: the canvas's saved content holds it.
        bool lent() const { return content.target.content == DrawTarget::Content::Lent; }
        std::size_t bytes() const { return object.bytes() + content.bytes(); }
    };
    Saved save() const;
    // True when restore can keep this buffer's texture: the same size, and not displayed where the
    // saved one was not (a texture once displayed stays the right way up).
    bool canRestore(const Saved& saved) const;
    // Puts the state and the content back; the loan, if any, is the canvas owner's to make again.
    void restore(const Saved& saved);

    DrawTarget target;
    // The canvas holding this buffer's content while it is lent; null otherwise.
    SceneCanvas* lentTo = nullptr;
};
