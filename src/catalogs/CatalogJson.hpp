#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <string>
#include <vector>

// True when document is an object holding every required key; reports the first missing one.
bool validateJson(nlohmann::json document, std::vector<std::string> requiredKeys);

// Deepest nesting of arrays and objects a JSON file may have. Copying, printing and comparing a
// document recurse once per level, so a hostile file nested 100,000 deep would overflow the stack.
constexpr std::size_t MaxJsonDepth = 512;

// What `in >> document` does (the first value of the stream; the document keeps what was built
// before an error), except that nesting deeper than MaxJsonDepth is a parse error too. Raises
// the library's exceptions.
void parseJson(std::istream& in, nlohmann::json& document);

// Opens and parses a JSON file the way every catalog does. False (after
// "<component>: Unable to open file <path>.") when it cannot be opened. A syntax error prints
// "<component>: Error while parsing JSON." and the library's text, and `document` keeps what
// the parser had built before the error.
bool readJsonFile(const std::string& path, const std::string& component, nlohmann::json& document);

// Walks the members of a catalog's top-level value: object members in key order, array
// elements keyed "0", "1", ..., a scalar as one member with the empty key, null as none.
void forEachMember(const nlohmann::json& value,
                   const std::function<void(const std::string& key, const nlohmann::json& entry)>& visit);

using MemberVisitor = std::function<void(const std::string& key, const nlohmann::json& entry)>;

// The load every catalog shares: read the file, check its top-level key (printing
// missingLine, when there is one, after validateJson's report), then visit each member in the
// catalog order. False when the file cannot be opened or lacks the key.
bool loadCatalog(const std::string& path, const char* component, const char* topLevelKey, const char* missingLine,
                 const MemberVisitor& visit);

// True when entry is an object holding property; otherwise reports
// "<component>: Missing <PROPERTY> property for [<key>]", the property's name in capitals.
bool hasRequired(const char* component, const std::string& key, const nlohmann::json& entry, const char* property);

// Runs one entry's loader and turns a JSON type error into one report line, so that one bad
// entry never ends the program: "<component>: Skipping [<key>]: <library text>".
void guardEntry(const std::string& component, const std::string& key, const std::function<void()>& load);

// Numbers as the catalogs read them: a boolean counts as 0 or 1, integers truncate toward zero.
// Anything else raises the library's type error (caught by guardEntry).
float jsonFloat(const nlohmann::json& value);
std::int32_t jsonInt(const nlohmann::json& value);
