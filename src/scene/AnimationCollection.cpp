#include "scene/AnimationCollection.hpp"

#include "catalogs/CatalogJson.hpp"

#include <iostream>
#include <utility>

namespace
{
using nlohmann::json;

const char* const Component = "AnimationCollection";

// Prints the frame as written in the file, then reads it. `frame` is a copy, so looking up a
// missing key may insert the null that gets printed; a non-object raises the library's error.
std::unique_ptr<AnimationFrame> readFrame(const std::string& label, json frame)
{
    const std::string x = frame["x"].dump();
    const std::string y = frame["y"].dump();
    const std::string w = frame["w"].dump();
    const std::string h = frame["h"].dump();
    const std::string d = frame["d"].dump();
    std::cout << "  Adding frame " << label << " :: x=" << x << " y=" << y << " w=" << w << " h=" << h << " d=" << d
              << std::endl;

    auto result = std::make_unique<AnimationFrame>();
    result->d = jsonFloat(frame["d"]);
    result->h = jsonInt(frame["h"]);
    result->w = jsonInt(frame["w"]);
    result->y = jsonInt(frame["y"]);
    result->x = jsonInt(frame["x"]);
    return result;
}

// Builds one animation, printing its log as it goes; throws the library's type errors.
std::unique_ptr<Animation> readAnimation(const std::string& name, json value)
{
    // A null value becomes an empty object here, so it fails on its missing "loop" below.
    const json frames = value["frames"];
    const bool loop = value["loop"].get<bool>();

    auto animation = std::make_unique<Animation>();
    animation->name = name;
    animation->loop = loop;
    std::cout << "Creating animation: [" << name << "]" << std::endl;
    if (loop)
        std::cout << "Animation is looping" << std::endl;

    forEachMember(frames, [&animation](const std::string& label, const json& frame) {
        animation->frames.push_back(readFrame(label, frame));
    });

    std::cout << "Done creating animation " << name << std::endl;
    std::cout << "Total number of frames: " << animation->frames.size() << std::endl;
    std::cout << "-----------------------" << std::endl;
    return animation;
}
} // namespace

bool AnimationCollection::loadFromFile(const std::string& path)
{
    json document;
    if (!readJsonFile(path, Component, document))
        return false;

    if (!document.is_object() || !document.contains("animations"))
    {
        std::cerr << Component << ": Invalid JSON data." << std::endl;
        return false;
    }

    // One bad animation is reported and left out; the ones before and after it still load.
    forEachMember(document["animations"], [this](const std::string& name, const json& value) {
        try
        {
            std::unique_ptr<Animation> animation = readAnimation(name, value);
            animations[name] = std::move(animation);
        }
        catch (const json::exception& error)
        {
            std::cerr << Component << ": Skipping animation [" << name << "]: " << error.what() << std::endl;
        }
    });
    return true;
}

Animation* AnimationCollection::find(const std::string& name)
{
    const auto found = animations.find(name);
    return found == animations.end() ? nullptr : found->second.get();
}
