#include "catalogs/DemoPaths.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;

// What the shell plays and where the language server's walk up from an open file stops.
TEST(DemoPaths, ADemoFolderHoldsAnAssetsFolderOrAConfigFile)
{
    const fs::path dir = fs::temp_directory_path() / ("kestrune-demo-paths-" + std::to_string(getpid()));
    const struct
    {
        const char* folder;
        const char* subfolder; // made inside the folder, or null
        const char* file;      // written inside the folder, or null
        bool demo;
    } rows[] = {
        {"empty", nullptr, nullptr, false},
        {"assets_folder", DemoPaths::Assets, nullptr, true},
        {"config_file", nullptr, DemoPaths::Config, true},
        {"both", DemoPaths::Assets, DemoPaths::Config, true},
        {"assets_is_a_file", nullptr, DemoPaths::Assets, false},
        {"config_is_a_folder", DemoPaths::Config, nullptr, false},
        {"a_loose_script", nullptr, "demo.script", false},
        {"missing", nullptr, nullptr, false},
    };
    for (const auto& row : rows)
    {
        const fs::path folder = dir / row.folder;
        if (std::string(row.folder) != "missing")
            fs::create_directories(folder);
        if (row.subfolder)
            fs::create_directories(folder / row.subfolder);
        if (row.file)
            std::ofstream(folder / row.file) << "{}";
        EXPECT_EQ(DemoPaths::isDemoFolder(folder.string()), row.demo) << row.folder;
    }
    fs::remove_all(dir);
}
