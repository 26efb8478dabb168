#include "catalogs/JsonFormat.hpp"

#include "catalogs/CatalogJson.hpp"

#include <nlohmann/json.hpp>

#include <cmath>

namespace
{
void checkRange(const nlohmann::json& value, double number, const JsonKey& key)
{
    if (key.range && !inRange(number, *key.range))
        throw nlohmann::json::type_error::create(
            302, "number " + value.dump() + " is out of the " + rangeText(*key.range), &value);
}
} // namespace

std::vector<std::string> JsonFormat::required() const
{
    std::vector<std::string> names;
    for (const JsonKey& key : *this)
        if (key.required)
            names.emplace_back(key.name);
    return names;
}

std::string rangeText(const KeyRange& range)
{
    return "range of " + std::to_string(static_cast<long long>(range.low)) + " to " +
           std::to_string(static_cast<long long>(range.high)) + " " + range.unit;
}

bool inRange(double value, const KeyRange& range)
{
    const double whole = std::trunc(value);
    return (whole >= range.low || range.belowMeansNone) && whole <= range.high;
}

std::string keyString(const nlohmann::json& entry, const JsonKey& key)
{
    return entry.contains(key.name) ? entry.at(key.name).get<std::string>() : std::string(key.text);
}

float keyFloat(const nlohmann::json& entry, const JsonKey& key)
{
    if (!entry.contains(key.name))
        return static_cast<float>(key.fallback);
    const nlohmann::json& value = entry.at(key.name);
    const float number = jsonFloat(value);
    checkRange(value, number, key);
    return number;
}

std::int32_t keyInt(const nlohmann::json& entry, const JsonKey& key)
{
    if (!entry.contains(key.name))
        return static_cast<std::int32_t>(key.fallback);
    const nlohmann::json& value = entry.at(key.name);
    const std::int32_t number = jsonInt(value);
    checkRange(value, number, key);
    return number;
}

bool keyBool(const nlohmann::json& entry, const JsonKey& key)
{
    return entry.contains(key.name) ? entry.at(key.name).get<bool>() : key.fallback != 0.0;
}
