#include "check/ShaderSource.hpp"

#include <algorithm>
#include <cctype>
#include <vector>

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

ShaderSource::Place ShaderSource::sourcePlace(const std::string& glsl, int line, int column,
                                             const std::string& message)
{
    // The compiler's text of the line, and where each of its characters comes from.
    std::string squeezed;
    std::vector<Place> from;
    Place at{1, 1};
    std::size_t i = 0;
    for (; i < glsl.size() && at.line < line; ++i)
        if (glsl[i] == '\n')
            ++at.line;
    bool gap = false;
    Place gapStart;
    auto advance = [&](std::size_t count) {
        for (std::size_t end = std::min(i + count, glsl.size()); i < end; ++i)
        {
            if (glsl[i] == '\n')
                at = {at.line + 1, 1};
            else
                ++at.column;
        }
    };
    while (i < glsl.size() && glsl[i] != '\n')
    {
        const char c = glsl[i];
        const bool lineComment = c == '/' && i + 1 < glsl.size() && glsl[i + 1] == '/';
        const bool blockComment = c == '/' && i + 1 < glsl.size() && glsl[i + 1] == '*';
        if (lineComment || blockComment || c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f')
        {
            if (!gap)
                gapStart = at;
            gap = true;
            if (lineComment)
                advance(glsl.find('\n', i) - i); // npos: to the end
            else if (blockComment)
            {
                const std::size_t end = glsl.find("*/", i + 2);
                advance(end == std::string::npos ? glsl.size() : end + 2 - i);
            }
            else
                advance(1);
            continue;
        }
        if (gap)
        {
            squeezed += ' ';
            from.push_back(gapStart);
            gap = false;
        }
        squeezed += c;
        from.push_back(at);
        advance(1);
    }
    if (line < 1 || column < 1 || static_cast<std::size_t>(column) > from.size())
        return {line, column};

    std::size_t index = static_cast<std::size_t>(column) - 1;
    const std::size_t open = message.find('`');
    const std::size_t close = open == std::string::npos ? open : message.find('\'', open + 1);
    const std::string token = close == std::string::npos ? std::string() : message.substr(open + 1, close - open - 1);
    if (!token.empty() && std::all_of(token.begin(), token.end(), identifierChar))
    {
        std::size_t best = std::string::npos;
        for (std::size_t found = squeezed.find(token); found != std::string::npos; found = squeezed.find(token, found + 1))
        {
            const std::size_t after = found + token.size();
            const bool whole = (found == 0 || !identifierChar(squeezed[found - 1])) &&
                               (after >= squeezed.size() || !identifierChar(squeezed[after]));
            const auto distance = [index](std::size_t p) { return p > index ? p - index : index - p; };
            if (whole && (best == std::string::npos || distance(found) < distance(best)))
                best = found;
        }
        if (best != std::string::npos)
            index = best;
    }
    return from[index];
}

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
