#include "player/PlayState.hpp"

#include "catalogs/ShaderManager.hpp"
#include "catalogs/SpriteManager.hpp"
#include "cutscene/GameCutscene.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/Random.hpp"
#include "effects/TextManager.hpp"
#include "scene/RenderBuffer.hpp"
#include "scene/SceneCanvas.hpp"
#include "script/ScriptEdit.hpp"

#include <SFML/Graphics/Texture.hpp>

#include <algorithm>

#include <malloc.h>

namespace
{
using ContentKind = DrawTarget::Content;

// What a buffer's or object's state costs besides its pixels.
constexpr std::size_t ObjectBytes = sizeof(RenderBuffer) + 256;

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

std::unique_ptr<SceneObject> copyOf(const SceneObject& object)
{
    auto copy = std::make_unique<SceneObject>(object.name, nullptr, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f);
    copy->copyStateFrom(object);
    return copy;
}
} // namespace

void PlayState::capturePixels(const sf::RenderTexture& texture, Content& content)
{
    content.width = texture.getSize().x;
    content.height = texture.getSize().y;
    // A texture that was never displayed is read as it lies in memory: the copy keeps its rows
    // in that order too (writePixels).
    content.pixels = texture.getTexture().copyToImage();
}

void PlayState::writePixels(sf::RenderTexture& texture, const Content& content)
{
    // One staging texture for every write: uploading into it costs far less than making one.
    static sf::Texture staging;
    const sf::Vector2u size = content.pixels.getSize();
    if (staging.getSize() != size)
        staging.create(size.x, size.y);
    staging.update(content.pixels);
    sf::Sprite picture(staging);
    if (!content.target.displayed)
    {
        picture.setScale(1.f, -1.f);
        picture.setPosition(0.f, static_cast<float>(size.y));
    }
    const sf::View view = texture.getView();
    texture.setView(texture.getDefaultView());
    texture.draw(picture, sf::RenderStates(sf::BlendNone));
    texture.setView(view);
    if (content.target.displayed)
        texture.display();
}

void PlayState::capture(const SceneCanvas& sceneCanvas)
{
    const std::size_t heapBefore = heapInUse();
    GameCutscene& cutscene = GameCutscene::instance();
    size = sizeof(PlayState);
    stale = false;
    for (int i = 0; i < GameEntity::FlagCount; ++i)
        flags[i] = cutscene.flags[i];
    interp = cutscene.interp;
    interp.followers = ScriptInterp::Followers();
    started = cutscene.started;
    waitingForScript = cutscene.waitingForScript;
    sceneTargetIsCanvas = cutscene.sceneTarget != nullptr && cutscene.sceneTarget == sceneCanvas.texture.get();
    bufferWidth = cutscene.bufferWidth;
    bufferHeight = cutscene.bufferHeight;

    objects.clear();
    for (const auto& entry : cutscene.objects)
    {
        objects.emplace_back(entry.first, copyOf(*entry.second));
        size += ObjectBytes;
    }

    buffers.clear();
    for (const auto& entry : cutscene.buffers)
    {
        const RenderBuffer& buffer = *entry.second;
        Buffer kept;
        kept.key = entry.first;
        kept.object = copyOf(buffer);
        kept.content.target = buffer.target;
        kept.content.width = buffer.renderTexture->getSize().x;
        kept.content.height = buffer.renderTexture->getSize().y;
        kept.lent = buffer.target.content == ContentKind::Lent;
        if (buffer.target.content == ContentKind::Drawn)
        {
            capturePixels(*buffer.renderTexture, kept.content);
            size += 4u * kept.content.width * kept.content.height;
        }
        stale = stale || buffer.target.content == ContentKind::Stale;
        size += ObjectBytes;
        buffers.push_back(std::move(kept));
    }
    bindings = cutscene.particleSystems;

    canvas = Content();
    canvas.target = sceneCanvas.target;
    canvas.width = sceneCanvas.texture->getSize().x;
    canvas.height = sceneCanvas.texture->getSize().y;
    // A lent buffer's content is the canvas's: kept once, here.
    if (sceneCanvas.target.content == ContentKind::Drawn)
    {
        capturePixels(*sceneCanvas.texture, canvas);
        size += 4u * canvas.width * canvas.height;
    }
    stale = stale || sceneCanvas.target.content == ContentKind::Stale;

    particles.clear();
    for (auto& entry : ParticleManager::instance().systems())
    {
        ParticleSystem& system = entry.second;
        Particles kept{&system, system.active, system.spawnTimer, {}};
        // A free slot that runs no tween behaves as any other free slot: only the rest is kept.
        std::size_t count = 0;
        for (std::int32_t i = 0; i < system.numParticles; ++i)
            count += system.particles[i].active || system.particles[i].alphaTween.running;
        kept.live.reserve(count);
        for (std::int32_t i = 0; i < system.numParticles; ++i)
        {
            const Particle& particle = system.particles[i];
            if (particle.active || particle.alphaTween.running)
                kept.live.emplace_back(i, particle);
        }
        size += kept.live.size() * sizeof(kept.live[0]) + sizeof(kept);
        particles.push_back(std::move(kept));
    }

    texts.clear();
    for (const auto& entry : TextManager::instance().all())
    {
        bool copied = false;
        Text kept{entry.second->saveFont(copied), {}};
        for (const auto& instance : entry.second->instances)
        {
            kept.instances.push_back(*instance);
            size += sizeof(TextInstance) + instance->letters.size() * sizeof(TextLetter);
        }
        texts.push_back(std::move(kept));
    }

    SpriteManager::instance().savePoses(poses);
    size += poses.size() * sizeof(sf::Sprite);
    ShaderManager::instance().saveUniforms(uniforms);
    size += uniforms.size() * sizeof(float);
    random = Random::position();
    music = MusicManager::instance().position();
    // Whatever the parts hold beyond their size (strings, vertex arrays, a glyph page copied on
    // the graphics side) is only seen as the heap's growth.
    const std::size_t heapAfter = heapInUse();
    if (heapAfter > heapBefore)
        size = std::max(size, heapAfter - heapBefore);
}

void PlayState::restore(SceneCanvas& sceneCanvas) const
{
    GameCutscene& cutscene = GameCutscene::instance();
    for (int i = 0; i < GameEntity::FlagCount; ++i)
        cutscene.flags[i] = flags[i];
    // What a seek watches for is the seek's own, not the state's.
    ScriptInterp& live = cutscene.interp;
    const ScriptInterp::Followers followers = live.followers;
    live = interp;
    live.followers = followers;
    cutscene.started = started;
    cutscene.waitingForScript = waitingForScript;
    cutscene.sceneTarget = sceneTargetIsCanvas ? sceneCanvas.texture.get() : nullptr;
    cutscene.bufferWidth = bufferWidth;
    cutscene.bufferHeight = bufferHeight;
    cutscene.drawing.failed = false;

    // Objects: the same names, in the state's values.
    std::unordered_map<std::string, std::unique_ptr<SceneObject>> nowObjects;
    for (const auto& entry : objects)
    {
        auto found = cutscene.objects.find(entry.first);
        std::unique_ptr<SceneObject> object = found != cutscene.objects.end()
                                                  ? std::move(found->second)
                                                  : copyOf(*entry.second);
        object->copyStateFrom(*entry.second);
        nowObjects.emplace(entry.first, std::move(object));
    }
    cutscene.objects.swap(nowObjects);

    // Buffers: no loans are left over; a buffer of the same name and size keeps its texture.
    sceneCanvas.forgetShown();
    std::unordered_map<std::string, std::unique_ptr<RenderBuffer>> nowBuffers;
    for (const Buffer& kept : buffers)
    {
        std::unique_ptr<RenderBuffer> buffer;
        auto found = cutscene.buffers.find(kept.key);
        if (found != cutscene.buffers.end())
        {
            found->second->endLoan();
            const sf::Vector2u size = found->second->renderTexture->getSize();
            // A texture once displayed stays the right way up: one that must not be is made anew.
            const bool flipMatches = kept.content.target.displayed || !found->second->target.displayed;
            if (size.x == kept.content.width && size.y == kept.content.height && flipMatches)
                buffer = std::move(found->second);
        }
        if (!buffer)
            buffer = std::make_unique<RenderBuffer>(kept.key, kept.content.width, kept.content.height);
        buffer->copyStateFrom(*kept.object);
        buffer->target = kept.content.target;
        if (kept.content.target.content == ContentKind::Drawn)
            writePixels(*buffer->renderTexture, kept.content);
        nowBuffers.emplace(kept.key, std::move(buffer));
    }
    cutscene.buffers.swap(nowBuffers);
    // The old buffers go only now: one that lent its texture gives the canvas nothing back.
    nowBuffers.clear();
    cutscene.particleSystems = bindings;

    sceneCanvas.target = canvas.target;
    if (canvas.target.content == ContentKind::Drawn)
        writePixels(*sceneCanvas.texture, canvas);
    for (const Buffer& kept : buffers)
    {
        if (!kept.lent)
            continue;
        RenderBuffer& buffer = *cutscene.buffers[kept.key];
        buffer.lentTo = &sceneCanvas;
        buffer.target.content = ContentKind::Lent;
        sceneCanvas.shown = &buffer;
    }

    for (const Particles& kept : particles)
    {
        ParticleSystem& system = *kept.system;
        system.active = kept.active;
        system.spawnTimer = kept.spawnTimer;
        for (std::int32_t i = 0; i < system.numParticles; ++i)
        {
            system.particles[i].active = false;
            system.particles[i].alphaTween.running = false;
        }
        for (const auto& slot : kept.live)
            system.particles[slot.first] = slot.second;
    }

    std::size_t t = 0;
    for (const auto& entry : TextManager::instance().all())
    {
        if (t >= texts.size())
            break;
        const Text& kept = texts[t++];
        entry.second->restoreFont(*kept.font);
        for (std::size_t i = 0; i < kept.instances.size() && i < entry.second->instances.size(); ++i)
            *entry.second->instances[i] = kept.instances[i];
    }

    SpriteManager::instance().restorePoses(poses);
    ShaderManager::instance().restoreUniforms(uniforms);
    Random::setPosition(random);
    MusicManager::instance().restore(music);
}

bool PlayState::moveLines(const ScriptEdit& edit, int lineCount)
{
    const int pc = edit.movedNext(interp.pc);
    const int returnLine = edit.movedNext(interp.returnLine);
    const int stopLine = edit.moved(interp.stopLine);
    if (pc == ScriptEdit::Changed || returnLine == ScriptEdit::Changed || stopLine == ScriptEdit::Changed)
        return false;
    interp.pc = pc;
    interp.returnLine = returnLine;
    interp.stopLine = stopLine;
    interp.lineCount = lineCount;
    return true;
}
