#include "effects/TextManager.hpp"

#include "report/Problem.hpp"

#include "catalogs/CatalogJson.hpp"
#include "effects/ParticleManager.hpp"
#include "profile/Profiler.hpp"

#include <nlohmann/json.hpp>


namespace
{
const char* const Component = "TextManager";
} // namespace

TextManager::TextManager(ParticleManager& particles) : particles(particles) {}

TextManager& TextManager::instance()
{
    static TextManager manager(ParticleManager::instance());
    return manager;
}

bool TextManager::load(const std::string& path)
{
    return loadCatalog(path, Component, TextKeys::Format.topLevel, "Missing properties in textsfile.",
                       [this](const std::string& key, const nlohmann::json& entry) { create(key, entry); });
}

void TextManager::create(const std::string& key, const nlohmann::json& description)
{
    if (systems.find(key) != systems.end())
    {
        Problem::report(Problem("TextSystem") << "TextSystem with key " << key << " already exists.");
        return;
    }
    // A value of the wrong type is reported by guardEntry as one line; the system is left out.
    guardEntry(Component, key, [&] {
        auto system = std::make_unique<TextSystem>();
        if (!system->parse(description, particles))
        {
            Problem::report(Problem("TextSystem") << "Unable to create textsystem. Bad JSON formatting.");
            return;
        }
        systems.emplace(key, std::move(system));
    });
}

TextSystem* TextManager::getTextSystem(const std::string& key)
{
    const auto found = systems.find(key);
    if (found == systems.end())
    {
        Problem::report(Problem(Component) << "No such text system [" << key << "]");
        return nullptr;
    }
    return found->second.get();
}

void TextManager::update(float dt)
{
    if (Profiler* profiler = Profiler::active)
    {
        for (const auto& entry : systems)
        {
            const std::vector<std::unique_ptr<TextInstance>>& instances = entry.second->instances;
            for (std::size_t i = 0; i < instances.size(); ++i)
            {
                const std::uint32_t name = profiler->nameOf(instances[i].get(), [&](Profiler::Name& fresh) {
                    fresh.text = "text " + entry.first + " #" + std::to_string(i + 1);
                    fresh.kind = Profiler::Kind::Line;
                });
                const Profiler::Open open = profiler->begin(name, Profiler::Step);
                instances[i]->update(dt);
                profiler->end(open);
            }
        }
        return;
    }
    for (const auto& entry : systems)
        entry.second->update(dt);
}

void TextManager::draw(sf::RenderTarget& target) const
{
    for (const auto& entry : systems)
        entry.second->draw(target);
}

void TextManager::restart()
{
    for (const auto& entry : systems)
        entry.second->restart();
}

int TextManager::busyInstances() const
{
    int busy = 0;
    for (const auto& entry : systems)
        for (const auto& instance : entry.second->instances)
            busy += instance->busy ? 1 : 0;
    return busy;
}

void TextManager::clear()
{
    systems.clear();
}

TextManager::Saved TextManager::save()
{
    Saved saved;
    saved.systems.reserve(systems.size());
    for (const auto& entry : systems)
        saved.systems.push_back(entry.second->save());
    return saved;
}

void TextManager::restore(const Saved& saved)
{
    std::size_t t = 0;
    for (const auto& entry : systems)
    {
        if (t >= saved.systems.size())
            break;
        entry.second->restore(saved.systems[t++]);
    }
}

std::size_t TextManager::Saved::bytes() const
{
    std::size_t sum = 0;
    for (const TextSystem::Saved& system : systems)
        sum += system.bytes();
    return sum;
}
