#include "lsp/DemoAnalysis.hpp"

#include "catalogs/DemoPaths.hpp"
#include "catalogs/MusicManager.hpp"
#include "catalogs/ShaderManager.hpp"
#include "catalogs/TextureManager.hpp"
#include "check/DemoChecker.hpp"
#include "check/JsonSource.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/TextStyle.hpp"
#include "scene/AnimationCollection.hpp"

#include <X11/Xlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include <unistd.h>

namespace
{
const DemoAnalysis::Catalog Catalogs[] = {
    {ParamKind::Texture, DemoPaths::Textures, TextureKeys::Format.topLevel, "texture"},
    {ParamKind::Song, DemoPaths::Music, MusicKeys::Format.topLevel, "song"},
    {ParamKind::Shader, DemoPaths::Shaders, ShaderKeys::Format.topLevel, "shader"},
    {ParamKind::ParticleSystem, DemoPaths::Particles, ParticleKeys::Format.topLevel, "particle system"},
    {ParamKind::TextSystem, DemoPaths::Texts, TextKeys::Format.topLevel, "text system"},
};

// A connection to the X display held for the length of a whole check. The graphics library
// aborts the process on a display it cannot open, so it is asked to make a context only while
// this connection, made first, is open: a virtual screen that resets when its last client leaves
// (xvfb-run without -noreset) cannot reset under the library then. Xlib reports a display in the
// middle of such a reset as one that does not answer: it is asked again a few times.
class HeldDisplay
{
public:
    HeldDisplay()
    {
        const char* name = std::getenv("DISPLAY");
        if (!name || !*name)
            return;
        for (int attempt = 0; attempt < Attempts && !display; ++attempt)
        {
            if (attempt > 0)
                usleep(30 * 1000);
            display = XOpenDisplay(name);
        }
    }
    ~HeldDisplay()
    {
        if (display)
            XCloseDisplay(display);
    }
    HeldDisplay(const HeldDisplay&) = delete;
    HeldDisplay& operator=(const HeldDisplay&) = delete;
    bool open() const { return display != nullptr; }

private:
    static constexpr int Attempts = 10; // a reset takes milliseconds; a save waits 0.3 s at most
    Display* display = nullptr;
};

bool sameEntry(const Diagnostics::Entry& a, const Diagnostics::Entry& b)
{
    return a.path == b.path && a.line == b.line && a.column == b.column && a.severity == b.severity &&
           a.text == b.text;
}

// Working inside the demo's folder for the length of a check: every path of a demo is relative to it.
class InFolder
{
public:
    explicit InFolder(const std::string& folder)
    {
        char* here = getcwd(nullptr, 0);
        if (here)
        {
            previous = here;
            std::free(here);
        }
        entered = chdir(folder.c_str()) == 0;
    }
    ~InFolder()
    {
        if (entered && !previous.empty() && chdir(previous.c_str()) != 0)
            std::abort();
    }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;
    bool entered = false;

private:
    std::string previous;
};
} // namespace

void DemoAnalysis::check(const std::map<std::string, std::string>& unsaved, const std::set<std::string>& dirty,
                         bool all)
{
    InFolder folder(root);
    if (!folder.entered)
        return;
    // Made before the checker, so that it is closed after the checker's context and shaders.
    std::unique_ptr<HeldDisplay> held;
    if (all)
        held = std::make_unique<HeldDisplay>();
    DemoChecker checker;
    checker.unsaved = unsaved;
    if (all)
    {
        display = held->open();
        checker.canOpenDisplay = display;
    }
    else
        checker.loads = [](const std::string&) { return false; };
    checker.checkAll();
    catalogs = checker.index;
    if (all)
    {
        whole = checker.diagnostics.entries;
        wholeDirty = dirty;
        wholeRan = true;
    }
    quick = checker.diagnostics.entries;
    merged = quick;
    if (!wholeRan)
        return;
    for (const Diagnostics::Entry& entry : whole)
    {
        if (dirty.count(entry.path) != 0 || wholeDirty.count(entry.path) != 0)
            continue;
        bool found = false;
        for (const Diagnostics::Entry& known : quick)
            found = found || sameEntry(known, entry);
        if (!found)
            merged.push_back(entry);
    }
}

std::set<std::string> DemoAnalysis::reportedPaths() const
{
    std::set<std::string> paths;
    for (const Diagnostics::Entry& entry : merged)
        paths.insert(entry.path);
    return paths;
}

const DemoAnalysis::Catalog* DemoAnalysis::catalogOf(ParamKind kind)
{
    for (const Catalog& catalog : Catalogs)
        if (catalog.kind == kind)
            return &catalog;
    return nullptr;
}

const DemoAnalysis::Catalog* DemoAnalysis::catalogAt(const std::string& path)
{
    for (const Catalog& catalog : Catalogs)
        if (path == catalog.path)
            return &catalog;
    return nullptr;
}

const std::set<std::string>& DemoAnalysis::keysOf(const Catalog& catalog) const
{
    switch (catalog.kind)
    {
    case ParamKind::Song: return catalogs.music;
    case ParamKind::Shader: return catalogs.shaders;
    case ParamKind::ParticleSystem: return catalogs.particles;
    case ParamKind::TextSystem: return catalogs.texts;
    default: return catalogs.textures;
    }
}

std::string DemoAnalysis::text(const std::string& path, const std::map<std::string, std::string>& unsaved) const
{
    const auto open = unsaved.find(path);
    if (open != unsaved.end())
        return open->second;
    std::ifstream file(root + "/" + path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

bool DemoAnalysis::entry(const Catalog& catalog, const std::string& key,
                         const std::map<std::string, std::string>& unsaved, int& line, int& column,
                         std::string& json) const
{
    Diagnostics ignored;
    const JsonSource source(catalog.path, text(catalog.path, unsaved), ignored);
    const nlohmann::json& document = source.document;
    if (!document.is_object() || !document.contains(catalog.member) || !document[catalog.member].is_object() ||
        !document[catalog.member].contains(key))
        return false;
    const JsonSource::Place place = source.at(std::string("/") + catalog.member + "/" + key);
    line = place.line;
    column = place.column;
    json = document[catalog.member][key].dump(2);
    return true;
}

std::vector<std::string> DemoAnalysis::animationsIn(const std::string& path,
                                                   const std::map<std::string, std::string>& unsaved) const
{
    std::vector<std::string> names;
    Diagnostics ignored;
    const JsonSource source(path, text(path, unsaved), ignored);
    const nlohmann::json& document = source.document;
    const char* member = AnimationKeys::Format.topLevel;
    if (document.is_object() && document.contains(member) && document[member].is_object())
        for (const auto& animation : document[member].items())
            names.push_back(animation.key());
    return names;
}

bool DemoAnalysis::animationEntry(const std::string& path, const std::string& name,
                                  const std::map<std::string, std::string>& unsaved, int& line, int& column) const
{
    Diagnostics ignored;
    const JsonSource source(path, text(path, unsaved), ignored);
    const nlohmann::json& document = source.document;
    const char* member = AnimationKeys::Format.topLevel;
    if (!document.is_object() || !document.contains(member) || !document[member].is_object() ||
        !document[member].contains(name))
        return false;
    const JsonSource::Place place = source.at(std::string("/") + member + "/" + name);
    line = place.line;
    column = place.column;
    return true;
}

std::vector<std::string> DemoAnalysis::animationFiles(const std::map<std::string, std::string>& unsaved) const
{
    namespace fs = std::filesystem;
    // A walk bounded in files and bytes: completion must answer at once, also in a home folder.
    constexpr int MostFiles = 2000;
    constexpr std::uintmax_t LargestFile = 1 << 20;
    const std::string marker = std::string("\"") + AnimationKeys::Format.topLevel + "\"";
    std::vector<std::string> found;
    std::error_code error;
    int seen = 0;
    for (fs::recursive_directory_iterator walk(root, fs::directory_options::skip_permission_denied, error), end;
         !error && walk != end && seen < MostFiles; walk.increment(error), ++seen)
    {
        const fs::directory_entry& entry = *walk;
        std::error_code ignored;
        if (!entry.is_regular_file(ignored) || entry.path().extension() != ".json")
            continue;
        const std::string path = fs::relative(entry.path(), root, ignored).generic_string();
        if (path.empty() || catalogAt(path) || path == DemoPaths::Config || entry.file_size(ignored) > LargestFile)
            continue;
        if (text(path, unsaved).find(marker) != std::string::npos)
            found.push_back(path);
    }
    std::sort(found.begin(), found.end());
    return found;
}
