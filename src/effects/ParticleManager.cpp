#include "effects/ParticleManager.hpp"

#include "catalogs/CatalogJson.hpp"
#include "catalogs/SpriteManager.hpp"

#include <iostream>

namespace
{
constexpr std::int32_t MaxInstances = 1000000;
const char* const Component = "ParticleManager";
const char* const TopLevelKey = "particlesystems";
constexpr std::int32_t DefaultInstances = 100;
} // namespace

ParticleManager::ParticleManager(SpriteManager& sprites) : sprites(sprites) {}

ParticleManager& ParticleManager::instance()
{
    static ParticleManager manager(SpriteManager::instance());
    return manager;
}

bool ParticleManager::load(const std::string& path)
{
    return loadCatalog(path, Component, TopLevelKey, nullptr,
                       [this](const std::string& key, const nlohmann::json& entry) { loadEntry(key, entry); });
}

void ParticleManager::loadEntry(const std::string& key, const nlohmann::json& entry)
{
    if (!hasRequired(Component, key, entry, "file", "FILE"))
        return;
    std::string file;
    std::int32_t instances = DefaultInstances;
    bool readable = false;
    guardEntry(Component, key, [&] {
        file = entry.at("file").get<std::string>();
        if (entry.contains("instances"))
            instances = jsonInt(entry.at("instances"));
        readable = true;
    });
    if (!readable)
        return;
    if (instances < 0)
    {
        std::cerr << Component << ": Skipping [" << key << "]: instances " << instances << " is negative." << std::endl;
        return;
    }
    // A pool is allocated whole at load: a mistyped count must not take gigabytes.
    if (instances > MaxInstances)
    {
        std::cerr << Component << ": Skipping [" << key << "]: instances " << instances << " is more than "
                  << MaxInstances << "." << std::endl;
        return;
    }
    // Users hold pointers to a stored system, so a second load never replaces one.
    if (entries.find(key) != entries.end())
    {
        std::cerr << Component << ": ParticleSystem with key " << key << " already exists." << std::endl;
        return;
    }
    ParticleSystem system;
    if (system.loadFromFile(file, instances, sprites))
        entries.emplace(key, std::move(system));
}

ParticleSystem* ParticleManager::getParticleSystem(const std::string& key)
{
    const auto found = entries.find(key);
    if (found == entries.end())
    {
        std::cerr << Component << ": ParticleSystem with key " << key << " does not exist." << std::endl;
        return nullptr;
    }
    return &found->second;
}

void ParticleManager::restart()
{
    for (auto& entry : entries)
        entry.second.restart();
}
