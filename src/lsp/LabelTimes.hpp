#pragma once

#include "lsp/ScriptModel.hpp"
#include "script/TimelineDocument.hpp"

#include <nlohmann/json.hpp>

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>

#include <sys/types.h>

// The time of every label of a demo's main flow, worked out in the background: `kestrune
// --timeline --json` runs as a child process (its own GL context, its own working folder), so that
// typing is never slowed, and is stopped when it runs over its time budget. Without a display the
// times are unknown, and the hints say so.
class LabelTimes
{
public:
    LabelTimes(std::string program, std::string root) : program(std::move(program)), root(std::move(root)) {}
    ~LabelTimes();
    LabelTimes(const LabelTimes&) = delete;
    LabelTimes& operator=(const LabelTimes&) = delete;

    // Starts a run (after a save); a run still going is stopped first.
    void start(bool display);
    // The pipe of a running child to poll, or -1.
    int pipe() const { return output; }
    // Reads what the child wrote; true when the times have changed (finished, failed or over time).
    bool poll();

    // "12.350 s (step 741)", "never reached", or what is unknown, for a label of the main flow; ""
    // for a label whose time is not known (yet).
    std::string arrival(const std::string& label) const;
    std::map<std::string, std::string> arrivals() const;
    bool running() const { return child > 0; }
    // The state of the run, for a label the run did not report: "" or a reason.
    const std::string& status() const { return state; }

    nlohmann::json inlayHints(const ScriptModel& script, int fromLine, int toLine) const;
    // Play, author mode and render from each label, for those of the commands the client runs.
    nlohmann::json codeLenses(const ScriptModel& script, const std::set<std::string>& runnable) const;

    static constexpr std::chrono::seconds Budget{60};

private:
    void stop();
    void finish();

    const std::string program;
    const std::string root;
    pid_t child = -1;
    int output = -1;
    std::string received;
    std::chrono::steady_clock::time_point started;
    std::optional<TimelineDocument> times; // the last finished run's
    std::string state = "not worked out yet";
};
