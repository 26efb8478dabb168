#pragma once

#include "check/CatalogChecker.hpp"
#include "check/Diagnostics.hpp"
#include "script/CommandSignature.hpp"
#include "script/Script.hpp"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

// Checks a demo script against the command tables the player dispatches with (the interpreter's
// built-ins, then the cutscene's commands), the script's own labels, blocks, variables and
// constants, and the keys the catalogs hold.
class ScriptChecker
{
public:
    // The animations an animation file holds, or null when the file cannot be read (the callee
    // has reported problems inside the file itself).
    using AnimationFiles = std::function<const std::set<std::string>*(const std::string& path)>;

    ScriptChecker(Diagnostics& diagnostics, const DemoIndex& index) : diagnostics(diagnostics), index(index) {}

    void check(const std::string& path, const std::string& text);

    // The command as the player dispatches it (built-in first, then the scene's), or null for a
    // command it does not know.
    static const CommandInfo* command(const std::string& word);

    AnimationFiles animationFiles;

private:
    struct Line
    {
        int fileLine;
        std::string command;
        std::vector<std::string> params;
        const CommandInfo* info;
    };

    void collect();
    void checkLine(const Line& line);
    void checkParam(const Line& line, std::size_t i, ParamKind kind);
    void checkNumber(const Line& line, std::size_t i, const std::string& text, ParamKind kind);
    // False (after reporting) when the parameter holds a constant the player does not know.
    bool checkConstants(const Line& line, std::size_t i);
    void checkBlocks();
    void checkSections();
    // Labels whose name the author did not mean, labels nothing reaches, a main flow that runs
    // into a section, and loops that never give the step back.
    void checkFlow(const Script& script);
    // Text that is not UTF-8 (a file saved as Latin-1) is drawn as broken letters.
    void checkEncoding(const std::string& text);
    // A uniform must be declared by a shader that the object gets somewhere in the script.
    void checkUniform(const Line& line, const std::string& what, const std::string& uniform);
    bool dynamic(const std::string& text) const;
    void error(const Line& line, const std::string& text);
    void warning(const Line& line, const std::string& text);

    Diagnostics& diagnostics;
    const DemoIndex& index;
    std::string path;
    // The parameter being checked, for the entries' `param`; -1 outside the parameters.
    int currentParam = -1;
    std::vector<Line> lines;
    std::map<std::string, int> labels; // name -> file line of the first definition
    std::set<std::string> objects, buffers, bindings, aliases;
    bool dynamicObjects = false, dynamicBuffers = false, dynamicBindings = false, dynamicAliases = false;
    std::map<std::string, std::set<std::string>> animationsOf; // object -> animation names it loads
    std::map<std::string, std::string> animationSources;       // object -> the files it loads
    std::map<std::string, std::set<std::string>> shadersOf;    // object -> shader keys it is given
    std::set<std::string> dynamicShaders;                      // objects given a shader named at run time
};
