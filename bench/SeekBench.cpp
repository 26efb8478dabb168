// Seeks of the bundled demo: back to the start (rewind) and forward to 19.5 s, as --start and the
// author mode's seeks run them. The figure is fast-forward steps per second (items per second),
// with the skipped steps drawn dry (every_pass 0, the default) and with every pass of every step
// drawn (every_pass 1, --draw-all). Needs a GL context: make bench runs it under a virtual screen
// when there is no display. Steps per second are counted in wall time: the drawing happens on
// the GL driver's threads.
#include "player/Player.hpp"
#include "scene/PassElision.hpp"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace
{
constexpr long TargetStep = 1170; // 19.5 s

Player* startDemo()
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / "kestrune-seek-bench";
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy(fs::path(KESTRUNE_SOURCE_DIR) / "assets", folder / "assets", fs::copy_options::recursive);
    std::ofstream(folder / "config.json") << R"({ "music": false, "vsync": false })";
    fs::current_path(folder);
    // The demo's start-up messages would bury the figures.
    std::ostringstream quiet;
    std::streambuf* out = std::cout.rdbuf(quiet.rdbuf());
    auto* app = new Player;
    app->loadConfig();
    const bool prepared = app->load();
    std::cout.rdbuf(out);
    if (!prepared)
        return nullptr;
    // Every seek is quiet, the first one too.
    app->markPrinted(TargetStep);
    return app;
}

void seekFromTheStart(benchmark::State& state)
{
    static Player* app = startDemo();
    if (!app)
    {
        state.SkipWithError("the bundled demo did not start");
        return;
    }
    PassElision::enabled = state.range(0) == 0;
    bool arrived = true;
    for (auto _ : state)
    {
        app->rewind();
        arrived = app->seekTo(TargetStep) && arrived;
    }
    PassElision::enabled = true;
    if (!arrived)
        state.SkipWithError("the seek did not arrive");
    state.SetItemsProcessed(state.iterations() * TargetStep);
}
BENCHMARK(seekFromTheStart)
    ->ArgName("every_pass")
    ->Arg(0)
    ->Arg(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
} // namespace

BENCHMARK_MAIN();
