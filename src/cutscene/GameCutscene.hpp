#pragma once

#include "effects/ParticleSystem.hpp"
#include "motion/Tween.hpp"
#include "scene/RenderBuffer.hpp"
#include "scene/SceneObject.hpp"
#include "script/GameEntity.hpp"
#include "script/Script.hpp"
#include "script/ScriptInterp.hpp"

#include <SFML/Graphics/RenderTarget.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class ScreenFade;

// The one scene the demo script drives: owns the script, its interpreter, the named scene
// objects and render buffers, binds catalog particle systems, and performs every scene command.
class GameCutscene : public GameEntity
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
    void clearScene();
    bool loadScript(const std::string& path);

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
};
