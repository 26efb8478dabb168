#include "check/ShaderSource.hpp"

#include <cctype>

namespace
{
bool identifierChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The text with comments blanked out, so that a commented-out declaration does not count.
std::string withoutComments(const std::string& text)
{
    std::string out = text;
    for (std::size_t i = 0; i + 1 < out.size(); ++i)
    {
        if (out[i] == '/' && out[i + 1] == '/')
        {
            while (i < out.size() && out[i] != '\n')
                out[i++] = ' ';
        }
        else if (out[i] == '/' && out[i + 1] == '*')
        {
            const std::size_t end = out.find("*/", i + 2);
            const std::size_t stop = end == std::string::npos ? out.size() : end + 2;
            for (; i < stop; ++i)
                if (out[i] != '\n')
                    out[i] = ' ';
            --i;
        }
    }
    return out;
}

// The last identifier of a declarator such as "highp float amount" or "offsets[4]".
std::string declaredName(const std::string& part)
{
    std::size_t end = part.find_first_of("[=");
    if (end == std::string::npos)
        end = part.size();
    while (end > 0 && !identifierChar(part[end - 1]))
        --end;
    std::size_t begin = end;
    while (begin > 0 && identifierChar(part[begin - 1]))
        --begin;
    return part.substr(begin, end - begin);
}
} // namespace

std::set<std::string> ShaderSource::uniforms(const std::string& glsl)
{
    const std::string text = withoutComments(glsl);
    std::set<std::string> names;
    const std::string keyword = "uniform";
    for (std::size_t at = text.find(keyword); at != std::string::npos; at = text.find(keyword, at + 1))
    {
        const std::size_t after = at + keyword.size();
        if ((at > 0 && identifierChar(text[at - 1])) || after >= text.size() || identifierChar(text[after]))
            continue;
        const std::size_t end = text.find(';', after);
        if (end == std::string::npos)
            break;
        // "uniform float a, b[2];": the first part holds the type, every part ends in a name.
        std::size_t start = after;
        for (std::size_t comma = text.find(',', start); start <= end; comma = text.find(',', start))
        {
            const std::size_t stop = comma == std::string::npos || comma > end ? end : comma;
            const std::string name = declaredName(text.substr(start, stop - start));
            if (!name.empty())
                names.insert(name);
            start = stop + 1;
        }
    }
    return names;
}
