#pragma once

#include "catalogs/MusicManager.hpp"
#include "cutscene/GameCutscene.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/TextManager.hpp"
#include "player/Player.hpp"

#include <SFML/Graphics/Sprite.hpp>

#include <cstddef>
#include <cstdint>
#include <vector>

class ScriptEdit;
class SceneCanvas;

// Everything a step of a playing demo can change, kept so that a seek can start from it instead
// of from step 0. Each owner saves and restores its own state; this only collects them: the
// cutscene (its script, objects, buffers and the scene canvas they are drawn for), the particle
// and text catalogs, the shared sprites' poses, the shaders' float uniforms, the random sequence,
// the music's place, and the player's own counters (`player`, which the player fills).
class PlayState
{
public:
    // Takes the whole state now; the canvas is the player's scene texture.
    void capture(const SceneCanvas& canvas);
    // Puts it back. The music must be held.
    void restore(SceneCanvas& canvas) const;

    // After a script save that kept this state: the interpreter's places moved to the new
    // version's lines; false when one of them is in the changed run (the state cannot be kept).
    bool moveLines(const ScriptEdit& edit, int lineCount);

    // No target's content is unknown: a seek from here may draw every step.
    bool fullyKnown() const { return known; }
    // Memory this state holds, in bytes: what the heap grew by while it was taken (pixels, glyph
    // pages, particles, strings and the rest), at least what its parts add up to.
    std::size_t bytes() const { return size; }

    Player::Saved player;

private:
    GameCutscene::Saved cutscene;
    ParticleManager::Saved particles;
    TextManager::Saved texts;
    std::vector<sf::Sprite> poses;
    std::vector<float> uniforms;
    std::uint32_t random = 0;
    MusicManager::Position music;
    bool known = true;
    std::size_t size = 0;
};
