#pragma once

#include "motion/Tween.hpp"

#include <SFML/Graphics/Rect.hpp>
#include <SFML/Graphics/Shader.hpp>
#include <SFML/Graphics/Sprite.hpp>

#include <string>

// The animatable float properties of a scene object, in the order of its tween slots.
enum class Property
{
    X,
    Y,
    ScaleX,
    ScaleY,
    Rotation,
    Alpha,
    RectX,
    RectY,
    RectW,
    RectH,
    OriginX,
    OriginY,
    Count
};

// What a scene object is, besides its render texture and its animations: plain values that a
// snapshot copies as they are. A field added here is saved and restored with the others.
struct SceneObjectFields
{
    static constexpr int PropertyCount = static_cast<int>(Property::Count);
    static constexpr int UniformSlots = 5;

    struct UniformTween
    {
        std::string name;
        Tween tween;
    };

    std::string name;
    float x = 0.f;
    float y = 0.f;
    float alpha = 1.f;
    float rotation = 0.f;
    float scaleX = 1.f;
    float scaleY = 1.f;
    sf::Sprite sprite;
    sf::Shader* shader = nullptr;
    // Every texel of the texture is known to be opaque (a buffer after clear_buffer, an image
    // without transparency), so that drawing it with full alpha can copy instead of blend.
    bool opaque = false;
    UniformTween uniformTweens[UniformSlots];
    sf::IntRect textureRect;
    float rectX = 0.f;
    float rectY = 0.f;
    float rectW = 0.f;
    float rectH = 0.f;
    float originX = 0.f;
    float originY = 0.f;
    Tween tweens[PropertyCount];
};
