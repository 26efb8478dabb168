#include "lsp/DemoFolder.hpp"

#include "catalogs/DemoPaths.hpp"

#include <cctype>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

std::string DemoFolder::pathOf(const std::string& uri)
{
    const std::string scheme = "file://";
    if (uri.compare(0, scheme.size(), scheme) != 0)
        return std::string();
    std::string path;
    for (std::size_t i = scheme.size(); i < uri.size(); ++i)
    {
        if (uri[i] == '%' && i + 2 < uri.size() && std::isxdigit(static_cast<unsigned char>(uri[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(uri[i + 2])))
        {
            path += static_cast<char>(std::stoi(uri.substr(i + 1, 2), nullptr, 16));
            i += 2;
        }
        else if (uri[i] == '?' || uri[i] == '#')
            break;
        else
            path += uri[i];
    }
    // "file://host/path" names a host; only the local one is served.
    if (path.empty() || path[0] != '/')
        return std::string();
    return fs::path(path).lexically_normal().string();
}

std::string DemoFolder::uriOf(const std::string& path)
{
    std::string uri = "file://";
    for (const char c : path)
    {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~')
            uri += c;
        else
        {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            uri += escaped;
        }
    }
    return uri;
}

std::string DemoFolder::rootOf(const std::string& path)
{
    for (fs::path folder = fs::path(path).parent_path(); !folder.empty(); folder = folder.parent_path())
    {
        if (DemoPaths::isDemoFolder(folder.string()))
            return folder.string();
        if (folder == folder.root_path())
            break;
    }
    return std::string();
}

std::string DemoFolder::relative(const std::string& root, const std::string& path)
{
    if (root.empty() || path.compare(0, root.size(), root) != 0 || path.size() <= root.size() + 1 ||
        path[root.size()] != '/')
        return std::string();
    return path.substr(root.size() + 1);
}
