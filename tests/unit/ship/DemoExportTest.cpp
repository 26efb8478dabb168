#include "ship/DemoExport.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
std::string readAll(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The program the exports carry: SFML's graphics library as this process loaded it, an ELF file
// with the library dependencies of the player but a fraction of its size.
std::string player()
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find("/libsfml-graphics.so") != std::string::npos)
            return line.substr(line.find('/'));
    return "";
}

// A copy of an example demo in a fresh folder, and the working directory moved into it for the
// test (the exporter works on the demo in the working directory, as the program does).
class ExportFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("kestrune-export-" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root);
        demo = root / "demo";
        fs::copy(fs::path(KESTRUNE_SOURCE_DIR) / "examples/tweens", demo, fs::copy_options::recursive);
        before = fs::current_path();
        fs::current_path(demo);
    }
    void TearDown() override
    {
        fs::current_path(before);
        fs::remove_all(root);
    }
    int exportTo(const fs::path& out, std::string& messages)
    {
        DemoExport exporter(out.string(), player());
        exporter.canOpenDisplay = false;
        std::ostringstream err;
        const int status = exporter.run(err);
        messages = err.str();
        return status;
    }

    fs::path root;
    fs::path demo;
    fs::path before;
};
} // namespace

TEST(DemoExport, CarriesWhatADesktopLacks)
{
    const std::string ldd =
        "\tlinux-vdso.so.1 (0x00007ffd)\n"
        "\tlibsfml-graphics.so.2.5 => /lib/x86_64-linux-gnu/libsfml-graphics.so.2.5 (0x00007f01)\n"
        "\tlibGL.so.1 => /lib/x86_64-linux-gnu/libGL.so.1 (0x00007f02)\n"
        "\tlibstdc++.so.6 => /lib/x86_64-linux-gnu/libstdc++.so.6 (0x00007f03)\n"
        "\tlibopenal.so.1 => /lib/x86_64-linux-gnu/libopenal.so.1 (0x00007f04)\n"
        "\tlibX11.so.6 => /lib/x86_64-linux-gnu/libX11.so.6 (0x00007f05)\n"
        "\tlibc.so.6 => /lib/x86_64-linux-gnu/libc.so.6 (0x00007f06)\n"
        "\tlibFLAC.so.12 => /lib/x86_64-linux-gnu/libFLAC.so.12 (0x00007f07)\n"
        "\t/lib64/ld-linux-x86-64.so.2 (0x00007f08)\n";
    std::vector<DemoExport::Library> libraries;
    std::string error;
    ASSERT_TRUE(DemoExport::carried(ldd, libraries, error)) << error;
    std::vector<std::string> names;
    for (const DemoExport::Library& library : libraries)
        names.push_back(library.soname + " " + library.path);
    EXPECT_EQ(names, (std::vector<std::string>{"libsfml-graphics.so.2.5 /lib/x86_64-linux-gnu/libsfml-graphics.so.2.5",
                                               "libopenal.so.1 /lib/x86_64-linux-gnu/libopenal.so.1",
                                               "libFLAC.so.12 /lib/x86_64-linux-gnu/libFLAC.so.12"}));

    libraries.clear();
    EXPECT_FALSE(DemoExport::carried("\tlibsfml-audio.so.2.5 => not found\n", libraries, error));
    EXPECT_EQ(error, "the player needs libsfml-audio.so.2.5, which this system lacks");
}

TEST(DemoExport, ReadsPackagesAndConfigs)
{
    EXPECT_EQ(DemoExport::packageOf("libsfml-graphics2.5:amd64: /usr/lib/x86_64-linux-gnu/libsfml-graphics.so.2.5\n"),
              "libsfml-graphics2.5");
    EXPECT_EQ(DemoExport::packageOf("libopenal1: /usr/lib/libopenal.so.1\n"), "libopenal1");
    EXPECT_EQ(DemoExport::packageOf("dpkg-query: no path found matching pattern /x\n"), "");
    EXPECT_EQ(DemoExport::packageOf("dpkg-query: error: /x\n"), "");
    EXPECT_EQ(DemoExport::packageOf(""), "");

    struct Row
    {
        std::string text;
        bool accepted;
        std::string result;
    };
    const Row rows[] = {
        {"", true, "{\n  \"fullscreen\": true\n}\n"},
        {" \n", true, "{\n  \"fullscreen\": true\n}\n"},
        {"{\"title\": \"x\", \"fullscreen\": false}", true, "{\n  \"fullscreen\": true,\n  \"title\": \"x\"\n}\n"},
        {"{\"vsync\": true}", true, "{\n  \"fullscreen\": true,\n  \"vsync\": true\n}\n"},
        {"[1]", false, ""},
        {"{broken", false, ""},
    };
    for (const Row& row : rows)
    {
        std::string result;
        EXPECT_EQ(DemoExport::fullscreenConfig(row.text, result), row.accepted) << row.text;
        if (row.accepted)
            EXPECT_EQ(result, row.result) << row.text;
    }
}

TEST_F(ExportFolder, MakesABundleAndItsArchive)
{
    fs::create_directories(demo / ".git");
    std::ofstream(demo / ".git/HEAD") << "ref";
    std::string messages;
    const fs::path out = root / "viewer";
    ASSERT_EQ(exportTo(out, messages), 0) << messages;
    EXPECT_EQ(messages, "kestrune: exported to " + out.string() + " and " + out.string() + ".tar.gz (run " +
                            out.string() + "/play)\n");

    EXPECT_EQ(readAll(out / "demo/assets/demo.script"), readAll(demo / "assets/demo.script"));
    EXPECT_FALSE(fs::exists(out / "demo/.git")) << "hidden entries are not the demo";
    const nlohmann::json config = nlohmann::json::parse(readAll(out / "demo/config.json"));
    EXPECT_EQ(config["fullscreen"], true);
    EXPECT_EQ(config["title"], nlohmann::json::parse(readAll(demo / "config.json"))["title"]);

    // The player, stripped when `strip` is there.
    EXPECT_EQ(readAll(out / "bin/kestrune").substr(0, 4), "\x7f" "ELF");
    EXPECT_LE(fs::file_size(out / "bin/kestrune"), fs::file_size(player()));
    EXPECT_NE(fs::status(out / "bin/kestrune").permissions() & fs::perms::others_exec, fs::perms::none);
    EXPECT_EQ(readAll(out / "play"), DemoExport::launcher());
    EXPECT_NE(fs::status(out / "play").permissions() & fs::perms::owner_exec, fs::perms::none);
    EXPECT_TRUE(fs::is_regular_file(out / "lib/libsfml-window.so.2.5"));
    EXPECT_TRUE(fs::is_regular_file(out / "lib/libfreetype.so.6"));
    EXPECT_FALSE(fs::exists(out / "lib/libGL.so.1"));
    EXPECT_FALSE(fs::exists(out / "lib/libc.so.6"));
    EXPECT_NE(readAll(out / "licences/kestrune/copyright").find("License: Expat"), std::string::npos);
    EXPECT_NE(readAll(out / "licences/libsfml-window2.5/copyright").find("SFML"), std::string::npos);
    // Every carried library's package brings its licence.
    std::size_t licences = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(out / "licences"))
        licences += fs::is_regular_file(entry.path() / "copyright");
    EXPECT_GE(licences, 3u);

    const std::string tarball = out.string() + ".tar.gz";
    ASSERT_TRUE(fs::is_regular_file(tarball));
    // Nothing is left beside OUT, and the bundle's own archive is not inside the demo copy.
    std::vector<std::string> beside;
    for (const fs::directory_entry& entry : fs::directory_iterator(root))
        beside.push_back(entry.path().filename().string());
    std::sort(beside.begin(), beside.end());
    EXPECT_EQ(beside, (std::vector<std::string>{"demo", "viewer", "viewer.tar.gz"}));

    // An export again from the same files gives the same archive, and replaces the earlier one.
    const std::string first = readAll(tarball);
    std::ofstream(out / "stale") << "from before";
    ASSERT_EQ(exportTo(out, messages), 0) << messages;
    EXPECT_EQ(readAll(tarball), first);
    EXPECT_FALSE(fs::exists(out / "stale"));
}

TEST_F(ExportFolder, RefusesAndLeavesEverythingAsItWas)
{
    struct Row
    {
        std::string name;
        std::function<void()> prepare;
        fs::path out;
        int status;
        std::string lastLine;
    };
    const fs::path userFolder = root / "mine";
    const Row rows[] = {
        {"a demo with errors",
         [&] { std::ofstream(demo / "assets/demo.script", std::ios::app) << "\ngoto nowhere_at_all\n"; },
         root / "viewer", 1, "kestrune: --export: the demo has errors (above); nothing was exported"},
        {"an earlier export kept when the demo has errors", [&] {
             fs::create_directories(root / "viewer/bin");
             std::ofstream(root / "viewer/play") << "earlier";
             std::ofstream(root / "viewer/bin/kestrune") << "earlier";
         },
         root / "viewer", 1, "kestrune: --export: the demo has errors (above); nothing was exported"},
        {"a folder of the user's", [&] {
             fs::create_directories(userFolder);
             std::ofstream(userFolder / "notes.txt") << "mine";
         },
         userFolder, 2, "kestrune: --export: " + userFolder.string() + " exists and is not an earlier export; choose another OUT"},
        {"OUT is the demo itself", [] {}, demo, 2,
         "kestrune: --export: OUT must be a new folder outside the demo's own folders, not " + demo.string()},
        {"OUT holds the demo", [] {}, root, 2,
         "kestrune: --export: OUT must be a new folder outside the demo's own folders, not " + root.string()},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        row.prepare();
        std::map<std::string, std::string> files;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root))
            if (entry.is_regular_file())
                files[entry.path().string()] = readAll(entry.path());
        std::string messages;
        EXPECT_EQ(exportTo(row.out, messages), row.status);
        std::string last = messages.substr(0, messages.size() - 1);
        last = last.substr(last.rfind('\n') == std::string::npos ? 0 : last.rfind('\n') + 1);
        EXPECT_EQ(last, row.lastLine) << messages;
        std::map<std::string, std::string> after;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root))
            if (entry.is_regular_file())
                after[entry.path().string()] = readAll(entry.path());
        EXPECT_EQ(after, files) << "nothing is written, replaced or left behind";
    }
}
