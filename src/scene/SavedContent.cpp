#include "scene/SavedContent.hpp"

#include <SFML/Graphics/RenderStates.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <SFML/Graphics/View.hpp>

void SavedContent::capture(const sf::RenderTexture& texture, const DrawTarget& record)
{
    target = record;
    width = texture.getSize().x;
    height = texture.getSize().y;
    pixels = sf::Image();
    // A texture that was never displayed is read as it lies in memory: the copy keeps its rows
    // in that order too (writeTo).
    if (drawn())
        pixels = texture.getTexture().copyToImage();
}

void SavedContent::writeTo(sf::RenderTexture& texture) const
{
    // One staging texture for every write: uploading into it costs far less than making one.
    static sf::Texture staging;
    const sf::Vector2u size = pixels.getSize();
    if (staging.getSize() != size)
        staging.create(size.x, size.y);
    staging.update(pixels);
    sf::Sprite picture(staging);
    if (!target.displayed)
    {
        picture.setScale(1.f, -1.f);
        picture.setPosition(0.f, static_cast<float>(size.y));
    }
    const sf::View view = texture.getView();
    texture.setView(texture.getDefaultView());
    texture.draw(picture, sf::RenderStates(sf::BlendNone));
    texture.setView(view);
    if (target.displayed)
        texture.display();
}
