#pragma once

#include <SFML/Graphics/Color.hpp>

// What a render texture of the scene (a buffer or the scene canvas) holds, compared with what
// playing would have drawn into it by now. A fast-forward skips drawing and a clear waits until
// its pixels are needed; this record says what the texture's pixels stand for meanwhile.
struct DrawTarget
{
    enum class Content
    {
        Drawn,   // the texture holds it
        Cleared, // it is all `clearColour`; the clear itself is still to be done
        Stale,   // unknown: drawing into it was skipped
        Lent     // (buffers) it is in the scene canvas's texture, swapped there by a present
    };

    Content content = Content::Cleared;
    // A new texture stands for transparent black, whatever the driver gave it.
    sf::Color clearColour = sf::Color::Transparent;
    // The texture has been displayed once: from then on SFML draws it the right way up.
    bool displayed = false;
};
