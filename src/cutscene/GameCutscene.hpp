#pragma once

#include "cutscene/DrawTracker.hpp"
#include "effects/ParticleSystem.hpp"
#include "motion/Tween.hpp"
#include "profile/LineSource.hpp"
#include "scene/RenderBuffer.hpp"
#include "scene/SavedContent.hpp"
#include "scene/SceneObject.hpp"
#include "script/GameEntity.hpp"
#include "script/Script.hpp"
#include "script/ScriptInterp.hpp"

#include <SFML/Graphics/RenderTarget.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class SceneCanvas;
class ScreenFade;
class ScriptEdit;

// The one scene the demo script drives: owns the script, its interpreter, the named scene
// objects and render buffers, binds catalog particle systems, and performs every scene command.
class GameCutscene : public GameEntity, public LineSource
{
public:
    static GameCutscene& instance();

    bool extScript(const ScriptLine& line) override;
    std::string extVariable(std::string text) override;
    // True when text is exactly one of the easing and repeat constants (such as "%forever").
    static bool isConstant(const std::string& text);
    // The easing and repeat constants with their values, in the order they are substituted.
    static std::vector<std::pair<std::string, std::string>> constants();
    // The constant that names an easing curve, or "" when the script names it only by number.
    static std::string easingConstant(const EasingCurve& curve);

    void update(float dt);
    // The profiler's name of a stored line: file:line and the line as written; what a drawing
    // line draws into, with and through (buffer, object, shader) goes with it.
    void describeLine(int line, Profiler::Name& out) override;
    void clearScene();
    bool loadScript(const std::string& path);
    // As right after start-up's load, without reading the script again: the scene cleared, the
    // interpreter bound again at line 0 (if it was bound), flags 0, no scene target.
    void restart();

    // Everything of the scene a step can change: the flags, the run, the objects, the buffers with
    // their content, the bindings, and the scene canvas the buffers are lent to (a snapshot of a
    // playing demo). The catalogs' systems keep their own.
    struct Saved
    {
        std::int32_t flags[FlagCount] = {};
        ScriptInterp::Saved interp;
        bool started = false;
        bool waitingForScript = false;
        bool sceneTargetIsCanvas = false;
        std::int32_t bufferWidth = 0;
        std::int32_t bufferHeight = 0;
        std::vector<std::pair<std::string, SceneObject::Saved>> objects;
        std::vector<std::pair<std::string, RenderBuffer::Saved>> buffers;
        std::unordered_map<std::string, ParticleSystem*> bindings;
        SavedContent canvas;

        // No target's content is unknown.
        bool fullyKnown() const;
        std::size_t bytes() const;
        // See ScriptInterp::Saved::moveLines.
        bool moveLines(const ScriptEdit& edit, int lineCount) { return interp.moveLines(edit, lineCount); }
    };
    // `canvas` is the scene texture of the player.
    Saved save(const SceneCanvas& canvas) const;
    // The objects and buffers are made to match (buffers of the same name and size keep their
    // textures), pixels are written back, lent buffers are lent again.
    void restore(const Saved& saved, SceneCanvas& canvas);

    SceneObject* findObject(const std::string& name);
    RenderBuffer* findBuffer(const std::string& name);
    SceneObject* findObjectOrBuffer(const std::string& name);
    ParticleSystem* findParticleSystem(const std::string& name);

    std::int32_t bufferWidth = 0;
    std::int32_t bufferHeight = 0;
    bool started = false;
    Script script;
    ScriptInterp interp;
    std::unordered_map<std::string, std::unique_ptr<SceneObject>> objects;
    std::unordered_map<std::string, std::unique_ptr<RenderBuffer>> buffers;
    // Bindings to systems of the particle catalog, which owns them; two names may share one.
    std::unordered_map<std::string, ParticleSystem*> particleSystems;
    sf::RenderTarget* sceneTarget = nullptr;

    // Set by the shell when a reload could not open the script: the scene stays empty, nothing
    // runs and nothing is drawn, and the program goes on until a later load succeeds.
    bool waitingForScript = false;

    // The shell's screen fade, driven by fade_in, fade_out and set_fade_texture; null ignores them.
    ScreenFade* fade = nullptr;

    // Performs the drawing commands (see DrawTracker).
    DrawTracker drawing;
};
