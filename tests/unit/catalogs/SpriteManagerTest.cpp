#include "catalogs/SpriteManager.hpp"
#include "catalogs/TextureManager.hpp"

#include <SFML/Graphics/Image.hpp>
#include <SFML/System/Err.hpp>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace
{
namespace fs = std::filesystem;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

// A fresh texture catalog holding one 16 x 8 texture "sheet", a sprite catalog on top of it, and
// a folder for the catalog file.
class SpriteManagerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        static int counter = 0;
        dir = fs::temp_directory_path() /
              ("kestrune_sprites_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::create_directories(dir);
        sfmlErrors = sf::err().rdbuf(sfmlOutput.rdbuf());

        sf::Image picture;
        picture.create(16, 8, sf::Color::Black);
        const std::string file = (dir / "sheet.png").string();
        ASSERT_TRUE(picture.saveToFile(file));
        ASSERT_TRUE(textures.addTexture("sheet", file, false));
    }

    void TearDown() override
    {
        sf::err().rdbuf(sfmlErrors);
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    std::string loadErrors(const std::string& text, bool expected = true)
    {
        const std::string file = (dir / "sprites.json").string();
        std::ofstream(file) << text;
        CaptureStderr();
        EXPECT_EQ(sprites.load(file), expected);
        return GetCapturedStderr();
    }

    sf::Sprite* quietSprite(const std::string& key)
    {
        CaptureStderr();
        sf::Sprite* sprite = sprites.getSprite(key);
        GetCapturedStderr();
        return sprite;
    }

    fs::path dir;
    TextureManager textures;
    SpriteManager sprites{textures};
    std::ostringstream sfmlOutput;
    std::streambuf* sfmlErrors = nullptr;
};
} // namespace

TEST_F(SpriteManagerTest, OnlyTextureGivesEmptyRectangleAndZeroOrigin)
{
    EXPECT_EQ(loadErrors(R"({"sprites": {"black": {"texture": "sheet"}}})"), "");
    sf::Sprite* sprite = quietSprite("black");
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(sprite->getTexture(), textures.getTexture("sheet"));
    EXPECT_EQ(sprite->getTextureRect(), sf::IntRect(0, 0, 0, 0));
    EXPECT_EQ(sprite->getOrigin(), sf::Vector2f(0.f, 0.f));
}

TEST_F(SpriteManagerTest, ReadsRectangleAsTruncatedIntegersAndOriginAsFloats)
{
    EXPECT_EQ(loadErrors(R"({"sprites": {"cut": {"texture": "sheet", "rectX": 2, "rectY": -1.7, "rectW": 12.9,
                                         "rectH": true, "originX": true, "originY": 2.5}}})"),
              "");
    sf::Sprite* sprite = quietSprite("cut");
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(sprite->getTextureRect(), sf::IntRect(2, -1, 12, 1));
    EXPECT_EQ(sprite->getOrigin(), sf::Vector2f(1.f, 2.5f));
}

TEST_F(SpriteManagerTest, EntryThatIsNotAnObjectLacksTexture)
{
    EXPECT_EQ(loadErrors(R"({"sprites": {"a": "sheet", "b": {"rectW": 4}, "c": {"texture": "sheet"}}})"),
              "SpriteManager: Missing TEXTURE property for [a]\n"
              "SpriteManager: Missing TEXTURE property for [b]\n");
    EXPECT_FALSE(sprites.hasSprite("a"));
    EXPECT_FALSE(sprites.hasSprite("b"));
    EXPECT_TRUE(sprites.hasSprite("c"));
}

TEST_F(SpriteManagerTest, UnknownTextureSkipsSpriteAfterLookupLine)
{
    EXPECT_EQ(loadErrors(R"({"sprites": {"ghost": {"texture": "missing"}, "real": {"texture": "sheet"}}})"),
              "TextureManager: Texture with key missing does not exist.\n");
    EXPECT_FALSE(sprites.hasSprite("ghost"));
    EXPECT_TRUE(sprites.hasSprite("real"));
}

TEST_F(SpriteManagerTest, LookupMissReportsAndReturnsNull)
{
    CaptureStderr();
    EXPECT_EQ(sprites.getSprite("black"), nullptr);
    EXPECT_EQ(GetCapturedStderr(), "SpriteManager: Sprite with key black does not exist.\n");
    EXPECT_FALSE(sprites.hasSprite("black"));
}

TEST_F(SpriteManagerTest, DuplicateKeepsRegisteredSprite)
{
    EXPECT_EQ(loadErrors(R"({"sprites": {"s": {"texture": "sheet", "rectW": 3}}})"), "");
    sf::Sprite* first = quietSprite("s");
    first->setPosition(5.f, 6.f);
    EXPECT_EQ(loadErrors(R"({"sprites": {"s": {"texture": "sheet", "rectW": 9}}})"),
              "SpriteManager: Sprite with key s already exists.\n");
    EXPECT_EQ(quietSprite("s"), first);
    EXPECT_EQ(first->getTextureRect().width, 3);
    EXPECT_EQ(first->getPosition(), sf::Vector2f(5.f, 6.f));
}

TEST_F(SpriteManagerTest, TypeErrorsSkipOnlyTheirEntry)
{
    EXPECT_EQ(loadErrors(R"({"sprites": {"a": {"texture": 3}, "b": {"texture": "sheet", "rectW": "12"},
                                         "c": {"texture": "sheet", "originY": null},
                                         "d": {"texture": "sheet", "rectH": 1e12},
                                         "e": {"texture": "sheet", "rectH": 4}}})"),
              "SpriteManager: Skipping [a]: [json.exception.type_error.302] type must be string, but is number\n"
              "SpriteManager: Skipping [b]: [json.exception.type_error.302] type must be number, but is string\n"
              "SpriteManager: Skipping [c]: [json.exception.type_error.302] type must be number, but is null\n"
              "SpriteManager: Skipping [d]: [json.exception.type_error.302] number 1000000000000.0 is out of the "
              "32-bit range\n");
    EXPECT_FALSE(sprites.hasSprite("a"));
    EXPECT_FALSE(sprites.hasSprite("b"));
    EXPECT_FALSE(sprites.hasSprite("c"));
    EXPECT_FALSE(sprites.hasSprite("d"));
    EXPECT_TRUE(sprites.hasSprite("e"));
}

TEST_F(SpriteManagerTest, CatalogLevelFailures)
{
    EXPECT_EQ(loadErrors(R"({"textures": {}})", false),
              "validateJson: Missing prop: sprites.\nSpriteManager: Missing properties in spritesfile.\n");

    const std::string absent = (dir / "absent.json").string();
    CaptureStderr();
    EXPECT_FALSE(sprites.load(absent));
    EXPECT_EQ(GetCapturedStderr(), "SpriteManager: Unable to open file " + absent + ".\n");

    // A file cut off inside the third entry still registers the complete ones.
    std::istringstream errors(loadErrors(R"({"sprites": {"a": {"texture": "sheet"}, "b": {"texture": )"));
    std::string line;
    std::getline(errors, line);
    EXPECT_EQ(line, "SpriteManager: Error while parsing JSON.");
    std::getline(errors, line);
    EXPECT_EQ(line.rfind("[json.exception.parse_error.101] parse error at line 1", 0), 0u) << line;
    std::getline(errors, line);
    EXPECT_EQ(line, "SpriteManager: Skipping [b]: [json.exception.type_error.302] type must be string, but is null");
    EXPECT_FALSE(std::getline(errors, line));
    EXPECT_TRUE(sprites.hasSprite("a"));
    EXPECT_FALSE(sprites.hasSprite("b"));
}
