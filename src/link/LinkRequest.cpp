#include "link/LinkRequest.hpp"

#include "motion/StepRate.hpp"

#include <nlohmann/json.hpp>

#include <cmath>

namespace
{
// Requests nest two levels ({"seek": {...}}, {"loop": [...]}); a line nested deeper is refused
// before the parser sees it, so no input can make reading or freeing it recurse far.
constexpr int DeepestNesting = 4;

bool nestsTooDeep(const std::string& line)
{
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : line)
    {
        if (inString)
        {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        }
        else if (c == '"')
            inString = true;
        else if (c == '{' || c == '[')
        {
            if (++depth > DeepestNesting)
                return true;
        }
        else if (c == '}' || c == ']')
            --depth;
    }
    return false;
}

// A whole number held by a JSON number (2 and 2.0 alike), within +-limit.
bool wholeNumber(const nlohmann::json& value, long limit, long& out)
{
    if (value.is_number_integer())
    {
        if (value.is_number_unsigned())
        {
            const auto number = value.get<std::uint64_t>();
            if (number > static_cast<std::uint64_t>(limit))
                return false;
            out = static_cast<long>(number);
            return true;
        }
        const auto number = value.get<std::int64_t>();
        if (number > limit || number < -limit)
            return false;
        out = static_cast<long>(number);
        return true;
    }
    if (value.is_number_float())
    {
        const double number = value.get<double>();
        if (!std::isfinite(number) || std::floor(number) != number || std::fabs(number) > static_cast<double>(limit))
            return false;
        out = static_cast<long>(number);
        return true;
    }
    return false;
}

std::string shown(const nlohmann::json& value)
{
    std::string text = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    if (text.size() > 40)
        text = text.substr(0, 37) + "...";
    return text;
}
} // namespace

LinkRequest LinkRequest::refused(const std::string& why)
{
    LinkRequest request;
    request.error = why;
    return request;
}

LinkRequest LinkRequest::read(const std::string& line)
{
    if (line.size() > LongestLine)
        return refused("the request is longer than " + std::to_string(LongestLine) + " bytes");
    if (nestsTooDeep(line))
        return refused("the request nests deeper than a request does");
    const nlohmann::json json = nlohmann::json::parse(line, nullptr, false);
    if (json.is_discarded())
        return refused("the request is not JSON");
    if (!json.is_object() || json.size() != 1)
        return refused("a request is a JSON object with one key, such as {\"pause\": true}");
    const std::string name = json.begin().key();
    const nlohmann::json& value = json.begin().value();
    LinkRequest request;
    if (name == "seek")
    {
        if (!value.is_object() || value.size() != 1)
            return refused("seek takes one of {\"time\": SECONDS}, {\"step\": N}, {\"label\": NAME}, {\"line\": N}");
        const std::string to = value.begin().key();
        const nlohmann::json& where = value.begin().value();
        if (to == "time")
        {
            if (!where.is_number() || !std::isfinite(where.get<double>()) || where.get<double>() < 0.0 ||
                where.get<double>() * StepRate::StepsPerSecond > static_cast<double>(LongestStep))
                return refused("seek time takes a number of seconds from 0 to 86400, not " + shown(where));
            request.kind = Kind::SeekTime;
            request.seconds = where.get<double>();
            request.step = std::lround(request.seconds * StepRate::StepsPerSecond);
        }
        else if (to == "step")
        {
            if (!wholeNumber(where, LongestStep, request.step) || request.step < 0)
                return refused("seek step takes a whole number from 0, not " + shown(where));
            request.kind = Kind::SeekStep;
        }
        else if (to == "label")
        {
            if (!where.is_string() || where.get<std::string>().empty())
                return refused("seek label takes the label's name, not " + shown(where));
            request.kind = Kind::SeekLabel;
            request.label = where.get<std::string>();
            // The script's labels are written after ':'; the author may include it.
            if (request.label[0] == ':' && request.label.size() > 1)
                request.label.erase(0, 1);
        }
        else if (to == "line")
        {
            long line = 0;
            if (!wholeNumber(where, 1L << 30, line) || line < 1)
                return refused("seek line takes a line number of the script from 1, not " + shown(where));
            request.kind = Kind::SeekLine;
            request.line = static_cast<int>(line);
        }
        else
            return refused("seek takes time, step, label or line, not \"" + to + "\"");
        return request;
    }
    if (name == "pause" || name == "play")
    {
        if (!value.is_boolean())
            return refused(name + " takes true or false, not " + shown(value));
        request.kind = (name == "pause") == value.get<bool>() ? Kind::Pause : Kind::Play;
        return request;
    }
    if (name == "step")
    {
        if (!wholeNumber(value, LongestStep, request.step) || request.step == 0)
            return refused("step takes a whole number of steps, such as 1 or -1, not " + shown(value));
        request.kind = Kind::Step;
        return request;
    }
    if (name == "speed")
    {
        const double speed = value.is_number() ? value.get<double>() : 0.0;
        for (int exponent = -3; exponent <= 3; ++exponent)
            if (speed == std::ldexp(1.0, exponent))
            {
                request.kind = Kind::Speed;
                request.speedExponent = exponent;
                return request;
            }
        return refused("speed takes 0.125, 0.25, 0.5, 1, 2, 4 or 8, not " + shown(value));
    }
    if (name == "loop")
    {
        if (value.is_null() || value == false)
        {
            request.kind = Kind::NoLoop;
            return request;
        }
        if (!value.is_array() || value.size() != 2 || !wholeNumber(value[0], LongestStep, request.loopStart) ||
            !wholeNumber(value[1], LongestStep, request.loopEnd) || request.loopStart < 0 ||
            request.loopEnd <= request.loopStart)
            return refused("loop takes [FIRST, LAST] steps with FIRST < LAST, or null for no loop, not " +
                           shown(value));
        request.kind = Kind::Loop;
        return request;
    }
    if (name == "state")
    {
        if (value != true)
            return refused("state takes true, not " + shown(value));
        request.kind = Kind::State;
        return request;
    }
    return refused("unknown request " + shown(nlohmann::json(name)) +
                   "; the requests are seek, pause, play, step, speed, loop and state");
}
