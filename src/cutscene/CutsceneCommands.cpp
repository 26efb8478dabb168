#include "cutscene/CutsceneCommands.hpp"

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
    return static_cast<std::size_t>(i) < params.size();
}

// Names and keys are read in place: a copy per command would allocate for every long name in
// every frame's render section. A missing parameter reads as "", as getString does.
const std::string& textParam(const Params& params, int i)
{
    static const std::string empty;
    return hasParam(params, i) ? params[static_cast<std::size_t>(i)] : empty;
}

// Optional integer parameters take their default when the line is too short to hold them.
int optionalInt(const Params& params, int i, int fallback)
{
    return hasParam(params, i) ? getInt(params, i) : fallback;
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
TweenOptions readTweenOptions(const Params& params, int durationIndex, bool strictYoyo)
{
    TweenOptions options{};
    options.duration = getFloat(params, durationIndex);
    options.easing = optionalInt(params, durationIndex + 1, Easing::Linear);
    options.loops = optionalInt(params, durationIndex + 2, 1);
    const int yoyoIndex = durationIndex + 3;
    if (hasParam(params, yoyoIndex))
        options.yoyo = strictYoyo ? getBool(params, yoyoIndex) : getInt(params, yoyoIndex) != 0;
    options.yoyoEasing = optionalInt(params, durationIndex + 4, Easing::Linear);
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
    std::cerr << "GameCutscene: Cannot draw buffer [" << name << "] into itself.\n";
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
    const TweenOptions options = readTweenOptions(params, 2, false);
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
    const TweenOptions options = readTweenOptions(params, 3, false);
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
    const TweenOptions options = readTweenOptions(params, 2, true);
    std::cout << "creating object alpha tween:" << std::endl
              << "target=" << target << " duration=" << options.duration << " easing=" << options.easing
              << " loops=" << options.loops << " yoyo=" << options.yoyo << " yoyoEasing=" << options.yoyoEasing
              << std::endl;
    if (object)
        startTween(*object, row.first, target, options);
}

// A uniform's current value lives in the shader, so its tween is given an explicit start.
void tweenUniform(GameCutscene& cutscene, const Params& params, const Row&)
{
    SceneObject* object = cutscene.findObjectOrBuffer(textParam(params, 0));
    const std::string& uniform = textParam(params, 1);
    const float from = getFloat(params, 2);
    const float to = getFloat(params, 3);
    const TweenOptions options = readTweenOptions(params, 4, false);
    if (object)
        object->startUniformTween(uniform, from, to, options.duration, options.easing, options.loops, options.yoyo,
                                  options.yoyoEasing);
}

using P = Property;

// Dispatch order; the first row whose name matches wins.
const Row Commands[] = {
    {"create_object", 2, createObject, None, None},
    {"add_particles", 2, addParticles, None, None},
    {"particles_set_active", 2, particlesSetActive, None, None},
    {"fade_in", 1, fadeIn, None, None},
    {"fade_out", 1, fadeOut, None, None},
    {"set_fade_texture", 1, setFadeTexture, None, None},
    {"create_buffer", 1, createBuffer, None, None},
    {"clear_buffer", 1, clearBuffer, None, None},
    {"draw_object", 2, drawObject, None, None},
    {"draw_particles", 2, drawParticles, None, None},
    {"draw_buffer", 2, drawBuffer, None, None},
    {"display_buffer", 1, displayBuffer, None, None},
    {"render_scene", 1, renderScene, None, None},
    {"object_set_x", 2, setProperty, P::X, None},
    {"object_set_y", 2, setProperty, P::Y, None},
    {"object_set_pos", 3, setPropertyPair, P::X, P::Y},
    {"object_set_alpha", 2, setProperty, P::Alpha, None},
    {"object_set_rotation", 2, setProperty, P::Rotation, None},
    {"object_set_scale", 2, setProperty, P::ScaleX, P::ScaleY},
    {"object_set_scale_x", 2, setProperty, P::ScaleX, None},
    {"object_set_scale_y", 2, setProperty, P::ScaleY, None},
    {"object_set_origin_x", 2, setProperty, P::OriginX, None},
    {"object_set_origin_y", 2, setProperty, P::OriginY, None},
    {"object_set_rect_x", 2, setProperty, P::RectX, None},
    {"object_set_rect_y", 2, setProperty, P::RectY, None},
    {"object_set_rect_w", 2, setProperty, P::RectW, None},
    {"object_set_rect_h", 2, setProperty, P::RectH, None},
    {"object_set_uniform", 3, setUniform, None, None},
    {"object_tween_x", 3, tweenProperty, P::X, None},
    {"object_tween_y", 3, tweenProperty, P::Y, None},
    {"object_tween_pos", 4, tweenPropertyPair, P::X, P::Y},
    {"object_tween_alpha", 3, tweenAlpha, P::Alpha, None},
    {"object_tween_rotation", 3, tweenProperty, P::Rotation, None},
    {"object_tween_scale_x", 3, tweenProperty, P::ScaleX, None},
    {"object_tween_scale_y", 3, tweenProperty, P::ScaleY, None},
    {"object_tween_scale", 3, tweenProperty, P::ScaleX, P::ScaleY},
    {"object_tween_origin", 3, tweenProperty, P::OriginX, P::OriginY},
    {"object_tween_origin_x", 3, tweenProperty, P::OriginX, None},
    {"object_tween_origin_y", 3, tweenProperty, P::OriginY, None},
    {"object_tween_rect_x", 3, tweenProperty, P::RectX, None},
    {"object_tween_rect_y", 3, tweenProperty, P::RectY, None},
    {"object_tween_rect_w", 3, tweenProperty, P::RectW, None},
    {"object_tween_rect_h", 3, tweenProperty, P::RectH, None},
    {"object_tween_uniform", 5, tweenUniform, None, None},
    {"object_set_shader", 2, setShader, None, None},
    {"object_load_animations", 2, loadAnimations, None, None},
    {"object_play_animation", 2, playAnimation, None, None},
    {"display_text", 6, displayText, None, None},
    {"draw_text", 2, drawsNothing, None, None},
};
} // namespace

const CutsceneCommands::Row* CutsceneCommands::find(const std::string& command)
{
    for (const Row& row : Commands)
    {
        if (command == row.name)
            return &row;
    }
    return nullptr;
}

std::vector<const CutsceneCommands::Row*> CutsceneCommands::all()
{
    std::vector<const Row*> rows;
    for (const Row& row : Commands)
        rows.push_back(&row);
    return rows;
}
