#include "catalogs/DemoPaths.hpp"

#include <filesystem>

bool DemoPaths::isDemoFolder(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::error_code code;
    return fs::is_directory(fs::path(folder) / Assets, code) || fs::is_regular_file(fs::path(folder) / Config, code);
}
