#include "catalogs/SpriteManager.hpp"
#include "catalogs/CatalogTestSupport.hpp"
#include "catalogs/TextureManager.hpp"

namespace
{
// A sprite catalog over a texture catalog holding one 16 x 8 texture "sheet".
class SpriteManagerTest : public TempFolderTest
{
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        ASSERT_TRUE(textures.addTexture("sheet", image("sheet.png", 16, 8), false));
    }

    Console load(const std::string& text, bool expected = true)
    {
        write("sprites.json", text);
        return captured([&] { EXPECT_EQ(sprites.load("sprites.json"), expected); });
    }

    sf::Sprite* sprite(const std::string& key)
    {
        sf::Sprite* found = nullptr;
        EXPECT_EQ(captured([&] { found = sprites.getSprite(key); }), Console());
        return found;
    }

    TextureManager textures;
    SpriteManager sprites{textures};
};
} // namespace

TEST_F(SpriteManagerTest, ReadsEntriesWithDefaultsInKeyOrder)
{
    const std::string skip = ": [json.exception.type_error.302] ";
    EXPECT_EQ(load(R"({"sprites": {"black": {"texture": "sheet"}, "ghost": {"texture": "missing"},
                     "cut": {"texture": "sheet", "rectX": 2, "rectY": -1.7, "rectW": 12.9, "rectH": true,
                             "originX": true, "originY": 2.5},
                     "b": {"rectW": 4}, "a": "sheet", "t1": {"texture": 3}, "t2": {"texture": "sheet", "rectW": "12"},
                     "t3": {"texture": "sheet", "originY": null}, "t4": {"texture": "sheet", "rectH": 1e12}}})"),
              errLines("SpriteManager: Missing TEXTURE property for [a]\n"
                       "SpriteManager: Missing TEXTURE property for [b]\n"
                       "TextureManager: Texture with key missing does not exist.\n"
                       "SpriteManager: Skipping [t1]" +
                       skip +
                       "type must be string, but is number\n"
                       "SpriteManager: Skipping [t2]" +
                       skip +
                       "type must be number, but is string\n"
                       "SpriteManager: Skipping [t3]" +
                       skip +
                       "type must be number, but is null\n"
                       "SpriteManager: Skipping [t4]" +
                       skip + "number 1000000000000.0 is out of the 32-bit range\n"));

    // Only a texture: the whole texture is replaced by an empty rectangle, so it draws nothing.
    sf::Sprite* black = sprite("black");
    ASSERT_NE(black, nullptr);
    EXPECT_EQ(black->getTexture(), textures.getTexture("sheet"));
    EXPECT_EQ(black->getTextureRect(), sf::IntRect(0, 0, 0, 0));
    EXPECT_EQ(black->getOrigin(), sf::Vector2f(0.f, 0.f));
    EXPECT_EQ(sprite("black"), black);

    sf::Sprite* cut = sprite("cut");
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->getTextureRect(), sf::IntRect(2, -1, 12, 1));
    EXPECT_EQ(cut->getOrigin(), sf::Vector2f(1.f, 2.5f));

    for (const char* key : {"a", "b", "ghost", "t1", "t2", "t3", "t4"})
    {
        EXPECT_EQ(captured([&] { EXPECT_EQ(sprites.getSprite(key), nullptr); }),
                  errLines(std::string("SpriteManager: Sprite with key ") + key + " does not exist.\n"));
        EXPECT_FALSE(sprites.hasSprite(key)) << key;
    }

    // A key registered again is reported after the texture lookup, and the shared sprite stays as it is.
    black->setPosition(5.f, 6.f);
    EXPECT_EQ(load(R"({"sprites": {"black": {"texture": "sheet", "rectW": 9}}})"),
              errLines("SpriteManager: Sprite with key black already exists.\n"));
    EXPECT_EQ(load(R"({"sprites": {"black": {"texture": "none"}}})"),
              errLines("TextureManager: Texture with key none does not exist.\n"
                       "SpriteManager: Sprite with key black already exists.\n"));
    EXPECT_EQ(sprite("black"), black);
    EXPECT_EQ(black->getTextureRect(), sf::IntRect(0, 0, 0, 0));
    EXPECT_EQ(black->getPosition(), sf::Vector2f(5.f, 6.f));
}

TEST_F(SpriteManagerTest, CatalogLevelFailures)
{
    EXPECT_EQ(load(R"({"textures": {}})", false),
              errLines("validateJson: Missing prop: sprites.\nSpriteManager: Missing properties in spritesfile.\n"));
    EXPECT_EQ(captured([&] { EXPECT_FALSE(sprites.load("absent.json")); }),
              errLines("SpriteManager: Unable to open file absent.json.\n"));

    // Cut off inside the second entry: the complete first one still registers.
    const std::string partial = R"({"sprites": {"a": {"texture": "sheet"}, "b": {"texture": )";
    EXPECT_EQ(load(partial), errLines("SpriteManager: Error while parsing JSON.\n" + parseErrorOf(partial) +
                                      "\nSpriteManager: Skipping [b]: [json.exception.type_error.302] "
                                      "type must be string, but is null\n"));
    EXPECT_TRUE(sprites.hasSprite("a"));
    EXPECT_FALSE(sprites.hasSprite("b"));
}
