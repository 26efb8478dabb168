#include "cli/LaunchCheck.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

TEST(LaunchCheck, ADemoFolderHoldsAssetsOrConfig)
{
    const fs::path dir = fs::temp_directory_path() / ("kestrune-launch-" + std::to_string(getpid()));
    struct Row
    {
        const char* folder;
        const char* file;
        bool demo;
    };
    const Row rows[] = {
        {"empty", nullptr, false},
        {"assets_only", nullptr, true},        // a demo with missing pieces
        {"config_only", "config.json", true},  // its own start-up messages say what is missing
        {"assets_is_a_file", "assets", false}, // not a folder of assets
        {"other_files", "demo.script", false}, // a script lying loose is not a demo
        {"config_is_a_folder", nullptr, false}, // not a configuration file
    };
    for (const Row& row : rows)
    {
        const fs::path folder = dir / row.folder;
        fs::create_directories(folder);
        if (std::string(row.folder) == "assets_only")
            fs::create_directories(folder / "assets");
        if (std::string(row.folder) == "config_is_a_folder")
            fs::create_directories(folder / "config.json");
        if (row.file)
            std::ofstream(folder / row.file) << "{}";
        std::string error;
        EXPECT_EQ(LaunchCheck::isDemoFolder(folder.string(), error), row.demo) << row.folder;
        if (row.demo)
            EXPECT_EQ(error, "") << row.folder;
        else
            EXPECT_EQ(error, folder.string() + " is not a demo folder (it holds neither assets/ nor config.json); "
                                               "give the demo's folder: kestrune DIR");
    }
    fs::remove_all(dir);
}

TEST(LaunchCheck, DisplayThatCannotBeOpenedIsExplained)
{
    const char* current = std::getenv("DISPLAY");
    const std::optional<std::string> saved = current ? std::optional<std::string>(current) : std::nullopt;
    std::string reason;

    unsetenv("DISPLAY");
    EXPECT_FALSE(LaunchCheck::hasDisplay(reason));
    EXPECT_EQ(reason, "there is no display (DISPLAY is not set)");
    setenv("DISPLAY", "", 1);
    EXPECT_FALSE(LaunchCheck::hasDisplay(reason));
    EXPECT_EQ(reason, "there is no display (DISPLAY is not set)");
    // Not a display name at all, so no X server can ever listen on it.
    setenv("DISPLAY", ":none", 1);
    EXPECT_FALSE(LaunchCheck::hasDisplay(reason));
    EXPECT_EQ(reason, "the display ':none' cannot be opened");

    if (saved)
    {
        setenv("DISPLAY", saved->c_str(), 1);
        reason.clear();
        EXPECT_TRUE(LaunchCheck::hasDisplay(reason)) << "the tests run on a virtual screen";
        EXPECT_EQ(reason, "");
    }
}

TEST(LaunchCheck, CommandLineIsRepeatedAsTyped)
{
    struct Row
    {
        std::vector<const char*> argv;
        const char* line;
    };
    const Row rows[] = {
        {{"kestrune"}, "kestrune"},
        {{"build/kestrune", "--render", "out.mp4", "--start=7.2", "demos/a-b_c"},
         "build/kestrune --render out.mp4 --start=7.2 demos/a-b_c"},
        {{"kestrune", "--render", "my frames", "--start", ""}, "kestrune --render 'my frames' --start ''"},
        {{"kestrune", "it's", "$HOME", "a;b"}, "kestrune 'it'\\''s' '$HOME' 'a;b'"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(LaunchCheck::quoteCommandLine(static_cast<int>(row.argv.size()), row.argv.data()), row.line);
    EXPECT_EQ(LaunchCheck::underVirtualScreen("kestrune --render out"),
              "xvfb-run -a -s \"-screen 0 1920x1080x24\" kestrune --render out");
}
