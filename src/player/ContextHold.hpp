#pragma once

#include <SFML/Window/GlResource.hpp>

// SFML creates and frees a small per-thread record each time it needs a GL context outside a
// draw (every shader uniform that is set, for example), so the frame loop would allocate in every
// step. Holding one reference for the whole run keeps that record alive. Create it while a
// context is active on the thread: otherwise SFML would hold its shared context for it.
class ContextHold : private sf::GlResource
{
private:
    TransientContextLock lock;
};
