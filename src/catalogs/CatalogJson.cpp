#include "catalogs/CatalogJson.hpp"

#include "report/Problem.hpp"

#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <system_error>

namespace
{
using DomBuilder = nlohmann::detail::json_sax_dom_parser<nlohmann::json>;

// The library's own document builder with a depth count in front of it.
class DepthLimitedBuilder : public DomBuilder
{
public:
    explicit DepthLimitedBuilder(nlohmann::json& document) : DomBuilder(document, true) {}

    bool start_object(std::size_t elements)
    {
        enter();
        return DomBuilder::start_object(elements);
    }
    bool end_object()
    {
        --depth;
        return DomBuilder::end_object();
    }
    bool start_array(std::size_t elements)
    {
        enter();
        return DomBuilder::start_array(elements);
    }
    bool end_array()
    {
        --depth;
        return DomBuilder::end_array();
    }

private:
    void enter()
    {
        if (++depth > MaxJsonDepth)
            throw nlohmann::json::parse_error::create(
                101, 0, "nesting deeper than " + std::to_string(MaxJsonDepth) + " levels", nullptr);
    }

    std::size_t depth = 0;
};
} // namespace

void parseJson(std::istream& in, nlohmann::json& document)
{
    // The library reads the stream buffer directly, so a read error (a directory opens, then
    // fails to read) would escape as std::ios_base::failure. Copying the buffer turns it into a
    // short text, which then gets the library's ordinary parse error.
    std::ostringstream text;
    text << in.rdbuf();
    DepthLimitedBuilder builder(document);
    // Not strict: like `in >> document`, whatever follows the first value is left unread.
    nlohmann::json::sax_parse(text.str(), &builder, nlohmann::json::input_format_t::json, false);
}

bool validateJson(nlohmann::json document, std::vector<std::string> requiredKeys)
{
    for (const std::string& key : requiredKeys)
    {
        if (!document.is_object() || !document.contains(key))
        {
            Problem::report(Problem("CatalogJson").headed("validateJson") << "Missing prop: " << key << ".");
            return false;
        }
    }
    return true;
}

bool readJsonFile(const std::string& path, const std::string& component, nlohmann::json& document)
{
    std::ifstream file(path);
    std::error_code ignored;
    if (!file.is_open() || std::filesystem::is_directory(path, ignored))
    {
        Problem::report(Problem(component.c_str()).file(path) << "Unable to open file " << path << ".");
        return false;
    }

    // The parser writes straight into `document`, so after an error it still holds the values
    // completed so far; catalogs go on with that partial document. It starts as null so that an
    // error before the first complete value leaves null, not what the caller passed in.
    document = nullptr;
    try
    {
        parseJson(file, document);
    }
    catch (const nlohmann::json::exception& error)
    {
        // The parser's own words follow on a line of their own.
        Problem::report(Problem(component.c_str()).file(path).detail(error.what()) << "Error while parsing JSON.");
    }
    return true;
}

void forEachMember(const nlohmann::json& value,
                   const std::function<void(const std::string& key, const nlohmann::json& entry)>& visit)
{
    if (value.is_object())
    {
        for (const auto& member : value.items())
            visit(member.key(), member.value());
    }
    else if (value.is_array())
    {
        for (std::size_t i = 0; i < value.size(); ++i)
            visit(std::to_string(i), value[i]);
    }
    else if (!value.is_null())
    {
        visit(std::string(), value);
    }
}

bool loadCatalog(const std::string& path, const char* component, const char* topLevelKey, const char* missingLine,
                 const MemberVisitor& visit)
{
    nlohmann::json document;
    if (!readJsonFile(path, component, document))
        return false;
    if (!validateJson(document, {topLevelKey}))
    {
        if (missingLine)
            Problem::report(Problem(component).file(path) << missingLine);
        return false;
    }
    forEachMember(document.at(topLevelKey), visit);
    return true;
}

bool hasRequired(const char* component, const std::string& key, const nlohmann::json& entry, const char* property)
{
    if (entry.is_object() && entry.contains(property))
        return true;
    std::string label = property;
    for (char& c : label)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    Problem::report(Problem(component) << "Missing " << label << " property for [" << key << "]");
    return false;
}

void guardEntry(const std::string& component, const std::string& key, const std::function<void()>& load)
{
    try
    {
        load();
    }
    catch (const nlohmann::json::exception& error)
    {
        Problem::report(Problem(component.c_str()) << "Skipping [" << key << "]: " << error.what());
    }
}

float jsonFloat(const nlohmann::json& value)
{
    // A finite double beyond the float range has no float value (undefined behaviour), so it is
    // reported like any other bad number.
    if (value.is_boolean())
        return value.get<bool>() ? 1.f : 0.f;
    const double number = value.get<double>();
    if (std::fabs(number) > static_cast<double>(std::numeric_limits<float>::max()))
        throw nlohmann::json::type_error::create(302, "number " + value.dump() + " is out of the float range", &value);
    return static_cast<float>(number);
}

std::int32_t jsonInt(const nlohmann::json& value)
{
    // Read through double so that a float such as 12.9 truncates toward zero and a value far
    // beyond 32 bits is reported instead of converted with undefined behaviour.
    if (value.is_boolean())
        return value.get<bool>() ? 1 : 0;
    const double number = value.get<double>();
    if (!(number > -2147483649.0 && number < 2147483648.0))
        throw nlohmann::json::type_error::create(302, "number " + value.dump() + " is out of the 32-bit range", &value);
    return static_cast<std::int32_t>(number);
}
