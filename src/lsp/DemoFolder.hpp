#pragma once

#include <string>

// Where the files of the demo an editor has open live: the folder holding the open file found by
// walking up to one with assets/ or config.json, and the file's path inside it, as the checker
// names it ("assets/demo.script").
class DemoFolder
{
public:
    // The absolute path of a file:// URI ("" for any other scheme), and back.
    static std::string pathOf(const std::string& uri);
    static std::string uriOf(const std::string& path);

    // The demo folder holding `path`, or "" when no folder above it is a demo.
    static std::string rootOf(const std::string& path);

    // `path` relative to `root` ("" when it is not inside).
    static std::string relative(const std::string& root, const std::string& path);
};
