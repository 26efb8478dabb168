#include "watch/DemoFiles.hpp"

#include "catalogs/DemoPaths.hpp"
#include "script/Script.hpp"

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace
{
const char* const PostShaders[] = {DemoPaths::Vertex, DemoPaths::PostFragment};

bool isRegularFile(const std::string& path)
{
    std::error_code code;
    return std::filesystem::is_regular_file(path, code);
}

std::string contentOf(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A file that does not exist yet is named like one: a folder, a name and an extension
// ("assets/textures/ball2.png"); keys and texts of a catalog are not.
bool looksLikeFile(const std::string& name)
{
    static const std::regex path(R"re([^\s"]*/[^\s"/]*[^\s"/.]\.[A-Za-z0-9]{1,5})re");
    return std::regex_match(name, path);
}

// Every quoted text of a JSON file that names a file, there or not: a file that is missing now
// is watched by name, so that creating it counts as a save.
void addNamedIn(const std::string& path, std::set<std::string>& found)
{
    static const std::regex quoted(R"re("((?:[^"\\]|\\.)+)")re");
    const std::string text = contentOf(path);
    for (auto match = std::sregex_iterator(text.begin(), text.end(), quoted); match != std::sregex_iterator(); ++match)
    {
        const std::string name = (*match)[1].str();
        const bool exists = isRegularFile(name);
        if ((exists || looksLikeFile(name)) && found.insert(name).second && exists && name.size() > 5 &&
            name.compare(name.size() - 5, 5, ".json") == 0)
            addNamedIn(name, found); // a particle-system file
    }
}
} // namespace

std::set<std::string> DemoFiles::namedByScript()
{
    std::set<std::string> named;
    Script script;
    std::ifstream in(DemoPaths::Script);
    script.parse(in);
    for (const ScriptLine& line : script.lines)
        for (const std::string& param : line.params)
            if (param.find('/') != std::string::npos && (isRegularFile(param) || looksLikeFile(param)))
                named.insert(param);
    return named;
}

std::vector<std::string> DemoFiles::collect()
{
    std::set<std::string> found = namedByScript();
    found.insert(DemoPaths::Script);
    found.insert(DemoPaths::Config);
    for (const char* path : PostShaders)
        found.insert(path);
    for (const char* path : DemoPaths::Catalogs)
    {
        found.insert(path);
        addNamedIn(path, found);
    }
    return std::vector<std::string>(found.begin(), found.end());
}

bool DemoFiles::isPostShader(const std::string& path)
{
    for (const char* shader : PostShaders)
        if (path == shader)
            return true;
    return false;
}
