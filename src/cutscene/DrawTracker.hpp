#pragma once

#include "scene/DrawTarget.hpp"

#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/RenderTexture.hpp>

class ParticleSystem;
class RenderBuffer;
class SceneCanvas;
class SceneObject;

// Performs the script's drawing commands and keeps track of what every buffer and the scene
// canvas stand for (DrawTarget).
//
// Playing (Mode::Real), it draws what the commands ask and leaves out passes that cannot change a
// pixel: a clear waits until the buffer's pixels are needed and is dropped when an opaque draw
// covers the whole buffer first; presenting an opaque buffer unchanged swaps its texture with the
// canvas's instead of copying it (the buffer lends its content to the canvas and gets it back,
// by a copy, only if it is drawn into without a clear or read before that).
//
// In a dry run (Mode::Dry, the skipped steps of a fast-forward) it draws nothing: a clear makes a
// target's content known, anything drawn into it makes it unknown (Stale). Everything else a
// draw does still happens (uniform tweens reach the shaders, particles pose the shared sprites).
// A real draw that needs stale content sets `failed`: the picture is not what playing shows.
class DrawTracker
{
public:
    enum class Mode
    {
        Real,
        Dry
    };

    void clear(RenderBuffer& buffer);
    void drawObject(RenderBuffer& target, SceneObject& object);
    void drawParticles(RenderBuffer& target, ParticleSystem& system);
    void drawBuffer(RenderBuffer& target, RenderBuffer& source);
    void display(RenderBuffer& buffer);
    // render_scene. A target other than the canvas is drawn on plainly; for the canvas, a swap
    // makes `sceneTarget` its new texture.
    void present(RenderBuffer& buffer, sf::RenderTarget*& sceneTarget);
    // The end of a render: the canvas is made ready for the post pass to read, and displayed.
    void finishCanvas();

    Mode mode = Mode::Real;
    // The shell's scene texture; null when the scene target is not tracked.
    SceneCanvas* canvas = nullptr;
    bool failed = false;

private:
    bool dry() const { return mode == Mode::Dry; }
    // Before a real read: the texture gets the content (a pending clear, lent content back).
    void restore(RenderBuffer& buffer);
    // The same for a texture that is never lent: a pending clear happens, a stale one fails.
    void restoreTarget(sf::RenderTexture& texture, DrawTarget& target);
    // Before a real draw into the target; `covered`: the draw replaces every pixel.
    void prepareInto(RenderBuffer& buffer, bool covered);
    void prepareCanvas(bool covered);
    // A dry draw into the buffer: its content is unknown from now on.
    void forget(RenderBuffer& buffer);
    // The canvas is about to change: a buffer other than `keep` that lent it its content gets
    // it back (dry: loses it).
    void reclaim(const RenderBuffer* keep);
    void presentOnCanvas(RenderBuffer& buffer);
    void copyCanvasInto(RenderBuffer& buffer);
    static void clearNow(sf::RenderTexture& texture, DrawTarget& target);
};
