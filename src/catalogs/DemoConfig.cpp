#include "catalogs/DemoConfig.hpp"

#include "report/Problem.hpp"

#include "catalogs/CatalogJson.hpp"
#include "catalogs/MusicManager.hpp"

#include <nlohmann/json.hpp>

#include <fstream>
#include <iostream>

namespace
{
// Reads one key into `value` when the file holds it; a value of the wrong type leaves `value` as
// it was and is reported in one line. True when `value` was set.
template <typename T>
bool readKey(const std::string& path, const nlohmann::json& config, const JsonKey& key, T& value)
{
    if (!config.is_object() || !config.contains(key.name))
        return false;
    try
    {
        value = config.at(key.name).get<T>();
        return true;
    }
    catch (const nlohmann::json::exception& error)
    {
        Problem::report(Problem("DemoConfig").headed("config.json").file(path)
                        << "Ignoring key \"" << key.name << "\", keeping its default: " << error.what());
        return false;
    }
}
} // namespace

void DemoConfig::load(const std::string& path)
{
    std::ifstream file(path);
    if (!file.is_open())
    {
        Problem::report(Problem("DemoConfig").headed(nullptr).file(path) << "Config.json missing.");
        return;
    }

    nlohmann::json config;
    try
    {
        parseJson(file, config);
    }
    catch (const nlohmann::json::exception& error)
    {
        Problem::report(Problem("DemoConfig").headed("config.json").file(path).detail(error.what())
                        << "Error while parsing JSON.");
        return;
    }

    readKey(path, config, ConfigKeys::Fullscreen, fullscreen);
    // Turning music off takes effect at once; turning it on leaves the player as it is.
    if (readKey(path, config, ConfigKeys::Music, music) && !music)
        MusicManager::instance().mute();
    readKey(path, config, ConfigKeys::Vsync, vsync);
    readKey(path, config, ConfigKeys::Title, title);
    std::cout << "config.json: Loaded configuration." << std::endl;
}
