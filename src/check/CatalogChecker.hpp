#pragma once

#include "check/Diagnostics.hpp"
#include "catalogs/JsonFormat.hpp"
#include "check/JsonSource.hpp"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

// What the catalogs of a demo hold, for the cross references of later files and the script.
struct DemoIndex
{
    std::set<std::string> textures, sprites, shaders, music, particles, texts;
    std::vector<std::pair<std::string, std::string>> particleFiles; // catalog key, particle-system file
    std::vector<std::pair<std::string, std::string>> fragments;     // shader key, fragment file
    std::map<std::string, std::set<std::string>> uniforms;          // shader key -> uniforms it declares
    std::set<std::string> cutShort; // catalogs with a syntax error: keys they miss may be there after all
};

// Checks config.json, the catalogs, particle-system files and animation files. Each check takes
// the file's path (as it appears in diagnostics) and its text, so it runs on any byte buffer.
// Files that a catalog names are tried through `probe`, when one is set.
class CatalogChecker
{
public:
    enum class FileKind
    {
        Image,
        Font,
        Sound,
        Fragment, // compiled with the shared vertex file where a display allows
        Text      // a file the checker reads next (particle-system files)
    };
    // "" when the file at path exists and loads as kind; otherwise the reason.
    using FileProbe = std::function<std::string(const std::string& path, FileKind kind)>;

    CatalogChecker(Diagnostics& diagnostics, DemoIndex& index) : diagnostics(diagnostics), index(index) {}

    void checkConfig(const std::string& path, const std::string& text);
    void checkTextures(const std::string& path, const std::string& text);
    void checkSprites(const std::string& path, const std::string& text);
    void checkShaders(const std::string& path, const std::string& text);
    void checkMusic(const std::string& path, const std::string& text);
    void checkParticles(const std::string& path, const std::string& text);
    void checkParticleFile(const std::string& path, const std::string& text);
    void checkTexts(const std::string& path, const std::string& text);
    // The names of the animations the file holds.
    std::set<std::string> checkAnimationFile(const std::string& path, const std::string& text);

    FileProbe probe;
    // Reads a file the catalog names (a shader's source); false when it cannot be read.
    std::function<bool(const std::string& path, std::string& text)> readText;

    // " (it declares a, b)" or " (it declares no uniform)", for a diagnostic about a shader's uniforms.
    static std::string declaredList(const std::set<std::string>& names);

private:
    // The uniforms the shader's fragment declares (also kept in the index), or null when the file
    // cannot be read.
    const std::set<std::string>* declaredUniforms(const std::string& key, const nlohmann::json& fragment);
    // The particle-system files that a catalog with a syntax error names, found in its text.
    void salvageParticleFiles(const std::string& text);
    using EntryCheck = std::function<void(const JsonSource& source, const std::string& key, const nlohmann::json& entry,
                                          const std::string& where)>;

    // The top-level key and each member's keys, as the loader reads them; `entryCheck` adds what is
    // special to a catalog.
    void checkCatalog(const std::string& path, const std::string& text, const JsonFormat& format, const char* noun,
                      std::set<std::string>& keys, const EntryCheck& entryCheck);
    // False when a required key is missing or has the wrong type. Numbers outside the values the
    // player takes are reported too, after the types.
    bool checkKeys(const JsonSource& source, const std::string& what, const nlohmann::json& object,
                   const std::string& where, const JsonFormat& format);
    void checkFile(const JsonSource& source, const std::string& where, const std::string& what, const std::string& file,
                   FileKind kind);
    void checkReference(const JsonSource& source, const std::string& where, const std::string& what,
                        const std::set<std::string>& keys, const std::string& key, const char* noun,
                        const char* catalog);

    Diagnostics& diagnostics;
    DemoIndex& index;
};
