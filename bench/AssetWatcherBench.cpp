// The cost of one asset-folder poll, paid once per fixed step of 1/60 s.
#include "watch/AssetWatcher.hpp"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
// An assets folder of `count` small files spread over ten sub-folders, as a demo's textures,
// fonts and animation files are.
fs::path makeAssets(int count)
{
    const fs::path dir =
        fs::temp_directory_path() / ("kestrune-bench-" + std::to_string(getpid()) + "-" + std::to_string(count));
    fs::remove_all(dir);
    for (int i = 0; i < count; ++i)
    {
        const fs::path folder = dir / ("folder" + std::to_string(i % 10));
        fs::create_directories(folder);
        std::ofstream(folder / ("file" + std::to_string(i) + ".png")) << i;
    }
    return dir;
}

void pollAssets(benchmark::State& state)
{
    const fs::path dir = makeAssets(static_cast<int>(state.range(0)));
    AssetWatcher watcher(dir.string(), 5000);
    int events = 0;
    for (auto _ : state)
        watcher.poll([&events](const std::string&, FileStatus) { ++events; });
    state.counters["entries"] = static_cast<double>(watcher.files.size());
    state.counters["events"] = events;
    fs::remove_all(dir);
}
} // namespace

BENCHMARK(pollAssets)->Arg(30)->Arg(300)->Arg(1000)->Unit(benchmark::kMicrosecond);
