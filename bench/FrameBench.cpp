// Frame benchmark: the player's frame (one fixed step and one rendered frame, shown in the
// window) against a minimal hand-written SFML loop that draws the same benchmark picture with
// the same passes. Prints the median frame time in milliseconds; tools/bench_frames.sh runs it.
//
//   bench_frames player DIR FRAMES [START] [--draw-all] [--profile]
//   bench_frames handwritten DIR FRAMES

#include "player/Player.hpp"
#include "profile/ProfileScope.hpp"
#include "play/DemoWindow.hpp"
#include "player/FrameTimer.hpp"
#include "scene/PassElision.hpp"

#include <SFML/Graphics.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace
{
const int WarmUpFrames = 10;
const int Sprites = 200;

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

template <typename Frame>
double measure(int frames, Frame frame)
{
    for (int i = 0; i < WarmUpFrames; ++i)
        frame();
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i)
    {
        const auto start = std::chrono::steady_clock::now();
        frame();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return median(times);
}

int player(int frames, const char* start)
{
    Player app;
    DemoWindow demo(app);
    if (demo.open() != 0)
        return 1;
    sf::RenderWindow& window = demo.window();
    window.setVerticalSyncEnabled(false);
    if (start && demo.start(start) != 0)
        return 1;
    const double ms = measure(frames, [&] {
        Profiler* profiler = Profiler::active;
        if (profiler)
            profiler->beginFrame();
        app.update();
        app.renderScene();
        app.present(window);
        {
            ProfileScope wait("display wait", Profiler::Display);
            window.display();
        }
        if (profiler)
            profiler->endFrame();
    });
    std::printf("median_ms %.2f\n", ms);
    return 0;
}

// What a straightforward program does for the benchmark picture: clear the buffer, draw the
// background and every sprite into it, put the buffer on the scene texture, show that through the
// post-processing shader, draw the fade overlay, display.
int handwritten(int frames)
{
    sf::RenderWindow window(sf::VideoMode(1920, 1080), "bench");
    window.setVerticalSyncEnabled(false);
    sf::Texture sky, star, noise, black;
    if (!sky.loadFromFile("assets/textures/sky.png") || !star.loadFromFile("assets/textures/star.png") ||
        !noise.loadFromFile("assets/textures/noise.png") || !black.loadFromFile("assets/textures/black.png"))
        return 1;
    noise.setRepeated(true);
    black.setRepeated(true);
    sf::RenderTexture buffer, scene;
    buffer.create(1920, 1080);
    scene.create(1920, 1080);
    sf::Shader post;
    if (!post.loadFromFile("assets/shaders/passthrough.vert", "assets/shaders/vignette.frag"))
        return 1;
    post.setUniform("iChannel0", sf::Shader::CurrentTexture);
    post.setUniform("iChannel1", noise);

    sf::Sprite background(sky);
    background.setScale(4.f, 4.f);
    std::vector<sf::Sprite> sprites(Sprites, sf::Sprite(star));
    sf::Sprite bufferSprite(buffer.getTexture());
    sf::Sprite postSprite(scene.getTexture());
    sf::Sprite fade(black, sf::IntRect(0, 0, 1920, 1080));
    fade.setColor(sf::Color(255, 255, 255, 0));

    float time = 0.f;
    const double ms = measure(frames, [&] {
        time += FrameTimer::Step;
        for (int i = 0; i < Sprites; ++i)
        {
            const float phase = time / (1.f + (i % 7) * 0.25f) + i;
            sprites[i].setPosition(100.f + (i % 20) * 85.f + 60.f * std::sin(phase),
                                   100.f + (i / 20) * 90.f + 40.f * std::cos(phase));
            sprites[i].setRotation(phase * 30.f);
        }
        post.setUniform("iTime", time);
        buffer.clear(sf::Color::Black);
        buffer.draw(background);
        for (const sf::Sprite& sprite : sprites)
            buffer.draw(sprite);
        buffer.display();
        scene.draw(bufferSprite);
        scene.display();
        window.clear(sf::Color::Transparent);
        window.draw(postSprite, &post);
        window.draw(fade);
        window.display();
    });
    std::printf("median_ms %.2f\n", ms);
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 4 || chdir(argv[2]) != 0)
    {
        std::fprintf(stderr, "usage: bench_frames player|handwritten DIR FRAMES [START] [--draw-all] [--profile]\n");
        return 2;
    }
    const int frames = std::max(1, std::atoi(argv[3]));
    const char* start = nullptr;
    // --profile: the frames as kestrune --profile plays them.
    std::unique_ptr<Profiler> profiler;
    for (int i = 4; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--draw-all") == 0)
            PassElision::enabled = false;
        else if (std::strcmp(argv[i], "--profile") == 0)
        {
            profiler = std::make_unique<Profiler>(std::size_t(1) << 20);
            Profiler::active = profiler.get();
        }
        else
            start = argv[i];
    }
    if (std::strcmp(argv[1], "player") == 0)
        return player(frames, start);
    if (std::strcmp(argv[1], "handwritten") == 0)
        return handwritten(frames);
    return 2;
}
