// Seeks in a ten-minute demo with author mode's snapshots: the bundled demo's scene with its
// orbit repeated for ten minutes, four more particle systems holding 10,000 live particles, text,
// fades, shader uniforms, animations, flags and the music. The demo is passed through once (a
// seek to its end), then 50 seeks to random steps, back and forth, each landing exactly as
// --render --start does; printed: their median and slowest time, and the snapshots' memory.
// Then reloads at 9 minutes and the seeks back to its step. Needs a GL context: make bench runs
// it under a virtual screen when there is no display.
#include "player/Player.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace
{
constexpr long StepsPerMinute = 60 * 60;
constexpr int Seeks = 50;

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

void writeDemo(const fs::path& folder)
{
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy(fs::path(KESTRUNE_SOURCE_DIR) / "assets", folder / "assets", fs::copy_options::recursive);
    std::ofstream(folder / "config.json") << R"({ "music": false, "vsync": false })";
    // Four systems of 2,500 that live longer than the demo: full (10,000 live) after 42 s.
    std::ofstream(folder / "assets/particles/dust.json") << R"({
    "name": "dust", "sprites": ["star"],
    "min_x": 0, "max_x": 1920, "min_y": 0, "max_y": 1080,
    "min_xs": -20, "max_xs": 20, "min_ys": -20, "max_ys": 20,
    "min_xg": 0, "max_xg": 0, "min_yg": 0, "max_yg": 0,
    "min_rot": 0, "max_rot": 360, "min_rotspeed": -40, "max_rotspeed": 40,
    "min_scale": 0.05, "max_scale": 0.2, "min_scalespeed": 0, "max_scalespeed": 0,
    "fadein": true, "fadeout": false, "min_fadespeed": 1, "max_fadespeed": 2,
    "min_ttl": 1000, "max_ttl": 1000, "spawn_rate": 0
})";
    std::ofstream(folder / "assets/particles.json") << R"({
    "particlesystems": {
        "embers": { "file": "assets/particles/embers.json", "instances": 400 },
        "glitter": { "file": "assets/particles/glitter.json", "instances": 600 },
        "stardust": { "file": "assets/particles/stardust.json", "instances": 60 },
        "dust1": { "file": "assets/particles/dust.json", "instances": 2500 },
        "dust2": { "file": "assets/particles/dust.json", "instances": 2500 },
        "dust3": { "file": "assets/particles/dust.json", "instances": 2500 },
        "dust4": { "file": "assets/particles/dust.json", "instances": 2500 }
    }
})";
    std::ifstream in(folder / "assets/demo.script");
    std::ostringstream text;
    text << in.rdbuf();
    in.close();
    std::string script = text.str();
    // 380 orbits of 1.5 s after the half-minute opening: ten minutes.
    script = replaced(script, "if_less %flag_0, 6", "if_less %flag_0, 380");
    script = replaced(script, "particles_set_active glitter, 0\n",
                      "particles_set_active glitter, 0\nadd_particles dust1, dust1\nadd_particles dust2, dust2\n"
                      "add_particles dust3, dust3\nadd_particles dust4, dust4\nparticles_set_active dust1, 1\n"
                      "particles_set_active dust2, 1\nparticles_set_active dust3, 1\nparticles_set_active dust4, 1\n");
    script = replaced(script, "draw_particles main, glitter\n",
                      "draw_particles main, glitter\ndraw_particles main, dust1\ndraw_particles main, dust2\n"
                      "draw_particles main, dust3\ndraw_particles main, dust4\n");
    std::ofstream(folder / "assets/demo.script") << script;
}

// A field of /proc/self/status in MB (VmRSS: resident now, VmHWM: the most resident so far).
double residentMegabytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stod(line.substr(line.find(':') + 1)) / 1024.0;
    return 0.0;
}

double millisecondsOf(const std::chrono::steady_clock::duration& d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}
} // namespace

// The snapshots' budget in MB may be given (1024 by default).
int main(int argc, char** argv)
{
    const fs::path folder = fs::temp_directory_path() / "kestrune-snapshot-bench";
    writeDemo(folder);
    fs::current_path(folder);
    std::ostringstream quiet;
    std::streambuf* out = std::cout.rdbuf(quiet.rdbuf());
    Player player;
    player.loadConfig();
    const bool loaded = player.load();
    std::cout.rdbuf(out);
    if (!loaded)
    {
        std::cerr << "the benchmark's demo did not load" << std::endl;
        return 1;
    }
    const std::size_t budget = std::size_t(argc > 1 ? std::atol(argv[1]) : 1024) << 20;
    const double residentBefore = residentMegabytes("VmRSS");
    player.keepSnapshots(budget);
    using Clock = std::chrono::steady_clock;

    // Through the whole demo once, as the author's first seek to its end does.
    player.markPrinted(20 * StepsPerMinute);
    Clock::time_point began = Clock::now();
    player.seekTo(20 * StepsPerMinute);
    const double passSeconds = millisecondsOf(Clock::now() - began) / 1000.0;
    const long length = player.steps();

    std::mt19937 random(12345);
    std::uniform_int_distribution<long> anywhere(1, length);
    std::vector<double> times;
    bool exact = true;
    for (int i = 0; i < Seeks; ++i)
    {
        const long target = anywhere(random);
        began = Clock::now();
        exact = player.seekTo(target) && exact;
        times.push_back(millisecondsOf(Clock::now() - began));
    }
    std::sort(times.begin(), times.end());
    const double median = (times[Seeks / 2 - 1] + times[Seeks / 2]) / 2.0;

    const std::size_t kept = player.snapshotStore().count();
    const double spacing = static_cast<double>(player.snapshotStore().spacing()) / 60.0;
    const double megabytes = static_cast<double>(player.snapshotStore().bytes()) / (1 << 20);
    const double residentAfter = residentMegabytes("VmRSS");
    const double peakBeforeReloads = residentMegabytes("VmHWM");

    // Reloads at 9 minutes and the seeks back to its step: the script saved with a change to a
    // line the demo has not run yet (the closing words: snapshots before 9 minutes stay), then
    // with a change to a line of the loop that has run since its first turn (the steps from
    // there are run again).
    const long nine = 9 * StepsPerMinute;
    auto reloadAt = [&](const std::string& from, const std::string& to) {
        player.seekTo(nine);
        std::ifstream in("assets/demo.script");
        std::ostringstream text;
        text << in.rdbuf();
        in.close();
        std::ofstream("assets/demo.script") << replaced(text.str(), from, to);
        const Clock::time_point start = Clock::now();
        std::cout.rdbuf(quiet.rdbuf());
        player.reload({"assets/demo.script"});
        const bool back = player.seekTo(nine);
        std::cout.rdbuf(out);
        exact = back && exact;
        return millisecondsOf(Clock::now() - start) / 1000.0;
    };
    const double reloadAhead = reloadAt("thank you for watching", "thanks for watching");
    const std::size_t keptAfter = player.snapshotStore().count();
    const double reloadRun = reloadAt("object_play_animation orb2, flash", "object_play_animation orb2, pulse");

    std::printf("demo: %.1f s (%ld steps), passed through in %.1f s\n", static_cast<double>(length) / 60.0, length,
                passSeconds);
    std::printf("seeks: %d random, median %.1f ms, slowest %.1f ms, every one arrived: %s\n", Seeks, median,
                times.back(), exact ? "yes" : "no");
    std::printf("snapshots before the reload: %zu every %.1f s, %.1f MB of a %.0f MB budget\n",
                kept, spacing, megabytes, static_cast<double>(budget >> 20));
    std::printf("resident: %.0f MB before any snapshot, %.0f MB with them (%.0f MB more), at most %.0f MB "
                "(%.0f MB until the reloads)\n",
                residentBefore, residentAfter, residentAfter - residentBefore, residentMegabytes("VmHWM"),
                peakBeforeReloads);
    std::printf("reload at 9 min of a line not run yet, back to its step: %.2f s (%zu snapshots kept)\n",
                reloadAhead, keptAfter);
    std::printf("reload at 9 min of a line run since 8.7 s, back to its step: %.2f s\n", reloadRun);
    return exact ? 0 : 1;
}
