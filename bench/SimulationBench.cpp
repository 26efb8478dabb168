// One fixed simulation step of the two biggest per-step loads: a particle pool full of live
// particles, and a scene full of objects with running tweens. Nothing here needs a display.
#include "StepScene.hpp"
#include "player/Player.hpp"
#include "cutscene/GameCutscene.hpp"
#include "effects/ParticleSystem.hpp"
#include "scene/SceneObject.hpp"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace
{
constexpr float Step = 1.f / 60.f;

// A system of `count` live particles that never die within the run; fading ones evaluate their
// sine tween on every step, the others keep their alpha.
void fillSystem(ParticleSystem& system, sf::Sprite& sprite, std::int32_t count, bool fading)
{
    system.allocatePool(count);
    system.sprites.push_back(&sprite);
    system.x = {0.f, 1920.f};
    system.y = {0.f, 1080.f};
    system.xs = {-50.f, 50.f};
    system.ys = {-50.f, 50.f};
    system.yg = {5.f, 20.f};
    system.rotspeed = {-90.f, 90.f};
    system.scale = {0.5f, 1.5f};
    system.scalespeed = {-0.01f, 0.01f};
    system.ttl = {1e9f, 1e9f};
    system.fadespeed = {1e6f, 1e6f};
    system.fadein = fading;
    for (std::int32_t i = 0; i < count; ++i)
        system.spawnAt(static_cast<float>(i % 1920), static_cast<float>(i % 1080));
    // Active with a full pool: every step also pays for the search of a free slot.
    system.setActive(true);
}

void particleStep(benchmark::State& state)
{
    const std::int32_t count = static_cast<std::int32_t>(state.range(0));
    sf::Sprite sprite;
    ParticleSystem system;
    fillSystem(system, sprite, count, state.range(1) != 0);
    for (auto _ : state)
    {
        system.update(Step);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(particleStep)
    ->ArgNames({"particles", "fading"})
    ->Args({10000, 1})
    ->Args({10000, 0})
    ->Unit(benchmark::kMicrosecond);

void sceneObjectStep(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    std::vector<std::unique_ptr<SceneObject>> objects;
    for (int i = 0; i < count; ++i)
    {
        auto object = std::make_unique<SceneObject>("o" + std::to_string(i), nullptr, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f);
        // Four endless yoyo tweens per object, as the bundled demo's busiest objects run.
        object->startTween(Property::X, 1500.f, 7.f, Easing::InOutSine, -1, true, -1);
        object->startTween(Property::Y, 800.f, 3.f, Easing::OutBack, -1, true, Easing::InBack);
        object->startTween(Property::Rotation, 360.f, 20.f, Easing::Linear, -1, false, 0);
        object->startTween(Property::Alpha, 0.2f, 1.3f, Easing::InSine, -1, true, Easing::OutSine);
        objects.push_back(std::move(object));
    }
    for (auto _ : state)
    {
        for (auto& object : objects)
            object->update(Step);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(sceneObjectStep)->ArgName("objects")->Arg(200)->Unit(benchmark::kMicrosecond);

// The player's whole fixed step on a loaded scene: 200 tweening objects, 10,000 live particles
// and five text instances of 40 letters, with the main flow waiting (lines 0) or running about
// 100,000 script lines in the step (lines 100000). Needs a GL context for the textures and fonts
// (make bench runs it under a virtual screen when there is no display).
void wholeStep(benchmark::State& state)
{
    // The catalogs are process-wide: the scene is set up once, however often this runs.
    static Player* app = nullptr;
    static bool started = false;
    if (!app)
    {
        namespace fs = std::filesystem;
        const fs::path folder = fs::temp_directory_path() / "kestrune-step-bench";
        stepscene::write(KESTRUNE_SOURCE_DIR, folder);
        fs::current_path(folder);
        // The scene's start-up messages would bury the figures.
        std::ostringstream quiet;
        std::streambuf* out = std::cout.rdbuf(quiet.rdbuf());
        app = new Player;
        started = stepscene::start(*app, 120);
        std::cout.rdbuf(out);
    }
    if (!started)
        state.SkipWithError("the step scene did not start");
    GameCutscene::instance().flags[stepscene::BusyFlag] = state.range(0) > 0 ? 1 : 0;
    // One step to leave the loop or the wait the other variant was in.
    app->update();
    for (auto _ : state)
        app->update();
}
BENCHMARK(wholeStep)->ArgName("lines")->Arg(0)->Arg(100000)->Unit(benchmark::kMicrosecond);
} // namespace

BENCHMARK_MAIN();
