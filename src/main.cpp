#include "app/Application.hpp"
#include "app/CommandLine.hpp"
#include "app/CommandListing.hpp"
#include "app/FrameStats.hpp"
#include "app/LaunchCheck.hpp"
#include "app/OfflineRenderer.hpp"
#include "scene/PassElision.hpp"
#include "check/DemoChecker.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

#include <unistd.h>

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
    if (!options.start.empty())
    {
        if (!Application::validateStart(options.start, error))
        {
            std::cerr << "kestrune: " << error << std::endl;
            return 2;
        }
    }

    PassElision::enabled = !options.drawAll;
    if (!options.renderOut.empty())
    {
        OfflineRenderer renderer(options);
        if (!renderer.checkEnvironment())
            return 1;
        Application application;
        return renderer.run(application);
    }
    // Without a display the library would abort with a core dump when the window opens.
    if (!LaunchCheck::hasDisplay(error))
    {
        std::cerr << "kestrune: cannot open the window: " << error << "; on a machine without a screen, run it under "
                  << LaunchCheck::underVirtualScreen(options.commandLine) << std::endl;
        return 1;
    }
    Application application;
    FrameStats stats;
    if (options.stats)
        application.frameStats = &stats;
    application.start = options.start;
    application.author = options.author;
    return application.run();
}
