#pragma once

#include "script/GameEntity.hpp"
#include "script/Script.hpp"

#include <cstdint>
#include <string>
#include <vector>

// Runs the lines of a Script in fixed steps on behalf of one GameEntity.
class ScriptInterp
{
public:
    static constexpr int AliasCount = 9;
    // Lines one run may execute or skip before it yields to the next step.
    static constexpr int MaxLinesPerRun = 100000;

    // Binds a loaded script and its entity and starts the main flow at line 0.
    void bind(Script* script, GameEntity* entity);

    void reset();
    void update(float dt);
    bool run(const std::string& label);
    void executeSub(const std::string& label);
    void executeFrom(const std::string& label);

    std::string resolveParam(const std::string& text) const;

    // The built-in command table as the run dispatches with it, for tools that check scripts:
    // true when `command` is built in, with the parameter count it checks (-1: none).
    static bool builtinCommand(const std::string& command, int& paramCount);
    static std::vector<std::string> builtinNames();
    // True for the commands that open a conditional block (also the two that are not built in).
    static bool opensBlock(const std::string& command);
    // True when text is exactly one of the interpreter's own constants: "%flag_0".."%flag_8",
    // "%true", "%false".
    static bool isConstant(const std::string& text);
    int aliasIndex(const std::string& key) const;

    Script* script = nullptr;
    bool running = false;
    float delay = 0.f;
    int pc = 0;
    int returnLine = -1;
    int lineCount = 0;
    GameEntity* entity = nullptr;
    std::string aliases[AliasCount];
    bool resetRequested = false;

    // Fast-forward support: a main-flow run that arrives at line `watchLine` (by running on to it
    // or by a jump) sets `watchReached`. Sections run by executeSub do not count. -1: no watch.
    int watchLine = -1;
    bool watchReached = false;

private:
    // What the run does after a built-in command: go to the next line, open a skipped block and go
    // to the next line, continue at the pc the command set, or end the run with true / false.
    enum class Step
    {
        Next,
        Skip,
        Jump,
        Yield,
        Stop
    };
    enum class FlagOp
    {
        Set,
        Add,
        Sub,
        Mul,
        Div
    };

    using Params = std::vector<std::string>;
    using Handler = Step (ScriptInterp::*)(const Params& params);
    struct Command
    {
        const char* name;
        int paramCount; // -1: the command reads no parameters and checks none
        Handler handler;
    };
    static const Command commands[];

    bool yieldRunaway();
    void resolveInto(const std::string& text, std::string& out) const;
    int matchingAlias(const std::string& text) const;
    std::int32_t flagValue(int index) const;
    void copyLine(const ScriptLine& line);
    Step execute(const ScriptLine& line);
    bool flagIndexValid(int index, const char* what) const;
    Step changeFlag(FlagOp op, int index, std::int32_t value);
    Step changeVar(FlagOp op, const Params& params);
    const std::string& variableKey(const Params& params, std::size_t i);

    Step playMusic(const Params& params);
    Step pauseMusic(const Params& params);
    Step resumeMusic(const Params& params);
    Step fadeOutMusic(const Params& params);
    Step setFlag(const Params& params);
    Step addFlag(const Params& params);
    Step subFlag(const Params& params);
    Step mulFlag(const Params& params);
    Step divFlag(const Params& params);
    Step setVar(const Params& params);
    Step addVar(const Params& params);
    Step subVar(const Params& params);
    Step mulVar(const Params& params);
    Step divVar(const Params& params);
    Step delayCommand(const Params& params);
    Step gotoCommand(const Params& params);
    Step gosubCommand(const Params& params);
    Step resetScript(const Params& params);
    Step returnCommand(const Params& params);
    Step exitCommand(const Params& params);
    Step aliasCommand(const Params& params);
    Step logCommand(const Params& params);
    Step ifEqual(const Params& params);
    Step ifNotEqual(const Params& params);
    Step ifLess(const Params& params);
    Step ifMore(const Params& params);
    Step nothing(const Params& params);

    // Reused by every executed line so that a steady run does not allocate.
    ScriptLine scratch;
    std::vector<std::string> spareParams;
    std::string keyScratch;
    bool runawayReported = false;
    bool inMainFlow = false;
};
