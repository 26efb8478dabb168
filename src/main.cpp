#include "author/AuthorMode.hpp"
#include "check/DemoChecker.hpp"
#include "cli/CommandLine.hpp"
#include "cli/CommandListing.hpp"
#include "cli/LaunchCheck.hpp"
#include "play/DemoWindow.hpp"
#include "play/PlayLoop.hpp"
#include "player/FrameStats.hpp"
#include "player/Player.hpp"
#include "player/StartPoint.hpp"
#include "render/OfflineRenderer.hpp"
#include "scene/PassElision.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

#include <unistd.h>

namespace
{
// The window's frame loop or author mode, in a window opened as the demo's config.json says.
int playInWindow(const CommandLine& options)
{
    Player player;
    DemoWindow window(player);
    int status = window.open();
    if (status != 0)
        return status;
    FrameStats stats;
    if (options.author)
    {
        // A start point that cannot be reached is shown to the author instead of ending.
        // Seeks start from the nearest snapshot of the state instead of from step 0.
        player.keepSnapshots(static_cast<std::size_t>(options.snapshotMegabytes) << 20);
        AuthorMode author(player);
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
    // The output is named from where the command runs, before the player moves into the demo.
    if (!options.renderOut.empty())
        options.renderOut = std::filesystem::absolute(options.renderOut).lexically_normal().string();
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
    if (options.check)
    {
        DemoChecker checker;
        checker.canOpenDisplay = LaunchCheck::hasDisplay(error);
        return checker.run(std::cout);
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
        OfflineRenderer renderer({options.renderOut, options.start, options.frames, options.seconds, options.fps});
        Player player;
        return renderer.run(player);
    }
    // Without a display the library would abort with a core dump when the window opens.
    if (!LaunchCheck::hasDisplay(error))
    {
        std::cerr << "kestrune: cannot open the window: " << error << "; on a machine without a screen, run it under "
                  << LaunchCheck::underVirtualScreen(options.commandLine) << std::endl;
        return 1;
    }
    return playInWindow(options);
}
