#pragma once

// The step benchmark's scene, shared by `make bench` and the test that counts allocations per
// step: 200 objects with four endless tweens each, a particle system of 10,000 live particles,
// five text instances of 40 letters, and a main flow that runs about 100,000 script lines in
// every step. Written into a fresh folder beside copies of the bundled demo's assets.

#include "player/Player.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/ParticleSystem.hpp"

#include <filesystem>
#include <fstream>
#include <string>

namespace stepscene
{
constexpr int Objects = 200;
constexpr int Particles = 10000;
constexpr int TextInstances = 5;
// Three lines per turn of the loop (add_flag, if_less, goto), a few around it.
constexpr int LoopTurns = 33300;
// While this flag is 0 the main flow only waits a step at a time; at 1 it runs the loop of
// about 100,000 lines in every step.
constexpr int BusyFlag = 1;

inline void writeScript(const std::filesystem::path& path)
{
    std::ofstream script(path);
    script << ":main\nset_flag 0, 0\nif %flag_" << BusyFlag << ", 0\ndelay 0\ngoto main\nendif\n"
           << ":loop\nadd_flag 0, 1\nif_less %flag_0, " << LoopTurns << "\ngoto loop\nendif\ndelay 0\ngoto main\n";
    script << ":init\ncreate_buffer main\nadd_particles load, load\n";
    for (int i = 0; i < Objects; ++i)
    {
        const std::string name = "o" + std::to_string(i);
        script << "create_object " << name << ", star, 32, 32\n";
        script << "object_tween_x " << name << ", 1500, 7, %ease_in_out_sine, %forever, 1, -1\n";
        script << "object_tween_y " << name << ", 800, 3, 2, %forever, 1, 8\n";
        script << "object_tween_rotation " << name << ", 360, 20, %ease_linear, %forever\n";
        script << "object_tween_alpha " << name << ", 0.2, 1.3, %ease_in_sine, %forever, 1, %ease_out_sine\n";
    }
    for (int i = 0; i < TextInstances; ++i)
        script << "display_text bench, \"Forty letters of text for one instance " << i << "\", 100, " << 100 + 150 * i
               << ", 0, -1\n";
    script << "exit\n:render\nexit\n";
}

// Creates the scene in `folder` from the assets under `repoRoot`.
inline void write(const std::filesystem::path& repoRoot, const std::filesystem::path& folder)
{
    namespace fs = std::filesystem;
    fs::create_directories(folder / "assets" / "particles");
    for (const char* sub : {"textures", "shaders", "fonts"})
        fs::copy(repoRoot / "assets" / sub, folder / "assets" / sub,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    for (const char* file : {"textures.json", "sprites.json", "shaders.json"})
        fs::copy_file(repoRoot / "assets" / file, folder / "assets" / file, fs::copy_options::overwrite_existing);
    std::ofstream(folder / "config.json") << R"({ "music": false, "vsync": false })";
    std::ofstream(folder / "assets" / "music.json") << R"({ "music": {} })";
    std::ofstream(folder / "assets" / "particles.json")
        << R"({ "particlesystems": { "load": { "file": "assets/particles/load.json", "instances": )" << Particles
        << " } } }";
    // Particles that live for ever and never fade: the pool stays full.
    std::ofstream(folder / "assets" / "particles" / "load.json") << R"({ "name": "load", "sprites": ["star"],
        "min_x": 0, "max_x": 1920, "min_y": 0, "max_y": 1080, "min_xs": -30, "max_xs": 30,
        "min_ys": -30, "max_ys": 30, "min_xg": 0, "max_xg": 0, "min_yg": 5, "max_yg": 20,
        "min_rot": 0, "max_rot": 360, "min_rotspeed": -40, "max_rotspeed": 40,
        "min_scale": 0.5, "max_scale": 1.5, "min_scalespeed": -0.01, "max_scalespeed": 0.01,
        "fadein": false, "fadeout": false, "min_fadespeed": 1, "max_fadespeed": 2,
        "min_ttl": 1000000, "max_ttl": 1000000, "spawn_rate": 1000000 })";
    std::ofstream(folder / "assets" / "text.json") << R"({ "textsystems": { "bench": {
        "font": "assets/fonts/DejaVuSans.ttf", "size": 40, "duration": 1000000, "letterdelay": 0.01,
        "worddelay": 0.02, "y_in": -100, "ease_in": 2, "tween_duration_in": 0.5, "num_instances": 5 } } })";
    writeScript(folder / "assets" / "demo.script");
}

// Starts the application in the scene's folder (the working directory), runs the steps that set
// it up and fills the particle pool. False when start-up failed.
inline bool start(Player& app, int warmUpSteps)
{
    app.loadConfig();
    if (!app.load())
        return false;
    app.update(); // init
    ParticleSystem* load = ParticleManager::instance().getParticleSystem("load");
    if (!load)
        return false;
    for (int i = 0; i < Particles; ++i)
        load->spawnAt(static_cast<float>(i % 1920), static_cast<float>(i % 1080));
    for (int i = 0; i < warmUpSteps; ++i)
        app.update();
    int live = 0;
    for (int i = 0; i < load->numParticles; ++i)
        live += load->particles[i].active ? 1 : 0;
    return live == Particles;
}
} // namespace stepscene
