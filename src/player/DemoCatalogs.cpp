#include "player/DemoCatalogs.hpp"

#include "catalogs/DemoPaths.hpp"
#include "catalogs/MusicManager.hpp"
#include "catalogs/ShaderManager.hpp"
#include "catalogs/SpriteManager.hpp"
#include "catalogs/TextureManager.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/TextManager.hpp"

#include <iterator>
#include <string_view>

namespace
{
// How the player loads and clears each catalog of DemoPaths::Catalogs.
struct CatalogRow
{
    const char* path;
    void (*load)(const char* path);
    void (*clear)();
};

template <typename Manager>
constexpr CatalogRow catalogRow(const char* path)
{
    return {path, [](const char* file) { Manager::instance().load(file); }, [] { Manager::instance().clear(); }};
}

constexpr CatalogRow CatalogRows[] = {
    catalogRow<TextureManager>(DemoPaths::Textures), catalogRow<MusicManager>(DemoPaths::Music),
    catalogRow<SpriteManager>(DemoPaths::Sprites),   catalogRow<ParticleManager>(DemoPaths::Particles),
    catalogRow<ShaderManager>(DemoPaths::Shaders),   catalogRow<TextManager>(DemoPaths::Texts),
};

constexpr const CatalogRow* catalogOf(std::string_view path)
{
    for (const CatalogRow& row : CatalogRows)
        if (path == row.path)
            return &row;
    return nullptr;
}

constexpr bool everyCatalogLoaded()
{
    for (const char* path : DemoPaths::Catalogs)
        if (!catalogOf(path))
            return false;
    return true;
}
static_assert(everyCatalogLoaded(), "a catalog of DemoPaths::Catalogs has no row in CatalogRows");

} // namespace

void DemoCatalogs::load(const std::function<void(const char* path)>& loaded)
{
    for (const char* path : DemoPaths::Catalogs)
    {
        catalogOf(path)->load(path);
        loaded(path);
    }
}

void DemoCatalogs::clear()
{
    for (auto path = std::rbegin(DemoPaths::Catalogs); path != std::rend(DemoPaths::Catalogs); ++path)
        catalogOf(*path)->clear();
}
