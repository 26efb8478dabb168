#pragma once

#include "scene/SceneObject.hpp"

// A scene object that owns an off-screen render texture: it can be drawn into and drawn.
class RenderBuffer : public SceneObject
{
public:
    // Creates the render texture (no depth or stencil, no antialiasing); a failed creation is
    // not reported and the buffer then shows whatever its texture holds.
    RenderBuffer(std::string name, unsigned width, unsigned height);
};
