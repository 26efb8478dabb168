#pragma once

#include "audio/TempoGrid.hpp"
#include "script/CommandSignature.hpp"
#include "script/GameEntity.hpp"
#include "script/Script.hpp"
#include "script/ScriptParams.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class ScriptEdit;

// Runs the lines of a Script in fixed steps on behalf of one GameEntity.
class ScriptInterp
{
public:
    static constexpr int AliasCount = 9;
    // Lines one run may execute or skip before it yields to the next step.
    static constexpr int MaxLinesPerRun = 100000;

    // Binds a loaded script and its entity and starts the main flow at line 0.
    void bind(Script* script, GameEntity* entity);
    // Back to the first line of the bound script, as bind leaves it, without learning its rows
    // again: the script has not changed.
    void rewind();

    void reset();
    void update(float dt);
    bool run(const std::string& label);
    void executeSub(const std::string& label);
    void executeFrom(const std::string& label);

    std::string resolveParam(const std::string& text) const;

    // What a built-in command does to the flow of the script, for tools that follow it.
    enum class Flow : std::uint8_t
    {
        Next,   // goes on with the next line
        Goto,   // continues at its label parameter
        Gosub,  // calls its label parameter; return comes back
        Return, // continues after the gosub
        Stop,   // ends the run (exit)
        Yield,  // ends the run and goes on later (delay, reset_script)
        Open,   // opens a conditional block (if ...)
        Close   // closes one (endif)
    };
    struct Builtin
    {
        CommandInfo info;
        Flow flow;
    };

    // The built-in command table, in dispatch order.
    static int builtinCount();
    static const Builtin& builtin(int row);
    // The row of the built-in command with exactly this word, or ScriptLine::NoRow.
    static int findBuiltin(std::string_view command);
    // While skipping a block: +1 for a command that opens one (also "if_enemy_alive" and
    // "if_not_enemy_alive", which are not built in yet open blocks), -1 for endif, 0 otherwise.
    static int blockChange(std::string_view command);
    // The interpreter's own constants with what they stand for ("%flag_0" is "flag 0").
    static std::vector<std::pair<std::string, std::string>> constants();
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
    // The musical grid of delay_beats and delay_bars (tempo sets it; 120 BPM in 4 until then).
    TempoGrid tempo;

    // What those who follow the run from outside (a seek, author mode) ask it to record, and the
    // records, which are kept here: the run writes into nothing it does not hold. They are not the
    // run's state: putting a snapshot back leaves them as they are.
    struct Followers
    {
        // A main-flow run that arrives at line `watchLine` (by running on to it or by a jump) sets
        // `watchReached`. Sections run by executeSub do not count. -1: no watch.
        int watchLine = -1;
        bool watchReached = false;
        // The same for many lines at once: a main-flow run that arrives at line i sets element i
        // (empty: none watched).
        std::vector<char> arrivedLines;
        // The first step in which each stored line was looked at by any run (the main flow, the
        // sections, skipped blocks), written as `step` where it is still -1 (empty: not kept); then
        // the first step a run went past the last line, and the first step a jump looked for an
        // undefined label. A reload keeps what ran before the first line it changed.
        std::vector<long> touchedLines;
        // The same for the main flow's arrivals only (as arrivedLines counts them).
        std::vector<long> arrivalSteps;
        long step = 0;
    };
    Followers followers;

    // The run's state (its followers are not part of it, nor the buffers a run reuses): a
    // snapshot of a playing demo keeps it.
    struct Saved
    {
        Script* script = nullptr;
        bool running = false;
        float delay = 0.f;
        int pc = 0;
        int returnLine = -1;
        int lineCount = 0;
        GameEntity* entity = nullptr;
        std::string aliases[AliasCount];
        bool resetRequested = false;
        TempoGrid tempo;
        int executingLine = -1;
        int stopLine = -1;
        bool runawayReported = false;
        bool inMainFlow = false;

        // After a script save that kept this state: its places moved to the new version's lines;
        // false when one of them is in the changed run (the state cannot be kept).
        bool moveLines(const ScriptEdit& edit, int newLineCount);
    };
    Saved save() const;
    // Puts a saved run back; those who follow the run stay.
    void restore(const Saved& saved);

    // The stored line being executed now; -1 between lines. What a command reports while it runs
    // can be placed at its line in the file.
    int executingLine = -1;
    // The stored line whose command ended the main flow (its exit); -1 while it runs or when it
    // ran off the script's end.
    int stopLine = -1;

    // The stored line the main flow is at, as the author is shown it: while it waits, the line
    // before its pc (the delay); once ended, the line that ended it (exit moves the pc back to
    // the start), or the script's line count when it ran off the end.
    int mainFlowLine() const;

private:
    // Notes the line at pc as looked at, and (when `arrived`, not within a skipped block) as
    // arrived at by the main flow, for those who follow the run.
    void follow(bool arrived);
    // The line a jump to `name` goes to (0 when undefined, which is noted in touchedLines).
    int labelLine(const std::string& name);
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

    using Params = LineParams;
    using Handler = Step (ScriptInterp::*)(const Params& params);
    struct Command
    {
        Builtin row;
        Handler handler;
    };
    static const Command commands[];

    // Tells each line of the bound script its row, its block change and where its jump goes.
    void learnRows(Script& script) const;
    // The line's parameters as written when none needs resolving, otherwise the resolved copy.
    const std::vector<std::string>& resolvedParams(const ScriptLine& line);
    const ScriptLine& handedOver(const ScriptLine& line, const std::vector<std::string>& params);
    int jumpTarget(const Params& params);

    bool yieldRunaway();
    void resolveInto(const std::string& text, std::string& out) const;
    void resolveFlag(int flag, std::string& out) const;
    int matchingAlias(const std::string& text) const;
    std::int32_t flagValue(int index) const;
    Step execute(const ScriptLine& line, const std::vector<std::string>& params);
    bool flagIndexValid(int index, std::string_view what) const;
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
    Step tempoCommand(const Params& params);
    Step delayBeats(const Params& params);
    Step delayBars(const Params& params);
    // Waits `steps` steps: the next line runs in the step `steps` after this one.
    Step delaySteps(long steps);
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

    // Reused by every line that needs resolving, so that a steady run does not allocate.
    ScriptLine scratch;
    std::vector<std::string> spareParams;
    std::string keyScratch;
    bool runawayReported = false;
    bool inMainFlow = false;
};
