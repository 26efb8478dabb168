#pragma once

#include "script/CommandSignature.hpp"
#include "script/Script.hpp"

#include <map>
#include <string>
#include <vector>

// A script as the editor sees it: every file line cut as the player cuts it, with where each
// piece was written, the command row it dispatches to, and the names it defines and uses
// (labels, objects and buffers, particle bindings, aliases), each occurrence with its place.
class ScriptModel
{
public:
    // The namespaces of names that references and rename follow. Objects and buffers share one:
    // the object_ commands take either.
    enum class NameKind
    {
        Label,
        Scene,   // an object or a buffer
        Binding, // a particle-system binding
        Alias    // a named flag ("$name" reads it)
    };

    struct Occurrence
    {
        NameKind kind;
        std::string name;
        int line;                // 0-based file line
        std::size_t begin, end;  // bytes in the line
        bool definition;
    };

    struct Line
    {
        Script::LineKind kind = Script::LineKind::Blank;
        std::vector<Script::Piece> pieces; // the label's name, or the command word then the parameters
        const CommandInfo* info = nullptr; // null: a label, a blank or an unknown command
    };

    explicit ScriptModel(const std::string& text);

    const std::vector<Line>& lines() const { return fileLines; }
    const std::vector<Occurrence>& occurrences() const { return names; }
    // The occurrence at a byte of a line, or null.
    const Occurrence* at(int line, std::size_t byte) const;
    // The first definition of a name, or null.
    const Occurrence* definition(NameKind kind, const std::string& name) const;
    // The defined names of a kind, in the order written (each once).
    std::vector<std::string> defined(NameKind kind) const;

    // The animation files the script loads into `object`, in the order written; every file the
    // script loads when it loads none into that object (or the object is not written yet).
    std::vector<std::string> animationFilesOf(const std::string& object) const;

    // The piece of a command line a byte falls in: 0 the command word, 1.. the parameters; -1 none.
    static int pieceAt(const Line& line, std::size_t byte);
    // The parameter a byte of a command line is typed into: counts the separators before it, so a
    // place right after a comma is the next parameter. -1: in the command word.
    static int paramAt(const std::string& raw, std::size_t byte);

    std::vector<std::string> raw; // the file lines as written
    // The file line of each label definition (the first one of a name).
    std::map<std::string, int> labelLines;

private:
    void collect(int line, const Line& parsed);

    std::vector<Line> fileLines;
    std::vector<Occurrence> names;
};
