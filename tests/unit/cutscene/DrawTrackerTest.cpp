#include "cutscene/DrawTracker.hpp"

#include "cutscene/CutsceneTestSupport.hpp"
#include "effects/Random.hpp"
#include "scene/PassElision.hpp"
#include "scene/SceneCanvas.hpp"

using namespace cutscenetest;

namespace
{
// How the steps are drawn.
enum class Way
{
    EveryPass, // --draw-all
    Playing,   // every step drawn, with the elisions
    Skipping   // the steps before the last drawn dry, as a fast-forward does
};

struct Case
{
    const char* name;
    const char* main;
    const char* init;
    const char* render;
    bool needsSkippedDrawing; // the skipping run must notice that it cannot give playing's picture
};

// R: an opaque red 8 x 8 texture (scaled 240 times it covers the scene), G: an opaque green one,
// H: green at half alpha.
const Case Cases[] = {
    {"cleared every frame", "", "object_tween_x dot, 900, 0.2",
     "clear_buffer B\ndraw_object B, dot\ndisplay_buffer B\nrender_scene B", false},
    {"covered every frame", "", "object_tween_x dot, 900, 0.2",
     "clear_buffer B\ndraw_object B, bg\ndraw_object B, dot\ndisplay_buffer B\nrender_scene B", false},
    {"two buffers on the scene", "", "object_tween_x dot, 900, 0.2\nobject_set_alpha C, 0.5",
     "clear_buffer B\ndraw_object B, bg\ndisplay_buffer B\nrender_scene B\nclear_buffer C\ndraw_object C, dot\n"
     "display_buffer C\nrender_scene C\ndraw_object B, half\nrender_scene B",
     false},
    {"cleared once, read every frame", "", "clear_buffer C\nobject_set_pos C, 5, 5",
     "clear_buffer B\ndraw_object B, bg\ndraw_buffer B, C\ndisplay_buffer B\nrender_scene B", false},
    {"a trail never cleared", "", "clear_buffer B\nobject_tween_x dot, 900, 0.2",
     "draw_object B, dot\ndisplay_buffer B\nrender_scene B", true},
    {"drawn early, read later", "delay 0.05\nset_flag 1, 1", "object_tween_x dot, 900, 0.2",
     "if %flag_1, 0\nclear_buffer C\ndraw_object C, dot\nendif\nclear_buffer B\ndraw_buffer B, C\n"
     "display_buffer B\nrender_scene B",
     true},
};

class DrawTrackerTest : public CutsceneTest
{
protected:
    void SetUp() override
    {
        CutsceneTest::SetUp();
        objects = "create_buffer B\ncreate_buffer C\ncreate_object bg, " + addTexture(8, 8, sf::Color::Red) +
                  "\nobject_set_scale bg, 240\ncreate_object dot, " + addTexture(8, 8, sf::Color::Green) +
                  "\nobject_set_pos dot, 100, 100\ncreate_object half, " + addTexture(8, 8, sf::Color(0, 255, 0, 128)) +
                  "\nobject_set_scale half, 30\n";
    }

    void TearDown() override
    {
        PassElision::enabled = true;
        cutscene.drawing.mode = DrawTracker::Mode::Real;
        CutsceneTest::TearDown();
    }

    struct Result
    {
        sf::Image scene;
        bool exact;
    };

    // Ten steps, each followed by the render section, as --render plays them.
    Result play(const Case& c, Way way)
    {
        PassElision::enabled = way != Way::EveryPass;
        Random::restart();
        cutscene.clearScene();
        for (std::int32_t& flag : cutscene.flags)
            flag = 0;
        load(c.main, objects + c.init, c.render);
        SceneCanvas canvas;
        canvas.create(1920, 1080);
        cutscene.drawing.canvas = &canvas;
        cutscene.drawing.failed = false;
        const int steps = 10;
        capture([&] {
            DriverLeakGuard guard;
            for (int k = 1; k <= steps; ++k)
            {
                const bool dry = way == Way::Skipping && k < steps;
                cutscene.drawing.mode = dry ? DrawTracker::Mode::Dry : DrawTracker::Mode::Real;
                cutscene.update(Step);
                cutscene.sceneTarget = canvas.texture.get();
                cutscene.interp.executeSub("render");
                cutscene.drawing.finishCanvas();
            }
        });
        Result result{canvas.texture->getTexture().copyToImage(), !cutscene.drawing.failed};
        for (const auto& entry : cutscene.buffers)
            result.exact = result.exact && entry.second->target.content != DrawTarget::Content::Stale;
        result.exact = result.exact && canvas.target.content != DrawTarget::Content::Stale;
        cutscene.clearScene();
        cutscene.drawing.canvas = nullptr;
        cutscene.sceneTarget = nullptr;
        return result;
    }

    static bool same(const sf::Image& a, const sf::Image& b)
    {
        const std::size_t bytes = 4u * a.getSize().x * a.getSize().y;
        return a.getSize() == b.getSize() && std::equal(a.getPixelsPtr(), a.getPixelsPtr() + bytes, b.getPixelsPtr());
    }

    std::string objects;
};
} // namespace

TEST_F(DrawTrackerTest, ElidedAndSkippedPassesGiveEveryPassPictureOrAreFoundOut)
{
    for (const Case& c : Cases)
    {
        const Result everyPass = play(c, Way::EveryPass);
        const Result playing = play(c, Way::Playing);
        const Result skipping = play(c, Way::Skipping);
        EXPECT_TRUE(everyPass.exact) << c.name;
        EXPECT_TRUE(playing.exact) << c.name;
        EXPECT_TRUE(same(playing.scene, everyPass.scene)) << c.name;
        EXPECT_EQ(skipping.exact, !c.needsSkippedDrawing) << c.name;
        if (!c.needsSkippedDrawing)
        {
            EXPECT_TRUE(same(skipping.scene, everyPass.scene)) << c.name;
        }
    }
}

TEST_F(DrawTrackerTest, PresentingAnOpaqueBufferSwapsTexturesAndDrawingIntoItCopiesBack)
{
    load("", objects, "");
    step();
    SceneCanvas canvas;
    canvas.create(1920, 1080);
    cutscene.drawing.canvas = &canvas;
    RenderBuffer& b = *cutscene.buffers.at("B");
    const sf::RenderTexture* canvasTexture = canvas.texture.get();
    const sf::RenderTexture* bufferTexture = b.renderTexture.get();
    const auto run = [&](const char* command, std::vector<std::string> params) {
        cutscene.extScript(ScriptLine(command, std::move(params)));
    };
    DriverLeakGuard guard;
    cutscene.drawing.finishCanvas();
    cutscene.sceneTarget = canvas.texture.get();
    run("clear_buffer", {"B"});
    run("draw_object", {"B", "bg"});
    run("display_buffer", {"B"});
    run("render_scene", {"B"});
    EXPECT_EQ(canvas.texture.get(), bufferTexture);
    EXPECT_EQ(b.renderTexture.get(), canvasTexture);
    EXPECT_EQ(cutscene.sceneTarget, canvas.texture.get());
    EXPECT_EQ(canvas.shown, &b);
    EXPECT_EQ(b.target.content, DrawTarget::Content::Lent);

    // Drawn into without a clear, the buffer gets its content back first.
    run("draw_object", {"B", "dot"});
    run("display_buffer", {"B"});
    EXPECT_EQ(canvas.shown, nullptr);
    const sf::Image image = b.renderTexture->getTexture().copyToImage();
    EXPECT_EQ(image.getPixel(50, 50), sf::Color::Red);
    EXPECT_EQ(image.getPixel(101, 101), sf::Color::Green);

    // A buffer destroyed while lent leaves the canvas its picture.
    run("render_scene", {"B"});
    EXPECT_EQ(canvas.shown, &b);
    cutscene.clearScene();
    EXPECT_EQ(canvas.shown, nullptr);
    EXPECT_EQ(canvas.texture->getTexture().copyToImage().getPixel(101, 101), sf::Color::Green);
    cutscene.drawing.canvas = nullptr;
    cutscene.sceneTarget = nullptr;
}
