#pragma once

#include "catalogs/JsonFormat.hpp"

#include <string>

// The keys of config.json, each with the value the player takes when the key is absent or
// unreadable.
namespace ConfigKeys
{
inline constexpr JsonKey Fullscreen{"fullscreen", JsonType::Boolean, false, 0};
inline constexpr JsonKey Music{"music", JsonType::Boolean, false, 1};
inline constexpr JsonKey Vsync{"vsync", JsonType::Boolean, false, 1};
inline constexpr JsonKey Title{"title", JsonType::String, false, 0, "Kestrune Demo"};
inline constexpr JsonKey Keys[] = {Fullscreen, Music, Vsync, Title};
inline constexpr JsonFormat Format{nullptr, Keys};
} // namespace ConfigKeys

// The demo's settings: config.json read key by key over the defaults of its rows.
class DemoConfig
{
public:
    // Reads the file and applies each key it holds, in the rows' order; a key takes effect as
    // soon as it is read, so "music": false mutes MusicManager's stream right then. A missing or
    // unparsable file keeps every default ("Config.json missing." or "config.json: Error while
    // parsing JSON." and the library's text); a key of the wrong type keeps its value and is
    // reported in one line; otherwise "config.json: Loaded configuration." ends on standard output.
    void load(const std::string& path);

    bool fullscreen = ConfigKeys::Fullscreen.fallback != 0.0;
    bool music = ConfigKeys::Music.fallback != 0.0;
    bool vsync = ConfigKeys::Vsync.fallback != 0.0;
    std::string title = ConfigKeys::Title.text;
};
