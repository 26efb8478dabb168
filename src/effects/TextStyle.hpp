#pragma once

#include "catalogs/JsonFormat.hpp"
#include "motion/Tween.hpp"

#include <cstdint>

class ParticleSystem;

// The keys of a text-system description (an entry of assets/text.json), in the order they are
// read, with their defaults and the values the player takes.
namespace TextKeys
{
// Beyond these a value is a typing error that would exhaust memory or crash the font rasteriser
// (glyphs of tens of thousands of pixels, strokes of thousands).
inline constexpr KeyRange CharacterSizes{0, 2048, "pixels", false};
inline constexpr KeyRange OutlineWidths{-256, 256, "pixels", false};
// 0 or fewer instances: a style that can never show anything.
inline constexpr KeyRange InstanceCounts{0, 10000, "instances", true};

inline constexpr JsonKey Font{"font", JsonType::String, true};
inline constexpr JsonKey Size{"size", JsonType::Number, true, 0, "", &CharacterSizes};
inline constexpr JsonKey FillR{"fillcolor_r", JsonType::Integer, false, 255};
inline constexpr JsonKey FillG{"fillcolor_g", JsonType::Integer, false, 255};
inline constexpr JsonKey FillB{"fillcolor_b", JsonType::Integer, false, 255};
inline constexpr JsonKey OutlineR{"outlinecolor_r", JsonType::Integer, false, 0};
inline constexpr JsonKey OutlineG{"outlinecolor_g", JsonType::Integer, false, 0};
inline constexpr JsonKey OutlineB{"outlinecolor_b", JsonType::Integer, false, 0};
inline constexpr JsonKey OutlineWidth{"outlinecolor_width", JsonType::Integer, false, 0, "", &OutlineWidths};
inline constexpr JsonKey Duration{"duration", JsonType::Number, false, 5};
inline constexpr JsonKey Delay{"delay", JsonType::Number, false, 0};
inline constexpr JsonKey LetterDelay{"letterdelay", JsonType::Number, false, 0};
inline constexpr JsonKey WordDelay{"worddelay", JsonType::Number, false, 0};
inline constexpr JsonKey FadeIn{"fade_in", JsonType::Boolean, false, 0};
inline constexpr JsonKey FadeOut{"fade_out", JsonType::Boolean, false, 0};
inline constexpr JsonKey FadeDuration{"fade_duration", JsonType::Number, false, 0.5};
inline constexpr JsonKey XIn{"x_in", JsonType::Number, false, 0};
inline constexpr JsonKey YIn{"y_in", JsonType::Number, false, 0};
inline constexpr JsonKey XOut{"x_out", JsonType::Number, false, 0};
inline constexpr JsonKey YOut{"y_out", JsonType::Number, false, 0};
inline constexpr JsonKey RotateIn{"rotate_in", JsonType::Number, false, 0};
inline constexpr JsonKey RotateOut{"rotate_out", JsonType::Number, false, 0};
inline constexpr JsonKey ScaleIn{"scale_in", JsonType::Number, false, 0};
inline constexpr JsonKey ScaleOut{"scale_out", JsonType::Number, false, 0};
inline constexpr JsonKey EaseIn{"ease_in", JsonType::Integer, false, Easing::Linear};
inline constexpr JsonKey EaseOut{"ease_out", JsonType::Integer, false, Easing::Linear};
inline constexpr JsonKey TweenDurationIn{"tween_duration_in", JsonType::Number, false, 0};
inline constexpr JsonKey TweenDurationOut{"tween_duration_out", JsonType::Number, false, 0};
// "" means no burst.
inline constexpr JsonKey ParticlesIn{"particles_in", JsonType::String, false, 0, ""};
inline constexpr JsonKey ParticlesOut{"particles_out", JsonType::String, false, 0, ""};
inline constexpr JsonKey NumParticlesIn{"num_particles_in", JsonType::Integer, false, 0};
inline constexpr JsonKey NumParticlesOut{"num_particles_out", JsonType::Integer, false, 0};
inline constexpr JsonKey ParticlesDurationOut{"particles_duration_out", JsonType::Number, false, 0};
inline constexpr JsonKey NumInstances{"num_instances", JsonType::Integer, false, 5, "", &InstanceCounts};

inline constexpr JsonKey All[] = {Font,
                                  Size,
                                  FillR,
                                  FillG,
                                  FillB,
                                  OutlineR,
                                  OutlineG,
                                  OutlineB,
                                  OutlineWidth,
                                  Duration,
                                  Delay,
                                  LetterDelay,
                                  WordDelay,
                                  FadeIn,
                                  FadeOut,
                                  FadeDuration,
                                  XIn,
                                  YIn,
                                  XOut,
                                  YOut,
                                  RotateIn,
                                  RotateOut,
                                  ScaleIn,
                                  ScaleOut,
                                  EaseIn,
                                  EaseOut,
                                  TweenDurationIn,
                                  TweenDurationOut,
                                  ParticlesIn,
                                  ParticlesOut,
                                  NumParticlesIn,
                                  NumParticlesOut,
                                  ParticlesDurationOut,
                                  NumInstances};
inline constexpr JsonFormat Format{"textsystems", All};

constexpr std::int32_t integer(const JsonKey& key)
{
    return static_cast<std::int32_t>(key.fallback);
}

constexpr float number(const JsonKey& key)
{
    return static_cast<float>(key.fallback);
}
} // namespace TextKeys

// The values of one text-system description; every instance keeps its own copy. Each starts at
// its key's default.
struct TextStyle
{
    std::int32_t fillR = TextKeys::integer(TextKeys::FillR), fillG = TextKeys::integer(TextKeys::FillG),
                 fillB = TextKeys::integer(TextKeys::FillB);
    std::int32_t outlineR = TextKeys::integer(TextKeys::OutlineR), outlineG = TextKeys::integer(TextKeys::OutlineG),
                 outlineB = TextKeys::integer(TextKeys::OutlineB);
    std::int32_t outlineWidth = TextKeys::integer(TextKeys::OutlineWidth);
    std::uint32_t characterSize = 0;
    float duration = TextKeys::number(TextKeys::Duration);
    float delay = TextKeys::number(TextKeys::Delay);
    float letterdelay = TextKeys::number(TextKeys::LetterDelay);
    float worddelay = TextKeys::number(TextKeys::WordDelay);
    bool fade_in = TextKeys::FadeIn.fallback != 0;
    bool fade_out = TextKeys::FadeOut.fallback != 0;
    float fade_duration = TextKeys::number(TextKeys::FadeDuration);
    float x_in = TextKeys::number(TextKeys::XIn), y_in = TextKeys::number(TextKeys::YIn);
    float x_out = TextKeys::number(TextKeys::XOut), y_out = TextKeys::number(TextKeys::YOut);
    float rotate_in = TextKeys::number(TextKeys::RotateIn), rotate_out = TextKeys::number(TextKeys::RotateOut);
    float scale_in = TextKeys::number(TextKeys::ScaleIn), scale_out = TextKeys::number(TextKeys::ScaleOut);
    EasingType ease_in = TextKeys::integer(TextKeys::EaseIn);
    EasingType ease_out = TextKeys::integer(TextKeys::EaseOut);
    float tween_duration_in = TextKeys::number(TextKeys::TweenDurationIn);
    float tween_duration_out = TextKeys::number(TextKeys::TweenDurationOut);
    ParticleSystem* particles_in = nullptr;
    ParticleSystem* particles_out = nullptr;
    std::int32_t num_particles_in = TextKeys::integer(TextKeys::NumParticlesIn);
    std::int32_t num_particles_out = TextKeys::integer(TextKeys::NumParticlesOut);
    float particles_duration_out = TextKeys::number(TextKeys::ParticlesDurationOut);
};
