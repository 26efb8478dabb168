#pragma once

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

// Named frame animations read from animation files; a later load replaces animations by name.
class AnimationCollection
{
public:
    bool loadFromFile(const std::string& path);

    // The animation of that name, or null (no message).
    Animation* find(const std::string& name);

    std::unordered_map<std::string, std::unique_ptr<Animation>> animations;
};
