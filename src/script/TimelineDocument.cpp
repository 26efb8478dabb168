#include "script/TimelineDocument.hpp"

#include "motion/StepRate.hpp"

#include <nlohmann/json.hpp>

namespace
{
double secondsOf(long steps)
{
    return static_cast<double>(steps) / StepRate::StepsPerSecond;
}
} // namespace

nlohmann::json TimelineDocument::toJson() const
{
    nlohmann::json entries = nlohmann::json::array();
    for (const Label& label : labels)
    {
        nlohmann::json entry = {{"label", label.name}, {"line", label.line}, {"reached", label.step >= 0}};
        if (label.step >= 0)
        {
            entry["step"] = label.step;
            entry["seconds"] = secondsOf(label.step);
        }
        entries.push_back(entry);
    }
    nlohmann::json end = nullptr;
    if (length >= 0)
        end = {{"steps", length}, {"seconds", secondsOf(length)}};
    return {{"script", script}, {"labels", entries}, {"length", end}};
}

bool TimelineDocument::fromJson(const nlohmann::json& json, TimelineDocument& document)
{
    if (!json.is_object() || !json.contains("labels") || !json["labels"].is_array())
        return false;
    document = TimelineDocument();
    document.script = json.value("script", "");
    for (const nlohmann::json& entry : json["labels"])
    {
        if (!entry.is_object())
            continue;
        Label label;
        label.name = entry.value("label", "");
        label.line = entry.value("line", 0);
        label.step = entry.value("reached", false) ? entry.value("step", 0L) : -1;
        document.labels.push_back(label);
    }
    const nlohmann::json& end = json.value("length", nlohmann::json());
    document.length = end.is_object() ? end.value("steps", -1L) : -1;
    return true;
}
