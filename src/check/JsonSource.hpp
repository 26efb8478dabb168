#pragma once

#include "check/Diagnostics.hpp"

#include <nlohmann/json.hpp>

#include <string>
#include <unordered_map>

// One JSON file as the checker sees it: the document the player would load (the partial one
// after a syntax error) and where each member and element starts, so that diagnostics can point
// at the line and column. Places are keyed by path: "/textures/sky/file", "/sprites/3".
class JsonSource
{
public:
    struct Place
    {
        int line = 1;
        int column = 1;
    };

    // Parses text; a syntax error and duplicate keys are reported against path.
    JsonSource(const std::string& path, const std::string& text, Diagnostics& diagnostics);

    // Where the member or element at `where` starts; the closest enclosing one when unknown.
    Place at(const std::string& where) const;
    // Reports at the place of `where`.
    void error(const std::string& where, const std::string& text) const;
    void warning(const std::string& where, const std::string& text) const;

    const std::string path;
    nlohmann::json document;
    bool syntaxError = false;

private:
    void index(const std::string& text);

    Diagnostics& diagnostics;
    std::unordered_map<std::string, Place> places;
};
