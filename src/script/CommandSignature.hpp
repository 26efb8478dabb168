#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// What a command's parameter names or how its text is read. The interpreter's and the scene's
// command tables describe their parameters with these kinds; the checker, the reference test and
// the editor support read them there.
enum class ParamKind : std::uint8_t
{
    Integer,
    Number,
    Easing,
    YoyoEasing,  // an easing, or -1 for the forward curve
    Flag,        // a flag or alias index, 0..8
    Variable,    // a variable's name, written without "$"
    NewVariable, // the name the alias command gives a flag
    Text,
    Uniform,
    Label,
    Song,
    Texture,
    Shader,
    ParticleSystem, // a particle-catalog key
    TextSystem,
    NewObject,
    NewBuffer,
    NewBinding, // a name for a particle-system binding
    ObjectOrBuffer,
    Object,
    Buffer,
    Binding,
    AnimationFile,
    Animation // an animation of the file that parameter 0's object loads
};

// The kind's name in listings: lower-case snake words such as "object_or_buffer".
const char* kindName(ParamKind kind);

struct Param
{
    constexpr Param(const char* name, ParamKind kind, const char* fallback = nullptr)
        : name(name), kind(kind), fallback(fallback), fallbackInteger(decimal(fallback))
    {}

    constexpr bool optional() const { return fallback != nullptr; }

    const char* name;
    ParamKind kind;
    // An optional parameter takes this text when the line is too short to hold it; null for the
    // ones a command needs. Optional parameters come last.
    const char* fallback;
    // The default read as a decimal integer (0 for a needed parameter).
    int fallbackInteger;

private:
    static constexpr int decimal(const char* text)
    {
        if (!text)
            return 0;
        const bool negative = text[0] == '-';
        int value = 0;
        for (const char* digit = text + (negative ? 1 : 0); *digit >= '0' && *digit <= '9'; ++digit)
            value = value * 10 + (*digit - '0');
        return negative ? -value : value;
    }
};

// A command's parameters in order. `needs` is the count passed to the parameter-count check:
// the parameters before the first optional one.
struct Signature
{
    constexpr Signature() = default;
    template <std::size_t N>
    constexpr Signature(const Param (&list)[N]) : params(list), count(N), needs(requiredIn(list, N))
    {}

    constexpr const Param* begin() const { return params; }
    constexpr const Param* end() const { return params + count; }

    const Param* params = nullptr;
    int count = 0;
    int needs = 0;

private:
    static constexpr int requiredIn(const Param* list, std::size_t n)
    {
        int required = 0;
        while (static_cast<std::size_t>(required) < n && !list[required].optional())
            ++required;
        return required;
    }
};

// One row's description: the command word, its parameters and what it does in one line. That
// line is the only copy: the language server's hover and --list-commands show it, and the script
// reference's summary table is checked against it.
struct CommandInfo
{
    std::string_view name;
    Signature signature;
    std::string_view description = {};
};

// True when no needed parameter follows an optional one (checked on every table at compile time).
constexpr bool optionalLast(const Signature& signature)
{
    for (int i = signature.needs; i < signature.count; ++i)
        if (!signature.params[i].optional())
            return false;
    return true;
}
