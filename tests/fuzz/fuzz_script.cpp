// The script file and the interpreter: any bytes as demo.script, then the program's own drive
// (init once, then steps with the render section) on an entity that records what reaches it.
#include "FuzzSupport.hpp"

#include "script/GameEntity.hpp"
#include "script/Script.hpp"
#include "script/ScriptInterp.hpp"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace
{
constexpr int Steps = 300;
// A loop without a delay runs the interpreter's whole per-run line cap on every run, which under
// the sanitizers costs most of a second per step; such an input stops stepping after this much
// processor time, so the fuzzer spends its time on new paths instead of one loop.
constexpr std::clock_t Budget = CLOCKS_PER_SEC / 20;

class RecordingEntity : public GameEntity
{
public:
    // Knows every command but those starting with "x", so the unhandled path is reached too.
    bool extScript(const ScriptLine& line) override
    {
        ++calls;
        for (const std::string& param : line.params)
            seen += param.size();
        return line.command.empty() || line.command[0] != 'x';
    }

    // One constant of its own, so that rewritten texts flow back into the interpreter.
    std::string extVariable(std::string text) override
    {
        const std::size_t at = text.find("%forever");
        if (at != std::string::npos)
            text.replace(at, 8, "-1");
        return text;
    }

    std::size_t calls = 0;
    std::size_t seen = 0;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::enterWorkdir();
    Script script;
    script.load(fuzz::writeInput(data, size, "demo.script"));

    RecordingEntity entity;
    ScriptInterp interp;
    interp.bind(&script, &entity);
    const std::clock_t start = std::clock();
    interp.executeSub("init");
    for (int step = 0; step < Steps && interp.running && std::clock() - start < Budget; ++step)
    {
        interp.update(1.f / 60.f);
        interp.executeSub("render");
    }
    return 0;
}
