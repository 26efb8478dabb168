#include "check/DemoChecker.hpp"

#include "catalogs/DemoPaths.hpp"
#include "catalogs/ShaderManager.hpp"
#include "check/ScriptChecker.hpp"
#include "check/ShaderSource.hpp"

#include <SFML/Audio/InputSoundFile.hpp>
#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/Shader.hpp>
#include <SFML/System/Err.hpp>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string_view>
#include <vector>

namespace
{

// The library reports its failures on its own error stream; the checker turns them into the
// diagnostic's text instead of letting them through.
class CapturedErrors
{
public:
    CapturedErrors() : previous(sf::err().rdbuf(captured.rdbuf())) {}
    ~CapturedErrors() { sf::err().rdbuf(previous); }
    CapturedErrors(const CapturedErrors&) = delete;
    CapturedErrors& operator=(const CapturedErrors&) = delete;

    // The lines that say something.
    std::vector<std::string> lines() const
    {
        std::istringstream text(captured.str());
        std::vector<std::string> found;
        std::string line;
        while (std::getline(text, line))
            if (line.find_first_not_of(" \t\r") != std::string::npos)
                found.push_back(line);
        return found;
    }

private:
    std::ostringstream captured;
    std::streambuf* previous;
};

bool exists(const std::string& path)
{
    return std::ifstream(path).good();
}

std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

// The check that reads each catalog file; they run in DemoPaths::Catalogs' order.
struct CatalogCheck
{
    const char* path;
    DemoChecker::CatalogRead check;
};
constexpr CatalogCheck CatalogChecks[] = {
    {DemoPaths::Textures, &CatalogChecker::checkTextures}, {DemoPaths::Music, &CatalogChecker::checkMusic},
    {DemoPaths::Sprites, &CatalogChecker::checkSprites},   {DemoPaths::Particles, &CatalogChecker::checkParticles},
    {DemoPaths::Shaders, &CatalogChecker::checkShaders},   {DemoPaths::Texts, &CatalogChecker::checkTexts},
};

constexpr DemoChecker::CatalogRead checkOf(std::string_view path)
{
    for (const CatalogCheck& row : CatalogChecks)
        if (path == row.path)
            return row.check;
    return nullptr;
}

constexpr bool everyCatalogChecked()
{
    for (const char* path : DemoPaths::Catalogs)
        if (!checkOf(path))
            return false;
    return true;
}
static_assert(everyCatalogChecked(), "a catalog of DemoPaths::Catalogs has no row in CatalogChecks");
} // namespace

int DemoChecker::run(std::ostream& out)
{
    checkAll();
    diagnostics.print(out);
    return diagnostics.errors() == 0 ? 0 : 1;
}

bool DemoChecker::readFile(const std::string& path, std::string& text) const
{
    const auto open = unsaved.find(path);
    if (open != unsaved.end())
    {
        text = open->second;
        return true;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::ostringstream content;
    content << file.rdbuf();
    text = content.str();
    return true;
}

void DemoChecker::checkCatalogFile(const std::string& path, CatalogRead check, CatalogChecker& catalogs)
{
    // A demo without this catalog simply has none of its assets; the script's references to
    // them are reported where they are made.
    std::string text;
    if (readFile(path, text))
        (catalogs.*check)(path, text);
}

void DemoChecker::checkAll()
{
    CatalogChecker catalogs(diagnostics, index);
    catalogs.probe = [this](const std::string& path, CatalogChecker::FileKind kind) { return probe(path, kind); };
    catalogs.readText = [this](const std::string& path, std::string& text) { return readFile(path, text); };

    std::string text;
    if (readFile(DemoPaths::Config, text))
        catalogs.checkConfig(DemoPaths::Config, text);
    else
        diagnostics.warning(DemoPaths::Config, 0, 0, "no such file; every setting keeps its default");
    checkPostShaders();

    // Start-up's order: later catalogs look keys up in earlier ones.
    for (const char* path : DemoPaths::Catalogs)
    {
        checkCatalogFile(path, checkOf(path), catalogs);
        if (std::string_view(path) == DemoPaths::Particles)
        {
            for (const auto& entry : index.particleFiles)
                if (readFile(entry.second, text))
                    catalogs.checkParticleFile(entry.second, text);
            // Start-up takes the fade's sprite once the particle systems are loaded.
            if (index.sprites.count(DemoPaths::FadeSprite) == 0)
                diagnostics.warning(DemoPaths::Sprites, 0, 0,
                                    "no sprite " + quoted(DemoPaths::FadeSprite) + ": the screen fade has no overlay");
        }
    }
    if (index.textures.count(DemoPaths::NoiseTexture) == 0)
        diagnostics.warning(DemoPaths::Textures, 0, 0,
                            "no texture " + quoted(DemoPaths::NoiseTexture) +
                                ": the post-processing shader gets no noise channel");

    if (!readFile(DemoPaths::Script, text))
    {
        diagnostics.error(DemoPaths::Script, 0, 0, "no such file: there is nothing to play");
        return;
    }
    ScriptChecker script(diagnostics, index);
    script.animationFiles = [this, &catalogs](const std::string& path) { return animationFile(catalogs, path); };
    script.check(DemoPaths::Script, text);
}

const std::set<std::string>* DemoChecker::animationFile(CatalogChecker& catalogs, const std::string& path)
{
    // Each file is checked once, however many objects load it.
    const auto known = animationFiles.find(path);
    if (known != animationFiles.end())
        return &known->second;
    if (unreadableAnimationFiles.count(path) != 0)
        return nullptr;
    std::string text;
    if (!readFile(path, text))
    {
        unreadableAnimationFiles.insert(path);
        return nullptr;
    }
    return &(animationFiles[path] = catalogs.checkAnimationFile(path, text));
}

void DemoChecker::checkPostShaders()
{
    bool present = true;
    for (const char* path : {DemoPaths::Vertex, DemoPaths::PostFragment})
    {
        if (!exists(path))
        {
            diagnostics.error(path, 0, 0, "no such file: the player cannot start without its post-processing shader");
            present = false;
        }
    }
    if (!present || (loads && !loads(DemoPaths::Vertex) && !loads(DemoPaths::PostFragment)))
        return;
    const std::string reason = compileFragment(DemoPaths::PostFragment);
    if (!reason.empty())
        diagnostics.error(DemoPaths::PostFragment, 0, 0, reason + ": the player cannot start without it");
}

std::string DemoChecker::compileFragment(const std::string& path)
{
    if (!displayChecked)
    {
        displayChecked = true;
        const char* name = std::getenv("DISPLAY");
        if (name && *name && canOpenDisplay)
            context = std::make_unique<sf::Context>();
        display = context && sf::Shader::isAvailable();
        if (!display)
            diagnostics.note(DemoPaths::Shaders, "shaders are not compiled: there is no display");
    }
    if (!display)
        return std::string();
    CapturedErrors errors;
    sf::Shader shader;
    if (ShaderManager::loadFiles(shader, DemoPaths::Vertex, path))
        return std::string();
    // The compiler's own lines ("0:3(30): error: ..."), placed in the fragment file, say what is
    // wrong; the catalog's line says which entry it breaks.
    static const std::regex compilerLine(R"(^\s*\d+:(\d+)\((\d+)\): (error|warning): (.*?)\s*$)");
    std::string first;
    const bool firstReport = compilerReports.insert(path).second;
    std::set<std::string> said; // the compiler repeats itself for one mistake
    std::string source;
    readFile(path, source);
    const std::vector<std::string> lines = errors.lines();
    for (const std::string& line : lines)
    {
        std::smatch match;
        if (!std::regex_match(line, match, compilerLine))
            continue;
        const std::string text = match[4].str();
        // The compiler counts columns in its preprocessed text; the author's editor, in the file.
        const ShaderSource::Place place = ShaderSource::sourcePlace(source, std::atoi(match[1].str().c_str()),
                                                                    std::atoi(match[2].str().c_str()), text);
        if (first.empty())
            first = "line " + std::to_string(place.line) + ": " + text;
        if (!firstReport || !said.insert(match[1].str() + ":" + match[2].str() + text).second)
            continue;
        if (match[3] == "error")
            diagnostics.error(path, place.line, place.column, text);
        else
            diagnostics.warning(path, place.line, place.column, text);
    }
    if (first.empty() && !lines.empty())
        first = lines.front();
    return "does not compile with " + std::string(DemoPaths::Vertex) + (first.empty() ? "" : " (" + first + ")");
}

std::string DemoChecker::probe(const std::string& path, CatalogChecker::FileKind kind)
{
    if (!exists(path))
        return "file " + quoted(path) + " does not exist";
    // A fragment is compiled with the shared vertex file, so a change of either compiles it.
    if (loads && !loads(path) && !(kind == CatalogChecker::FileKind::Fragment && loads(DemoPaths::Vertex)))
        return std::string();
    CapturedErrors errors;
    bool loaded = true;
    const char* what = "";
    switch (kind)
    {
    case CatalogChecker::FileKind::Image:
        loaded = sf::Image().loadFromFile(path);
        what = "an image";
        break;
    case CatalogChecker::FileKind::Font:
        loaded = sf::Font().loadFromFile(path);
        what = "a font";
        break;
    case CatalogChecker::FileKind::Sound:
        loaded = sf::InputSoundFile().openFromFile(path);
        what = "a sound file";
        break;
    case CatalogChecker::FileKind::Fragment:
    {
        const std::string reason = compileFragment(path);
        return reason.empty() ? reason : "fragment " + quoted(path) + " " + reason;
    }
    case CatalogChecker::FileKind::Text: break;
    }
    if (loaded)
        return std::string();
    return "file " + quoted(path) + " cannot be loaded as " + what;
}
