#include "lsp/LabelTimes.hpp"

#include "lsp/DemoFolder.hpp"
#include "lsp/LineMap.hpp"
#include "motion/StepRate.hpp"

#include <cerrno>
#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
std::string describe(const TimelineDocument::Label& label)
{
    if (label.step < 0)
        return "never reached";
    return StepRate::stepText(label.step) + " (step " + std::to_string(label.step) + ")";
}
} // namespace

LabelTimes::~LabelTimes()
{
    stop();
}

void LabelTimes::stop()
{
    if (child > 0)
    {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        child = -1;
    }
    if (output >= 0)
    {
        close(output);
        output = -1;
    }
    received.clear();
}

void LabelTimes::start(bool display)
{
    stop();
    if (!display)
    {
        state = "unknown: there is no display to run the demo on";
        return;
    }
    int ends[2];
    if (::pipe(ends) != 0)
        return;
    const pid_t pid = fork();
    if (pid < 0)
    {
        close(ends[0]);
        close(ends[1]);
        return;
    }
    if (pid == 0)
    {
        dup2(ends[1], STDOUT_FILENO);
        const int nothing = open("/dev/null", O_RDWR);
        if (nothing >= 0)
        {
            dup2(nothing, STDIN_FILENO);
            dup2(nothing, STDERR_FILENO);
        }
        close(ends[0]);
        close(ends[1]);
        setenv("ALSOFT_DRIVERS", "null", 0);
        execl(program.c_str(), program.c_str(), "--timeline", "--json", root.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ends[1]);
    fcntl(ends[0], F_SETFL, fcntl(ends[0], F_GETFL) | O_NONBLOCK);
    child = pid;
    output = ends[0];
    started = std::chrono::steady_clock::now();
    if (!times)
        state = "being worked out";
}

bool LabelTimes::poll()
{
    if (child <= 0)
        return false;
    char buffer[4096];
    for (;;)
    {
        const ssize_t got = read(output, buffer, sizeof buffer);
        if (got > 0)
        {
            received.append(buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (got == 0)
        {
            finish();
            return true;
        }
        if (errno == EINTR)
            continue;
        break;
    }
    if (std::chrono::steady_clock::now() - started > Budget)
    {
        stop();
        state = "unknown: working them out took longer than " + std::to_string(Budget.count()) + " s";
        times.reset();
        return true;
    }
    return false;
}

void LabelTimes::finish()
{
    int status = 0;
    waitpid(child, &status, 0);
    child = -1;
    close(output);
    output = -1;
    TimelineDocument result;
    const bool read = TimelineDocument::fromJson(nlohmann::json::parse(received, nullptr, false), result);
    received.clear();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && read)
    {
        times = std::move(result);
        state.clear();
    }
    else
    {
        times.reset();
        state = "unknown: the demo could not be run (see kestrune --timeline)";
    }
}

std::string LabelTimes::arrival(const std::string& label) const
{
    if (times)
        for (const TimelineDocument::Label& entry : times->labels)
            if (entry.name == label)
                return describe(entry);
    return state;
}

std::map<std::string, std::string> LabelTimes::arrivals() const
{
    std::map<std::string, std::string> found;
    if (times)
        for (const TimelineDocument::Label& entry : times->labels)
            found[entry.name] = describe(entry);
    return found;
}

nlohmann::json LabelTimes::inlayHints(const ScriptModel& script, int fromLine, int toLine) const
{
    nlohmann::json hints = nlohmann::json::array();
    const std::map<std::string, std::string> known = arrivals();
    for (const auto& label : script.labelLines)
    {
        if (label.second < fromLine || label.second > toLine)
            continue;
        std::string text;
        const auto found = known.find(label.first);
        if (found != known.end())
            text = found->second;
        else if (times)
            continue; // not a label of the main flow
        else
            text = "time " + state;
        const std::string& raw = script.raw[static_cast<std::size_t>(label.second)];
        hints.push_back({{"position", {{"line", label.second}, {"character", LineMap::units(raw, raw.size())}}},
                         {"label", text},
                         {"paddingLeft", true}});
    }
    return hints;
}

nlohmann::json LabelTimes::codeLenses(const ScriptModel& script, const std::set<std::string>& runnable) const
{
    static const struct
    {
        const char* title;
        const char* command;
    } actions[] = {{"Play from here", "kestrune.playFrom"},
                   {"Author mode from here", "kestrune.authorFrom"},
                   {"Render from here", "kestrune.renderFrom"}};
    nlohmann::json lenses = nlohmann::json::array();
    for (const auto& label : script.labelLines)
    {
        if (label.first == Script::InitSection || label.first == Script::RenderSection)
            continue;
        const nlohmann::json range = {{"start", {{"line", label.second}, {"character", 0}}},
                                      {"end", {{"line", label.second}, {"character", 0}}}};
        for (const auto& action : actions)
            if (runnable.count(action.command) != 0)
                lenses.push_back(
                    {{"range", range},
                     {"command",
                      {{"title", action.title}, {"command", action.command}, {"arguments", {root, label.first}}}}});
    }
    return lenses;
}
