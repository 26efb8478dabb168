#include "scene/SceneObject.hpp"

#include "catalogs/ShaderManager.hpp"
#include "motion/Opacity.hpp"
#include "scene/PassElision.hpp"

#include <SFML/Graphics/RenderStates.hpp>
#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Texture.hpp>

#include <utility>

namespace
{
// The members behind each property, in tween-slot order.
constexpr float SceneObject::*PropertyFields[SceneObject::PropertyCount] = {
    &SceneObject::x,        &SceneObject::y,     &SceneObject::scaleX,  &SceneObject::scaleY,
    &SceneObject::rotation, &SceneObject::alpha, &SceneObject::rectX,   &SceneObject::rectY,
    &SceneObject::rectW,    &SceneObject::rectH, &SceneObject::originX, &SceneObject::originY,
};

// The order in which update() advances the property tweens.
constexpr Property UpdateOrder[SceneObject::PropertyCount] = {
    Property::X,     Property::Y,     Property::Rotation, Property::Alpha, Property::ScaleX,  Property::ScaleY,
    Property::RectX, Property::RectY, Property::RectW,    Property::RectH, Property::OriginX, Property::OriginY,
};

int slotOf(Property property)
{
    return static_cast<int>(property);
}

// Truncation toward zero; a value an int cannot hold (or NaN) gives 0 instead of undefined behaviour.
int truncateToInt(float value)
{
    if (!(value >= -2147483648.f && value < 2147483648.f))
        return 0;
    return static_cast<int>(value);
}
} // namespace

SceneObject::SceneObject(std::string name, const sf::Texture* texture, float originX, float originY, float rectX,
                         float rectY, float rectW, float rectH)
{
    this->name = std::move(name);
    const bool wholeTexture = rectW == 0.f;
    if (wholeTexture && texture)
    {
        this->rectW = static_cast<float>(texture->getSize().x);
        this->rectH = static_cast<float>(texture->getSize().y);
    }
    if (texture)
        sprite.setTexture(*texture, false);
    this->originX = originX;
    this->originY = originY;
    if (!wholeTexture)
    {
        this->rectX = rectX;
        this->rectY = rectY;
        this->rectW = rectW;
        this->rectH = rectH;
    }
}

SceneObject::SceneObject(std::string name, std::unique_ptr<sf::RenderTexture> renderTexture)
    : renderTexture(std::move(renderTexture))
{
    this->name = std::move(name);
    sprite.setTexture(this->renderTexture->getTexture(), false);
    rectW = static_cast<float>(this->renderTexture->getSize().x);
    rectH = static_cast<float>(this->renderTexture->getSize().y);
}

void SceneObject::update(float dt)
{
    for (Property property : UpdateOrder)
    {
        Tween& slot = tweens[slotOf(property)];
        if (!slot.running)
            continue;
        slot.elapsed += dt;
        field(property) = slot.evaluate();
    }
    // Uniform tweens are only evaluated when drawn, so that the shader gets the value of the draw.
    for (UniformTween& uniform : uniformTweens)
    {
        if (uniform.tween.running)
            uniform.tween.elapsed += dt;
    }
    animator.update(dt);
    if (animator.playing)
        textureRect = animator.frameRect();
    else
        textureRect =
            sf::IntRect(truncateToInt(rectX), truncateToInt(rectY), truncateToInt(rectW), truncateToInt(rectH));
    if (alpha > 1.f)
        alpha = 1.f;

    sprite.setOrigin(originX, originY);
    sprite.setPosition(x, y);
    sprite.setColor(sf::Color(255, 255, 255, opacityToAlpha(alpha)));
    sprite.setRotation(rotation);
    sprite.setScale(scaleX, scaleY);
    sprite.setTextureRect(textureRect);
}

void SceneObject::draw(sf::RenderTarget& target)
{
    if (!shader)
    {
        target.draw(sprite, PassElision::states(opaque, sprite));
        return;
    }
    applyUniforms();
    target.draw(sprite, sf::RenderStates(shader));
}

void SceneObject::applyUniforms()
{
    if (!shader)
        return;
    for (UniformTween& uniform : uniformTweens)
    {
        if (uniform.tween.running)
            shader->setUniform(uniform.name, uniform.tween.evaluate());
    }
}

bool SceneObject::coversOpaquely(sf::Vector2u size) const
{
    if (!opaque || shader || !sprite.getTexture() || sprite.getColor().a != 255 || sprite.getRotation() != 0.f)
        return false;
    // Axis-aligned, so the bounds are the drawn quad; every pixel centre of the target lies inside.
    const sf::FloatRect bounds = sprite.getGlobalBounds();
    return bounds.left <= 0.f && bounds.top <= 0.f && bounds.left + bounds.width >= static_cast<float>(size.x) &&
           bounds.top + bounds.height >= static_cast<float>(size.y);
}

float SceneObject::get(Property property) const
{
    return this->*PropertyFields[slotOf(property)];
}

void SceneObject::set(Property property, float value)
{
    field(property) = value;
}

void SceneObject::startTween(Property property, float target, float duration, EasingType easing, std::int32_t loops,
                             bool yoyo, std::int32_t yoyoEasing)
{
    // A running tween is replaced; the property keeps the value it has reached as the new start.
    tweens[slotOf(property)].start(get(property), target, duration, easing, loops, yoyo, yoyoEasing);
}

const Tween& SceneObject::tween(Property property) const
{
    return tweens[slotOf(property)];
}

void SceneObject::setUniform(const std::string& uniformName, float value)
{
    if (shader)
        shader->setUniform(uniformName, value);
}

void SceneObject::startUniformTween(const std::string& uniformName, float from, float to, float duration,
                                    EasingType easing, std::int32_t loops, bool yoyo, std::int32_t yoyoEasing)
{
    for (UniformTween& uniform : uniformTweens)
    {
        if (uniform.tween.running)
            continue;
        uniform.name = uniformName;
        uniform.tween.start(from, to, duration, easing, loops, yoyo, yoyoEasing);
        return;
    }
    // All slots busy: the request is dropped without a report.
}

void SceneObject::setShader(const std::string& key)
{
    // The catalog reports an unknown key itself; the object then draws without shader.
    shader = ShaderManager::instance().getShader(key);
}

void SceneObject::loadAnimations(const std::string& path)
{
    animations.loadFromFile(path);
    animator.attach(&animations);
}

void SceneObject::playAnimation(const std::string& animationName)
{
    animator.play(animationName);
}

float& SceneObject::field(Property property)
{
    return this->*PropertyFields[slotOf(property)];
}

namespace
{
// A copy of `from`'s animations in `to`, and `toAnimator` at `fromAnimator`'s place in the copy.
// With `own`, the animator plays the collection it is copied with.
void copyAnimations(const AnimationCollection& from, const Animator& fromAnimator, bool own, AnimationCollection& to,
                    Animator& toAnimator)
{
    to.animations.clear();
    for (const auto& entry : from.animations)
    {
        auto copy = std::make_unique<Animation>();
        copy->name = entry.second->name;
        copy->loop = entry.second->loop;
        for (const auto& frame : entry.second->frames)
            copy->frames.push_back(std::make_unique<AnimationFrame>(*frame));
        to.animations[entry.first] = std::move(copy);
    }
    // The animator points into the collection: the copy points into the copy.
    toAnimator = fromAnimator;
    if (own)
        toAnimator.collection = &to;
    toAnimator.animation = nullptr;
    toAnimator.frame = nullptr;
    if (fromAnimator.animation)
    {
        for (const auto& entry : from.animations)
        {
            if (entry.second.get() != fromAnimator.animation)
                continue;
            toAnimator.animation = to.animations[entry.first].get();
            for (std::size_t i = 0; i < fromAnimator.animation->frames.size(); ++i)
                if (fromAnimator.animation->frames[i].get() == fromAnimator.frame)
                    toAnimator.frame = toAnimator.animation->frames[i].get();
        }
    }
}
} // namespace

std::size_t SceneObject::Saved::bytes() const
{
    // The object's own size with room for its strings and animations; the heap's growth while a
    // snapshot is taken counts the rest.
    return sizeof(Saved) + 256;
}

SceneObject::Saved SceneObject::save() const
{
    Saved saved;
    saved.fields = *this;
    saved.ownAnimations = animator.collection == &animations;
    copyAnimations(animations, animator, false, saved.animations, saved.animator);
    if (saved.ownAnimations)
        saved.animator.collection = nullptr;
    return saved;
}

void SceneObject::restore(const Saved& saved)
{
    static_cast<SceneObjectFields&>(*this) = saved.fields;
    // A buffer's sprite shows its own render texture, whatever the saved sprite showed.
    if (renderTexture)
        sprite.setTexture(renderTexture->getTexture(), false);
    copyAnimations(saved.animations, saved.animator, saved.ownAnimations, animations, animator);
}
