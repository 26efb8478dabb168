#include "scene/AnimationCollection.hpp"

#include "report/Problem.hpp"

#include "catalogs/CatalogJson.hpp"
#include "catalogs/JsonFormat.hpp"

#include <iostream>
#include <utility>

using namespace AnimationKeys;

namespace
{
using nlohmann::json;

const char* const Component = "AnimationCollection";

// Prints the frame as written in the file, then reads it. `frame` is a copy, so looking up a
// missing key may insert the null that gets printed; a non-object raises the library's error.
std::unique_ptr<AnimationFrame> readFrame(const std::string& label, json frame)
{
    const std::string x = frame[X.name].dump();
    const std::string y = frame[Y.name].dump();
    const std::string w = frame[W.name].dump();
    const std::string h = frame[H.name].dump();
    const std::string d = frame[D.name].dump();
    std::cout << "  Adding frame " << label << " :: x=" << x << " y=" << y << " w=" << w << " h=" << h << " d=" << d
              << std::endl;

    auto result = std::make_unique<AnimationFrame>();
    result->d = jsonFloat(frame[D.name]);
    result->h = jsonInt(frame[H.name]);
    result->w = jsonInt(frame[W.name]);
    result->y = jsonInt(frame[Y.name]);
    result->x = jsonInt(frame[X.name]);
    return result;
}

// Builds one animation, printing its log as it goes; throws the library's type errors.
std::unique_ptr<Animation> readAnimation(const std::string& name, json value)
{
    // A null value becomes an empty object here, so it fails on its missing "loop" below.
    const json frames = value[Frames.name];
    const bool loop = value[Loop.name].get<bool>();

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

    if (!document.is_object() || !document.contains(Format.topLevel))
    {
        Problem::report(Problem(Component).file(path) << "Invalid JSON data.");
        return false;
    }

    // One bad animation is reported and left out; the ones before and after it still load.
    forEachMember(document[Format.topLevel], [this, &path](const std::string& name, const json& value) {
        try
        {
            std::unique_ptr<Animation> animation = readAnimation(name, value);
            animations[name] = std::move(animation);
        }
        catch (const json::exception& error)
        {
            Problem::report(Problem(Component).file(path) << "Skipping animation [" << name << "]: " << error.what());
        }
    });
    return true;
}

Animation* AnimationCollection::find(const std::string& name)
{
    const auto found = animations.find(name);
    return found == animations.end() ? nullptr : found->second.get();
}
