#pragma once

#include <SFML/Graphics/RenderStates.hpp>
#include <SFML/Graphics/Sprite.hpp>

// Draws that cannot change a pixel are left out, and blending that cannot change one is turned
// off, which saves whole full-screen passes of the software renderer. Every frame stays
// byte-identical; --draw-all turns the elisions off so that this can be checked.
class PassElision
{
public:
    static bool enabled;

    // An overlay drawn with alpha 0 blends to exactly the pixels under it.
    static bool skipsOverlay(sf::Uint8 alpha) { return enabled && alpha == 0; }

    // Alpha blending onto transparent black, without reading the target: the pixels a clear to
    // (0, 0, 0, 0) and then a draw with the default blending give. A draw that covers the whole
    // target with it needs no clear before it.
    static const sf::BlendMode OntoCleared;

    // A fully opaque texture drawn with full alpha and no shader replaces what is under it, so
    // blending gives the same pixels as copying.
    static sf::RenderStates states(bool opaqueTexture, const sf::Sprite& sprite)
    {
        if (enabled && opaqueTexture && sprite.getColor().a == 255)
            return sf::RenderStates(sf::BlendNone);
        return sf::RenderStates::Default;
    }
};
