#include "FuzzSupport.hpp"

#include <SFML/Window/Context.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <unistd.h>

namespace fuzz
{
namespace
{
std::filesystem::path workdir;
// Reachable for the whole run, so never counted as a leak.
sf::Context* heldContext = nullptr;

void removeWorkdir()
{
    std::error_code ignored;
    std::filesystem::remove_all(workdir, ignored);
}
} // namespace

void enterWorkdir()
{
    if (!workdir.empty())
        return;
    setenv("ALSOFT_DRIVERS", "null", 1);
    const std::filesystem::path base =
        std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    workdir = base / ("kestrune-fuzz-" + std::to_string(getpid()));
    std::filesystem::remove_all(workdir);
    std::filesystem::create_directories(workdir);
    std::filesystem::copy(KESTRUNE_SOURCE_DIR "/assets", workdir / "assets", std::filesystem::copy_options::recursive);
    std::filesystem::current_path(workdir);
    std::atexit(removeWorkdir);
    // The graphics library closes the display when its last GL resource goes, and the display's
    // GL driver is unloaded with it: in a target whose catalog lives for one input, once per
    // input; in any target, at exit before the leak check. Whatever the driver still held is then
    // reported as leaked, allocated from "<unknown module>" because the code is gone. One context
    // held from the start keeps the display and the driver loaded until the process ends, so the
    // driver's memory stays reachable or at least named (tests/fuzz/lsan.supp).
    heldContext = new sf::Context;
}

std::string writeInput(const std::uint8_t* data, std::size_t size, const char* name)
{
    const std::string path = (workdir / name).string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
}

DemoStage::DemoStage() : sprites(textures), particles(sprites)
{
    textures.load("assets/textures.json");
    sprites.load("assets/sprites.json");
    particles.load("assets/particles.json");
    target.create(64, 64);
}

DemoStage& demoStage()
{
    enterWorkdir();
    static DemoStage* stage = new DemoStage; // built once, ends with the process
    return *stage;
}
} // namespace fuzz
