#include "effects/ParticleManager.hpp"

#include "report/Problem.hpp"

#include "catalogs/CatalogJson.hpp"
#include "catalogs/JsonFormat.hpp"
#include "catalogs/SpriteManager.hpp"


using namespace ParticleKeys;

namespace
{
constexpr std::int32_t MaxInstances = 1000000;
const char* const Component = "ParticleManager";

} // namespace

ParticleManager::ParticleManager(SpriteManager& sprites) : sprites(sprites) {}

ParticleManager& ParticleManager::instance()
{
    static ParticleManager manager(SpriteManager::instance());
    return manager;
}

bool ParticleManager::load(const std::string& path)
{
    return loadCatalog(path, Component, Format.topLevel, nullptr,
                       [this](const std::string& key, const nlohmann::json& entry) { loadEntry(key, entry); });
}

void ParticleManager::loadEntry(const std::string& key, const nlohmann::json& entry)
{
    if (!hasRequired(Component, key, entry, File.name))
        return;
    std::string file;
    std::int32_t instances = 0;
    bool readable = false;
    guardEntry(Component, key, [&] {
        file = keyString(entry, File);
        instances = keyInt(entry, Instances);
        readable = true;
    });
    if (!readable)
        return;
    if (instances < 0)
    {
        Problem::report(Problem(Component) << "Skipping [" << key << "]: instances " << instances << " is negative.");
        return;
    }
    // A pool is allocated whole at load: a mistyped count must not take gigabytes.
    if (instances > MaxInstances)
    {
        Problem::report(Problem(Component) << "Skipping [" << key << "]: instances " << instances << " is more than "
                                           << MaxInstances << ".");
        return;
    }
    // Users hold pointers to a stored system, so a second load never replaces one.
    if (entries.find(key) != entries.end())
    {
        Problem::report(Problem(Component) << "ParticleSystem with key " << key << " already exists.");
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
        Problem::report(Problem(Component) << "ParticleSystem with key " << key << " does not exist.");
        return nullptr;
    }
    return &found->second;
}

void ParticleManager::restart()
{
    for (auto& entry : entries)
        entry.second.restart();
}

void ParticleManager::clear()
{
    entries.clear();
}

ParticleManager::Saved ParticleManager::save()
{
    Saved saved;
    saved.systems.reserve(entries.size());
    for (auto& entry : entries)
        saved.systems.emplace_back(&entry.second, entry.second.save());
    return saved;
}

void ParticleManager::restore(const Saved& saved) const
{
    for (const auto& entry : saved.systems)
        entry.first->restore(entry.second);
}

std::size_t ParticleManager::Saved::bytes() const
{
    std::size_t sum = 0;
    for (const auto& entry : systems)
        sum += entry.second.bytes();
    return sum;
}
