#include "player/PlayState.hpp"

#include "catalogs/ShaderManager.hpp"
#include "catalogs/SpriteManager.hpp"
#include "effects/Random.hpp"

#include <algorithm>

#include <malloc.h>

namespace
{
// The bytes the heap holds now (glibc; 0 elsewhere, where the parts' own count stands).
std::size_t heapInUse()
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 33)
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#else
    return 0;
#endif
}
} // namespace

void PlayState::capture(const SceneCanvas& canvas)
{
    const std::size_t heapBefore = heapInUse();
    cutscene = GameCutscene::instance().save(canvas);
    particles = ParticleManager::instance().save();
    texts = TextManager::instance().save();
    SpriteManager::instance().savePoses(poses);
    ShaderManager::instance().saveUniforms(uniforms);
    random = Random::position();
    music = MusicManager::instance().position();
    known = cutscene.fullyKnown();
    size = sizeof(PlayState) + cutscene.bytes() + particles.bytes() + texts.bytes() +
           poses.size() * sizeof(sf::Sprite) + uniforms.size() * sizeof(float);
    // Whatever the parts hold beyond their size (strings, vertex arrays, a glyph page copied on
    // the graphics side) is only seen as the heap's growth.
    const std::size_t heapAfter = heapInUse();
    if (heapAfter > heapBefore)
        size = std::max(size, heapAfter - heapBefore);
}

void PlayState::restore(SceneCanvas& canvas) const
{
    GameCutscene::instance().restore(cutscene, canvas);
    ParticleManager::instance().restore(particles);
    TextManager::instance().restore(texts);
    SpriteManager::instance().restorePoses(poses);
    ShaderManager::instance().restoreUniforms(uniforms);
    Random::setPosition(random);
    MusicManager::instance().restore(music);
}

bool PlayState::moveLines(const ScriptEdit& edit, int lineCount)
{
    return cutscene.moveLines(edit, lineCount);
}
