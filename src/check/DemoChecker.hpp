#pragma once

#include "check/CatalogChecker.hpp"
#include "check/Diagnostics.hpp"

#include <SFML/Window/Context.hpp>

#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>

// --check: reads the demo in the working directory the way start-up does (config.json, the
// catalogs in their loading order, the files they name, the script and the animation files it
// loads) without opening a window, and prints every problem as a diagnostic on `out`, then the
// summary line. Shaders are compiled only when a display is there; otherwise a note says so.
class DemoChecker
{
public:
    // 0 without errors, 1 otherwise.
    int run(std::ostream& out);

    // The checks without printing (also used by the tests).
    void checkAll();

    Diagnostics diagnostics;
    DemoIndex index;
    // False when DISPLAY names an X server that cannot be reached: the graphics library would
    // abort on it, so shaders are then not compiled (a note says so).
    bool canOpenDisplay = true;
    // When set, only the files it selects are decoded or compiled; the others need only exist
    // (author mode checks what was saved, the rest loaded before).
    std::function<bool(const std::string& path)> loads;

    // Texts that stand for files on disk, by path (an editor's unsaved buffers): the checks read
    // these instead of the files.
    std::map<std::string, std::string> unsaved;

    // How a catalog file's text is checked.
    using CatalogRead = void (CatalogChecker::*)(const std::string& path, const std::string& text);

private:
    bool readFile(const std::string& path, std::string& text) const;
    std::string probe(const std::string& path, CatalogChecker::FileKind kind);
    std::string compileFragment(const std::string& path);
    const std::set<std::string>* animationFile(CatalogChecker& catalogs, const std::string& path);
    void checkCatalogFile(const std::string& path, CatalogRead check, CatalogChecker& catalogs);
    void checkPostShaders();

    bool displayChecked = false;
    bool display = false;
    // Shaders are compiled in a context of our own: without one the library's hidden shared
    // context sometimes aborts on a busy X server.
    std::unique_ptr<sf::Context> context;
    std::map<std::string, std::set<std::string>> animationFiles;
    std::set<std::string> unreadableAnimationFiles;
    // Fragment files whose compiler messages are already among the diagnostics.
    std::set<std::string> compilerReports;
};
