#pragma once

#include "catalogs/SpriteManager.hpp"
#include "catalogs/TextureManager.hpp"
#include "cutscene/GameCutscene.hpp"
#include "effects/ParticleManager.hpp"

#include "ConsoleCapture.hpp"

#include <SFML/Graphics/Image.hpp>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include <unistd.h>

// GCC names AddressSanitizer builds with a macro, clang with a feature test.
#if defined(__SANITIZE_ADDRESS__)
#define KESTRUNE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTRUNE_ASAN 1
#endif
#endif

#if defined(KESTRUNE_ASAN)
#include <sanitizer/lsan_interface.h>
#endif

namespace cutscenetest
{
constexpr float Step = 1.f / 60.f;

// The GL driver keeps a draw-state cache that it never frees; drawing tests hold this guard.
#if defined(KESTRUNE_ASAN)
using DriverLeakGuard = __lsan::ScopedDisabler;
#else
struct DriverLeakGuard
{
    DriverLeakGuard() {}
};
#endif

using testsupport::capture;
using testsupport::captureMerged;
using testsupport::Output;

inline std::string addressOf(const void* pointer)
{
    std::ostringstream text;
    text << pointer;
    return text.str();
}

// The process-wide cutscene, cleared around each test, with scripts and textures in a fresh folder.
class CutsceneTest : public testing::Test
{
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir);
        cutscene.clearScene();
    }

    void TearDown() override
    {
        cutscene.clearScene();
        cutscene.fade = nullptr;
        cutscene.sceneTarget = nullptr;
        std::filesystem::remove_all(dir);
    }

    // The main flow (stored lines 1, 2, ...) then waits; "init" and "render" follow as sections.
    void load(const std::string& main, const std::string& init = "create_buffer B", const std::string& render = "")
    {
        path = (dir / "test.script").string();
        std::ofstream(path) << main << "\ndelay 1000\nexit\n:init\n"
                            << init << "\nexit\n:render\n"
                            << render << "\nexit\n";
        ASSERT_TRUE(cutscene.loadScript(path));
    }

    Output step()
    {
        return capture([&] { cutscene.update(Step); });
    }

    // A one-colour texture under a key unique to this process run.
    std::string addTexture(unsigned width, unsigned height, sf::Color colour)
    {
        static int count = 0;
        const std::string key = "cutscene_test_texture_" + std::to_string(++count);
        sf::Image image;
        image.create(width, height, colour);
        const std::string file = (dir / (key + ".png")).string();
        EXPECT_TRUE(image.saveToFile(file));
        EXPECT_TRUE(TextureManager::instance().addTexture(key, file, false));
        return key;
    }

    // A particle system in the process-wide catalog under a key unique to this process run: one
    // white sprite, spawn rate 0, long-lived particles that stay in place.
    std::string addParticleSystem(std::int32_t pool)
    {
        static int count = 0;
        const std::string key = "cutscene_test_particles_" + std::to_string(++count);
        const std::string texture = addTexture(2, 2, sf::Color::White);
        const std::string file = (dir / (key + ".json")).string();
        std::ofstream((dir / "sprites.json").string())
            << R"({"sprites": {")" << key << R"(": {"texture": ")" << texture << R"(", "rectW": 2, "rectH": 2}}})";
        std::ofstream(file) << R"({"name": "t", "sprites": [")" << key << R"("], "min_xs": 0, "max_xs": 0,
            "min_ys": 0, "max_ys": 0, "min_xg": 0, "max_xg": 0, "min_yg": 0, "max_yg": 0, "min_rot": 0,
            "max_rot": 0, "min_rotspeed": 0, "max_rotspeed": 0, "min_scale": 1, "max_scale": 1,
            "min_scalespeed": 0, "max_scalespeed": 0, "fadein": false, "fadeout": false, "min_fadespeed": 0,
            "max_fadespeed": 0, "min_ttl": 100, "max_ttl": 100})";
        std::ofstream((dir / "particles.json").string()) << R"({"particlesystems": {")" << key << R"(": {"file": ")"
                                                         << file << "\", \"instances\": " << pool << "}}}";
        capture([&] {
            EXPECT_TRUE(SpriteManager::instance().load((dir / "sprites.json").string()));
            EXPECT_TRUE(ParticleManager::instance().load((dir / "particles.json").string()));
        });
        return key;
    }

    static std::int32_t liveParticles(const ParticleSystem& system)
    {
        std::int32_t live = 0;
        for (std::int32_t i = 0; i < system.numParticles; ++i)
            live += system.particles[i].active ? 1 : 0;
        return live;
    }

    SceneObject& buffer(const std::string& name) { return *cutscene.buffers.at(name); }
    SceneObject& object(const std::string& name) { return *cutscene.objects.at(name); }

    GameCutscene& cutscene = GameCutscene::instance();
    // One folder per process: test processes may run side by side.
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kestrune_cutscene_test_" + std::to_string(::getpid()));
    std::string path;
};
} // namespace cutscenetest
