#pragma once

#include "effects/TextLetter.hpp"
#include "effects/TextStyle.hpp"

#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Text.hpp>

#include <cstddef>
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

    // What changes while the instance shows text (its font and style are its system's): a
    // snapshot of a playing demo keeps it.
    struct Saved
    {
        sf::Text layoutText;
        std::string text;
        std::vector<TextLetter> letters;
        float remaining = 0.f;
        bool busy = false;
        float delay = 0.f;
        float x = 0.f;
        float y = 0.f;

        std::size_t bytes() const { return sizeof(TextInstance) + letters.size() * sizeof(TextLetter); }
    };
    Saved save() const;
    void restore(const Saved& saved);

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
