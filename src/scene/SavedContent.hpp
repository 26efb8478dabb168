#pragma once

#include "scene/DrawTarget.hpp"

#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/RenderTexture.hpp>

#include <cstddef>

// What a render texture of the scene (a buffer or the scene canvas) holds, kept by a snapshot:
// its record, its size, and its pixels where the record says they are drawn.
class SavedContent
{
public:
    // Takes the texture's record and size, and its pixels when it holds drawn content.
    void capture(const sf::RenderTexture& texture, const DrawTarget& record);
    // Draws the kept pixels into the texture, rows in the order they were read.
    void writeTo(sf::RenderTexture& texture) const;

    bool drawn() const { return target.content == DrawTarget::Content::Drawn; }
    // Drawing into the texture was skipped: its content is unknown.
    bool stale() const { return target.content == DrawTarget::Content::Stale; }
    bool sameSize(sf::Vector2u size) const { return size.x == width && size.y == height; }
    // The pixels' bytes (0 when none are kept).
    std::size_t bytes() const { return drawn() ? std::size_t(4) * width * height : 0; }

    DrawTarget target;
    unsigned width = 0;
    unsigned height = 0;
    sf::Image pixels; // empty unless the content is drawn
};
