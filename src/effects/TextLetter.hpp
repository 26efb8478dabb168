#pragma once

#include "effects/TextStyle.hpp"
#include "motion/Tween.hpp"

#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Text.hpp>
#include <SFML/System/String.hpp>
#include <SFML/System/Vector2.hpp>

#include <cstdint>

class ParticleSystem;

// One animated character of a displayed string: it waits its start delay, fades and moves in,
// stays, and may move and fade out, bursting particles at its start and before its end.
class TextLetter
{
public:
    // position: where the layout put the character; originY: half the height of the whole string.
    TextLetter(sf::Uint32 character, const sf::Font& font, const TextStyle& style, sf::Vector2f position, float originY,
               float startDelay, float life);

    void update(float dt);
    void draw(sf::RenderTarget& target) const;

    sf::Uint32 character;
    sf::Text glyph;
    Tween fadeInTween, fadeOutTween;
    float x, y;
    bool alive = true;
    float timer;
    float fade_duration;
    float tween_duration_out;
    bool fade_in, fade_out;
    float alpha = 0.f;
    float delay;
    float scale = 1.f;
    float rotation = 0.f;
    std::int32_t fillR, fillG, fillB;
    std::int32_t outlineR, outlineG, outlineB;
    std::int32_t outlineWidth;
    ParticleSystem* particles_in;
    ParticleSystem* particles_out;
    std::int32_t num_particles_in;
    std::int32_t num_particles_out;
    float particles_duration_out;
    Tween xIn, yIn, xOut, yOut, scaleIn, scaleOut, rotationIn, rotationOut;

private:
    void reserveGeometry();
    void startExit();
    void stepTweens(float dt);
    void applyToGlyph();
    // Emits every particle still owed by a burst, each at its own random point of the glyph.
    void burst(ParticleSystem* system, std::int32_t& count);
    sf::Vector2f burstPoint() const;
};
