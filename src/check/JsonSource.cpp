#include "check/JsonSource.hpp"

#include "catalogs/CatalogJson.hpp"
#include "check/Utf8.hpp"

#include <set>
#include <sstream>
#include <utility>
#include <vector>

namespace
{
JsonSource::Place placeOfByte(const std::string& text, std::size_t byte)
{
    JsonSource::Place place;
    for (std::size_t i = 0; i < byte && i < text.size(); ++i)
    {
        if (text[i] == '\n')
        {
            ++place.line;
            place.column = 1;
        }
        else
            ++place.column;
    }
    return place;
}

// The library's text after its "[json.exception...] parse error at line L, column C: " prefix.
std::string parseErrorText(const std::string& what)
{
    const std::size_t column = what.find("column ");
    const std::size_t colon = column == std::string::npos ? std::string::npos : what.find(": ", column);
    return colon == std::string::npos ? what : what.substr(colon + 2);
}
} // namespace

JsonSource::JsonSource(const std::string& sourcePath, const std::string& text, Diagnostics& sink)
    : path(sourcePath), diagnostics(sink)
{
    // Read as the player reads: the document keeps what was complete before an error.
    std::istringstream in(text);
    try
    {
        parseJson(in, document);
    }
    catch (const nlohmann::json::parse_error& failure)
    {
        syntaxError = true;
        // The library counts the byte it stopped at from 1; point at it.
        const Place place = placeOfByte(text, failure.byte > 0 ? failure.byte - 1 : 0);
        std::string reason = parseErrorText(failure.what());
        // The usual cause is a file saved as Latin-1 rather than UTF-8.
        if (Utf8::invalidAt(text) != std::string::npos && reason.find("UTF-8") != std::string::npos)
            reason += " (the file is not UTF-8: save it as UTF-8)";
        diagnostics.error(path, place.line, place.column, "JSON syntax error: " + reason);
    }
    catch (const nlohmann::json::exception& failure)
    {
        syntaxError = true;
        diagnostics.error(path, 1, 1, std::string("JSON error: ") + failure.what());
    }
    index(text);
}

JsonSource::Place JsonSource::at(const std::string& where) const
{
    std::string key = where;
    for (;;)
    {
        const auto found = places.find(key);
        if (found != places.end())
            return found->second;
        const std::size_t slash = key.rfind('/');
        if (slash == std::string::npos || key.empty())
            return Place();
        key.erase(slash);
    }
}

void JsonSource::error(const std::string& where, const std::string& text) const
{
    const Place place = at(where);
    diagnostics.error(path, place.line, place.column, text);
}

void JsonSource::warning(const std::string& where, const std::string& text) const
{
    const Place place = at(where);
    diagnostics.warning(path, place.line, place.column, text);
}

// A lenient scan of the text (it also walks broken files) that records where every member's key
// and every array element starts.
void JsonSource::index(const std::string& text)
{
    struct Frame
    {
        bool object = false;
        std::string where;
        int element = 0;
        bool expectKey = true;
        std::string key;
        std::set<std::string> keys;
    };
    std::vector<Frame> stack;
    Place place;
    std::size_t i = 0;

    auto advance = [&]() {
        if (text[i] == '\n')
        {
            ++place.line;
            place.column = 1;
        }
        else
            ++place.column;
        ++i;
    };
    // Called where a value starts; the path of that value.
    auto valueAt = [&](const Place& start) -> std::string {
        if (stack.empty())
            return std::string();
        Frame& frame = stack.back();
        if (frame.object)
            return frame.where + "/" + frame.key;
        std::string where = frame.where + "/" + std::to_string(frame.element);
        places.emplace(where, start);
        return where;
    };

    while (i < text.size())
    {
        const char c = text[i];
        const Place start = place;
        if (c == '"')
        {
            std::string content;
            advance();
            while (i < text.size() && text[i] != '"')
            {
                if (text[i] == '\\' && i + 1 < text.size())
                    advance();
                content += text[i];
                advance();
            }
            if (i < text.size())
                advance();
            if (!stack.empty() && stack.back().object && stack.back().expectKey)
            {
                Frame& frame = stack.back();
                frame.key = content;
                frame.expectKey = false;
                const std::string where = frame.where + "/" + content;
                if (!frame.keys.insert(content).second)
                    diagnostics.warning(path, start.line, start.column,
                                        "duplicate key \"" + content + "\"; only the last one counts");
                places[where] = start;
            }
            else
                valueAt(start);
        }
        else if (c == '{' || c == '[')
        {
            // The document ends at the parser's depth limit; indexing deeper would only keep
            // ever longer paths (memory quadratic in the depth) of values that are not there.
            if (stack.size() >= MaxJsonDepth)
                break;
            Frame frame;
            frame.object = c == '{';
            frame.where = valueAt(start);
            stack.push_back(std::move(frame));
            advance();
        }
        else if (c == '}' || c == ']')
        {
            if (!stack.empty())
                stack.pop_back();
            advance();
        }
        else if (c == ',')
        {
            if (!stack.empty())
            {
                if (stack.back().object)
                    stack.back().expectKey = true;
                else
                    ++stack.back().element;
            }
            advance();
        }
        else if (c == ':' || c == ' ' || c == '\t' || c == '\r' || c == '\n')
            advance();
        else
        {
            valueAt(start);
            while (i < text.size() && std::string(",]}: \t\r\n\"").find(text[i]) == std::string::npos)
                advance();
        }
    }
}
