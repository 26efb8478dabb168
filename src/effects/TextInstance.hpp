#pragma once

#include "effects/TextLetter.hpp"
#include "effects/TextStyle.hpp"

#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Text.hpp>

#include <string>
#include <vector>

// One slot of a text system: shows one string at a time as a row of separately animated letters.
class TextInstance
{
public:
    TextInstance(const sf::Font& font, const TextStyle& style);

    // Lays text (UTF-8) out at (x, y) and makes its letters. duration -1 takes the style's
    // duration; only a positive delay holds the display back.
    void display(const std::string& text, float x, float y, float delay, float duration);
    void update(float dt);
    void draw(sf::RenderTarget& target) const;
    // Idle with no letters, as made.
    void restart();

    const sf::Font* font;
    sf::Text layoutText;
    std::string text;
    std::vector<TextLetter> letters;
    float remaining = 0.f;
    bool busy = false;
    float delay;
    TextStyle style;
    float x = 0.f;
    float y = 0.f;
};
