#include "play/PlayLoop.hpp"

#include "play/DemoWindow.hpp"
#include "player/FrameStats.hpp"
#include "player/FrameTimer.hpp"
#include "player/Player.hpp"
#include "profile/ProfileScope.hpp"

#include <SFML/System/Clock.hpp>

PlayLoop::PlayLoop(Player& demo, DemoWindow& demoWindow) : player(demo), window(demoWindow), reload(demo) {}

int PlayLoop::run(FrameStats* stats)
{
    sf::RenderWindow& screen = window.window();
    // After --start the scene of the arrival step is rendered: the first frame only shows it,
    // unless it runs a step.
    bool sceneReady = player.sceneRendered();
    sf::Clock clock;
    FrameTimer timer;
    while (player.running())
    {
        const float frameTime = clock.restart().asSeconds();
        Profiler* profiler = Profiler::active;
        if (profiler)
            profiler->beginFrame();
        if (window.closeRequested())
            player.close();
        const int steps = timer.advance(frameTime);
        for (int step = 0; step < steps; ++step)
        {
            player.update();
            reload.poll();
        }
        // Every frame runs the render section, also a frame without a step.
        if (!sceneReady || steps > 0)
            player.renderScene();
        sceneReady = false;
        player.present(screen);
        {
            ProfileScope wait("display wait", Profiler::Display);
            screen.display();
        }
        if (profiler)
            profiler->endFrame();
        if (stats)
            stats->addFrame(clock.getElapsedTime().asSeconds(), steps > 0);
    }
    return 0;
}
