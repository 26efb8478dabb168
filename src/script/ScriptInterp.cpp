#include "script/ScriptInterp.hpp"

#include "script/ScriptEdit.hpp"

#include "catalogs/MusicManager.hpp"
#include "motion/StepRate.hpp"
#include "profile/Profiler.hpp"
#include "script/ScriptParams.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <iostream>

namespace
{
const char* const FlagConstants[GameEntity::FlagCount] = {"%flag_0", "%flag_1", "%flag_2", "%flag_3", "%flag_4",
                                                          "%flag_5", "%flag_6", "%flag_7", "%flag_8"};

struct Constant
{
    const char* text;
    const char* value;
};
// Replaced after the flags, in this order.
const Constant Truth[] = {{"%true", "1"}, {"%false", "0"}};

// Not built in, yet while skipping they open blocks, so that a skipped region holding them stays
// balanced with its endif.
const char* const OutsideBlockOpeners[] = {"if_enemy_alive", "if_not_enemy_alive"};

const std::string NoLabel;

char lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

void lowerInPlace(std::string& text)
{
    for (char& c : text)
        c = lower(c);
}

// Only the first occurrence is replaced: a constant written twice in one parameter resolves once.
void replaceFirstInPlace(std::string& text, const char* pattern, const char* replacement, std::size_t replacementSize)
{
    const std::size_t at = text.find(pattern);
    if (at != std::string::npos)
        text.replace(at, std::strlen(pattern), replacement, replacementSize);
}

struct Decimal
{
    explicit Decimal(std::int32_t value)
    {
        size = static_cast<std::size_t>(std::to_chars(text, text + sizeof text, value).ptr - text);
    }
    char text[12];
    std::size_t size;
};

// Flag arithmetic wraps in two's complement instead of overflowing.
std::int32_t wrap(std::int64_t value)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// Kept out of line, so that the checks of every flag line stay small.
[[gnu::cold]] [[gnu::noinline]] void reportFlagIndex(int index, std::string_view what)
{
    Problem::report(lineProblem() << what << " index " << index << " is out of range 0.." << GameEntity::FlagCount - 1
                                  << ".");
}

bool reachedEnd()
{
    std::cout << "ScriptInterp: Reached end of script." << std::endl;
    return false;
}

using K = ParamKind;
constexpr Param SongParams[] = {{"song", K::Song}};
constexpr Param SecondsParams[] = {{"seconds", K::Number}};
constexpr Param TempoParams[] = {{"bpm", K::Number}, {"beats_per_bar", K::Integer, "4"}, {"offset", K::Number, "0"}};
constexpr Param BeatsParams[] = {{"beats", K::Integer}};
constexpr Param BarsParams[] = {{"bars", K::Integer}};
constexpr Param FlagParams[] = {{"flag", K::Flag}, {"value", K::Integer}};
constexpr Param VariableParams[] = {{"variable", K::Variable}, {"value", K::Integer}};
constexpr Param LabelParams[] = {{"label", K::Label}};
constexpr Param AliasParams[] = {{"flag", K::Flag}, {"name", K::NewVariable}};
constexpr Param TextParams[] = {{"text", K::Text}};
constexpr Param CompareParams[] = {{"a", K::Integer}, {"b", K::Integer}};
constexpr Signature NoParams;
} // namespace

using Flow = ScriptInterp::Flow;

// Looked up in this order, by exact name.
// clang-format off: one row a line, its description included
const ScriptInterp::Command ScriptInterp::commands[] = {
    {{{"play_music", SongParams, "Plays a song of the music catalog once, in place of the one playing."}, Flow::Next},
     &ScriptInterp::playMusic},
    {{{"pause_music", NoParams, "Pauses the song."}, Flow::Next}, &ScriptInterp::pauseMusic},
    {{{"resume_music", NoParams, "Continues a paused song; a stopped or playing one starts from its beginning."},
      Flow::Next},
     &ScriptInterp::resumeMusic},
    {{{"fade_out_music", SecondsParams, "Lowers the song's volume to 0 over the seconds given."}, Flow::Next},
     &ScriptInterp::fadeOutMusic},
    {{{"set_flag", FlagParams, "Sets a flag to a value."}, Flow::Next}, &ScriptInterp::setFlag},
    {{{"add_flag", FlagParams, "Adds a value to a flag."}, Flow::Next}, &ScriptInterp::addFlag},
    {{{"sub_flag", FlagParams, "Subtracts a value from a flag."}, Flow::Next}, &ScriptInterp::subFlag},
    {{{"mul_flag", FlagParams, "Multiplies a flag by a value."}, Flow::Next}, &ScriptInterp::mulFlag},
    {{{"div_flag", FlagParams, "Divides a flag by a value, truncating toward zero."}, Flow::Next},
     &ScriptInterp::divFlag},
    {{{"set_var", VariableParams, "Sets a variable (a named flag) to a value."}, Flow::Next}, &ScriptInterp::setVar},
    {{{"add_var", VariableParams, "Adds a value to a variable."}, Flow::Next}, &ScriptInterp::addVar},
    {{{"sub_var", VariableParams, "Subtracts a value from a variable."}, Flow::Next}, &ScriptInterp::subVar},
    {{{"mul_var", VariableParams, "Multiplies a variable by a value."}, Flow::Next}, &ScriptInterp::mulVar},
    {{{"div_var", VariableParams, "Divides a variable by a value, truncating toward zero."}, Flow::Next},
     &ScriptInterp::divVar},
    {{{"delay", SecondsParams, "Ends this step's run; the next line runs once the seconds given have passed."},
      Flow::Yield},
     &ScriptInterp::delayCommand},
    {{{"tempo", TempoParams,
       "Sets the musical grid: beats per minute, beats per bar and where beat 0 falls after the song's start."},
      Flow::Next},
     &ScriptInterp::tempoCommand},
    {{{"delay_beats", BeatsParams, "Ends this step's run; the next line runs on the step nearest the beat N beats on."},
      Flow::Yield},
     &ScriptInterp::delayBeats},
    {{{"delay_bars", BarsParams,
       "Ends this step's run; the next line runs on the step nearest the start of the bar N bars on."},
      Flow::Yield},
     &ScriptInterp::delayBars},
    {{{"goto", LabelParams, "Continues at the line after the label."}, Flow::Goto}, &ScriptInterp::gotoCommand},
    {{{"gosub", LabelParams, "Continues at the line after the label and remembers where it was, for return."},
      Flow::Gosub},
     &ScriptInterp::gosubCommand},
    {{{"reset_script", NoParams, "Ends this step's run; the next step restarts the main flow at its first line."},
      Flow::Yield},
     &ScriptInterp::resetScript},
    {{{"return", NoParams, "Continues after the gosub that came here."}, Flow::Return}, &ScriptInterp::returnCommand},
    {{{"exit", NoParams, "Ends the demo in the main flow; in a section, ends only the section."}, Flow::Stop},
     &ScriptInterp::exitCommand},
    {{{"alias", AliasParams, "Names a flag (lower-cased), to read and change as a variable."}, Flow::Next},
     &ScriptInterp::aliasCommand},
    {{{"log", TextParams, "Prints LOG: and the text on standard output."}, Flow::Next}, &ScriptInterp::logCommand},
    {{{"if", CompareParams, "Runs the lines up to the matching endif when a equals b."}, Flow::Open},
     &ScriptInterp::ifEqual},
    {{{"if_not", CompareParams, "Runs the lines up to the matching endif when a differs from b."}, Flow::Open},
     &ScriptInterp::ifNotEqual},
    {{{"if_less", CompareParams, "Runs the lines up to the matching endif when a is less than b."}, Flow::Open},
     &ScriptInterp::ifLess},
    {{{"if_more", CompareParams, "Runs the lines up to the matching endif when a is more than b."}, Flow::Open},
     &ScriptInterp::ifMore},
    // A label line; the loader stores it with its name, which nothing reads.
    {{{Script::LabelCommand, NoParams, "Marks where goto and gosub continue."}, Flow::Next}, &ScriptInterp::nothing},
    {{{"endif", NoParams, "Closes the block of the nearest open if."}, Flow::Close}, &ScriptInterp::nothing},
};
// clang-format on

int ScriptInterp::builtinCount()
{
    return static_cast<int>(sizeof commands / sizeof commands[0]);
}

const ScriptInterp::Builtin& ScriptInterp::builtin(int row)
{
    return commands[row].row;
}

int ScriptInterp::findBuiltin(std::string_view command)
{
    for (int row = 0; row < builtinCount(); ++row)
        if (command == commands[row].row.info.name)
            return row;
    return ScriptLine::NoRow;
}

int ScriptInterp::blockChange(std::string_view command)
{
    const int row = findBuiltin(command);
    if (row >= 0)
        return commands[row].row.flow == Flow::Open ? 1 : commands[row].row.flow == Flow::Close ? -1 : 0;
    for (const char* opener : OutsideBlockOpeners)
        if (command == opener)
            return 1;
    return 0;
}

std::vector<std::pair<std::string, std::string>> ScriptInterp::constants()
{
    std::vector<std::pair<std::string, std::string>> result;
    for (int k = 0; k < GameEntity::FlagCount; ++k)
        result.emplace_back(FlagConstants[k], "flag " + std::to_string(k));
    for (const Constant& constant : Truth)
        result.emplace_back(constant.text, constant.value);
    return result;
}

bool ScriptInterp::isConstant(const std::string& text)
{
    for (const char* flag : FlagConstants)
        if (text == flag)
            return true;
    for (const Constant& constant : Truth)
        if (text == constant.text)
            return true;
    return false;
}

void ScriptInterp::learnRows(Script& bound) const
{
    for (ScriptLine& line : bound.lines)
    {
        line.builtin = findBuiltin(line.command);
        line.jump = -1;
        if (line.builtin < 0)
        {
            line.blockChange = blockChange(line.command);
            continue;
        }
        const Builtin& row = commands[line.builtin].row;
        line.blockChange = row.flow == Flow::Open ? 1 : row.flow == Flow::Close ? -1 : 0;
        if (row.flow != Flow::Goto && row.flow != Flow::Gosub)
            continue;
        // A label written plainly and defined in the script is found once, here.
        for (int i = 0; i < row.info.signature.count; ++i)
        {
            const std::size_t label = static_cast<std::size_t>(i);
            if (row.info.signature.params[i].kind != ParamKind::Label || line.facts.size() != line.params.size() ||
                label >= line.params.size() || !line.facts[label].plain)
                continue;
            const auto found = bound.labels.find(line.params[label]);
            if (found != bound.labels.end())
                line.jump = found->second;
        }
    }
}

int ScriptInterp::mainFlowLine() const
{
    int line = delay > 0.f ? pc - 1 : pc;
    if (!running && stopLine >= 0)
        line = stopLine;
    else if (!running)
        line = script ? script->lineCount() : 0;
    return std::max(line, 0);
}

void ScriptInterp::bind(Script* boundScript, GameEntity* boundEntity)
{
    entity = boundEntity;
    script = boundScript;
    if (script)
        learnRows(*script);
    rewind();
}

void ScriptInterp::rewind()
{
    reset();
    tempo = TempoGrid();
    lineCount = script ? script->lineCount() : 0;
    running = script != nullptr;
    runawayReported = false;
    stopLine = -1;
}

void ScriptInterp::reset()
{
    delay = 0.f;
    pc = 0;
    returnLine = -1;
    for (std::string& alias : aliases)
        alias.clear();
}

void ScriptInterp::update(float dt)
{
    if (!running)
        return;
    if (!script)
    {
        Problem::report(interpProblem() << "Trying to update() without a script reference.");
        return;
    }
    // The step that brings the delay to 0 still runs no line.
    if (delay > 0.f)
    {
        delay -= dt;
        return;
    }
    inMainFlow = true;
    running = run(NoLabel);
    inMainFlow = false;
    if (resetRequested)
    {
        resetRequested = false;
        pc = 0;
        delay = 0.f;
    }
}

bool ScriptInterp::run(const std::string& label)
{
    if (!script || !entity)
    {
        Problem::report(interpProblem() << "Trying to run() without a script or an entity.");
        return false;
    }
    if (!label.empty())
        pc = labelLine(label);
    int skipDepth = 0;
    int linesThisRun = 0;
    // Once per run: the lines' loop stays as lean as it is without anyone following it.
    const bool followed =
        !followers.arrivedLines.empty() || !followers.touchedLines.empty() || !followers.arrivalSteps.empty();
    for (;;)
    {
        if (delay > 0.f)
            return true;
        if (inMainFlow && pc == followers.watchLine && skipDepth == 0)
            followers.watchReached = true;
        if (followed)
            follow(skipDepth == 0);
        if (pc >= lineCount)
            return reachedEnd();
        const ScriptLine* stored = script->getLine(pc);
        if (!stored)
            return false;
        // Skipped lines are resolved too: the entity sees every constant of every line reached.
        const ScriptLine& line = *stored;
        const std::vector<std::string>& params = resolvedParams(line);
        if (++linesThisRun > MaxLinesPerRun)
            return yieldRunaway();
        if (skipDepth > 0)
        {
            skipDepth += line.builtin == ScriptLine::NotLookedUp ? blockChange(line.command) : line.blockChange;
            if (++pc >= lineCount)
            {
                if (followed)
                    follow(false);
                // A block closed by the script's last line is a plain end, not a missing endif.
                if (skipDepth == 0)
                    return reachedEnd();
                Problem::report(interpProblem() << "Reached end of script in BRANCH. Missing endif?");
                return false;
            }
            continue;
        }
        currentCommand = line.command;
        currentLineNumber = pc + 1;
        executingLine = pc;
        const int ran = pc; // exit moves pc back to the start
        Step step;
        if (Profiler* profiler = Profiler::active)
        {
            const Profiler::Open open = profiler->beginLine(ran, stored);
            step = execute(line, params);
            profiler->end(open);
        }
        else
            step = execute(line, params);
        executingLine = -1;
        switch (step)
        {
        case Step::Jump: continue;
        case Step::Yield: return true;
        case Step::Stop:
            if (inMainFlow)
                stopLine = ran;
            return false;
        case Step::Skip: skipDepth += 1; break;
        case Step::Next: break;
        }
        if (++pc >= lineCount)
        {
            if (followed)
                follow(true);
            return reachedEnd();
        }
    }
}

// A loop without a delay (a goto back, an undefined label, a return without gosub) would
// never give the frame back; it is cut into runs of bounded length instead, so the window
// stays responsive and Escape still works.
bool ScriptInterp::yieldRunaway()
{
    if (!runawayReported)
    {
        runawayReported = true;
        Problem::report(lineProblem() << MaxLinesPerRun
                                      << " lines ran without a delay; the script goes on at the next step.");
    }
    return true;
}

void ScriptInterp::executeSub(const std::string& label)
{
    if (label.empty())
    {
        Problem::report(interpProblem() << "Cannot executeSub on empty label.");
        return;
    }
    if (!script)
    {
        Problem::report(interpProblem() << "Cannot executeSub [" << label << "] without a script.");
        return;
    }
    if (!running)
    {
        // The sections still run once the main flow has ended (render, every frame); the line
        // that ended it stays its own exit, not the section's.
        const int ended = stopLine;
        executeFrom(label);
        stopLine = ended;
        return;
    }
    const int savedPc = pc;
    const int savedReturnLine = returnLine;
    const float savedDelay = delay;
    pc = 0;
    delay = 0.f;
    returnLine = -1;
    run(label);
    if (resetRequested)
    {
        resetRequested = false;
        returnLine = -1;
        pc = 0;
        delay = 0.f;
        return;
    }
    // A delay inside the section postpones the main flow by the same time.
    running = true;
    pc = savedPc;
    returnLine = savedReturnLine;
    delay += savedDelay;
}

void ScriptInterp::executeFrom(const std::string& label)
{
    if (label.empty())
    {
        Problem::report(interpProblem() << "Cannot executeFrom on empty label.");
        return;
    }
    if (!script)
    {
        Problem::report(interpProblem() << "Cannot executeFrom [" << label << "] without a script.");
        return;
    }
    pc = 0;
    delay = 0.f;
    inMainFlow = true;
    running = run(label);
    inMainFlow = false;
    if (resetRequested)
    {
        resetRequested = false;
        pc = 0;
        delay = 0.f;
    }
}

std::string ScriptInterp::resolveParam(const std::string& text) const
{
    std::string result;
    resolveInto(text, result);
    return result;
}

void ScriptInterp::resolveInto(const std::string& text, std::string& out) const
{
    const bool hasPercent = text.find('%') != std::string::npos;
    const bool hasDollar = text.find('$') != std::string::npos;
    if (!hasPercent && !hasDollar)
    {
        out = text;
        return;
    }
    out.clear();
    if (hasPercent)
    {
        out = text;
        lowerInPlace(out);
        // A replacement only ever removes a "%", so once none is left no later constant can match.
        if (out.find("%flag_") != std::string::npos)
        {
            for (int k = 0; k < GameEntity::FlagCount; ++k)
            {
                const Decimal value(flagValue(k));
                replaceFirstInPlace(out, FlagConstants[k], value.text, value.size);
            }
        }
        if (out.find('%') != std::string::npos)
            for (const Constant& constant : Truth)
                replaceFirstInPlace(out, constant.text, constant.value, std::strlen(constant.value));
        if (entity)
            out = entity->extVariable(std::move(out));
    }
    if (hasDollar)
    {
        // A "$" text that names no alias comes out as it was after the constants: empty without "%".
        const int slot = matchingAlias(text);
        if (slot >= 0)
        {
            const Decimal value(flagValue(slot));
            out.assign(value.text, value.size);
        }
    }
}

// The usual "%flag_N" parameter: what resolveInto makes of it, without searching the text.
void ScriptInterp::resolveFlag(int flag, std::string& out) const
{
    const Decimal value(flagValue(flag));
    if (entity)
        out = entity->extVariable(std::string(value.text, value.size));
    else
        out.assign(value.text, value.size);
}

int ScriptInterp::matchingAlias(const std::string& text) const
{
    for (int slot = 0; slot < AliasCount; ++slot)
    {
        const std::string& alias = aliases[slot];
        if (alias.size() != text.size() || alias.empty())
            continue;
        bool same = true;
        for (std::size_t k = 0; k < text.size() && same; ++k)
            same = lower(text[k]) == alias[k];
        if (same)
            return slot;
    }
    return -1;
}

int ScriptInterp::aliasIndex(const std::string& key) const
{
    for (int slot = 0; slot < AliasCount; ++slot)
        if (aliases[slot] == key)
            return slot;
    Problem::report(commandProblem() << "variable " << key << " is not defined as an alias. Defaulting to flag 0.");
    return 0;
}

std::int32_t ScriptInterp::flagValue(int index) const
{
    return entity ? entity->flags[index] : 0;
}

const std::vector<std::string>& ScriptInterp::resolvedParams(const ScriptLine& line)
{
    if (line.asWritten)
        return line.params;
    // Surplus strings are parked rather than destroyed so that their buffers serve later lines.
    std::vector<std::string>& params = scratch.params;
    const std::size_t count = line.params.size();
    while (params.size() > count)
    {
        spareParams.push_back(std::move(params.back()));
        params.pop_back();
    }
    while (params.size() < count)
    {
        if (spareParams.empty())
            params.emplace_back();
        else
        {
            params.push_back(std::move(spareParams.back()));
            spareParams.pop_back();
        }
    }
    const bool known = line.facts.size() == count;
    for (std::size_t k = 0; k < count; ++k)
    {
        if (known && line.facts[k].plain)
            params[k] = line.params[k];
        else if (known && line.facts[k].flag >= 0)
            resolveFlag(line.facts[k].flag, params[k]);
        else
            resolveInto(line.params[k], params[k]);
    }
    return params;
}

ScriptInterp::Step ScriptInterp::execute(const ScriptLine& line, const std::vector<std::string>& params)
{
    const int row = line.builtin == ScriptLine::NotLookedUp ? findBuiltin(line.command) : line.builtin;
    if (row < 0)
    {
        if (!entity->extScript(handedOver(line, params)))
            Problem::report(interpProblem() << "Unhandled command [" << line.command << "].");
        return Step::Next;
    }
    const Command& command = commands[row];
    const int needs = command.row.info.signature.needs;
    if (params.size() < static_cast<std::size_t>(needs))
        checkParamCount(line.command, params, needs);
    return (this->*command.handler)(LineParams(params, line.facts));
}

// The line the entity gets: the stored one when it runs as written, otherwise the copy that
// holds its resolved parameters, completed with the rest of the line.
const ScriptLine& ScriptInterp::handedOver(const ScriptLine& line, const std::vector<std::string>& params)
{
    if (&params == &line.params)
        return line;
    scratch.command = line.command;
    scratch.extension = line.extension;
    scratch.facts = line.facts;
    return scratch;
}

bool ScriptInterp::flagIndexValid(int index, std::string_view what) const
{
    if (index >= 0 && index < GameEntity::FlagCount)
        return true;
    reportFlagIndex(index, what);
    return false;
}

ScriptInterp::Step ScriptInterp::changeFlag(FlagOp op, int index, std::int32_t value)
{
    if (!flagIndexValid(index, "flag"))
        return Step::Next;
    std::int32_t& flag = entity->flags[index];
    const std::int64_t current = flag;
    switch (op)
    {
    case FlagOp::Set: flag = value; break;
    case FlagOp::Add: flag = wrap(current + value); break;
    case FlagOp::Sub: flag = wrap(current - value); break;
    case FlagOp::Mul: flag = wrap(current * value); break;
    case FlagOp::Div:
        if (value == 0)
        {
            Problem::report(lineProblem() << "division by zero. Flag " << index << " keeps its value.");
            break;
        }
        flag = wrap(current / value);
        break;
    }
    return Step::Next;
}

const std::string& ScriptInterp::variableKey(const Params& params, std::size_t i)
{
    // Names are written plain in the script; the "$" and the lower case are added here.
    keyScratch.assign(1, '$');
    if (i < params.size())
    {
        keyScratch += params[i];
        lowerInPlace(keyScratch);
    }
    return keyScratch;
}

ScriptInterp::Step ScriptInterp::changeVar(FlagOp op, const Params& params)
{
    const int index = aliasIndex(variableKey(params, 0));
    return changeFlag(op, index, getInt(params, 1));
}

ScriptInterp::Step ScriptInterp::playMusic(const Params& params)
{
    MusicManager::instance().play(false, getString(params, 0));
    return Step::Next;
}

ScriptInterp::Step ScriptInterp::pauseMusic(const Params&)
{
    MusicManager::instance().pause();
    return Step::Next;
}

ScriptInterp::Step ScriptInterp::resumeMusic(const Params&)
{
    MusicManager::instance().resume();
    return Step::Next;
}

ScriptInterp::Step ScriptInterp::fadeOutMusic(const Params& params)
{
    MusicManager::instance().fadeOut(getFloat(params, 0));
    return Step::Next;
}

ScriptInterp::Step ScriptInterp::setFlag(const Params& params)
{
    const std::int32_t value = getInt(params, 1);
    return changeFlag(FlagOp::Set, getInt(params, 0), value);
}

ScriptInterp::Step ScriptInterp::addFlag(const Params& params)
{
    const int index = getInt(params, 0);
    return changeFlag(FlagOp::Add, index, getInt(params, 1));
}

ScriptInterp::Step ScriptInterp::subFlag(const Params& params)
{
    const int index = getInt(params, 0);
    return changeFlag(FlagOp::Sub, index, getInt(params, 1));
}

ScriptInterp::Step ScriptInterp::mulFlag(const Params& params)
{
    const int index = getInt(params, 0);
    return changeFlag(FlagOp::Mul, index, getInt(params, 1));
}

ScriptInterp::Step ScriptInterp::divFlag(const Params& params)
{
    const int index = getInt(params, 0);
    return changeFlag(FlagOp::Div, index, getInt(params, 1));
}

ScriptInterp::Step ScriptInterp::setVar(const Params& params)
{
    return changeVar(FlagOp::Set, params);
}

ScriptInterp::Step ScriptInterp::addVar(const Params& params)
{
    return changeVar(FlagOp::Add, params);
}

ScriptInterp::Step ScriptInterp::subVar(const Params& params)
{
    return changeVar(FlagOp::Sub, params);
}

ScriptInterp::Step ScriptInterp::mulVar(const Params& params)
{
    return changeVar(FlagOp::Mul, params);
}

ScriptInterp::Step ScriptInterp::divVar(const Params& params)
{
    return changeVar(FlagOp::Div, params);
}

// Any delay ends the run, even 0: the next step goes on with the following line.
ScriptInterp::Step ScriptInterp::delayCommand(const Params& params)
{
    pc += 1;
    delay = getFloat(params, 0);
    return Step::Yield;
}

ScriptInterp::Step ScriptInterp::tempoCommand(const Params& params)
{
    const double bpm = getFloat(params, 0);
    const int beatsPerBar = params.size() > 1 ? getInt(params, 1) : TempoParams[1].fallbackInteger;
    const double offset = params.size() > 2 ? getFloat(params, 2) : 0.0;
    if (!tempo.set(bpm, beatsPerBar, offset))
        Problem::report(lineProblem() << "the tempo needs more than 0 beats a minute and at least 1 beat a bar; "
                                         "the grid stays as it was.");
    return Step::Next;
}

namespace
{
// The grid's origin: the step in which the song started, or the demo's start before any song.
long gridAnchor(const SongClock& clock)
{
    return clock.songStartStep >= 0 ? clock.songStartStep : 0;
}
} // namespace

ScriptInterp::Step ScriptInterp::delayBeats(const Params& params)
{
    const SongClock& clock = MusicManager::instance().songClock();
    return delaySteps(tempo.stepsToBeat(clock.step, gridAnchor(clock), getInt(params, 0)));
}

ScriptInterp::Step ScriptInterp::delayBars(const Params& params)
{
    const SongClock& clock = MusicManager::instance().songClock();
    return delaySteps(tempo.stepsToBar(clock.step, gridAnchor(clock), getInt(params, 0)));
}

ScriptInterp::Step ScriptInterp::delaySteps(long steps)
{
    // update counts the delay down by one step's time and runs no line in the step that brings it
    // to 0: a wait of `steps` needs steps - 1 of those. Half a step of margin keeps the float
    // countdown from gaining or losing a step; the count is then checked as update will do it.
    constexpr float StepTime = 1.f / StepRate::StepsPerSecond;
    const long quiet = std::max(0L, steps - 1);
    float wait = (static_cast<float>(quiet) - 0.5f) * StepTime;
    for (int attempt = 0; attempt < 4; ++attempt)
    {
        long counted = 0;
        for (float left = wait; left > 0.f; left -= StepTime)
            ++counted;
        if (counted == quiet)
            break;
        wait += static_cast<float>(quiet - counted) * StepTime;
    }
    pc += 1;
    delay = wait;
    return Step::Yield;
}

int ScriptInterp::jumpTarget(const Params& params)
{
    // The line's own label, found at load when it is written plainly.
    if (executingLine >= 0 && script->lines[static_cast<std::size_t>(executingLine)].jump >= 0)
        return script->lines[static_cast<std::size_t>(executingLine)].jump;
    return labelLine(getString(params, 0));
}

void ScriptInterp::follow(bool arrived)
{
    Followers& f = followers;
    if (pc < 0)
        return;
    const std::size_t at = static_cast<std::size_t>(pc);
    // One element per line, one for the end (a run that went past the last line).
    if (at + 1 < f.touchedLines.size() && f.touchedLines[at] < 0 && pc <= lineCount)
        f.touchedLines[at] = f.step;
    if (!inMainFlow || !arrived)
        return;
    if (at < f.arrivedLines.size())
        f.arrivedLines[at] = 1;
    if (at < f.arrivalSteps.size() && f.arrivalSteps[at] < 0)
        f.arrivalSteps[at] = f.step;
}

int ScriptInterp::labelLine(const std::string& name)
{
    std::vector<long>& touchedLines = followers.touchedLines;
    // A jump to an undefined label goes to line 0; a save that defines it changes that jump.
    if (!touchedLines.empty() && touchedLines.back() < 0 && script->labels.find(name) == script->labels.end())
        touchedLines.back() = followers.step;
    return script->findLabel(name);
}

ScriptInterp::Step ScriptInterp::gotoCommand(const Params& params)
{
    returnLine = -1;
    pc = jumpTarget(params);
    return Step::Jump;
}

ScriptInterp::Step ScriptInterp::gosubCommand(const Params& params)
{
    if (returnLine != -1)
    {
        Problem::report(interpProblem() << "WARNING! Attempting to call GOSUB from a SUBROUTINE. ");
        return Step::Next;
    }
    returnLine = pc;
    pc = jumpTarget(params);
    return Step::Jump;
}

ScriptInterp::Step ScriptInterp::resetScript(const Params&)
{
    resetRequested = true;
    return Step::Yield;
}

// Without an active subroutine this lands on line 0 (-1 + 1).
ScriptInterp::Step ScriptInterp::returnCommand(const Params&)
{
    pc = returnLine;
    returnLine = -1;
    return Step::Next;
}

ScriptInterp::Step ScriptInterp::exitCommand(const Params&)
{
    pc = 0;
    returnLine = -1;
    return Step::Stop;
}

ScriptInterp::Step ScriptInterp::aliasCommand(const Params& params)
{
    const int index = getInt(params, 0);
    // The index names the command's own slot: "alias index 9 is out of range".
    if (flagIndexValid(index, currentCommand))
        aliases[index] = variableKey(params, 1);
    return Step::Next;
}

ScriptInterp::Step ScriptInterp::logCommand(const Params& params)
{
    std::cout << "LOG: " << getString(params, 0) << std::endl;
    return Step::Next;
}

ScriptInterp::Step ScriptInterp::ifEqual(const Params& params)
{
    return getInt(params, 0) == getInt(params, 1) ? Step::Next : Step::Skip;
}

ScriptInterp::Step ScriptInterp::ifNotEqual(const Params& params)
{
    return getInt(params, 0) != getInt(params, 1) ? Step::Next : Step::Skip;
}

ScriptInterp::Step ScriptInterp::ifLess(const Params& params)
{
    return getInt(params, 0) < getInt(params, 1) ? Step::Next : Step::Skip;
}

ScriptInterp::Step ScriptInterp::ifMore(const Params& params)
{
    return getInt(params, 0) > getInt(params, 1) ? Step::Next : Step::Skip;
}

ScriptInterp::Step ScriptInterp::nothing(const Params&)
{
    return Step::Next;
}

ScriptInterp::Saved ScriptInterp::save() const
{
    Saved saved;
    saved.script = script;
    saved.running = running;
    saved.delay = delay;
    saved.pc = pc;
    saved.returnLine = returnLine;
    saved.lineCount = lineCount;
    saved.entity = entity;
    for (int i = 0; i < AliasCount; ++i)
        saved.aliases[i] = aliases[i];
    saved.resetRequested = resetRequested;
    saved.tempo = tempo;
    saved.executingLine = executingLine;
    saved.stopLine = stopLine;
    saved.runawayReported = runawayReported;
    saved.inMainFlow = inMainFlow;
    return saved;
}

void ScriptInterp::restore(const Saved& saved)
{
    script = saved.script;
    running = saved.running;
    delay = saved.delay;
    pc = saved.pc;
    returnLine = saved.returnLine;
    lineCount = saved.lineCount;
    entity = saved.entity;
    for (int i = 0; i < AliasCount; ++i)
        aliases[i] = saved.aliases[i];
    resetRequested = saved.resetRequested;
    tempo = saved.tempo;
    executingLine = saved.executingLine;
    stopLine = saved.stopLine;
    runawayReported = saved.runawayReported;
    inMainFlow = saved.inMainFlow;
}

bool ScriptInterp::Saved::moveLines(const ScriptEdit& edit, int newLineCount)
{
    const int movedPc = edit.movedNext(pc);
    const int movedReturn = edit.movedNext(returnLine);
    const int movedStop = edit.moved(stopLine);
    if (movedPc == ScriptEdit::Changed || movedReturn == ScriptEdit::Changed || movedStop == ScriptEdit::Changed)
        return false;
    pc = movedPc;
    returnLine = movedReturn;
    stopLine = movedStop;
    lineCount = newLineCount;
    return true;
}
