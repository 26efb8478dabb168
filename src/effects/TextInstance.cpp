#include "effects/TextInstance.hpp"

#include <SFML/System/String.hpp>

namespace
{
constexpr float UseStyleDuration = -1.f;
constexpr sf::Uint32 Space = 32;
constexpr float LayoutLetterSpacing = 2.f;
} // namespace

TextInstance::TextInstance(const sf::Font& font, const TextStyle& style) : font(&font), delay(style.delay), style(style)
{}

void TextInstance::display(const std::string& text, float x, float y, float delay, float duration)
{
    remaining = duration != UseStyleDuration ? duration : style.duration;
    this->delay = delay;
    this->x = x;
    this->y = y;
    this->text = text;

    // Letters and layout walk the same decoded string, so a multi-byte character is one letter
    // at its own place.
    const sf::String characters = sf::String::fromUtf8(text.begin(), text.end());
    layoutText.setFont(*font);
    layoutText.setCharacterSize(style.characterSize);
    layoutText.setString(characters);
    layoutText.setLetterSpacing(LayoutLetterSpacing);
    layoutText.setPosition(x, y);
    const float originY = 0.5f * layoutText.getLocalBounds().height;

    letters.clear();
    letters.reserve(characters.getSize());
    float t = remaining;
    float spaces = 0.f;
    for (std::size_t i = 0; i < characters.getSize(); ++i)
    {
        t += style.letterdelay;
        if (characters[i] == Space)
        {
            t += style.worddelay;
            spaces += 1.f;
            continue;
        }
        const float startDelay = spaces * style.worddelay + static_cast<float>(i) * style.letterdelay;
        letters.emplace_back(characters[i], *font, style, layoutText.findCharacterPos(i), originY, startDelay,
                             remaining);
    }
    remaining = t;
    busy = true;
}

void TextInstance::update(float dt)
{
    if (!busy)
        return;
    if (delay > 0.f)
    {
        delay -= dt;
        return;
    }
    for (TextLetter& letter : letters)
        letter.update(dt);
    remaining -= dt;
    if (remaining < 0.f)
        busy = false;
}

void TextInstance::draw(sf::RenderTarget& target) const
{
    if (delay > 0.f && !busy)
        return;
    // A finished display stays drawn in its last state until the instance is reused.
    for (const TextLetter& letter : letters)
        letter.draw(target);
}

void TextInstance::restart()
{
    layoutText = sf::Text();
    text.clear();
    letters.clear();
    remaining = 0.f;
    busy = false;
    delay = style.delay;
    x = 0.f;
    y = 0.f;
}

TextInstance::Saved TextInstance::save() const
{
    return Saved{layoutText, text, letters, remaining, busy, delay, x, y};
}

void TextInstance::restore(const Saved& saved)
{
    layoutText = saved.layoutText;
    text = saved.text;
    letters = saved.letters;
    remaining = saved.remaining;
    busy = saved.busy;
    delay = saved.delay;
    x = saved.x;
    y = saved.y;
}
