// The script through the real cutscene: objects, buffers, tweens, shaders, animations and the
// fade, drawn with the graphics library into an off-screen scene texture (needs a display,
// e.g. xvfb-run). Catalogs are the demo's own, loaded once as start-up does. The first steps
// are drawn dry, as a fast-forward skips them, the others for real onto a tracked scene canvas.
#include "FuzzSupport.hpp"

#include "catalogs/MusicManager.hpp"
#include "catalogs/ShaderManager.hpp"
#include "catalogs/SpriteManager.hpp"
#include "catalogs/TextureManager.hpp"
#include "cutscene/GameCutscene.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/TextManager.hpp"
#include "scene/SceneCanvas.hpp"
#include "scene/ScreenFade.hpp"

#include <SFML/Graphics/RenderTexture.hpp>

#include <cstddef>
#include <cstdint>
#include <ctime>

namespace
{
constexpr int Steps = 30;
// As in fuzz_script: a loop without a delay stops stepping after this much processor time.
constexpr std::clock_t Budget = CLOCKS_PER_SEC / 10;
constexpr float Step = 1.f / 60.f;

struct Stage
{
    Stage()
    {
        // The window's size, so that presenting a buffer can swap textures with it; text and the
        // fade go onto a picture of their own, as the shell draws them onto the window.
        canvas.create(1920, 1080);
        overlay.create(480, 270);
        TextureManager::instance().load("assets/textures.json");
        // No songs: play_music only reports a miss here. fuzz_music drives the player; a loop that
        // reopens a song 100,000 times a step stalls the audio library's streaming thread under
        // the sanitizers (see fuzz_music.cpp), which is not what this target looks for.
        SpriteManager::instance().load("assets/sprites.json");
        fade.fadeSprite = SpriteManager::instance().getSprite("black");
        ParticleManager::instance().load("assets/particles.json");
        ShaderManager::instance().load("assets/shaders.json");
        TextManager::instance().load("assets/text.json");
        GameCutscene::instance().fade = &fade;
    }

    SceneCanvas canvas;
    sf::RenderTexture overlay;
    ScreenFade fade;
};

Stage* stage = nullptr;
} // namespace

// The window system's and the graphics driver's one-time set-up happens here, before the fuzzer
// starts counting allocations per input.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::enterWorkdir();
    stage = new Stage;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{

    GameCutscene& cutscene = GameCutscene::instance();
    stage->fade.reset();
    cutscene.clearScene();
    cutscene.loadScript(fuzz::writeInput(data, size, "demo.script"));
    cutscene.drawing.canvas = &stage->canvas;
    cutscene.drawing.failed = false;
    const std::clock_t start = std::clock();
    for (int step = 0; step < Steps && std::clock() - start < Budget; ++step)
    {
        cutscene.drawing.mode = step < Steps / 2 ? DrawTracker::Mode::Dry : DrawTracker::Mode::Real;
        MusicManager::instance().updateFade(Step);
        cutscene.update(Step);
        TextManager::instance().update(Step);
        stage->fade.advance(Step);
        if (cutscene.started)
        {
            cutscene.sceneTarget = stage->canvas.texture.get();
            cutscene.interp.executeSub("render");
        }
        cutscene.drawing.finishCanvas();
        TextManager::instance().draw(stage->overlay);
        stage->fade.draw(stage->overlay);
        if (!cutscene.interp.running)
            break;
    }
    cutscene.drawing.mode = DrawTracker::Mode::Real;
    cutscene.clearScene();
    stage->canvas.restart();
    return 0;
}
