// What one executed script line costs: the time of a step that runs a loop of about 90,000
// lines, minus the time of a step in which the script only waits, divided by the lines run. Two
// loops: flag lines only (add_flag, if_less, goto), and the same with two scene commands on an
// object (a property set and a tween start). Nothing here needs a display.
#include "cutscene/GameCutscene.hpp"
#include "scene/SceneObject.hpp"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include <time.h>

namespace
{
constexpr float Step = 1.f / 60.f;
// Flag 1 selects what a step runs: 0 waits, 1 the flag loop, 2 the scene loop.
constexpr int Select = 1;
constexpr int FlagTurns = 30000;  // three lines a turn
constexpr int SceneTurns = 18000; // five lines a turn

std::string loopScript()
{
    std::ostringstream script;
    script << ":main\nset_flag 0, 0\nif %flag_1, 1\ngoto flags\nendif\nif %flag_1, 2\ngoto scene\nendif\n"
           << "delay 0\ngoto main\n"
           << ":flags\nadd_flag 0, 1\nif_less %flag_0, " << FlagTurns << "\ngoto flags\nendif\ndelay 0\ngoto main\n"
           << ":scene\nadd_flag 0, 1\nobject_set_x o0, 5\nobject_tween_x o0, 100, 1\nif_less %flag_0, " << SceneTurns
           << "\ngoto scene\nendif\ndelay 0\ngoto main\n"
           << ":init\nexit\n:render\nexit\n";
    return script.str();
}

// A cutscene of its own, with one object the scene loop works on.
GameCutscene& loopScene()
{
    static GameCutscene* cutscene = nullptr;
    if (!cutscene)
    {
        const std::filesystem::path path = std::filesystem::temp_directory_path() / "kestrune-script-bench.script";
        std::ofstream(path) << loopScript();
        cutscene = new GameCutscene;
        cutscene->clearScene();
        cutscene->loadScript(path.string());
        cutscene->objects["o0"] =
            std::make_unique<SceneObject>("o0", nullptr, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f);
        cutscene->update(Step); // init
    }
    return *cutscene;
}

double threadNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// In processor time of this thread: the machine is shared, and waiting for a core is not the
// script's cost.
double timeStep(GameCutscene& cutscene)
{
    const double begin = threadNanoseconds();
    cutscene.update(Step);
    return threadNanoseconds() - begin;
}

// One iteration: a step that runs the loop and a step that only waits. The reported time is the
// loop step's; "ns_per_line" is the difference per line.
void scriptLines(benchmark::State& state)
{
    GameCutscene& cutscene = loopScene();
    const int loop = static_cast<int>(state.range(0));
    const double lines = loop == 1 ? 3.0 * FlagTurns : 5.0 * SceneTurns;
    double busy = 0.0;
    double idle = 0.0;
    bool complete = true;
    for (auto _ : state)
    {
        cutscene.flags[Select] = loop;
        const double running = timeStep(cutscene);
        complete = complete && cutscene.flags[0] == (loop == 1 ? FlagTurns : SceneTurns);
        cutscene.flags[Select] = 0;
        const double waiting = timeStep(cutscene);
        busy += running;
        idle += waiting;
        state.SetIterationTime(running * 1e-9);
    }
    if (!complete)
        state.SkipWithError("the loop did not run its turns");
    const double iterations = static_cast<double>(state.iterations());
    state.counters["ns_per_line"] = benchmark::Counter((busy - idle) / iterations / lines);
    state.SetLabel(loop == 1 ? "flag lines" : "two scene commands a turn");
}
BENCHMARK(scriptLines)->ArgName("loop")->Arg(1)->Arg(2)->UseManualTime()->Unit(benchmark::kMicrosecond);
} // namespace
