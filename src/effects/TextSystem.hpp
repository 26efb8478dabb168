#pragma once

#include "effects/TextInstance.hpp"
#include "effects/TextStyle.hpp"

#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/RenderTarget.hpp>

#include <nlohmann/json_fwd.hpp>

#include <memory>
#include <string>
#include <vector>

class ParticleManager;

// A named style of animated text: one font shared by a fixed set of instances.
class TextSystem
{
public:
    // Instances keep the font's address, so a system never moves.
    TextSystem() = default;
    TextSystem(const TextSystem&) = delete;
    TextSystem& operator=(const TextSystem&) = delete;

    // Reads a description, loads its font, looks its particle systems up and makes its instances.
    // False after a missing key or an unloadable font (reported); a value of the wrong JSON type
    // raises the library's type error.
    bool parse(const nlohmann::json& description, ParticleManager& particles);

    // The first idle instance takes the display; when all are busy the request is dropped.
    void display(const std::string& text, float x, float y, float delay, float duration);
    void update(float dt);
    void draw(sf::RenderTarget& target) const;
    // Every instance idle and the font's glyph cache empty, as after parse.
    void restart();

    // The font with its glyph cache as it is now, for restoreFont. The copy is shared with the
    // last one saved while the cache has not changed since: glyphs arrive only with characters
    // not shown before, so most saves cost nothing. `copied` says whether this one made a copy.
    std::shared_ptr<const sf::Font> saveFont(bool& copied);
    void restoreFont(const sf::Font& saved) { font = saved; }

    // The font (see saveFont) and every instance (a snapshot of a playing demo).
    struct Saved
    {
        std::shared_ptr<const sf::Font> font; // shared with other states while its glyphs are the same
        std::vector<TextInstance::Saved> instances;

        std::size_t bytes() const;
    };
    Saved save();
    void restore(const Saved& saved);

    std::vector<std::unique_ptr<TextInstance>> instances;
    sf::Font font;

private:
    // The font as loaded, before any glyph was cached: glyphs are placed in the cache in the order
    // they are first asked for, so a fresh start begins from this one.
    sf::Font loadedFont;
    // The last font saved and what its glyph page looked like then.
    std::shared_ptr<const sf::Font> savedFont;
    std::size_t savedPage = 0;
};
