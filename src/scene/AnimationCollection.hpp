#pragma once

#include "catalogs/JsonFormat.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct AnimationFrame
{
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t w = 0;
    std::int32_t h = 0;
    float d = 0.f;
};

struct Animation
{
    std::vector<std::unique_ptr<AnimationFrame>> frames;
    std::string name;
    bool loop = false;
};

// The keys of an animation file: its animations, and each animation's frames.
namespace AnimationKeys
{
inline constexpr JsonKey Loop{"loop", JsonType::Boolean, true};
inline constexpr JsonKey Frames{"frames", JsonType::Any, false};
inline constexpr JsonKey AnimationKeys[] = {Loop, Frames};
inline constexpr JsonFormat Format{"animations", AnimationKeys};

inline constexpr JsonKey X{"x", JsonType::Integer, true};
inline constexpr JsonKey Y{"y", JsonType::Integer, true};
inline constexpr JsonKey W{"w", JsonType::Integer, true};
inline constexpr JsonKey H{"h", JsonType::Integer, true};
inline constexpr JsonKey D{"d", JsonType::Number, true};
inline constexpr JsonKey FrameKeys[] = {X, Y, W, H, D};
inline constexpr JsonFormat FrameFormat{nullptr, FrameKeys};
} // namespace AnimationKeys

// Named frame animations read from animation files; a later load replaces animations by name.
class AnimationCollection
{
public:
    bool loadFromFile(const std::string& path);

    // The animation of that name, or null (no message).
    Animation* find(const std::string& name);

    std::unordered_map<std::string, std::unique_ptr<Animation>> animations;
};
