#pragma once

#include <set>
#include <string>
#include <vector>

// The files a demo in the working directory uses: its script, config.json, its catalogs, the post-processing
// shaders, and every file the catalogs and the script name (images, fragment shaders, fonts,
// songs, particle-system files, animation files). Read from the files themselves, so a file
// named in a catalog that does not parse is still found; a named file that does not exist yet is
// listed too, so that its creation can be noticed.
class DemoFiles
{
public:
    // Every such file, each once, in path order; the fixed ones also when they do not exist yet.
    static std::vector<std::string> collect();

    // The files the script names (its animation files), there or not.
    static std::set<std::string> namedByScript();

    // True for the post-processing pass's shader files.
    static bool isPostShader(const std::string& path);
};
