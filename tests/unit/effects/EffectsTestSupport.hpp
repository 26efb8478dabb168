#pragma once

#include "catalogs/CatalogTestSupport.hpp"
#include "catalogs/SpriteManager.hpp"
#include "catalogs/TextureManager.hpp"
#include "effects/ParticleSystem.hpp"
#include "effects/Random.hpp"

#include <nlohmann/json.hpp>

#include <string>

namespace effectstest
{
constexpr float Step = 1.f / 60.f;

// A valid particle-system description; every range differs so that a draw in the wrong order
// lands in the wrong field.
inline nlohmann::json systemJson()
{
    return {{"name", "sparks"},     {"sprites", {"dot"}},   {"min_xs", 1},     {"max_xs", 2},
            {"min_ys", 3},          {"max_ys", 5},          {"min_xg", 7},     {"max_xg", 11},
            {"min_yg", 13},         {"max_yg", 17},         {"min_rot", 19},   {"max_rot", 23},
            {"min_rotspeed", 29},   {"max_rotspeed", 31},   {"min_scale", 37}, {"max_scale", 41},
            {"min_scalespeed", 43}, {"max_scalespeed", 47}, {"fadein", false}, {"fadeout", false},
            {"min_fadespeed", 53},  {"max_fadespeed", 59},  {"min_ttl", 61},   {"max_ttl", 67}};
}

// A sprite catalog with two 2 x 2 sprites, "dot" (white) and "dot2" (red), in a fresh folder.
class SpriteCatalogTest : public TempFolderTest
{
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        ASSERT_TRUE(textures.addTexture("white", image("white.png", 2, 2, sf::Color::White), false));
        ASSERT_TRUE(textures.addTexture("red", image("red.png", 2, 2, sf::Color::Red), false));
        write("sprites.json", R"({"sprites": {"dot": {"texture": "white", "rectW": 2, "rectH": 2},
                                              "dot2": {"texture": "red", "rectW": 2, "rectH": 2}}})");
        ASSERT_TRUE(sprites.load("sprites.json"));
        Random::restart();
    }

    // Loads the description into `system`; the console of the load is returned.
    Console load(const nlohmann::json& description, std::int32_t pool = 100, bool expected = true)
    {
        write("p.json", description.dump());
        return captured([&] { EXPECT_EQ(system.loadFromFile("p.json", pool, sprites), expected); });
    }

    TextureManager textures;
    SpriteManager sprites{textures};
    ParticleSystem system;
};
} // namespace effectstest
