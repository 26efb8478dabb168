#include "author/AuthorMode.hpp"
#include "check/DemoChecker.hpp"
#include "cli/CommandLine.hpp"
#include "cli/CommandListing.hpp"
#include "cli/LaunchCheck.hpp"
#include "cli/OptionTable.hpp"
#include "link/LinkClient.hpp"
#include "lsp/StdioServer.hpp"
#include "play/DemoWindow.hpp"
#include "play/PlayLoop.hpp"
#include "player/FrameStats.hpp"
#include "player/Player.hpp"
#include "player/StartPoint.hpp"
#include "profile/Profiler.hpp"
#include "render/OfflineRenderer.hpp"
#include "render/RenderJobs.hpp"
#include "render/RenderJoin.hpp"
#include "scene/PassElision.hpp"
#include "ship/DemoExport.hpp"
#include "timeline/LabelTimeline.hpp"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>

#include <unistd.h>

namespace
{
// Events a --profile trace keeps (the latest, about a minute of a busy demo), and those author
// mode keeps for its panel and timeline without one.
constexpr std::size_t TraceEvents = std::size_t(1) << 20;
constexpr std::size_t RecentEvents = std::size_t(1) << 16;

// The profiler of this run: for --profile, --stats and author mode; off otherwise.
std::unique_ptr<Profiler> startProfiler(const CommandLine& options)
{
    if (options.profileOut.empty() && !options.stats && !options.author)
        return nullptr;
    auto profiler = std::make_unique<Profiler>(options.profileOut.empty() ? RecentEvents : TraceEvents);
    Profiler::active = profiler.get();
    return profiler;
}

// At exit: the costliest lines after --stats's figures, and the trace of --profile.
int finishProfiler(const CommandLine& options, std::unique_ptr<Profiler>& profiler, int status)
{
    if (!profiler)
        return status;
    Profiler::active = nullptr;
    if (options.stats)
        for (const std::string& line : profiler->statsLines(5))
            std::cerr << line << std::endl;
    if (!options.profileOut.empty())
    {
        std::string error;
        if (profiler->writeTrace(options.profileOut, error))
            std::cerr << "kestrune: profile: " << profiler->frames() << " frames written to " << options.profileOut
                      << " (clock: " << profiler->clockText() << ")" << std::endl;
        else
        {
            std::cerr << "kestrune: --profile: " << error << std::endl;
            status = status == 0 ? 1 : status;
        }
    }
    profiler.reset();
    return status;
}

// The window's frame loop or author mode, in a window opened as the demo's config.json says.
int playInWindow(const CommandLine& options)
{
    Player player;
    // Author mode's seeks start from the nearest snapshot of the state instead of from step 0;
    // what the script runs is followed from its load on, so that a saved script keeps them.
    if (options.author)
        player.keepSnapshots(static_cast<std::size_t>(options.snapshotMegabytes) << 20);
    DemoWindow window(player);
    int status = window.open();
    if (status != 0)
        return status;
    FrameStats stats;
    if (options.author)
    {
        // A start point that cannot be reached is shown to the author instead of ending.
        AuthorMode author(player);
        author.budget(options.budgetMs / 1000.0);
        author.start(options.start);
        author.run(window.window());
    }
    else
    {
        // Made before the start point is reached, so that the folder is watched from start-up.
        PlayLoop loop(player, window);
        status = window.start(options.start);
        if (status == 0)
            loop.run(options.stats ? &stats : nullptr);
    }
    if (status != 0)
        return status;
    window.window().close();
    if (options.stats)
        std::cerr << stats.summary() << std::endl;
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    CommandLine options;
    std::string error;
    if (!options.parse(argc, argv, error))
    {
        std::cerr << "kestrune: " << error << " (see kestrune --help)" << std::endl;
        return 2;
    }
    if (options.help)
    {
        std::cout << CommandLine::usage();
        return 0;
    }
    if (options.showVersion)
    {
        std::cout << CommandLine::version() << std::endl;
        return 0;
    }
    if (options.listCommands)
    {
        options.json ? CommandListing::printJson(std::cout) : CommandListing::print(std::cout);
        return 0;
    }
    if (!options.joinOut.empty())
        return RenderJoin::run(options.joinOut, options.joinParts);
    if (options.send)
    {
        std::string answer;
        switch (LinkClient::send(options.dir, options.sendRequest, answer))
        {
        case LinkClient::Result::Answered: std::cout << answer << std::endl; return LinkClient::isOk(answer) ? 0 : 1;
        case LinkClient::Result::NoPlayer:
            std::cerr << "kestrune: --send: no author-mode player runs the demo in '" << options.dir
                      << "' (start one with kestrune --author)" << std::endl;
            return 2;
        case LinkClient::Result::Failed: std::cerr << "kestrune: --send: " << answer << std::endl; return 1;
        }
    }
    if (options.lsp)
        return StdioServer::run();
    // The output is named from where the command runs, before the player moves into the demo.
    if (!options.renderOut.empty())
        options.renderOut = std::filesystem::absolute(options.renderOut).lexically_normal().string();
    if (!options.profileOut.empty())
        options.profileOut = std::filesystem::absolute(options.profileOut).lexically_normal().string();
    if (!options.exportOut.empty())
        options.exportOut = std::filesystem::absolute(options.exportOut).lexically_normal().string();
    // Every path of a demo is relative to its folder, so the player works inside it.
    if (!options.dir.empty() && chdir(options.dir.c_str()) != 0)
    {
        std::cerr << "kestrune: cannot play folder '" << options.dir << "': " << std::strerror(errno) << std::endl;
        return 2;
    }

    if (!LaunchCheck::isDemoFolder(".", error))
    {
        std::cerr << "kestrune: " << error << std::endl;
        return 2;
    }
    // One author-mode player per folder: a second would take the first's announcement and leave
    // it unreachable.
    long running = 0;
    if (options.author && LinkClient::playerListens(".", running))
    {
        std::cerr << "kestrune: --author: the demo in this folder is already open in author mode (pid " << running
                  << "); quit that player first" << std::endl;
        return 2;
    }
    if (!options.exportOut.empty())
    {
        char self[4096];
        const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
        if (length <= 0)
        {
            std::cerr << "kestrune: --export cannot find its own program: " << std::strerror(errno) << std::endl;
            return 1;
        }
        DemoExport exporter(options.exportOut, std::string(self, static_cast<std::size_t>(length)));
        exporter.canOpenDisplay = LaunchCheck::hasDisplay(error);
        return exporter.run(std::cerr);
    }
    if (options.check)
    {
        DemoChecker checker;
        checker.canOpenDisplay = LaunchCheck::hasDisplay(error);
        return checker.run(std::cout);
    }
    if (options.timeline)
    {
        if (!LaunchCheck::hasDisplay(error))
        {
            std::cerr << "kestrune: cannot run the demo for its timeline: " << error
                      << "; on a machine without a screen, run it under "
                      << LaunchCheck::underVirtualScreen(options.commandLine) << std::endl;
            return 1;
        }
        // The demo's own console lines go to standard error: standard output holds the timeline.
        std::streambuf* const out = std::cout.rdbuf(std::cerr.rdbuf());
        Player player;
        if (!player.load())
            return 1;
        LabelTimeline timeline;
        timeline.compute(player);
        std::cout.rdbuf(out);
        if (options.json)
            std::cout << timeline.json().dump(2) << std::endl;
        else
            timeline.print(std::cout);
        return 0;
    }
    if (!options.start.empty() && !StartPoint(options.start).validate(error))
    {
        std::cerr << "kestrune: " << error << std::endl;
        return 2;
    }

    PassElision::enabled = !options.drawAll;
    if (!options.renderOut.empty())
    {
        if (!LaunchCheck::canRender(!OfflineRenderer::videoFormat(options.renderOut).empty(), options.commandLine))
            return 1;
        const RenderSettings settings = OptionTable::renderSettings(options);
        if (options.jobs > 0)
            return RenderJobs(settings, options.jobs, OptionTable::renderArguments).run();
        std::unique_ptr<Profiler> profiler = startProfiler(options);
        int status = 0;
        {
            OfflineRenderer renderer(settings);
            Player player;
            status = renderer.run(player);
        }
        return finishProfiler(options, profiler, status);
    }
    // Without a display the library would abort with a core dump when the window opens.
    if (!LaunchCheck::hasDisplay(error))
    {
        std::cerr << "kestrune: cannot open the window: " << error << "; on a machine without a screen, run it under "
                  << LaunchCheck::underVirtualScreen(options.commandLine) << std::endl;
        return 1;
    }
    std::unique_ptr<Profiler> profiler = startProfiler(options);
    const int status = playInWindow(options);
    return finishProfiler(options, profiler, status);
}
