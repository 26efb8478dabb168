#include "cutscene/CutsceneCommands.hpp"

#include "scene/ScreenFade.hpp"
#include "cutscene/CutsceneTestSupport.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/TextManager.hpp"
#include "effects/TextTestSupport.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <tuple>
#include <utility>

using namespace cutscenetest;
using CutsceneCommandsTest = CutsceneTest;

// Every command of the table is dispatched by its whole name and runs the parameter-count check
// with the count its signature needs: one parameter short gives the documented line first and the
// command still runs; with all it needs, no such line. A name with other case or trailing
// characters is no command: nothing runs and nothing is printed.
TEST_F(CutsceneCommandsTest, EveryCommandRunsItsParameterCheckAndOnlyItsWholeNameDispatches)
{
    const std::vector<const CutsceneCommands::Row*> rows = CutsceneCommands::all();
    ASSERT_FALSE(rows.empty());
    ScreenFade fade;
    cutscene.fade = &fade;
    load("", "create_buffer B");
    step();
    for (const CutsceneCommands::Row* row : rows)
    {
        const std::string name(row->info.name);
        const int needs = row->info.signature.needs;
        EXPECT_EQ(CutsceneCommands::find(name), row) << name;

        bool handled = false;
        std::vector<std::string> params(static_cast<std::size_t>(std::max(needs - 1, 0)), "B");
        if (needs > 0)
        {
            const Output shortOne = capture([&] { handled = cutscene.extScript(ScriptLine(name, params)); });
            EXPECT_TRUE(handled) << name;
            const std::string line = "ScriptInterp: Command [" + name + "] needs " + std::to_string(needs) +
                                     " parameters. " + std::to_string(needs - 1) + " found.\n";
            EXPECT_EQ(shortOne.err.substr(0, line.size()), line) << name;
            EXPECT_EQ(shortOne.err.find(line, 1), std::string::npos) << name << ": the line is printed once";
        }
        params.resize(static_cast<std::size_t>(needs), "B");
        const Output enough = capture([&] { handled = cutscene.extScript(ScriptLine(name, params)); });
        EXPECT_TRUE(handled) << name;
        EXPECT_EQ(enough.err.find("ScriptInterp: Command ["), std::string::npos) << name << ": " << enough.err;

        std::string upper = name;
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (const std::string& other : {upper, name + "_", name + "s", name.substr(0, name.size() - 1)})
        {
            if (CutsceneCommands::find(other))
                continue; // a shorter name that is a command of its own (object_set_scale of object_set_scale_x)
            const Output unknown = capture([&] { handled = cutscene.extScript(ScriptLine(other, params)); });
            EXPECT_FALSE(handled) << other;
            EXPECT_EQ(unknown.out + unknown.err, "") << other;
        }
    }
}

TEST_F(CutsceneCommandsTest, CreateObjectLogsItsTextureAndTakesWholeTextureForZeroWidth)
{
    const std::string key = addTexture(256, 128, sf::Color::Red);
    load("create_object a, " + key + ", 1, 2, 5, 6, 0, 9\ncreate_object b, " + key +
             ", 0, 0, 5, 6, 7, 8\n"
             "create_object lonely\nobject_set_x lonely, 5",
         "");
    const Output output = step();
    const std::string texture = addressOf(TextureManager::instance().getTexture(key));
    EXPECT_EQ(output.out, "GameCutscene: Creating object [a] from texture [" + key + "] (" + texture +
                              ")\n"
                              "GameCutscene: Creating object [b] from texture [" +
                              key + "] (" + texture +
                              ")\n"
                              "GameCutscene: Creating object [lonely] from texture [] (" +
                              addressOf(nullptr) + ")\n");
    EXPECT_EQ(output.err, "ScriptInterp: Command [create_object] needs 2 parameters. 1 found.\n"
                          "TextureManager: Texture with key  does not exist.\n");
    EXPECT_EQ(object("a").textureRect, sf::IntRect(0, 0, 256, 128));
    EXPECT_EQ(object("a").sprite.getOrigin(), sf::Vector2f(1.f, 2.f));
    EXPECT_EQ(object("b").textureRect, sf::IntRect(5, 6, 7, 8));
    // Without a texture the object still exists for later commands.
    EXPECT_EQ(object("lonely").x, 5.f);
}

TEST_F(CutsceneCommandsTest, CreateBufferTwiceReplacesTheFirst)
{
    load("", "create_buffer B\ncreate_buffer B");
    const Output output = step();
    const std::string prefix = "GameCutscene: Creating buffer [B] (";
    const std::size_t second = output.out.find('\n') + 1;
    EXPECT_EQ(output.out.substr(0, prefix.size()), prefix);
    EXPECT_EQ(output.out.substr(second), prefix + addressOf(buffer("B").renderTarget()) + ")\n");
    EXPECT_NE(output.out.substr(0, second), output.out.substr(second));
    EXPECT_EQ(cutscene.buffers.size(), 1u);
    EXPECT_EQ(buffer("B").textureRect, sf::IntRect(0, 0, 1920, 1080));
}

TEST_F(CutsceneCommandsTest, FailedLookupsComeFirstThenNumbersInOrderAndNothingChanges)
{
    load("draw_object B, B\ndraw_object nob, noo\ndraw_buffer nob, noc\nclear_buffer x\ndisplay_buffer y\n"
         "render_scene z\nobject_set_x ghost, 1\nobject_set_alpha B, 0.5\nobject_set_uniform B, u, 1\n"
         "object_tween_alpha ghost, zero, 1.5\nobject_tween_pos ghost, a, b, c");
    const std::string merged = captureMerged([&] { cutscene.update(Step); });
    EXPECT_EQ(merged, "GameCutscene: Creating buffer [B] (" + addressOf(buffer("B").renderTarget()) +
                          ")\n"
                          "GameCutscene: No such object [B]\n"
                          "GameCutscene: No such buffer [nob]\nGameCutscene: No such object [noo]\n"
                          "GameCutscene: No such buffer [nob]\nGameCutscene: No such buffer [noc]\n"
                          "GameCutscene: No such buffer [x]\nGameCutscene: No such buffer [y]\n"
                          "GameCutscene: No such buffer [z]\nGameCutscene: No such buffer [ghost]\n"
                          "GameCutscene: No such buffer [ghost]\n"
                          "ScriptInterp: (object_tween_alpha @10) param 1 zero is not a valid float.\n"
                          "creating object alpha tween:\ntarget=0 duration=1.5 easing=0 loops=1 yoyo=0 yoyoEasing=0\n"
                          "GameCutscene: No such buffer [ghost]\n"
                          "ScriptInterp: (object_tween_pos @11) param 1 a is not a valid float.\n"
                          "ScriptInterp: (object_tween_pos @11) param 2 b is not a valid float.\n"
                          "ScriptInterp: (object_tween_pos @11) param 3 c is not a valid float.\n");
    // The buffer found by the object_ commands takes the value; a uniform without shader is ignored silently.
    EXPECT_EQ(buffer("B").alpha, 0.5f);
}

TEST_F(CutsceneCommandsTest, PropertyCommandsSetTheirProperties)
{
    load("object_set_pos B, 1, 2\nobject_set_alpha B, 0.25\nobject_set_rotation B, 4\nobject_set_scale B, 5\n"
         "object_set_scale_y B, 6\nobject_set_origin_x B, 7\nobject_set_origin_y B, 8\nobject_set_rect_x B, 9\n"
         "object_set_rect_y B, 10\nobject_set_rect_w B, 11\nobject_set_rect_h B, 12\n"
         "object_set_x C, 21\nobject_set_y C, 22\nobject_set_scale_x C, 23",
         "create_buffer B\ncreate_buffer C");
    step();
    const float expectedB[SceneObject::PropertyCount] = {1, 2, 5, 6, 4, 0.25f, 9, 10, 11, 12, 7, 8};
    for (int p = 0; p < SceneObject::PropertyCount; ++p)
        EXPECT_EQ(buffer("B").get(static_cast<Property>(p)), expectedB[p]) << p;
    EXPECT_EQ(buffer("C").x, 21.f);
    EXPECT_EQ(buffer("C").y, 22.f);
    EXPECT_EQ(buffer("C").scaleX, 23.f);
    EXPECT_EQ(buffer("C").scaleY, 1.f);
}

TEST_F(CutsceneCommandsTest, TweenCommandsStartTheirTweensWithDefaults)
{
    load("object_tween_x B, 1, 2\nobject_tween_y B, 2, 2\nobject_tween_alpha B, 0.5, 2\nobject_tween_rotation B, 4, 2\n"
         "object_tween_scale B, 5, 2\nobject_tween_origin B, 7, 2\nobject_tween_rect_x B, 9, 2\n"
         "object_tween_rect_y B, 10, 2\nobject_tween_rect_w B, 11, 2\nobject_tween_rect_h B, 12, 2\n"
         "object_tween_scale_x C, 23, 2\nobject_tween_scale_y C, 24, 2\nobject_tween_origin_x C, 25, 2\n"
         "object_tween_origin_y C, 26, 2",
         "create_buffer B\ncreate_buffer C");
    step();
    const float targetsB[SceneObject::PropertyCount] = {1, 2, 5, 5, 4, 0.5f, 9, 10, 11, 12, 7, 7};
    const float targetsC[SceneObject::PropertyCount] = {0, 0, 23, 24, 0, 0, 0, 0, 0, 0, 25, 26};
    for (int p = 0; p < SceneObject::PropertyCount; ++p)
    {
        const Tween& b = buffer("B").tween(static_cast<Property>(p));
        const Tween& c = buffer("C").tween(static_cast<Property>(p));
        EXPECT_TRUE(b.running && b.startTo == targetsB[p] && b.startDuration == 2.f) << p;
        EXPECT_TRUE(b.startEasing == 0 && b.loops == 1 && !b.startYoyo && b.startYoyoEasing == 0) << p;
        EXPECT_EQ(c.running, targetsC[p] != 0.f) << p;
        EXPECT_EQ(c.startTo, targetsC[p]) << p;
    }
}

TEST_F(CutsceneCommandsTest, OptionalTweenParametersAtTheirPositionsAndTheAlphaYoyoRule)
{
    load("object_tween_x B, 500, 2, 111, -1, 1\nobject_tween_y B, 500, 2, 111, 3, 2, -1\n"
         "object_tween_rotation B, 0, 1, 0, 1, 2\nobject_tween_alpha B, 0, 1, 0, 1, 2\n"
         "object_tween_alpha C, 0.5, 1, 9, 1, 1, 8\nobject_tween_alpha D, 0, 1, 0, 1, abc\n"
         "object_tween_pos C, 1, 2, 3, 5, 4, 1, 6\n"
         "object_tween_uniform B, glow, 0.5, 1, 2, 5, 4, 3, 6\nobject_tween_uniform B, glow, 0, 1, 2",
         "create_buffer B\ncreate_buffer C\ncreate_buffer D");
    const Output output = step();
    const Tween& x = buffer("B").tween(Property::X);
    EXPECT_TRUE(x.startEasing == 111 && x.loops == -1 && x.startYoyo && x.reverseEasing == 0);
    const Tween& y = buffer("B").tween(Property::Y);
    EXPECT_TRUE(y.loops == 3 && y.startYoyo && y.startYoyoEasing == -1 && y.reverseEasing == 111);
    EXPECT_TRUE(buffer("B").tween(Property::Rotation).startYoyo);
    EXPECT_FALSE(buffer("B").tween(Property::Alpha).startYoyo);
    EXPECT_TRUE(buffer("C").tween(Property::Alpha).startYoyo);
    EXPECT_FALSE(buffer("D").tween(Property::Alpha).startYoyo);
    for (Property axis : {Property::X, Property::Y})
    {
        const Tween& pos = buffer("C").tween(axis);
        EXPECT_EQ(pos.startTo, axis == Property::X ? 1.f : 2.f);
        EXPECT_TRUE(pos.startDuration == 3.f && pos.startEasing == 5 && pos.loops == 4 && pos.startYoyo &&
                    pos.startYoyoEasing == 6);
    }
    const Tween& glow = buffer("B").uniformTweens[0].tween;
    EXPECT_TRUE(glow.startFrom == 0.5f && glow.startTo == 1.f && glow.startDuration == 2.f && glow.startEasing == 5 &&
                glow.loops == 4 && glow.startYoyo && glow.startYoyoEasing == 6);
    const Tween& plain = buffer("B").uniformTweens[1].tween;
    EXPECT_TRUE(plain.startEasing == 0 && plain.loops == 1 && !plain.startYoyo && plain.startYoyoEasing == 0);
    EXPECT_EQ(buffer("B").uniformTweens[1].name, "glow");
    EXPECT_EQ(output.err, "ScriptInterp: (object_tween_alpha @6) param 5 abc is not a valid integer.\n");
    EXPECT_EQ(output.out.substr(output.out.find("creating")),
              "creating object alpha tween:\ntarget=0 duration=1 easing=0 loops=1 yoyo=0 yoyoEasing=0\n"
              "creating object alpha tween:\ntarget=0.5 duration=1 easing=9 loops=1 yoyo=1 yoyoEasing=8\n"
              "creating object alpha tween:\ntarget=0 duration=1 easing=0 loops=1 yoyo=0 yoyoEasing=0\n");
}

TEST_F(CutsceneCommandsTest, FadeCommandsRestartTheShellsFade)
{
    ScreenFade fade;
    cutscene.fade = &fade;
    cutscene.extScript(ScriptLine("fade_out", {"2"}));
    EXPECT_TRUE(fade.fadeState == ScreenFade::FadingOut && fade.fadeLevel == 0.f && fade.fadeSpeed == 0.5f);
    fade.advance(1.f);
    // Half covered, fade_in covers at once and uncovers from there.
    cutscene.extScript(ScriptLine("fade_in", {"4"}));
    EXPECT_TRUE(fade.fadeState == ScreenFade::FadingIn && fade.fadeLevel == 1.f && fade.fadeSpeed == 0.25f);
}

TEST_F(CutsceneCommandsTest, SetFadeTextureKeepsRectAndIgnoresUnknownKeys)
{
    const std::string black = addTexture(4, 4, sf::Color::Black);
    const std::string white = addTexture(8, 8, sf::Color::White);
    sf::Sprite sprite(*TextureManager::instance().getTexture(black), sf::IntRect(0, 0, 2, 2));
    ScreenFade fade;
    fade.fadeSprite = &sprite;
    cutscene.fade = &fade;
    load("set_fade_texture " + white + "\nset_fade_texture nokey", "");
    EXPECT_EQ(step().err, "TextureManager: Texture with key nokey does not exist.\n");
    EXPECT_EQ(sprite.getTexture(), TextureManager::instance().getTexture(white));
    EXPECT_EQ(sprite.getTextureRect(), sf::IntRect(0, 0, 2, 2));
}

TEST_F(CutsceneCommandsTest, RenderSectionDrawsThroughBuffersOntoTheSceneButNeverABufferIntoItself)
{
    const std::string red = addTexture(8, 8, sf::Color::Red);
    load("", "create_buffer B\ncreate_buffer T\ncreate_object o, " + red + "\nobject_set_pos o, 100, 50",
         "clear_buffer B\ndraw_object B, o\ndisplay_buffer B\nclear_buffer T\ndraw_buffer T, B\ndisplay_buffer T\n"
         "render_scene T");
    sf::RenderTexture scene;
    ASSERT_TRUE(scene.create(1920, 1080));
    scene.clear(sf::Color::Blue);
    step();
    cutscene.sceneTarget = &scene;
    const Output output = capture([&] {
        DriverLeakGuard guard;
        cutscene.interp.executeSub("render");
    });
    EXPECT_EQ(output.err, "");
    scene.display();
    const sf::Image image = scene.getTexture().copyToImage();
    EXPECT_EQ(image.getPixel(100, 50), sf::Color::Red);
    EXPECT_EQ(image.getPixel(107, 57), sf::Color::Red);
    EXPECT_EQ(image.getPixel(108, 50), sf::Color::Black);
    EXPECT_EQ(image.getPixel(0, 0), sf::Color::Black); // buffers clear to opaque black

    cutscene.sceneTarget = buffer("T").renderTarget();
    const Output self = capture([&] {
        cutscene.extScript(ScriptLine("draw_buffer", {"T", "T"}));
        cutscene.extScript(ScriptLine("render_scene", {"T"}));
    });
    EXPECT_EQ(self.err, "GameCutscene: Cannot draw buffer [T] into itself.\n"
                        "GameCutscene: Cannot draw buffer [T] into itself.\n");
}

TEST_F(CutsceneCommandsTest, ShaderAnimationAndPendingEffectCommands)
{
    const std::string file = (dir / "walk.json").string();
    std::ofstream(file) << R"({"animations":{"walk":{"loop":true,"frames":[{"x":1,"y":2,"w":3,"h":4,"d":1}]}}})";
    load("object_set_shader B, nope\nobject_play_animation B, walk\nobject_load_animations B, " + file +
         "\nobject_play_animation B, walk\nobject_load_animations ghost, x.json\n"
         "display_text t, hi, 1, 2, 3\ndraw_text");
    EXPECT_EQ(step().err, "ShaderManager: Shader with key nope does not exist.\n"
                          "Animator: Unable to play animations since no AnimationCollection has been added.\n"
                          "GameCutscene: No such buffer [ghost]\n"
                          "ScriptInterp: Command [display_text] needs 6 parameters. 5 found.\n"
                          "TextManager: No such text system [t]\n"
                          "ScriptInterp: Command [draw_text] needs 2 parameters. 0 found.\n");
    ASSERT_TRUE(buffer("B").animator.playing);
    EXPECT_EQ(buffer("B").animator.animation->name, "walk");
    EXPECT_EQ(buffer("B").textureRect, sf::IntRect(1, 2, 3, 4));
}

TEST_F(CutsceneCommandsTest, DisplayTextHandsItsParametersToTheFirstIdleInstance)
{
    TextManager& texts = TextManager::instance();
    texts.create("cutscene_test", {{"font", texttest::fontPath()}, {"size", 20}, {"duration", 4}});
    TextSystem* system = nullptr;
    ASSERT_EQ(capture([&] { system = texts.getTextSystem("cutscene_test"); }).err, "");
    ASSERT_NE(system, nullptr);

    load("display_text cutscene_test, \"hi, there\", 12.5, 30, 0.25, -1\ndisplay_text cutscene_test, x, 1, 2, 0, 7");
    EXPECT_EQ(step().err, "");
    const TextInstance& first = *system->instances[0];
    EXPECT_EQ(first.text, "hi, there");
    EXPECT_EQ(std::make_tuple(first.x, first.y, first.delay, first.remaining),
              std::make_tuple(12.5f, 30.f, 0.25f, 4.f));
    EXPECT_TRUE(first.busy);
    EXPECT_EQ(system->instances[1]->text, "x");
    EXPECT_EQ(system->instances[1]->remaining, 7.f);
}

TEST_F(CutsceneCommandsTest, ParticleBindingsShareOneSystemAndReportUnknownNames)
{
    const std::string key = addParticleSystem(4);
    ParticleSystem& system = *ParticleManager::instance().getParticleSystem(key);
    load("add_particles p, " + key + "\nadd_particles q, " + key +
         "\nadd_particles r, nokey\nparticles_set_active ghost, 1\ndraw_particles nob, ghost\ndraw_particles B, p");
    EXPECT_EQ(step().err, "ParticleManager: ParticleSystem with key nokey does not exist.\n"
                          "GameCutscene: No such particleSystem [ghost]\n"
                          "GameCutscene: No such buffer [nob]\n"
                          "GameCutscene: No such particleSystem [ghost]\n");
    ASSERT_EQ(cutscene.particleSystems.size(), 2u);
    EXPECT_EQ(cutscene.particleSystems.at("p"), &system);
    EXPECT_EQ(cutscene.particleSystems.at("q"), &system);
    // Bound twice, the system advanced twice in the step: two spawns at spawn rate 0.
    EXPECT_TRUE(system.active);
    EXPECT_EQ(liveParticles(system), 2);

    const Output off = capture([&] { cutscene.extScript(ScriptLine("particles_set_active", {"q", "0"})); });
    EXPECT_EQ(off.err, "");
    EXPECT_FALSE(system.active);
    step();
    EXPECT_EQ(liveParticles(system), 2);
    cutscene.extScript(ScriptLine("particles_set_active", {"p", "7"}));
    EXPECT_TRUE(system.active);
}

TEST_F(CutsceneCommandsTest, ClearSceneResetsBoundSystemsOnly)
{
    const std::string bound = addParticleSystem(3);
    const std::string loose = addParticleSystem(3);
    ParticleSystem& boundSystem = *ParticleManager::instance().getParticleSystem(bound);
    ParticleSystem& looseSystem = *ParticleManager::instance().getParticleSystem(loose);
    load("add_particles p, " + bound);
    step();
    looseSystem.spawnAt(1.f, 1.f);
    ASSERT_EQ(liveParticles(boundSystem), 1);
    cutscene.clearScene();
    EXPECT_TRUE(cutscene.particleSystems.empty());
    EXPECT_FALSE(boundSystem.active);
    EXPECT_EQ(liveParticles(boundSystem), 0);
    EXPECT_EQ(liveParticles(looseSystem), 1);
}
