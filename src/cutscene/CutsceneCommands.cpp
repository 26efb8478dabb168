#include "cutscene/CutsceneCommands.hpp"

#include "report/Problem.hpp"

#include "scene/ScreenFade.hpp"
#include "catalogs/TextureManager.hpp"
#include "cutscene/GameCutscene.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/TextManager.hpp"
#include "script/ScriptParams.hpp"

#include <algorithm>
#include <iostream>
#include <memory>

namespace
{
using Params = CutsceneCommands::Params;
using Row = CutsceneCommands::Row;

constexpr Property None = Property::Count;

bool hasParam(const Params& params, int i)
{
    return i >= 0 && static_cast<std::size_t>(i) < params.size();
}

// Names and keys are read in place: a copy per command would allocate for every long name in
// every frame's render section. A missing parameter reads as "", as getString does.
const std::string& textParam(const Params& params, int i)
{
    static const std::string empty;
    return hasParam(params, i) ? params[static_cast<std::size_t>(i)] : empty;
}

// Optional integer parameters take the default of the row's signature when the line is too short
// to hold them.
int optionalInt(const Params& params, int i, const Row& row)
{
    return hasParam(params, i) ? getInt(params, i) : row.info.signature.params[i].fallbackInteger;
}

// The parameters that every tween command has after its targets.
struct TweenOptions
{
    float duration;
    EasingType easing;
    std::int32_t loops;
    bool yoyo;
    std::int32_t yoyoEasing;
};

// strictYoyo: only the value 1 means yoyo (object_tween_alpha); otherwise any non-zero value does.
TweenOptions readTweenOptions(const Params& params, const Row& row, int durationIndex, bool strictYoyo)
{
    TweenOptions options{};
    options.duration = getFloat(params, durationIndex);
    options.easing = optionalInt(params, durationIndex + 1, row);
    options.loops = optionalInt(params, durationIndex + 2, row);
    const int yoyoIndex = durationIndex + 3;
    if (hasParam(params, yoyoIndex))
        options.yoyo = strictYoyo ? getBool(params, yoyoIndex) : getInt(params, yoyoIndex) != 0;
    else
        options.yoyo = optionalInt(params, yoyoIndex, row) != 0;
    options.yoyoEasing = optionalInt(params, durationIndex + 4, row);
    return options;
}

void startTween(SceneObject& object, Property property, float target, const TweenOptions& options)
{
    object.startTween(property, target, options.duration, options.easing, options.loops, options.yoyo,
                      options.yoyoEasing);
}

void reportSelfDraw(const std::string& name)
{
    // Reading and writing one texture in one draw gives undefined pixels, so it is refused.
    Problem::report(Problem("GameCutscene") << "Cannot draw buffer [" << name << "] into itself.");
}

// ---- Scene, buffer and fade commands ----

void createObject(GameCutscene& cutscene, const Params& params, const Row&)
{
    const std::string& name = textParam(params, 0);
    const std::string& key = textParam(params, 1);
    const float originX = getFloat(params, 2);
    const float originY = getFloat(params, 3);
    const float rectX = getFloat(params, 4);
    const float rectY = getFloat(params, 5);
    const float rectW = getFloat(params, 6);
    const float rectH = getFloat(params, 7);
    // An unknown key (reported by the catalog) still makes the object, without texture: it draws
    // nothing, and later commands naming it find it.
    const sf::Texture* texture = TextureManager::instance().getTexture(key);
    auto object = std::make_unique<SceneObject>(name, texture, originX, originY, rectX, rectY, rectW, rectH);
    object->opaque = TextureManager::instance().isOpaque(texture);
    std::cout << "GameCutscene: Creating object [" << name << "] from texture [" << key << "] ("
              << static_cast<const void*>(texture) << ")" << std::endl;
    cutscene.objects[name] = std::move(object);
}

// Binds a catalog system (shared, never copied) and switches it on.
void addParticles(GameCutscene& cutscene, const Params& params, const Row&)
{
    ParticleSystem* system = ParticleManager::instance().getParticleSystem(textParam(params, 1));
    if (!system)
        return;
    system->setActive(true);
    cutscene.particleSystems[textParam(params, 0)] = system;
}

void particlesSetActive(GameCutscene& cutscene, const Params& params, const Row&)
{
    ParticleSystem* system = cutscene.findParticleSystem(textParam(params, 0));
    const std::int32_t flag = getInt(params, 1);
    if (system)
        system->setActive(flag != 0);
}

void drawParticles(GameCutscene& cutscene, const Params& params, const Row&)
{
    // Both lookups run so that both names are reported when both are wrong.
    RenderBuffer* buffer = cutscene.findBuffer(textParam(params, 0));
    ParticleSystem* system = cutscene.findParticleSystem(textParam(params, 1));
    if (buffer && system)
        cutscene.drawing.drawParticles(*buffer, *system);
}

// draw_text is kept for old scripts: it only checks its parameter count.
void drawsNothing(GameCutscene&, const Params&, const Row&) {}

// The text is drawn by the shell over the finished picture, not into a buffer. An unknown key
// has been reported by the lookup and shows nothing.
void displayText(GameCutscene&, const Params& params, const Row&)
{
    TextSystem* system = TextManager::instance().getTextSystem(textParam(params, 0));
    if (!system)
        return;
    // Read one by one, so that reports of malformed numbers come in parameter order.
    const float x = getFloat(params, 2);
    const float y = getFloat(params, 3);
    const float delay = getFloat(params, 4);
    const float duration = getFloat(params, 5);
    system->display(textParam(params, 1), x, y, delay, duration);
}

void fadeIn(GameCutscene& cutscene, const Params& params, const Row&)
{
    const float duration = getFloat(params, 0);
    if (cutscene.fade)
        cutscene.fade->fadeIn(duration);
}

void fadeOut(GameCutscene& cutscene, const Params& params, const Row&)
{
    const float duration = getFloat(params, 0);
    if (cutscene.fade)
        cutscene.fade->fadeOut(duration);
}

void setFadeTexture(GameCutscene& cutscene, const Params& params, const Row&)
{
    // An unknown key (reported by the catalog) leaves the overlay's texture as it was.
    const sf::Texture* texture = TextureManager::instance().getTexture(textParam(params, 0));
    if (!texture || !cutscene.fade || !cutscene.fade->fadeSprite)
        return;
    cutscene.fade->fadeSprite->setTexture(*texture, false);
}

void createBuffer(GameCutscene& cutscene, const Params& params, const Row&)
{
    const std::string& name = textParam(params, 0);
    const unsigned width = static_cast<unsigned>(std::max(cutscene.bufferWidth, 0));
    const unsigned height = static_cast<unsigned>(std::max(cutscene.bufferHeight, 0));
    auto buffer = std::make_unique<RenderBuffer>(name, width, height);
    std::cout << "GameCutscene: Creating buffer [" << name << "] (" << static_cast<const void*>(buffer->renderTarget())
              << ")" << std::endl;
    cutscene.buffers[name] = std::move(buffer);
}

void clearBuffer(GameCutscene& cutscene, const Params& params, const Row&)
{
    if (RenderBuffer* buffer = cutscene.findBuffer(textParam(params, 0)))
        cutscene.drawing.clear(*buffer);
}

void drawObject(GameCutscene& cutscene, const Params& params, const Row&)
{
    // Both lookups run so that both names are reported when both are wrong.
    RenderBuffer* buffer = cutscene.findBuffer(textParam(params, 0));
    SceneObject* object = cutscene.findObject(textParam(params, 1));
    if (buffer && object)
        cutscene.drawing.drawObject(*buffer, *object);
}

void drawBuffer(GameCutscene& cutscene, const Params& params, const Row&)
{
    RenderBuffer* target = cutscene.findBuffer(textParam(params, 0));
    RenderBuffer* source = cutscene.findBuffer(textParam(params, 1));
    if (!target || !source)
        return;
    if (target == source)
        reportSelfDraw(source->name);
    else
        cutscene.drawing.drawBuffer(*target, *source);
}

void displayBuffer(GameCutscene& cutscene, const Params& params, const Row&)
{
    if (RenderBuffer* buffer = cutscene.findBuffer(textParam(params, 0)))
        cutscene.drawing.display(*buffer);
}

void renderScene(GameCutscene& cutscene, const Params& params, const Row&)
{
    RenderBuffer* buffer = cutscene.findBuffer(textParam(params, 0));
    if (!buffer || !cutscene.sceneTarget)
        return;
    if (cutscene.sceneTarget == buffer->renderTarget())
        reportSelfDraw(buffer->name);
    else
        cutscene.drawing.present(*buffer, cutscene.sceneTarget);
}

void setShader(GameCutscene& cutscene, const Params& params, const Row&)
{
    SceneObject* object = cutscene.findObjectOrBuffer(textParam(params, 0));
    if (object)
        object->setShader(textParam(params, 1));
}

void loadAnimations(GameCutscene& cutscene, const Params& params, const Row&)
{
    SceneObject* object = cutscene.findObjectOrBuffer(textParam(params, 0));
    if (object)
        object->loadAnimations(textParam(params, 1));
}

void playAnimation(GameCutscene& cutscene, const Params& params, const Row&)
{
    SceneObject* object = cutscene.findObjectOrBuffer(textParam(params, 0));
    if (object)
        object->playAnimation(textParam(params, 1));
}

// ---- Property and tween commands ----

// One value for row.first (and row.second, when set).
void setProperty(GameCutscene& cutscene, const Params& params, const Row& row)
{
    SceneObject* object = cutscene.findObjectOrBuffer(textParam(params, 0));
    const float value = getFloat(params, 1);
    if (!object)
        return;
    object->set(row.first, value);
    if (row.second != None)
        object->set(row.second, value);
}

// Two values: row.first from parameter 1, row.second from parameter 2.
void setPropertyPair(GameCutscene& cutscene, const Params& params, const Row& row)
{
    SceneObject* object = cutscene.findObjectOrBuffer(textParam(params, 0));
    const float first = getFloat(params, 1);
    const float second = getFloat(params, 2);
    if (!object)
        return;
    object->set(row.first, first);
    object->set(row.second, second);
}

void setUniform(GameCutscene& cutscene, const Params& params, const Row&)
{
    SceneObject* object = cutscene.findObjectOrBuffer(textParam(params, 0));
    const std::string& uniform = textParam(params, 1);
    const float value = getFloat(params, 2);
    if (object)
        object->setUniform(uniform, value);
}

// One target for row.first (and row.second, when set), so both tweens run in step.
void tweenProperty(GameCutscene& cutscene, const Params& params, const Row& row)
{
    SceneObject* object = cutscene.findObjectOrBuffer(textParam(params, 0));
    const float target = getFloat(params, 1);
    const TweenOptions options = readTweenOptions(params, row, 2, false);
    if (!object)
        return;
    startTween(*object, row.first, target, options);
    if (row.second != None)
        startTween(*object, row.second, target, options);
}

// Two targets: row.first to parameter 1, row.second to parameter 2.
void tweenPropertyPair(GameCutscene& cutscene, const Params& params, const Row& row)
{
    SceneObject* object = cutscene.findObjectOrBuffer(textParam(params, 0));
    const float first = getFloat(params, 1);
    const float second = getFloat(params, 2);
    const TweenOptions options = readTweenOptions(params, row, 3, false);
    if (!object)
        return;
    startTween(*object, row.first, first, options);
    startTween(*object, row.second, second, options);
}

// Unlike its sisters, the alpha tween takes yoyo only for exactly 1 and logs what it starts,
// also when the object is missing.
void tweenAlpha(GameCutscene& cutscene, const Params& params, const Row& row)
{
    SceneObject* object = cutscene.findObjectOrBuffer(textParam(params, 0));
    const float target = getFloat(params, 1);
    const TweenOptions options = readTweenOptions(params, row, 2, true);
    std::cout << "creating object alpha tween:" << std::endl
              << "target=" << target << " duration=" << options.duration << " easing=" << options.easing
              << " loops=" << options.loops << " yoyo=" << options.yoyo << " yoyoEasing=" << options.yoyoEasing
              << std::endl;
    if (object)
        startTween(*object, row.first, target, options);
}

// A uniform's current value lives in the shader, so its tween is given an explicit start.
void tweenUniform(GameCutscene& cutscene, const Params& params, const Row& row)
{
    SceneObject* object = cutscene.findObjectOrBuffer(textParam(params, 0));
    const std::string& uniform = textParam(params, 1);
    const float from = getFloat(params, 2);
    const float to = getFloat(params, 3);
    const TweenOptions options = readTweenOptions(params, row, 4, false);
    if (object)
        object->startUniformTween(uniform, from, to, options.duration, options.easing, options.loops, options.yoyo,
                                  options.yoyoEasing);
}

using K = ParamKind;
constexpr Param CreateObject[] = {
    {"object", K::NewObject},   {"texture", K::Texture},    {"origin_x", K::Number, "0"}, {"origin_y", K::Number, "0"},
    {"rect_x", K::Number, "0"}, {"rect_y", K::Number, "0"}, {"rect_w", K::Number, "0"},   {"rect_h", K::Number, "0"}};
constexpr Param AddParticles[] = {{"binding", K::NewBinding}, {"particle_system", K::ParticleSystem}};
constexpr Param SetActive[] = {{"binding", K::Binding}, {"active", K::Integer}};
constexpr Param Seconds[] = {{"seconds", K::Number}};
constexpr Param FadeTexture[] = {{"texture", K::Texture}};
constexpr Param NewBuffer[] = {{"buffer", K::NewBuffer}};
constexpr Param OneBuffer[] = {{"buffer", K::Buffer}};
constexpr Param DrawObject[] = {{"buffer", K::Buffer}, {"object", K::Object}};
constexpr Param DrawParticles[] = {{"buffer", K::Buffer}, {"binding", K::Binding}};
constexpr Param DrawBuffer[] = {{"target", K::Buffer}, {"source", K::Buffer}};
constexpr Param SetOne[] = {{"object", K::ObjectOrBuffer}, {"value", K::Number}};
constexpr Param SetPair[] = {{"object", K::ObjectOrBuffer}, {"x", K::Number}, {"y", K::Number}};
constexpr Param SetUniform[] = {{"object", K::ObjectOrBuffer}, {"uniform", K::Uniform}, {"value", K::Number}};
// Every tween ends with the same optional parameters.
constexpr Param TweenOne[] = {{"object", K::ObjectOrBuffer},      {"target", K::Number},      {"seconds", K::Number},
                              {"easing", K::Easing, "0"},         {"loops", K::Integer, "1"}, {"yoyo", K::Integer, "0"},
                              {"yoyo_easing", K::YoyoEasing, "0"}};
constexpr Param TweenPair[] = {{"object", K::ObjectOrBuffer}, {"target_x", K::Number},
                               {"target_y", K::Number},       {"seconds", K::Number},
                               {"easing", K::Easing, "0"},    {"loops", K::Integer, "1"},
                               {"yoyo", K::Integer, "0"},     {"yoyo_easing", K::YoyoEasing, "0"}};
constexpr Param TweenUniform[] = {{"object", K::ObjectOrBuffer},
                                  {"uniform", K::Uniform},
                                  {"from", K::Number},
                                  {"to", K::Number},
                                  {"seconds", K::Number},
                                  {"easing", K::Easing, "0"},
                                  {"loops", K::Integer, "1"},
                                  {"yoyo", K::Integer, "0"},
                                  {"yoyo_easing", K::YoyoEasing, "0"}};
constexpr Param ObjectShader[] = {{"object", K::ObjectOrBuffer}, {"shader", K::Shader}};
constexpr Param LoadAnimations[] = {{"object", K::ObjectOrBuffer}, {"file", K::AnimationFile}};
constexpr Param PlayAnimation[] = {{"object", K::ObjectOrBuffer}, {"animation", K::Animation}};
constexpr Param DisplayText[] = {
    {"text_system", K::TextSystem}, {"text", K::Text},     {"x", K::Number}, {"y", K::Number},
    {"delay", K::Number},           {"seconds", K::Number}};
// draw_text reads nothing; it only checks that it has two parameters.
constexpr Param DrawText[] = {{"unused_1", K::Text}, {"unused_2", K::Text}};

using P = Property;

// Dispatch order; the first row whose name matches wins.
// clang-format off: one row a line, its description included
constexpr Row Commands[] = {
    {{"create_object", CreateObject, "Makes an object that shows a texture of the texture catalog."}, createObject, None, None},
    {{"add_particles", AddParticles, "Binds a particle system of the particle catalog under a name and switches it on."}, addParticles, None, None},
    {{"particles_set_active", SetActive, "Switches a bound particle system's spawning on (not 0) or off (0)."}, particlesSetActive, None, None},
    {{"fade_in", Seconds, "Covers the picture at once and uncovers it over the seconds given."}, fadeIn, None, None},
    {{"fade_out", Seconds, "Covers the picture over the seconds given."}, fadeOut, None, None},
    {{"set_fade_texture", FadeTexture, "Makes the fade overlay show this texture from now on."}, setFadeTexture, None, None},
    {{"create_buffer", NewBuffer, "Makes a 1920 x 1080 off-screen picture to draw into, and an object that shows it."}, createBuffer, None, None},
    {{"clear_buffer", OneBuffer, "Fills the buffer with opaque black."}, clearBuffer, None, None},
    {{"draw_object", DrawObject, "Draws the object into the buffer."}, drawObject, None, None},
    {{"draw_particles", DrawParticles, "Draws every live particle of the bound system into the buffer."}, drawParticles, None, None},
    {{"draw_buffer", DrawBuffer, "Draws the source buffer into the target buffer, through the source's object."}, drawBuffer, None, None},
    {{"display_buffer", OneBuffer, "Finishes the drawing into a buffer so that drawing the buffer shows it."}, displayBuffer, None, None},
    {{"render_scene", OneBuffer, "Draws the buffer onto the scene picture that the window shows."}, renderScene, None, None},
    {{"object_set_x", SetOne, "Sets the x position in pixels."}, setProperty, P::X, None},
    {{"object_set_y", SetOne, "Sets the y position in pixels."}, setProperty, P::Y, None},
    {{"object_set_pos", SetPair, "Sets the x and y position in pixels."}, setPropertyPair, P::X, P::Y},
    {{"object_set_alpha", SetOne, "Sets the opacity: 0 transparent, 1 opaque."}, setProperty, P::Alpha, None},
    {{"object_set_rotation", SetOne, "Sets the rotation in degrees, clockwise."}, setProperty, P::Rotation, None},
    {{"object_set_scale", SetOne, "Sets both scale factors."}, setProperty, P::ScaleX, P::ScaleY},
    {{"object_set_scale_x", SetOne, "Sets the horizontal scale factor."}, setProperty, P::ScaleX, None},
    {{"object_set_scale_y", SetOne, "Sets the vertical scale factor."}, setProperty, P::ScaleY, None},
    {{"object_set_origin_x", SetOne, "Sets the origin's x in texture pixels."}, setProperty, P::OriginX, None},
    {{"object_set_origin_y", SetOne, "Sets the origin's y in texture pixels."}, setProperty, P::OriginY, None},
    {{"object_set_rect_x", SetOne, "Sets the left of the texture rectangle."}, setProperty, P::RectX, None},
    {{"object_set_rect_y", SetOne, "Sets the top of the texture rectangle."}, setProperty, P::RectY, None},
    {{"object_set_rect_w", SetOne, "Sets the width of the texture rectangle."}, setProperty, P::RectW, None},
    {{"object_set_rect_h", SetOne, "Sets the height of the texture rectangle."}, setProperty, P::RectH, None},
    {{"object_set_uniform", SetUniform, "Sets a float uniform of the object's shader at once."}, setUniform, None, None},
    {{"object_tween_x", TweenOne, "Tweens the x position to a target over the seconds given."}, tweenProperty, P::X, None},
    {{"object_tween_y", TweenOne, "Tweens the y position to a target over the seconds given."}, tweenProperty, P::Y, None},
    {{"object_tween_pos", TweenPair, "Tweens the x and y position to a target over the seconds given."}, tweenPropertyPair, P::X, P::Y},
    {{"object_tween_alpha", TweenOne, "Tweens the opacity to a target over the seconds given."}, tweenAlpha, P::Alpha, None},
    {{"object_tween_rotation", TweenOne, "Tweens the rotation (degrees) to a target over the seconds given."}, tweenProperty, P::Rotation, None},
    {{"object_tween_scale_x", TweenOne, "Tweens the horizontal scale factor to a target over the seconds given."}, tweenProperty, P::ScaleX, None},
    {{"object_tween_scale_y", TweenOne, "Tweens the vertical scale factor to a target over the seconds given."}, tweenProperty, P::ScaleY, None},
    {{"object_tween_scale", TweenOne, "Tweens both scale factors to one target over the seconds given."}, tweenProperty, P::ScaleX, P::ScaleY},
    {{"object_tween_origin", TweenOne, "Tweens the origin's x and y to one target over the seconds given."}, tweenProperty, P::OriginX, P::OriginY},
    {{"object_tween_origin_x", TweenOne, "Tweens the origin's x to a target over the seconds given."}, tweenProperty, P::OriginX, None},
    {{"object_tween_origin_y", TweenOne, "Tweens the origin's y to a target over the seconds given."}, tweenProperty, P::OriginY, None},
    {{"object_tween_rect_x", TweenOne, "Tweens the left of the texture rectangle to a target over the seconds given."}, tweenProperty, P::RectX, None},
    {{"object_tween_rect_y", TweenOne, "Tweens the top of the texture rectangle to a target over the seconds given."}, tweenProperty, P::RectY, None},
    {{"object_tween_rect_w", TweenOne, "Tweens the width of the texture rectangle to a target over the seconds given."}, tweenProperty, P::RectW, None},
    {{"object_tween_rect_h", TweenOne, "Tweens the height of the texture rectangle to a target over the seconds given."}, tweenProperty, P::RectH, None},
    {{"object_tween_uniform", TweenUniform, "Tweens a float uniform of the object's shader from one value to another."}, tweenUniform, None, None},
    {{"object_set_shader", ObjectShader, "Draws the object through a shader of the shader catalog from now on."}, setShader, None, None},
    {{"object_load_animations", LoadAnimations, "Loads an animation file into the object's set of animations."}, loadAnimations, None, None},
    {{"object_play_animation", PlayAnimation, "Plays an animation of the object from its first frame."}, playAnimation, None, None},
    {{"display_text", DisplayText, "Shows a string letter by letter in a text style of the text catalog."}, displayText, None, None},
    {{"draw_text", DrawText, "Draws nothing and changes nothing; kept for old scripts."}, drawsNothing, None, None},
};
// clang-format on
constexpr int RowCount = static_cast<int>(sizeof Commands / sizeof Commands[0]);

constexpr bool optionalParamsLast()
{
    for (const Row& row : Commands)
        if (!optionalLast(row.info.signature))
            return false;
    return true;
}
static_assert(optionalParamsLast(), "a command's optional parameters come after the ones it needs");

int findRow(std::string_view command)
{
    for (int i = 0; i < RowCount; ++i)
        if (command == Commands[i].info.name)
            return i;
    return ScriptLine::NoRow;
}
} // namespace

const CutsceneCommands::Row* CutsceneCommands::find(const std::string& command)
{
    const int row = findRow(command);
    return row >= 0 ? &Commands[row] : nullptr;
}

const CutsceneCommands::Row* CutsceneCommands::rowOf(const ScriptLine& line)
{
    if (line.extension >= 0 && line.extension < RowCount)
        return &Commands[line.extension];
    return line.extension == ScriptLine::NoRow ? nullptr : find(line.command);
}

std::vector<const CutsceneCommands::Row*> CutsceneCommands::all()
{
    std::vector<const Row*> rows;
    for (const Row& row : Commands)
        rows.push_back(&row);
    return rows;
}

void CutsceneCommands::learnRows(Script& script)
{
    for (ScriptLine& line : script.lines)
        line.extension = findRow(line.command);
}
