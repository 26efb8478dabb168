#pragma once

#include <nlohmann/json_fwd.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The JSON types a key of a catalog or a file may hold, as the loaders read them.
enum class JsonType : std::uint8_t
{
    String,
    Number,       // a number or a boolean (0 or 1), read as a float
    Integer,      // a number or a boolean, truncated to 32 bits
    StrictNumber, // a number; a boolean is refused
    Boolean,
    Object,
    Array,
    Any
};

// The values the player takes for a number, compared after truncation toward zero; a value
// outside makes it skip the entry. With `belowMeansNone` a value below `low` is taken as "none".
struct KeyRange
{
    double low;
    double high;
    const char* unit;
    bool belowMeansNone;
};

// One key of an entry: its name, its JSON type, whether the entry must hold it, what it is when
// absent and, for some numbers, the values the player takes. The loader reads the key through
// this row and the checker checks it against the same row.
struct JsonKey
{
    const char* name;
    JsonType type;
    bool required;
    double fallback = 0.0; // a number's or a boolean's value when the key is absent
    const char* text = ""; // a string's value when the key is absent
    const KeyRange* range = nullptr;
};

// The keys of one kind of entry, in the order the format lists them. `topLevel`: the member of
// the file that holds the entries, or null where the file is one entry itself.
struct JsonFormat
{
    template <std::size_t N>
    constexpr JsonFormat(const char* topLevel, const JsonKey (&list)[N]) : topLevel(topLevel), keys(list), count(N)
    {}

    constexpr const JsonKey* begin() const { return keys; }
    constexpr const JsonKey* end() const { return keys + count; }
    // The required keys in order, for validateJson.
    std::vector<std::string> required() const;

    const char* topLevel;
    const JsonKey* keys;
    int count;
};

// "range of 0 to 2048 pixels"
std::string rangeText(const KeyRange& range);
// True when the number, truncated toward zero, is one the range takes (or means "none").
bool inRange(double value, const KeyRange& range);

// A key's value as its loader reads it, or the key's default when the entry lacks it. A value of
// the wrong JSON type, or a number outside the key's range, raises the library's type error
// (caught by guardEntry).
std::string keyString(const nlohmann::json& entry, const JsonKey& key);
float keyFloat(const nlohmann::json& entry, const JsonKey& key);
std::int32_t keyInt(const nlohmann::json& entry, const JsonKey& key);
bool keyBool(const nlohmann::json& entry, const JsonKey& key);
