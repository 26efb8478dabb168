#pragma once

#include "scene/AnimationCollection.hpp"
#include "scene/Animator.hpp"
#include "scene/SceneObjectFields.hpp"

#include <SFML/Graphics/Rect.hpp>
#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/Graphics/Shader.hpp>
#include <SFML/Graphics/Sprite.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// One drawable thing of the cutscene: a sprite with tweenable properties, an optional catalog
// shader with animated uniforms, and a sprite-sheet animator.
class SceneObject : public SceneObjectFields
{
public:
    // A plain object showing a catalog texture (null draws nothing). A rectangle width of 0
    // means the whole texture.
    SceneObject(std::string name, const sf::Texture* texture, float originX, float originY, float rectX, float rectY,
                float rectW, float rectH);

    void update(float dt);
    // applyUniforms, then the sprite onto target.
    void draw(sf::RenderTarget& target);
    // What a draw does besides drawing: the running uniform tweens are evaluated into the shader.
    void applyUniforms();
    // True when a draw replaces every pixel of a target of `size`: an opaque texture at full
    // alpha, without shader, unrotated, covering the whole target.
    bool coversOpaquely(sf::Vector2u size) const;

    float get(Property property) const;
    void set(Property property, float value);
    void startTween(Property property, float target, float duration, EasingType easing, std::int32_t loops, bool yoyo,
                    std::int32_t yoyoEasing);
    const Tween& tween(Property property) const;

    void setUniform(const std::string& uniformName, float value);
    void startUniformTween(const std::string& uniformName, float from, float to, float duration, EasingType easing,
                           std::int32_t loops, bool yoyo, std::int32_t yoyoEasing);
    void setShader(const std::string& key);
    void loadAnimations(const std::string& path);
    void playAnimation(const std::string& animationName);

    sf::RenderTexture* renderTarget() { return renderTexture.get(); }

    // Everything of the object but its render texture: its fields, a copy of its animations and
    // the animator's place in them. A snapshot of a playing demo keeps its objects this way; a
    // field added to SceneObjectFields is saved and restored with the others.
    struct Saved
    {
        // Moved, never copied: the animations are its own.
        Saved() = default;
        Saved(const Saved&) = delete;
        Saved& operator=(const Saved&) = delete;
        Saved(Saved&&) = default;
        Saved& operator=(Saved&&) = default;

        SceneObjectFields fields;
        AnimationCollection animations;
        // Its collection is `animations` when `ownAnimations` (the saved copy's address is not kept).
        Animator animator;
        bool ownAnimations = false;

        // What the saved state holds, besides what it shares.
        std::size_t bytes() const;
    };
    Saved save() const;
    // Puts a saved state back; a buffer keeps its render texture, and its sprite keeps showing it.
    void restore(const Saved& saved);

    std::unique_ptr<sf::RenderTexture> renderTexture;
    AnimationCollection animations;
    Animator animator;

protected:
    // A buffer: owns its render texture and shows its whole texture.
    SceneObject(std::string name, std::unique_ptr<sf::RenderTexture> renderTexture);

private:
    float& field(Property property);
};
