#include "effects/TextLetter.hpp"

#include "effects/ParticleSystem.hpp"
#include "effects/Random.hpp"
#include "motion/Opacity.hpp"
#include "scene/PassElision.hpp"

namespace
{
sf::Uint8 low8(std::int32_t component)
{
    return static_cast<sf::Uint8>(component & 0xFF);
}

// Starts a tween's values but leaves it stopped until its moment comes.
void prepareStopped(Tween& tween, float from, float to, float duration, EasingType easing)
{
    tween.start(from, to, duration, easing);
    tween.running = false;
}

void step(Tween& tween, float dt, float& property)
{
    if (!tween.running)
        return;
    tween.elapsed += dt;
    property = tween.evaluate();
}
} // namespace

TextLetter::TextLetter(sf::Uint32 character, const sf::Font& font, const TextStyle& style, sf::Vector2f position,
                       float originY, float startDelay, float life)
    : character(character), x(position.x), y(position.y), timer(life), fade_duration(style.fade_duration),
      tween_duration_out(style.tween_duration_out), fade_in(style.fade_in), fade_out(style.fade_out), delay(startDelay),
      fillR(style.fillR), fillG(style.fillG), fillB(style.fillB), outlineR(style.outlineR), outlineG(style.outlineG),
      outlineB(style.outlineB), outlineWidth(style.outlineWidth), particles_in(style.particles_in),
      particles_out(style.particles_out), num_particles_in(style.num_particles_in),
      num_particles_out(style.num_particles_out), particles_duration_out(style.particles_duration_out)
{
    glyph.setFont(font);
    glyph.setCharacterSize(style.characterSize);
    glyph.setString(sf::String(character));
    glyph.setOrigin(0.f, originY);
    glyph.setPosition(position);
    // Outline, rotation and scale wait for the first active update; until then the letter is invisible.
    glyph.setFillColor(sf::Color(low8(fillR), low8(fillG), low8(fillB), 0));
    reserveGeometry();

    // The fade-in runs whatever "fade_in" says, so that the letters of every style appear gently.
    fadeInTween.start(0.f, 1.f, fade_duration, Easing::OutSine);
    prepareStopped(fadeOutTween, 1.f, 0.f, fade_duration, Easing::OutSine);

    xIn.start(position.x + style.x_in, position.x, style.tween_duration_in, style.ease_in);
    yIn.start(position.y + style.y_in, position.y, style.tween_duration_in, style.ease_in);
    scaleIn.start(1.f + style.scale_in, 1.f, style.tween_duration_in, style.ease_in);
    rotationIn.start(style.rotate_in, 0.f, style.tween_duration_in, style.ease_in);

    prepareStopped(xOut, position.x, position.x + style.x_out, tween_duration_out, style.ease_out);
    prepareStopped(yOut, position.y, position.y + style.y_out, tween_duration_out, style.ease_out);
    prepareStopped(scaleOut, 1.f, 1.f + style.scale_out, tween_duration_out, style.ease_out);
    prepareStopped(rotationOut, 0.f, style.rotate_out, tween_duration_out, style.ease_out);
}

void TextLetter::reserveGeometry()
{
    // Builds the glyph's vertices once with the outline it will get, so that the font caches the
    // outlined glyph and the vertex arrays keep their size: steps and draws then never allocate.
    if (outlineWidth != 0)
    {
        glyph.setOutlineThickness(static_cast<float>(outlineWidth));
        static_cast<void>(glyph.getLocalBounds());
        glyph.setOutlineThickness(0.f);
    }
    static_cast<void>(glyph.getLocalBounds());
}

void TextLetter::update(float dt)
{
    if (!alive)
        return;
    if (delay > 0.f)
    {
        delay -= dt;
        return;
    }
    timer -= dt;

    // Exit tweens and the fade-out keep their elapsed time: once finished they end again at once.
    if (tween_duration_out > 0.f && !xOut.running && timer <= tween_duration_out)
        startExit();
    if (fade_out && !fadeOutTween.running && timer <= fade_duration)
        fadeOutTween.running = true;
    if (timer <= particles_duration_out)
        burst(particles_out, num_particles_out);
    if (timer <= 0.f)
        alive = false;

    stepTweens(dt);
    applyToGlyph();
    burst(particles_in, num_particles_in);
}

void TextLetter::startExit()
{
    xOut.running = true;
    yOut.running = true;
    rotationOut.running = true;
    scaleOut.running = true;
}

void TextLetter::stepTweens(float dt)
{
    // Where two tweens of one property run together, the later one here decides.
    step(fadeInTween, dt, alpha);
    step(fadeOutTween, dt, alpha);
    step(xIn, dt, x);
    step(xOut, dt, x);
    step(yIn, dt, y);
    step(yOut, dt, y);
    step(scaleIn, dt, scale);
    step(scaleOut, dt, scale);
    step(rotationIn, dt, rotation);
    step(rotationOut, dt, rotation);
}

void TextLetter::applyToGlyph()
{
    const sf::Uint8 a = opacityToAlpha(alpha);
    glyph.setPosition(x, y);
    glyph.setRotation(rotation);
    glyph.setScale(scale, scale);
    glyph.setFillColor(sf::Color(low8(fillR), low8(fillG), low8(fillB), a));
    glyph.setOutlineThickness(static_cast<float>(outlineWidth));
    glyph.setOutlineColor(sf::Color(low8(outlineR), low8(outlineG), low8(outlineB), a));
}

void TextLetter::burst(ParticleSystem* system, std::int32_t& count)
{
    if (!system)
        return;
    while (count > 0)
    {
        --count;
        const sf::Vector2f point = burstPoint();
        system->spawnAt(point.x, point.y);
    }
}

sf::Vector2f TextLetter::burstPoint() const
{
    const sf::Vector2f origin = glyph.getOrigin();
    const sf::FloatRect bounds = glyph.getLocalBounds();
    const float max = static_cast<float>(Random::Max);
    const float r1 = static_cast<float>(Random::next());
    const float r2 = static_cast<float>(Random::next());
    return sf::Vector2f(x - origin.x + (r1 / max) * bounds.width, y - origin.y + (r2 / max) * bounds.height);
}

void TextLetter::draw(sf::RenderTarget& target) const
{
    // A letter that has not appeared yet, or has faded out, blends to exactly the pixels under it.
    const bool outlined = glyph.getOutlineThickness() != 0.f && glyph.getOutlineColor().a != 0;
    if (PassElision::skipsOverlay(glyph.getFillColor().a) && !outlined)
        return;
    target.draw(glyph);
}
