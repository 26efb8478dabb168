#pragma once

#include <nlohmann/json_fwd.hpp>

#include <string>
#include <vector>

// When playing first arrives at each label of a script's main flow, as `kestrune --timeline
// --json` prints it and the language server reads it back: the one place that knows the
// document's field names.
class TimelineDocument
{
public:
    struct Label
    {
        std::string name;
        int line = 0;   // 1-based line of the definition in the script
        long step = -1; // -1: never reached
    };

    std::string script; // the script's path in the demo
    std::vector<Label> labels;
    long length = -1; // steps until the demo ends; -1: it plays on past the first hour

    nlohmann::json toJson() const;
    // False when `json` is not such a document.
    static bool fromJson(const nlohmann::json& json, TimelineDocument& document);
};
