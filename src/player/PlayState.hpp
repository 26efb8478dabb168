#pragma once

#include "catalogs/MusicManager.hpp"
#include "effects/Particle.hpp"
#include "effects/TextInstance.hpp"
#include "scene/DrawTarget.hpp"
#include "scene/SceneObject.hpp"
#include "script/ScriptInterp.hpp"

#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/Sprite.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class ParticleSystem;
class ScriptEdit;
class SceneCanvas;

// Everything a step of a playing demo can change, kept so that a seek can start from it instead
// of from step 0: the script's flags and interpreter, the scene's objects, buffers (with their
// pixels where they hold drawn content) and bindings, the particles, the text systems, the shared
// sprites' poses, the shaders' float uniforms, the random sequence, the music's place, and the
// scene canvas. The player's own counters travel in `player`.
class PlayState
{
public:
    struct PlayerFields
    {
        long steps = 0;
        float time = 0.f;
        bool running = true;
        long renderedStep = -1;
        float fadeLevel = 0.f;
        float fadeSpeed = 0.f;
        int fadeState = 0;
    };

    // Takes the whole state now; the canvas is the player's scene texture.
    void capture(const SceneCanvas& canvas);
    // Puts it back: the scene's objects and buffers are made to match (buffers of the same name
    // and size keep their textures), pixels are written back. The music must be held.
    void restore(SceneCanvas& canvas) const;

    // After a script save that kept this state: the interpreter's places moved to the new
    // version's lines; false when one of them is in the changed run (the state cannot be kept).
    bool moveLines(const ScriptEdit& edit, int lineCount);

    // No target's content is unknown: a seek from here may draw every step.
    bool fullyKnown() const { return !stale; }
    // Memory this state holds, in bytes: what the heap grew by while it was taken (pixels, glyph
    // pages, particles, strings and the rest), at least what its parts add up to.
    std::size_t bytes() const { return size; }

    PlayerFields player;

private:
    struct Content
    {
        DrawTarget target;
        unsigned width = 0;
        unsigned height = 0;
        sf::Image pixels; // empty unless the content is drawn (or lent, for the canvas)
    };
    struct Buffer
    {
        std::string key;
        std::unique_ptr<SceneObject> object;
        Content content;
        bool lent = false; // its content is the canvas's
    };
    struct Particles
    {
        ParticleSystem* system;
        bool active;
        float spawnTimer;
        std::vector<std::pair<std::int32_t, Particle>> live;
    };
    struct Text
    {
        std::shared_ptr<const sf::Font> font; // shared with other states while its glyphs are the same
        std::vector<TextInstance> instances;
    };

    static void capturePixels(const sf::RenderTexture& texture, Content& content);
    static void writePixels(sf::RenderTexture& texture, const Content& content);

    std::int32_t flags[GameEntity::FlagCount] = {};
    ScriptInterp interp;
    bool started = false;
    bool waitingForScript = false;
    bool sceneTargetIsCanvas = false;
    std::int32_t bufferWidth = 0;
    std::int32_t bufferHeight = 0;
    std::vector<std::pair<std::string, std::unique_ptr<SceneObject>>> objects;
    std::vector<Buffer> buffers;
    std::unordered_map<std::string, ParticleSystem*> bindings;
    std::vector<Particles> particles;
    std::vector<Text> texts;
    std::vector<sf::Sprite> poses;
    std::vector<float> uniforms;
    std::uint32_t random = 0;
    MusicManager::Position music;
    Content canvas;
    bool stale = false;
    std::size_t size = 0;
};
