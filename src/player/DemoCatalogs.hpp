#pragma once

#include <functional>

// The demo's catalogs as one: loaded in start-up's order (later catalogs look entries up in
// earlier ones, DemoPaths::Catalogs) and cleared in the reverse order, since later catalogs point
// into earlier ones.
class DemoCatalogs
{
public:
    // Loads every catalog; `loaded` is told each catalog's path once it is loaded.
    static void load(const std::function<void(const char* path)>& loaded);
    static void clear();
};
