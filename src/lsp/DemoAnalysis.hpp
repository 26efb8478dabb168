#pragma once

#include "check/CatalogChecker.hpp"
#include "check/Diagnostics.hpp"
#include "script/CommandSignature.hpp"

#include <map>
#include <set>
#include <string>
#include <vector>

// The checker's view of one demo folder over the editor's unsaved texts. A quick check runs at
// every change: everything but decoding the files the catalogs name and compiling shaders. The
// whole check runs at a save; what only it can find (images, fonts and sounds that do not load,
// shaders that do not compile) stays from the last save for the files unchanged since.
class DemoAnalysis
{
public:
    explicit DemoAnalysis(std::string root) : root(std::move(root)) {}

    // Checks with `unsaved` texts (by path in the demo) standing for the files; `dirty` names
    // those changed since their last save.
    void check(const std::map<std::string, std::string>& unsaved, const std::set<std::string>& dirty, bool whole);

    // The entries of the last check, the whole check's own kept as said above.
    const std::vector<Diagnostics::Entry>& entries() const { return merged; }
    const DemoIndex& index() const { return catalogs; }
    // The files the last check reported on (so that a file whose problems are gone is cleared).
    std::set<std::string> reportedPaths() const;

    // The catalog of a parameter kind that names catalog entries: its file, the member holding the
    // entries and what an entry is called. Null for other kinds.
    struct Catalog
    {
        ParamKind kind;
        const char* path;
        const char* member;
        const char* noun;
    };
    static const Catalog* catalogOf(ParamKind kind);
    static const Catalog* catalogAt(const std::string& path);
    const std::set<std::string>& keysOf(const Catalog& catalog) const;

    // Where an entry of a catalog starts in its file (1-based line and column) and its JSON text;
    // false when the catalog does not hold it.
    bool entry(const Catalog& catalog, const std::string& key, const std::map<std::string, std::string>& unsaved,
               int& line, int& column, std::string& json) const;

    // The demo's animation files (JSON files under the folder with a top-level "animations"), as
    // paths in the demo; and the animations one of them holds.
    std::vector<std::string> animationFiles(const std::map<std::string, std::string>& unsaved) const;
    std::vector<std::string> animationsIn(const std::string& path,
                                          const std::map<std::string, std::string>& unsaved) const;
    // Where animation `name` starts in animation file `path` (1-based line and column); false
    // when the file does not hold it.
    bool animationEntry(const std::string& path, const std::string& name,
                        const std::map<std::string, std::string>& unsaved, int& line, int& column) const;

    const std::string root;
    // True when the whole check could compile shaders (an X display answered).
    bool display = false;

private:
    std::string text(const std::string& path, const std::map<std::string, std::string>& unsaved) const;

    DemoIndex catalogs;
    std::vector<Diagnostics::Entry> quick, whole, merged;
    std::set<std::string> wholeDirty; // files dirty when the whole check ran
    bool wholeRan = false;
};
